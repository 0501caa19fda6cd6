// PgRows holds the rows of a PostgreSQL result that have not gone out yet,
// already in wire form, and chooses the column descriptions.
//
// A result is held back until it ends or grows past a threshold. When it
// ends, the columns are described by the values they hold (a varchar(n)
// column as wide as n or its longest value, as the SQLite backend does);
// when it grows past the threshold and every column's width is known from
// its type, the columns are described by those bounds and the remaining rows
// stream; otherwise every row is held, up to a limit.
//
// Values live in blocks of 1 MiB (a 4-byte length and the bytes each), so
// holding them costs about the size of the reply. Owns its blocks; used by
// one thread.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "server/open_reply.h"
#include "server/pg_types.h"

namespace orv::server {

struct PgColumn {
  std::string name;
  PgColumnType type;
};

class PgRows {
 public:
  explicit PgRows(std::vector<PgColumn> columns);

  const std::vector<PgColumn>& columns() const { return columns_; }
  // Every column's width is known from its type.
  bool Streamable() const;

  // Appends the next value, in wire form.
  void Add(std::string_view wire);
  // Bytes the values held take.
  std::size_t HeldBytes() const { return held_; }

  // Descriptions by the values held (complete) or by the types' bounds.
  std::vector<ColumnOut> Describe(bool complete) const;
  // Writes the values held to the reply and forgets them.
  void Drain(OpenReply* reply);

 private:
  std::vector<PgColumn> columns_;
  std::vector<std::size_t> longest_;
  std::vector<std::string> blocks_;
  std::size_t held_ = 0;
  std::size_t values_ = 0;
};

}  // namespace orv::server
