#include "server/column_stats.h"

#include <algorithm>
#include <cassert>
#include <cctype>
#include <charconv>

#include "server/value_text.h"

namespace orv::server {

namespace {

constexpr std::int64_t kExactDoubleLimit = std::int64_t{1} << 53;
constexpr std::size_t kNaturalTextLength = 255;

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

bool IsIsoDate(std::string_view text) {
  char wire[kWireDateLength];
  return IsoDateToWire(text, wire);
}

}  // namespace

std::string WireName(std::string_view name) {
  std::string out(name);
  std::replace(out.begin(), out.end(), ';', '_');
  return out;
}

ColumnStats::ColumnStats(std::vector<ColumnDecl> columns) : columns_(std::move(columns)) {
  stats_.resize(columns_.size());
  for (std::size_t i = 0; i < columns_.size(); ++i) ParseDecl(columns_[i].decl_type, &stats_[i]);
}

void ColumnStats::ParseDecl(std::string_view decl, Stats* s) {
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

void ColumnStats::Add(const ResultValue& v) {
  assert(!columns_.empty());
  Stats& s = stats_[values_++ % columns_.size()];
  switch (v.kind) {
    case ResultValue::Kind::kNull:
      return;
    case ResultValue::Kind::kInteger:
      if (s.ints++ == 0) {
        s.int_min = s.int_max = v.integer;
      } else {
        s.int_min = std::min(s.int_min, v.integer);
        s.int_max = std::max(s.int_max, v.integer);
      }
      s.all_bool = s.all_bool && (v.integer == 0 || v.integer == 1);
      s.all_dates = false;
      s.max_length = std::max(s.max_length, DecimalDigits(v.integer));
      return;
    case ResultValue::Kind::kReal:
      ++s.reals;
      s.all_bool = s.all_dates = false;
      // A float's text never exceeds kFloatWidth, so once a column holds a
      // value that long no float can make it longer.
      if (s.max_length < kFloatWidth)
        s.max_length = std::max(s.max_length, FormatReal(v.real, kFloatWidth).size());
      return;
    case ResultValue::Kind::kText:
      ++s.texts;
      s.all_bool = false;
      if (s.kind == DeclKind::kDate && s.all_dates) s.all_dates = IsIsoDate(v.bytes);
      s.max_length = std::max(s.max_length, v.bytes.size());
      return;
    case ResultValue::Kind::kBlob:
      ++s.blobs;
      s.all_bool = s.all_dates = false;
      s.max_length = std::max(s.max_length, v.bytes.size());
      return;
  }
}

ColumnOut ColumnStats::Decide(std::size_t column) const {
  const Stats& s = stats_[column];
  ColumnOut out;
  out.name = WireName(columns_[column].name);
  auto as_text = [&] {
    out.length = std::max(s.decl_length ? s.decl_length : kNaturalTextLength, s.max_length);
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
    out.length = kWireDateLength;
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

std::vector<ColumnOut> ColumnStats::Describe() const {
  std::vector<ColumnOut> out;
  for (std::size_t i = 0; i < columns_.size(); ++i) out.push_back(Decide(i));
  return out;
}

// The decisions above, read backwards: what each kind of description can
// hold without a different decision or a longer length.
bool ColumnStats::Wire(const ColumnOut& c, const ResultValue& v, std::string* out) {
  using Kind = ResultValue::Kind;
  switch (v.kind) {
    case Kind::kNull:
      return true;
    case Kind::kInteger: {
      if (c.mode == ColumnOut::Mode::kBool) {
        if (v.integer != 0 && v.integer != 1) return false;
        out->push_back(v.integer ? 'T' : 'F');
        return true;
      }
      const bool fits = c.type_code == kStImage ||
                        (c.type_code == kStInt ? v.integer >= INT32_MIN && v.integer <= INT32_MAX
                         : c.type_code == kStFloat
                             ? v.integer >= -kExactDoubleLimit && v.integer <= kExactDoubleLimit
                             : c.mode == ColumnOut::Mode::kRaw && DecimalDigits(v.integer) <= c.length);
      if (!fits) return false;
      char digits[24];
      out->append(digits, std::to_chars(digits, digits + sizeof digits, v.integer).ptr);
      return true;
    }
    case Kind::kReal: {
      if (c.mode != ColumnOut::Mode::kRaw || c.type_code == kStInt) return false;
      const std::size_t before = out->size();
      AppendReal(v.real, kFloatWidth, out);
      if (c.type_code == kStImage || out->size() - before <= c.length) return true;
      out->resize(before);
      return false;
    }
    case Kind::kText:
    case Kind::kBlob:
      if (c.type_code == kStImage) {
        out->append(v.bytes);
        return true;
      }
      if (v.kind == Kind::kBlob || c.mode == ColumnOut::Mode::kBool || c.type_code == kStInt ||
          c.type_code == kStFloat)
        return false;
      if (c.mode == ColumnOut::Mode::kDate) {
        char wire[kWireDateLength];
        if (!IsoDateToWire(v.bytes, wire)) return false;
        out->append(wire, sizeof wire);
        return true;
      }
      if (v.bytes.size() > c.length) return false;
      out->append(v.bytes);
      return true;
  }
  return false;
}

bool ColumnStats::Fits(const ColumnOut& c, const ResultValue& v) {
  std::string ignored;
  return Wire(c, v, &ignored);
}

}  // namespace orv::server
