#include "server/generated_statement.h"

#include <cctype>
#include <charconv>
#include <string_view>

#include "server/result_table.h"
#include "server/words.h"

namespace orv::server {

namespace {

using Kind = GeneratedStatement::Kind;
using Term = GeneratedStatement::Term;

bool StartsWith(std::string_view s, std::string_view prefix) {
  return s.substr(0, prefix.size()) == prefix;
}

bool IsBlank(char c) { return static_cast<unsigned char>(c) <= ' '; }

// Blanks and control characters cut from both ends, as the client cuts them.
std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

std::string_view TrimRightBlanks(std::string_view s) {
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return s;
}

bool IsRowId(std::string_view column) { return EqualNoCase(column, "ROWID"); }

std::string_view WithoutPrefix(std::string_view name) {
  if (!name.empty() && (name[0] == ':' || name[0] == '@')) name.remove_prefix(1);
  return name;
}

std::vector<std::string_view> Split(std::string_view s, std::string_view separator) {
  std::vector<std::string_view> parts;
  for (;;) {
    const std::size_t at = s.find(separator);
    parts.push_back(s.substr(0, at));
    if (at == std::string_view::npos) return parts;
    s.remove_prefix(at + separator.size());
  }
}

// One "column = :placeholder" clause; false when it is not one.
bool SplitClause(std::string_view clause, std::string_view* column, std::string_view* holder) {
  const std::size_t at = clause.find(" = ");
  if (at == std::string_view::npos || at == 0) return false;
  *column = clause.substr(0, at);
  std::string_view rest = clause.substr(at + 3);
  if (rest.size() < 2 || (rest[0] != ':' && rest[0] != '@')) return false;
  *holder = rest.substr(1);
  return true;
}

// Placeholder and column names pair up: ":A" for A, ":RID" for a ROWID.
bool SameOrRid(std::string_view column, std::string_view holder) {
  return holder == column || (IsRowId(column) && holder == "RID");
}

// ":A_3" for A: the column's name, "_" and a position number.
bool Positioned(std::string_view column, std::string_view holder) {
  if (holder.size() < column.size() + 2 || !StartsWith(holder, column) ||
      holder[column.size()] != '_')
    return false;
  std::string_view digits = holder.substr(column.size() + 1);
  if (digits[0] == '0') return false;
  for (char c : digits)
    if (c < '0' || c > '9') return false;
  return true;
}

// Whether `entry` is the value of placeholder `holder`. Behind an NT server
// the ROWID's value comes named after its column, while the text says
// ":RID".
bool Carries(const ParamEntry& entry, std::string_view holder) {
  const std::string_view name = WithoutPrefix(entry.name);
  return name == holder || (holder == "RID" && IsRowId(name));
}

// Terms from ", "- or " and "-separated clauses whose placeholders `fits`
// its column, taking their entries from `params` at `*next` on.
template <class Fits>
bool ReadClauses(std::string_view list, std::string_view separator, Fits fits,
                 const std::vector<ParamEntry>& params, std::size_t* next,
                 std::vector<Term>* terms) {
  for (std::string_view clause : Split(list, separator)) {
    std::string_view column, holder;
    if (!SplitClause(clause, &column, &holder) || !fits(column, holder)) return false;
    if (*next >= params.size() || !Carries(params[*next], holder)) return false;
    terms->push_back({std::string(column), params[(*next)++]});
  }
  return true;
}

// Moves the ROWID condition out of the ordinary ones; false if two.
bool TakeAddress(GeneratedStatement* statement) {
  auto& conditions = statement->conditions;
  for (auto it = conditions.begin(); it != conditions.end();) {
    if (!IsRowId(it->column)) {
      ++it;
      continue;
    }
    if (statement->address) return false;
    statement->address = std::move(*it);
    it = conditions.erase(it);
  }
  return !conditions.empty() || statement->address.has_value();
}

bool ParseInsert(std::string_view t, const std::vector<ParamEntry>& params,
                 GeneratedStatement* out) {
  t.remove_prefix(std::string_view("Insert Into ").size());
  const std::size_t open = t.find(" (");
  const std::size_t middle = t.find(") Values (");
  if (open == std::string_view::npos || open == 0 || middle == std::string_view::npos ||
      middle < open || t.back() != ')')
    return false;
  out->kind = Kind::kInsert;
  out->table = std::string(t.substr(0, open));
  const auto columns = Split(TrimRightBlanks(t.substr(open + 2, middle - open - 2)), ", ");
  const std::string_view holders_text = t.substr(middle + 10, t.size() - middle - 11);
  const auto holders = Split(TrimRightBlanks(holders_text), ", ");
  if (columns.size() != holders.size() || columns.size() != params.size()) return false;
  for (std::size_t i = 0; i < columns.size(); ++i) {
    const std::string_view holder = holders[i];
    if (columns[i].empty() || holder.size() < 2 || (holder[0] != ':' && holder[0] != '@') ||
        holder.substr(1) != columns[i] || WithoutPrefix(params[i].name) != columns[i])
      return false;
    out->values.push_back({std::string(columns[i]), params[i]});
  }
  return true;
}

bool ParseUpdate(std::string_view t, const std::vector<ParamEntry>& params,
                 GeneratedStatement* out) {
  t.remove_prefix(std::string_view("Update ").size());
  const std::size_t set = t.find(" Set ");
  if (set == std::string_view::npos || set == 0) return false;
  const std::size_t where = t.find(" Where ", set);
  if (where == std::string_view::npos) return false;
  out->kind = Kind::kUpdate;
  out->table = std::string(t.substr(0, set));
  std::size_t next = 0;
  auto plain = [](std::string_view column, std::string_view holder) {
    return holder == column && !IsRowId(column);
  };
  if (!ReadClauses(TrimRightBlanks(t.substr(set + 5, where - set - 5)), ", ", plain, params,
                   &next, &out->values) ||
      !ReadClauses(t.substr(where + 7), " and ", Positioned, params, &next, &out->conditions))
    return false;
  return next == params.size() && TakeAddress(out);
}

bool ParseDelete(std::string_view t, const std::vector<ParamEntry>& params,
                 GeneratedStatement* out) {
  t.remove_prefix(std::string_view("Delete from ").size());
  const std::size_t where = t.find(" Where ");
  if (where == std::string_view::npos || where == 0) return false;
  out->kind = Kind::kDelete;
  out->table = std::string(t.substr(0, where));
  std::size_t next = 0;
  if (!ReadClauses(t.substr(where + 7), " and ", SameOrRid, params, &next, &out->conditions))
    return false;
  return next == params.size() && TakeAddress(out);
}

bool IsFloatCode(int code) {
  switch (code) {
    case kStReal: case kStFloat: case kStMoney: case kStMoney4: case kStNumeric:
    case kStDecimal: case kStLong:
      return true;
    default:
      return false;
  }
}

bool ReadDouble(std::string_view text, double* out) {
  const char* end = text.data() + text.size();
  auto [ptr, ec] = std::from_chars(text.data(), end, *out);
  return ec == std::errc() && ptr == end && !text.empty();
}

// The value as a result set carries it in a column of type `code`.
std::string WireText(const ParamValue& value, int code) {
  switch (value.kind) {
    case ParamValue::Kind::kNull:
      return std::string();
    case ParamValue::Kind::kInteger:
      if (code == kStBit) return value.integer != 0 ? "T" : "F";
      return std::to_string(value.integer);
    case ParamValue::Kind::kReal:
      return FormatReal(value.real, ResultTable::kFloatWidth);
    case ParamValue::Kind::kText:
      if (code == kStDateTime || code == kStDateTime4)
        return IsoDateToWire(value.text).value_or(value.text);
      return value.text;
    case ParamValue::Kind::kBlob:
      return value.text;
  }
  return std::string();
}

Outcome Decode(const ParamEntry& entry, ParamValue* out) {
  std::string error;
  auto value = DecodeParam(entry.type_code, entry.value, &error);
  if (!value) return Outcome::Error(-1, "parameter " + entry.name + ": " + error);
  *out = std::move(*value);
  return {};
}

}  // namespace

std::optional<GeneratedStatement> Recognise(const std::string& text,
                                            const std::vector<ParamEntry>& params) {
  // SQL from a dataset's lines ends in CR LF; a generated statement holds no
  // line break at all, and may carry one blank of frame padding.
  if (text.find_first_of("\r\n") != std::string::npos) return std::nullopt;
  const std::string_view t = TrimRightBlanks(text);
  GeneratedStatement statement;
  bool ok = false;
  if (StartsWith(t, "Insert Into ")) {
    ok = ParseInsert(t, params, &statement);
  } else if (StartsWith(t, "Update ")) {
    ok = ParseUpdate(t, params, &statement);
  } else if (StartsWith(t, "Delete from ")) {
    ok = ParseDelete(t, params, &statement);
  }
  if (!ok) return std::nullopt;
  return statement;
}

bool SelectsRowAddress(const std::string& sql) {
  std::string_view s = Trim(sql);
  if (s.size() < 7 || !EqualNoCase(s.substr(0, 6), "select") || !IsBlank(s[6])) return false;
  s.remove_prefix(6);
  // The select list ends at the first "from" outside quotes and brackets;
  // its last item follows the last comma at the same level.
  int depth = 0;
  char quote = 0;
  std::size_t last_comma = 0;
  auto word_char = [](char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '$';
  };
  for (std::size_t i = 0; i < s.size(); ++i) {
    const char c = s[i];
    if (quote != 0) {
      if (c == quote) quote = 0;
      continue;
    }
    if (c == '\'' || c == '"' || c == '`') {
      quote = c;
    } else if (c == '[') {
      quote = ']';
    } else if (c == '(') {
      ++depth;
    } else if (c == ')') {
      --depth;
    } else if (depth == 0 && c == ',') {
      last_comma = i + 1;
    } else if (depth == 0 && (c == 'f' || c == 'F') && !word_char(s[i - 1]) &&
               i + 4 <= s.size() && EqualNoCase(s.substr(i, 4), "from") &&
               (i + 4 == s.size() || !word_char(s[i + 4]))) {
      return last_comma != 0 && IsRowId(Trim(s.substr(last_comma, i - last_comma)));
    }
  }
  return false;
}

bool Matches(const ParamValue& stored, const ParamEntry& entry) {
  const std::string text = WireText(stored, entry.type_code);
  // Blob and long-text values travel whole, never trimmed.
  if (entry.type_code == kStText || entry.type_code == kStImage) return text == entry.value;
  const std::string_view have = Trim(text);
  const std::string_view want = Trim(entry.value);
  if (have == want) return true;
  double a = 0, b = 0;
  return IsFloatCode(entry.type_code) && ReadDouble(have, &a) && ReadDouble(want, &b) && a == b;
}

Outcome ApplyGenerated(const GeneratedStatement& statement, GeneratedTarget& target,
                       std::int64_t* changed) {
  *changed = 0;
  if (statement.kind == Kind::kInsert) {
    std::vector<std::string> columns;
    std::vector<ParamValue> values(statement.values.size());
    for (std::size_t i = 0; i < statement.values.size(); ++i) {
      columns.push_back(statement.values[i].column);
      if (Outcome o = Decode(statement.values[i].param, &values[i]); !o.ok()) return o;
    }
    return target.InsertRow(statement.table, columns, values, changed);
  }

  // The conditions' columns, then (UPDATE) the Set columns, to compare the
  // new values with.
  std::vector<std::string> columns;
  for (const Term& c : statement.conditions) columns.push_back(c.column);
  const bool update = statement.kind == Kind::kUpdate;
  if (update)
    for (const Term& v : statement.values) columns.push_back(v.column);

  struct Match {
    std::string key;
    std::vector<ParamValue> values;
  };
  std::vector<Match> matches;
  bool seen = false;
  auto visit = [&](const std::string& key, const std::vector<ParamValue>& values) {
    seen = true;
    for (std::size_t i = 0; i < statement.conditions.size(); ++i)
      if (!Matches(values[i], statement.conditions[i].param)) return true;
    matches.push_back({key, values});
    return matches.size() < 2;
  };
  const std::string* address = nullptr;
  if (statement.address && !Trim(statement.address->param.value).empty())
    address = &statement.address->param.value;
  if (address != nullptr) {
    std::string trimmed(Trim(*address));
    if (Outcome o = target.ScanRows(statement.table, columns, &trimmed, visit); !o.ok()) return o;
  }
  // No address, or none of that number: the row is found by its values.
  if (!seen) {
    if (Outcome o = target.ScanRows(statement.table, columns, nullptr, visit); !o.ok()) return o;
  }
  if (matches.size() > 1) return Outcome::Error(-1, kMultipleRecords);
  if (matches.empty()) return {};

  const Match& row = matches.front();
  if (!update) return target.DeleteRow(statement.table, row.key, changed);
  std::vector<std::string> set_columns;
  std::vector<ParamValue> set_values;
  for (std::size_t i = 0; i < statement.values.size(); ++i) {
    const Term& v = statement.values[i];
    if (Matches(row.values[statement.conditions.size() + i], v.param)) continue;
    set_values.emplace_back();
    if (Outcome o = Decode(v.param, &set_values.back()); !o.ok()) return o;
    set_columns.push_back(v.column);
  }
  if (set_columns.empty()) {
    *changed = 1;
    return {};
  }
  return target.UpdateRow(statement.table, row.key, set_columns, set_values, changed);
}

std::string QuoteIdentifier(const std::string& name) {
  std::string out = "\"";
  for (char c : name) {
    out += c;
    if (c == '"') out += '"';
  }
  return out + "\"";
}

}  // namespace orv::server
