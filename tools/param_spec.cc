#include "tools/param_spec.h"

#include <charconv>
#include <cmath>

#include "host/exceptions.h"
#include "host/params.h"
#include "host/sysutils.h"

namespace orv::orvsql {

namespace {

// Reads exactly `digits` decimal digits at `pos`, advancing it.
bool Digits(std::string_view s, size_t& pos, int digits, int& out) {
  if (pos + digits > s.size()) return false;
  out = 0;
  for (int i = 0; i < digits; ++i) {
    char c = s[pos + i];
    if (c < '0' || c > '9') return false;
    out = out * 10 + (c - '0');
  }
  pos += digits;
  return true;
}

bool Expect(std::string_view s, size_t& pos, char c) {
  if (pos >= s.size() || s[pos] != c) return false;
  ++pos;
  return true;
}

// YYYY-MM-DD at pos.
bool ParseDate(std::string_view s, size_t& pos, TDateTime& out) {
  int y, m, d;
  if (!Digits(s, pos, 4, y) || !Expect(s, pos, '-') || !Digits(s, pos, 2, m) ||
      !Expect(s, pos, '-') || !Digits(s, pos, 2, d))
    return false;
  try {
    out = EncodeDate(y, m, d);
  } catch (const EConvertError&) {
    return false;
  }
  return true;
}

// HH:MM:SS with an optional .zzz at pos.
bool ParseTime(std::string_view s, size_t& pos, TDateTime& out) {
  int h, n, sec, ms = 0;
  if (!Digits(s, pos, 2, h) || !Expect(s, pos, ':') || !Digits(s, pos, 2, n) ||
      !Expect(s, pos, ':') || !Digits(s, pos, 2, sec))
    return false;
  if (pos < s.size() && s[pos] == '.' && (++pos, !Digits(s, pos, 3, ms))) return false;
  try {
    out = EncodeTime(h, n, sec, ms);
  } catch (const EConvertError&) {
    return false;
  }
  return true;
}

bool ParseValue(ParamSpec& spec, std::string_view v) {
  size_t pos = 0;
  switch (spec.kind) {
    case ParamKind::kString:
    case ParamKind::kMemo:
      spec.text = std::string(v);
      return true;
    case ParamKind::kInteger: {
      auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), spec.integer);
      return ec == std::errc() && end == v.data() + v.size() && !v.empty();
    }
    case ParamKind::kFloat: {
      auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), spec.number);
      return ec == std::errc() && end == v.data() + v.size() && std::isfinite(spec.number);
    }
    case ParamKind::kBoolean:
      if (SameText(v, "true")) {
        spec.boolean = true;
        return true;
      }
      if (SameText(v, "false")) {
        spec.boolean = false;
        return true;
      }
      return false;
    case ParamKind::kDate:
      return ParseDate(v, pos, spec.moment) && pos == v.size();
    case ParamKind::kTime:
      return ParseTime(v, pos, spec.moment) && pos == v.size();
    case ParamKind::kDateTime: {
      TDateTime date, time;
      if (!ParseDate(v, pos, date) || pos >= v.size() || (v[pos] != ' ' && v[pos] != 'T'))
        return false;
      ++pos;
      if (!ParseTime(v, pos, time) || pos != v.size()) return false;
      spec.moment = date + time;
      return true;
    }
  }
  return false;
}

struct KindName {
  const char* name;
  ParamKind kind;
  const char* form;
};

constexpr KindName kKinds[] = {
    {"string", ParamKind::kString, "any text"},
    {"integer", ParamKind::kInteger, "a 32-bit integer"},
    {"float", ParamKind::kFloat, "a number"},
    {"boolean", ParamKind::kBoolean, "true or false"},
    {"date", ParamKind::kDate, "YYYY-MM-DD"},
    {"time", ParamKind::kTime, "HH:MM:SS"},
    {"datetime", ParamKind::kDateTime, "YYYY-MM-DD HH:MM:SS"},
    {"memo", ParamKind::kMemo, "any text"},
};

}  // namespace

std::optional<ParamSpec> ParseParamSpec(std::string_view arg, std::string& error) {
  size_t eq = arg.find('=');
  if (eq == std::string_view::npos) {
    error = "--param wants NAME=VALUE or NAME:TYPE=VALUE, not '" + std::string(arg) + "'";
    return std::nullopt;
  }
  std::string_view left = arg.substr(0, eq);
  std::string_view value = arg.substr(eq + 1);
  ParamSpec spec;
  const KindName* kind = nullptr;
  size_t colon = left.rfind(':');
  if (colon != std::string_view::npos) {
    std::string_view type = left.substr(colon + 1);
    for (const KindName& k : kKinds)
      if (SameText(type, k.name)) kind = &k;
    if (!kind) {
      error = "unknown parameter type '" + std::string(type) +
              "' (string, integer, float, boolean, date, time, datetime, memo)";
      return std::nullopt;
    }
    spec.kind = kind->kind;
    spec.typed = true;
    left = left.substr(0, colon);
  }
  if (!left.empty() && left.front() == ':') left.remove_prefix(1);
  if (left.empty()) {
    error = "--param '" + std::string(arg) + "' has no name";
    return std::nullopt;
  }
  spec.name = std::string(left);
  if (!ParseValue(spec, value)) {
    error = "parameter " + spec.name + ": '" + std::string(value) + "' is not " + kind->form;
    return std::nullopt;
  }
  return spec;
}

std::optional<ParamSpec> ParamValueAs(const std::string& name, TFieldType type,
                                      std::string_view text, std::string& error) {
  ParamSpec spec;
  spec.name = name;
  spec.typed = true;
  switch (type) {
    case ftSmallint:
    case ftInteger:
    case ftWord:
    case ftAutoInc:
      spec.kind = ParamKind::kInteger;
      break;
    case ftFloat:
    case ftCurrency:
      spec.kind = ParamKind::kFloat;
      break;
    case ftBoolean:
      spec.kind = ParamKind::kBoolean;
      break;
    case ftDate:
      spec.kind = ParamKind::kDate;
      break;
    case ftTime:
      spec.kind = ParamKind::kTime;
      break;
    case ftDateTime:
      spec.kind = ParamKind::kDateTime;
      break;
    case ftMemo:
      spec.kind = ParamKind::kMemo;
      break;
    default:
      break;
  }
  if (ParseValue(spec, text)) return spec;
  for (const KindName& k : kKinds)
    if (k.kind == spec.kind)
      error = "parameter " + name + ": '" + std::string(text) + "' is not " + k.form;
  return std::nullopt;
}

void SetParam(TParam& param, const ParamSpec& spec) {
  switch (spec.kind) {
    case ParamKind::kString:
      param.SetAsString(spec.text);
      break;
    case ParamKind::kMemo:
      param.SetAsMemo(spec.text);
      break;
    case ParamKind::kInteger:
      param.SetAsInteger(spec.integer);
      break;
    case ParamKind::kFloat:
      param.SetAsFloat(spec.number);
      break;
    case ParamKind::kBoolean:
      param.SetAsBoolean(spec.boolean);
      break;
    case ParamKind::kDate:
      param.SetAsDate(spec.moment);
      break;
    case ParamKind::kTime:
      param.SetAsTime(spec.moment);
      break;
    case ParamKind::kDateTime:
      param.SetAsDateTime(spec.moment);
      break;
  }
}

}  // namespace orv::orvsql
