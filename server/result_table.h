// ResultTable holds a query result in memory and writes it as the result-set
// reply: column descriptions, then every value as "<length>;<data>;", then
// "EOF;".
//
// The descriptions follow from every value (see column_stats.h), so a result
// whose columns cannot be described up front is held here first. Values are
// appended to a compact byte arena (a tag byte, then 8 bytes for a number or
// a 4-byte length and the bytes) made of fixed blocks, so that growing it
// never copies what is there; a value never straddles two blocks.
//
// Owns its arena. Built and written by one thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "server/column_stats.h"
#include "server/frame_writer.h"

namespace orv::server {

// "<type code>;<name>;<length>;0;", the description of one column.
void AppendDescription(const ColumnOut& column, std::string* out);
// "<length>;<data>;", one value.
void AppendField(std::string_view data, std::string* out);

class ResultTable {
 public:
  static constexpr std::size_t kMemoThreshold = ColumnStats::kMemoThreshold;
  static constexpr std::size_t kFloatWidth = ColumnStats::kFloatWidth;

  explicit ResultTable(std::vector<ColumnDecl> columns);

  // Values are appended row by row, column by column.
  void Add(const ResultValue& value);
  void AddNull() { Add({}); }
  void AddInteger(std::int64_t value) { Add({ResultValue::Kind::kInteger, value, 0, {}}); }
  void AddReal(double value) { Add({ResultValue::Kind::kReal, 0, value, {}}); }
  void AddText(std::string_view value) { Add({ResultValue::Kind::kText, 0, 0, value}); }
  void AddBlob(std::string_view value) { Add({ResultValue::Kind::kBlob, 0, 0, value}); }

  std::size_t ColumnCount() const { return stats_.ColumnCount(); }
  std::size_t RowCount() const { return stats_.RowCount(); }
  std::size_t MemoryBytes() const { return arena_bytes_; }

  // The decisions Write() takes, one per column.
  std::vector<ColumnOut> Describe() const { return stats_.Describe(); }
  // What the values added so far say; the values themselves can then go.
  const ColumnStats& Stats() const { return stats_; }

  // The whole result-set reply (without the result line).
  void Write(FrameWriter* out) const;

 private:
  // Room for n more bytes at the end of the last block.
  std::string& Room(std::size_t n);

  ColumnStats stats_;
  std::vector<std::string> arena_;  // blocks; only the last one grows
  std::size_t arena_bytes_ = 0;     // capacity of all blocks
};

}  // namespace orv::server
