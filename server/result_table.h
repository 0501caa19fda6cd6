// ResultTable holds a query result in memory and writes it as the result-set
// reply: column descriptions, then every value as "<length>;<data>;", then
// "EOF;".
//
// The client stores each row as fixed-width fields, one per column, whose
// width comes from the declared length the server sends. A value longer than
// that would shift the columns after it, and a value cut short would be
// lost, so the type code and declared length of each column can only be
// chosen after every value has been seen. That is why the result is
// materialised first. Values are appended to a compact byte arena (a tag
// byte, then 8 bytes or a 4-byte length and the bytes) made of fixed blocks,
// so that growing it never copies what is there; a value never straddles two
// blocks. Statistics per column are kept as values arrive; Write() then
// decides each column:
//   - BLOB values, or a BLOB column: stImage;
//   - a BOOLEAN column holding only 0/1: stBit, sent as "T"/"F";
//   - a DATE/DATETIME/TIMESTAMP column holding only valid ISO dates:
//     stDateTime, sent as 17 digits; any other value makes it text;
//   - any text value: stVarchar, or stText above kMemoThreshold bytes;
//   - integers only, all within 32 bits: stInt; within 2^53 (also mixed with
//     REAL): stFloat; wider: text, since a double would round them.
// Declared lengths start from the schema (VARCHAR(n)) or the natural width
// (11, 24, 17, at least 255 for text) and grow only when a value needs more.
//
// Owns its arena. Built and written by one thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "server/frame_writer.h"

namespace orv::server {

struct ColumnDecl {
  std::string name;
  std::string decl_type;  // the schema's type text; empty when there is none
};

// What the client is told about a column, and how its values are written.
struct ColumnOut {
  enum class Mode { kRaw, kBool, kDate };
  int type_code = 0;
  std::size_t length = 0;
  std::string name;
  Mode mode = Mode::kRaw;
};

// A column name as it can travel: names are ';'-ended tokens on the wire.
std::string WireName(std::string_view name);
// "<type code>;<name>;<length>;0;", the description of one column.
void AppendDescription(const ColumnOut& column, std::string* out);
// "<length>;<data>;", one value.
void AppendField(std::string_view data, std::string* out);

class ResultTable {
 public:
  // Widest text still sent as stVarchar; longer ones go out as stText.
  static constexpr std::size_t kMemoThreshold = 4000;
  // Widest plain-decimal float text; longer ones use the exponent form.
  static constexpr std::size_t kFloatWidth = 24;

  explicit ResultTable(std::vector<ColumnDecl> columns);

  // Values are appended row by row, column by column.
  void AddNull();
  void AddInteger(std::int64_t value);
  void AddReal(double value);
  void AddText(std::string_view value);
  void AddBlob(std::string_view value);

  std::size_t ColumnCount() const { return columns_.size(); }
  std::size_t RowCount() const;
  std::size_t MemoryBytes() const { return arena_bytes_; }

  // The decisions Write() takes, one per column.
  std::vector<ColumnOut> Describe() const;

  // The whole result-set reply (without the result line).
  void Write(FrameWriter* out) const;

 private:
  enum Tag : char { kNull, kInteger, kReal, kText, kBlob };
  enum class DeclKind { kNone, kInteger, kReal, kText, kBlob, kBool, kDate };

  struct Stats {
    DeclKind kind = DeclKind::kNone;
    std::size_t decl_length = 0;  // 0 when the schema gives none
    std::size_t ints = 0, reals = 0, texts = 0, blobs = 0;
    std::int64_t int_min = 0, int_max = 0;
    std::size_t max_length = 0;   // longest value text in bytes
    bool all_bool = true;         // every non-null value is 0 or 1
    bool all_dates = true;        // every non-null value is an ISO date
  };

  static void ParseDecl(std::string_view decl, Stats* stats);
  ColumnOut Decide(std::size_t column) const;
  Stats& NextColumn();
  // Room for n more bytes at the end of the last block.
  std::string& Room(std::size_t n);
  void PutBytes(Tag tag, std::string_view bytes);

  std::vector<ColumnDecl> columns_;
  std::vector<Stats> stats_;
  std::vector<std::string> arena_;  // blocks; only the last one grows
  std::size_t arena_bytes_ = 0;     // capacity of all blocks
  std::size_t values_ = 0;
};

}  // namespace orv::server
