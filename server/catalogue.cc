#include "server/catalogue.h"
#include "server/words.h"

#include <cctype>

namespace orv::server {

namespace {

using Kind = CatalogueQuery::Kind;

struct KnownText {
  const char* text;
  Kind kind;
};

constexpr KnownText kKnownTexts[] = {
    {"select user_name (uid), name from sysobjects where type in ('U', 'V')", Kind::kTables},
    {"select user_name (uid), name from sysobjects where type = 'P'", Kind::kProcedures},
    {"select owner, object_name from sys.all_objects where object_type in ('TABLE', 'VIEW') "
     "and owner != 'SYS'",
     Kind::kTables},
    {"select owner, object_name from sys.all_objects where object_type in ('PROCEDURE', "
     "'FUNCTION')",
     Kind::kProcedures},
    {"select owner, object_name from sys.all_objects where object_type in ('PROCEDURE', "
     "'FUNCTION', 'PACKAGE' )",
     Kind::kProcedures},
};

constexpr std::string_view kParamsHead =
    "select c.name, t.usertype from syscolumns c, systypes t where c.usertype = t.usertype "
    "and c.id = object_id ('";
constexpr std::string_view kParamsTail = "') and c.number = 1";

bool Blank(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

// Length of the name at the start of s: a plain word, or a double-quoted
// name with "" for a quote; 0 when there is none.
std::size_t NameLength(std::string_view s) {
  if (!s.empty() && s[0] == '"') {
    for (std::size_t i = 1; i < s.size(); ++i) {
      if (s[i] != '"') continue;
      if (i + 1 < s.size() && s[i + 1] == '"') {
        ++i;
        continue;
      }
      return i + 1;
    }
    return 0;
  }
  std::size_t n = 0;
  while (n < s.size() &&
         (std::isalnum(static_cast<unsigned char>(s[n])) || s[n] == '_' || s[n] == '$'))
    ++n;
  return n;
}

}  // namespace

std::optional<CatalogueQuery> RecogniseCatalogue(std::string_view sql) {
  while (!sql.empty() && Blank(sql.front())) sql.remove_prefix(1);
  while (!sql.empty() && Blank(sql.back())) sql.remove_suffix(1);
  for (const KnownText& known : kKnownTexts) {
    if (sql == known.text) return CatalogueQuery{known.kind, {}};
  }
  if (sql.size() > kParamsHead.size() + kParamsTail.size() && sql.starts_with(kParamsHead) &&
      sql.ends_with(kParamsTail)) {
    sql.remove_prefix(kParamsHead.size());
    sql.remove_suffix(kParamsTail.size());
    return CatalogueQuery{Kind::kProcedureParams, std::string(sql)};
  }
  return std::nullopt;
}

std::string WithoutStarOwner(const std::string& sql, std::string_view owner) {
  std::string_view s = sql;
  std::size_t at = 0;
  while (at < s.size() && Blank(s[at])) ++at;
  if (s.size() - at < 7 || !EqualNoCase(s.substr(at, 6), "select") || !Blank(s[at + 6]))
    return sql;
  at += 7;
  while (at < s.size() && Blank(s[at])) ++at;
  const std::size_t item = at;
  if (s.size() - at <= owner.size() || !EqualNoCase(s.substr(at, owner.size()), owner) ||
      s[at + owner.size()] != '.')
    return sql;
  at += owner.size() + 1;
  const std::size_t name = NameLength(s.substr(at));
  if (name == 0 || s.substr(at + name, 2) != ".*") return sql;
  return sql.substr(0, item) + sql.substr(at);
}

}  // namespace orv::server
