#include "server/result_table.h"

#include <algorithm>
#include <cassert>
#include <charconv>
#include <cstring>

namespace orv::server {

namespace {

constexpr std::size_t kBlockBytes = 1 << 20;
constexpr std::size_t kChunkBytes = 32 * 1024;
static_assert(sizeof(std::int64_t) == sizeof(double));

}  // namespace

void AppendDescription(const ColumnOut& c, std::string* out) {
  *out += std::to_string(c.type_code) + ";" + c.name + ";" + std::to_string(c.length) + ";0;";
}

void AppendField(std::string_view data, std::string* out) {
  char digits[24];
  char* end = std::to_chars(digits, digits + sizeof digits, data.size()).ptr;
  *end++ = ';';
  out->append(digits, end);
  out->append(data);
  out->push_back(';');
}

ResultTable::ResultTable(std::vector<ColumnDecl> columns) : stats_(std::move(columns)) {}

std::string& ResultTable::Room(std::size_t n) {
  if (arena_.empty() || arena_.back().capacity() - arena_.back().size() < n) {
    arena_.emplace_back();
    arena_.back().reserve(std::max(kBlockBytes, n));
    arena_bytes_ += arena_.back().capacity();
  }
  return arena_.back();
}

void ResultTable::Add(const ResultValue& v) {
  stats_.Add(v);
  switch (v.kind) {
    case ResultValue::Kind::kNull:
      Room(1).push_back(static_cast<char>(v.kind));
      return;
    case ResultValue::Kind::kInteger:
    case ResultValue::Kind::kReal: {
      std::string& block = Room(1 + sizeof v.integer);
      block.push_back(static_cast<char>(v.kind));
      if (v.kind == ResultValue::Kind::kInteger) {
        block.append(reinterpret_cast<const char*>(&v.integer), sizeof v.integer);
      } else {
        block.append(reinterpret_cast<const char*>(&v.real), sizeof v.real);
      }
      return;
    }
    default: {
      const std::uint32_t length = static_cast<std::uint32_t>(v.bytes.size());
      std::string& block = Room(1 + sizeof length + v.bytes.size());
      block.push_back(static_cast<char>(v.kind));
      block.append(reinterpret_cast<const char*>(&length), sizeof length);
      block.append(v.bytes);
    }
  }
}

void ResultTable::Write(FrameWriter* out) const {
  std::vector<ColumnOut> cols = Describe();
  std::string chunk, wire;
  for (const ColumnOut& c : cols) AppendDescription(c, &chunk);
  const std::size_t values = RowCount() * cols.size();
  std::size_t block = 0, pos = 0;
  for (std::size_t n = 0; n < values; ++n) {
    if (pos == arena_[block].size()) {
      ++block;
      pos = 0;
    }
    const char* data = arena_[block].data();
    ResultValue v;
    v.kind = static_cast<ResultValue::Kind>(data[pos++]);
    if (v.kind == ResultValue::Kind::kInteger) {
      std::memcpy(&v.integer, data + pos, sizeof v.integer);
      pos += sizeof v.integer;
    } else if (v.kind == ResultValue::Kind::kReal) {
      std::memcpy(&v.real, data + pos, sizeof v.real);
      pos += sizeof v.real;
    } else if (v.kind != ResultValue::Kind::kNull) {
      std::uint32_t length;
      std::memcpy(&length, data + pos, sizeof length);
      pos += sizeof length;
      v.bytes = std::string_view(data + pos, length);
      pos += length;
    }
    wire.clear();
    // Every value held had its say in the decisions, so each keeps to them.
    [[maybe_unused]] const bool fits = ColumnStats::Wire(cols[n % cols.size()], v, &wire);
    assert(fits);
    AppendField(wire, &chunk);
    if (chunk.size() >= kChunkBytes) {
      out->Data(chunk);
      chunk.clear();
    }
  }
  chunk += "EOF;";
  out->Data(chunk);
  out->EndData();
}

}  // namespace orv::server
