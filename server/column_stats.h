// ColumnStats gathers, value by value, what a result's values say about its
// columns, and decides from that how each column is described to the client
// and how its values are written.
//
// The client stores each row as fixed-width fields, one per column, whose
// width comes from the declared length the server sends. A value longer than
// that would shift the columns after it, and a value cut short would be
// lost; SQLite enforces neither types nor lengths, so the type code and
// declared length of each column can only be chosen once every value has
// been seen. The decisions, per column:
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
// Wire() writes a value the way a decision says, and refuses one that does
// not keep to it: a value seen later (the second pass of a result that is
// measured first and then streamed) may not stay within a decision already
// sent.
//
// Plain values; used by one thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

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

// One value as the database hands it over; `bytes` is the text or blob.
struct ResultValue {
  enum class Kind : char { kNull, kInteger, kReal, kText, kBlob };
  Kind kind = Kind::kNull;
  std::int64_t integer = 0;
  double real = 0;
  std::string_view bytes;
};

// A column name as it can travel: names are ';'-ended tokens on the wire.
std::string WireName(std::string_view name);

class ColumnStats {
 public:
  // Widest text still sent as stVarchar; longer ones go out as stText.
  static constexpr std::size_t kMemoThreshold = 4000;
  // Widest plain-decimal float text; longer ones use the exponent form.
  static constexpr std::size_t kFloatWidth = 24;

  explicit ColumnStats(std::vector<ColumnDecl> columns);

  // Values are added row by row, column by column.
  void Add(const ResultValue& value);

  std::size_t ColumnCount() const { return columns_.size(); }
  std::size_t RowCount() const { return columns_.empty() ? 0 : values_ / columns_.size(); }
  const ColumnDecl& Column(std::size_t i) const { return columns_[i]; }

  std::vector<ColumnOut> Describe() const;

  // Appends `value` in wire form (without its length) to *out; false, with
  // nothing appended, when it does not keep to `column`'s description.
  static bool Wire(const ColumnOut& column, const ResultValue& value, std::string* out);
  static bool Fits(const ColumnOut& column, const ResultValue& value);

 private:
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

  std::vector<ColumnDecl> columns_;
  std::vector<Stats> stats_;
  std::size_t values_ = 0;
};

}  // namespace orv::server
