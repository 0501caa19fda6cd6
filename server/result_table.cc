#include "server/result_table.h"

#include <algorithm>
#include <cassert>
#include <cctype>
#include <cstring>

#include "server/value_text.h"

namespace orv::server {

namespace {

constexpr std::int64_t kExactDoubleLimit = std::int64_t{1} << 53;
constexpr std::size_t kBlockBytes = 1 << 20;

std::size_t DecimalDigits(std::int64_t v) {
  std::size_t n = v < 0 ? 2 : 1;
  std::uint64_t u = v < 0 ? 0 - static_cast<std::uint64_t>(v) : static_cast<std::uint64_t>(v);
  while (u >= 10) {
    u /= 10;
    ++n;
  }
  return n;
}

std::string Upper(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

}  // namespace

std::string WireName(std::string_view name) {
  std::string out(name);
  std::replace(out.begin(), out.end(), ';', '_');
  return out;
}

void AppendDescription(const ColumnOut& c, std::string* out) {
  *out += std::to_string(c.type_code) + ";" + c.name + ";" + std::to_string(c.length) + ";0;";
}

void AppendField(std::string_view data, std::string* out) {
  *out += std::to_string(data.size());
  *out += ';';
  *out += data;
  *out += ';';
}

ResultTable::ResultTable(std::vector<ColumnDecl> columns) : columns_(std::move(columns)) {
  stats_.resize(columns_.size());
  for (std::size_t i = 0; i < columns_.size(); ++i) ParseDecl(columns_[i].decl_type, &stats_[i]);
}

void ResultTable::ParseDecl(std::string_view decl, Stats* s) {
  std::string t = Upper(decl);
  auto has = [&t](const char* word) { return t.find(word) != std::string::npos; };
  if (has("BOOL")) {
    s->kind = DeclKind::kBool;
  } else if (has("DATE") || has("TIMESTAMP")) {
    s->kind = DeclKind::kDate;
  } else if (has("INT")) {
    s->kind = DeclKind::kInteger;
  } else if (has("CHAR") || has("CLOB") || has("TEXT")) {
    s->kind = DeclKind::kText;
  } else if (has("BLOB")) {
    s->kind = DeclKind::kBlob;
  } else if (has("REAL") || has("FLOA") || has("DOUB") || has("NUM") || has("DEC")) {
    s->kind = DeclKind::kReal;
  }
  std::size_t open = t.find('(');
  if (open != std::string::npos && s->kind == DeclKind::kText) {
    std::size_t n = 0;
    for (std::size_t i = open + 1; i < t.size() && std::isdigit(static_cast<unsigned char>(t[i]));
         ++i) {
      n = std::min<std::size_t>(n * 10 + static_cast<std::size_t>(t[i] - '0'), 1u << 30);
    }
    s->decl_length = n;
  }
}

std::size_t ResultTable::RowCount() const {
  return columns_.empty() ? 0 : values_ / columns_.size();
}

ResultTable::Stats& ResultTable::NextColumn() {
  assert(!columns_.empty());
  return stats_[values_++ % columns_.size()];
}

std::string& ResultTable::Room(std::size_t n) {
  if (arena_.empty() || arena_.back().capacity() - arena_.back().size() < n) {
    arena_.emplace_back();
    arena_.back().reserve(std::max(kBlockBytes, n));
    arena_bytes_ += arena_.back().capacity();
  }
  return arena_.back();
}

void ResultTable::PutBytes(Tag tag, std::string_view bytes) {
  std::uint32_t length = static_cast<std::uint32_t>(bytes.size());
  std::string& block = Room(1 + sizeof length + bytes.size());
  block.push_back(tag);
  block.append(reinterpret_cast<const char*>(&length), sizeof length);
  block.append(bytes);
}

void ResultTable::AddNull() {
  NextColumn();
  Room(1).push_back(kNull);
}

void ResultTable::AddInteger(std::int64_t value) {
  Stats& s = NextColumn();
  if (s.ints++ == 0) {
    s.int_min = s.int_max = value;
  } else {
    s.int_min = std::min(s.int_min, value);
    s.int_max = std::max(s.int_max, value);
  }
  s.all_bool = s.all_bool && (value == 0 || value == 1);
  s.all_dates = false;
  s.max_length = std::max(s.max_length, DecimalDigits(value));
  std::string& block = Room(1 + sizeof value);
  block.push_back(kInteger);
  block.append(reinterpret_cast<const char*>(&value), sizeof value);
}

void ResultTable::AddReal(double value) {
  Stats& s = NextColumn();
  ++s.reals;
  s.all_bool = s.all_dates = false;
  std::string text = FormatReal(value, kFloatWidth);
  s.max_length = std::max(s.max_length, text.size());
  PutBytes(kReal, text);
}

void ResultTable::AddText(std::string_view value) {
  Stats& s = NextColumn();
  ++s.texts;
  s.all_bool = false;
  if (s.kind == DeclKind::kDate && s.all_dates) s.all_dates = IsoDateToWire(value).has_value();
  s.max_length = std::max(s.max_length, value.size());
  PutBytes(kText, value);
}

void ResultTable::AddBlob(std::string_view value) {
  Stats& s = NextColumn();
  ++s.blobs;
  s.all_bool = s.all_dates = false;
  s.max_length = std::max(s.max_length, value.size());
  PutBytes(kBlob, value);
}

ColumnOut ResultTable::Decide(std::size_t column) const {
  const Stats& s = stats_[column];
  ColumnOut out;
  out.name = WireName(columns_[column].name);
  auto as_text = [&] {
    out.length = std::max(s.decl_length ? s.decl_length : 255, s.max_length);
    out.type_code = out.length > kMemoThreshold ? kStText : kStVarchar;
    return out;
  };
  std::size_t non_null = s.ints + s.reals + s.texts + s.blobs;
  if (s.kind == DeclKind::kBlob || s.blobs > 0) {
    out.type_code = kStImage;
    out.length = s.max_length;
    return out;
  }
  if (s.kind == DeclKind::kBool && s.all_bool) {
    out.type_code = kStBit;
    out.length = 1;
    out.mode = ColumnOut::Mode::kBool;
    return out;
  }
  if (s.kind == DeclKind::kDate) {
    if (!s.all_dates) return as_text();
    out.type_code = kStDateTime;
    out.length = 17;
    out.mode = ColumnOut::Mode::kDate;
    return out;
  }
  if (s.texts > 0) return as_text();
  if (non_null == 0) {
    if (s.kind == DeclKind::kInteger) {
      out.type_code = kStInt;
      out.length = 11;
      return out;
    }
    if (s.kind == DeclKind::kReal) {
      out.type_code = kStFloat;
      out.length = kFloatWidth;
      return out;
    }
    return as_text();
  }
  bool int32 = s.ints == 0 || (s.int_min >= INT32_MIN && s.int_max <= INT32_MAX);
  bool exact = s.ints == 0 || (s.int_min >= -kExactDoubleLimit && s.int_max <= kExactDoubleLimit);
  if (s.reals == 0 && int32) {
    out.type_code = kStInt;
    out.length = std::max<std::size_t>(11, s.max_length);
    return out;
  }
  if (exact) {
    out.type_code = kStFloat;
    out.length = std::max(kFloatWidth, s.max_length);
    return out;
  }
  return as_text();
}

std::vector<ColumnOut> ResultTable::Describe() const {
  std::vector<ColumnOut> out;
  for (std::size_t i = 0; i < columns_.size(); ++i) out.push_back(Decide(i));
  return out;
}

void ResultTable::Write(FrameWriter* out) const {
  std::vector<ColumnOut> cols = Describe();
  std::string chunk;
  for (const ColumnOut& c : cols) AppendDescription(c, &chunk);
  auto field = [&chunk](std::string_view data) { AppendField(data, &chunk); };
  std::size_t block = 0, pos = 0;
  for (std::size_t v = 0; v < values_; ++v) {
    const ColumnOut& c = cols[v % cols.size()];
    if (pos == arena_[block].size()) {
      ++block;
      pos = 0;
    }
    const std::string& data = arena_[block];
    Tag tag = static_cast<Tag>(data[pos++]);
    if (tag == kNull) {
      field({});
    } else if (tag == kInteger) {
      std::int64_t value;
      std::memcpy(&value, data.data() + pos, sizeof value);
      pos += sizeof value;
      field(c.mode == ColumnOut::Mode::kBool ? (value ? "T" : "F") : std::to_string(value));
    } else {
      std::uint32_t length;
      std::memcpy(&length, data.data() + pos, sizeof length);
      pos += sizeof length;
      std::string_view bytes(data.data() + pos, length);
      pos += length;
      if (c.mode == ColumnOut::Mode::kDate) {
        field(IsoDateToWire(bytes).value_or(std::string()));
      } else {
        field(bytes);
      }
    }
    if (chunk.size() >= 32 * 1024) {
      out->Data(chunk);
      chunk.clear();
    }
  }
  chunk += "EOF;";
  out->Data(chunk);
  out->EndData();
}

}  // namespace orv::server
