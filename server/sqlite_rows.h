// SqliteRows sends the rows of one prepared SQLite statement as the reply of
// an open, holding at most about kHoldBytes of them where it can.
//
// The columns can only be described once every value has been seen (see
// column_stats.h). Holding the result until then costs about the size of
// the reply in memory and makes the first row wait for the last. So:
//   1. The rows are held until the statement ends or the held values pass
//      kHoldBytes. A result that ends within that (most do) goes out as
//      before: described by its values, then sent.
//   2. A longer result of a statement that only reads (and may therefore run
//      twice) is measured instead: the rest of the first pass only gathers
//      statistics and the held values are dropped. The statement is then
//      reset and stepped again; the columns are described by the first
//      pass and every row of the second pass goes out as it is read.
//   3. A longer result of any other statement (INSERT ... RETURNING) is held
//      whole, up to kMaxResultBytes.
//
// Both passes read one snapshot of the database: before the first pass ends
// the caller turns the statement's read into a transaction (in WAL mode the
// snapshot then stays until it commits), unless the user's transaction
// already holds one. So a statement whose result depends only on the data
// gives the same rows twice. One that does not (random(), the clock) may
// give a value the first pass did not foresee: it is checked against the
// description already sent (ColumnStats::Fits) and, since the reply has
// begun, the reply is broken off, never sent with a shifted row.
//
// Owns nothing; the statement and the reply belong to the caller. Used by
// the connection's thread.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <vector>

#include "server/backend.h"
#include "server/column_stats.h"
#include "server/result_table.h"

struct sqlite3_stmt;

namespace orv::server {

class SqliteRows {
 public:
  static constexpr std::size_t kHoldBytes = std::size_t{1} << 20;
  static constexpr std::size_t kMaxResultBytes = std::size_t{1} << 30;

  // `address` is the column that carries a table dataset's row address (its
  // integers go out as text), or -1.
  SqliteRows(sqlite3_stmt* stmt, std::vector<ColumnDecl> columns, int address, RowWindow window)
      : stmt_(stmt), columns_(std::move(columns)), address_(address), window_(window) {}

  // Sends the reply. `hold_snapshot` is called once, while the first pass
  // still runs, when a second pass will follow; `error` gives the outcome of
  // a failed step. The statement is left reset.
  Outcome Send(OpenReply* reply, const std::function<Outcome()>& hold_snapshot,
               const std::function<Outcome()>& error);
  // Reads every row of the window into *out, up to kMaxResultBytes, for a
  // caller that must finish its work before the reply begins.
  Outcome Hold(std::unique_ptr<ResultTable>* out, const std::function<Outcome()>& error);

 private:
  // Steps through the window's rows, calling row() on each until it returns
  // false; the SQLite code that ended the stepping (SQLITE_DONE when every
  // row of the window was read or row() stopped it).
  template <typename Row>
  int Each(Row row);
  ResultValue Value(int column, char (&digits)[24]) const;
  static Outcome TooLarge();

  sqlite3_stmt* stmt_;
  std::vector<ColumnDecl> columns_;
  int address_;
  RowWindow window_;
};

}  // namespace orv::server
