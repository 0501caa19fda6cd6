#include "server/sqlite_procedure.h"

#include <sqlite3.h>

#include <cctype>

#include "server/value_text.h"

namespace orv::server {

namespace {

struct TypeName {
  const char* word;
  int type_code;
  std::size_t length;  // 0: a VARCHAR's own, or 255
};

constexpr TypeName kTypes[] = {
    {"INTEGER", kStInt, 11},   {"INT", kStInt, 11},         {"BIGINT", kStInt, 11},
    {"SMALLINT", kStInt, 11},  {"TINYINT", kStInt, 11},     {"REAL", kStFloat, 24},
    {"FLOAT", kStFloat, 24},   {"DOUBLE", kStFloat, 24},    {"NUMERIC", kStFloat, 24},
    {"DECIMAL", kStFloat, 24}, {"VARCHAR", kStVarchar, 0},  {"CHAR", kStVarchar, 0},
    {"TEXT", kStVarchar, 0},   {"BOOLEAN", kStBit, 1},      {"BOOL", kStBit, 1},
    {"DATE", kStDateTime, 17}, {"DATETIME", kStDateTime, 17}, {"TIMESTAMP", kStDateTime, 17},
    {"BLOB", kStImage, 0},
};

constexpr const char* kTypeList =
    "INTEGER, REAL, VARCHAR(n), TEXT, BOOLEAN, DATETIME or BLOB";

bool Blank(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }
bool WordChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

std::string Upper(std::string_view s) {
  std::string u(s);
  for (char& c : u) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return u;
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && Blank(s.front())) s.remove_prefix(1);
  while (!s.empty() && Blank(s.back())) s.remove_suffix(1);
  return s;
}

// A cursor over a definition's text.
class Scanner {
 public:
  explicit Scanner(std::string_view s) : s_(s) {}

  void SkipBlanks() {
    while (at_ < s_.size() && Blank(s_[at_])) ++at_;
  }
  // The next word (letters, digits, '_'), after blanks; empty when none.
  std::string_view Word() {
    SkipBlanks();
    std::size_t from = at_;
    while (at_ < s_.size() && WordChar(s_[at_])) ++at_;
    return s_.substr(from, at_ - from);
  }
  bool Keyword(std::string_view upper) {
    std::size_t from = at_;
    if (Upper(Word()) == upper) return true;
    at_ = from;
    return false;
  }
  bool Take(char c) {
    SkipBlanks();
    if (at_ < s_.size() && s_[at_] == c) {
      ++at_;
      return true;
    }
    return false;
  }
  // The text up to the ')' that closes an already taken '(', split at the
  // commas outside inner parentheses; false when it never closes.
  bool List(std::vector<std::string_view>* items) {
    int depth = 0;
    std::size_t from = at_;
    for (; at_ < s_.size(); ++at_) {
      char c = s_[at_];
      if (c == '(') {
        ++depth;
      } else if (c == ')' && depth > 0) {
        --depth;
      } else if ((c == ',' || c == ')') && depth == 0) {
        items->push_back(Trim(s_.substr(from, at_ - from)));
        from = at_ + 1;
        if (c == ')') {
          ++at_;
          return true;
        }
      }
    }
    return false;
  }
  std::string_view Rest() const { return s_.substr(at_); }

 private:
  std::string_view s_;
  std::size_t at_ = 0;
};

bool PlainWord(std::string_view s) {
  if (s.empty() || std::isdigit(static_cast<unsigned char>(s[0]))) return false;
  for (char c : s)
    if (!WordChar(c)) return false;
  return true;
}

bool ParseType(std::string_view text, ProcParam* param) {
  Scanner scan(text);
  const std::string word = Upper(scan.Word());
  if (word == "DOUBLE") scan.Keyword("PRECISION");
  std::vector<std::string_view> args;
  if (scan.Take('(') && !scan.List(&args)) return false;
  if (!Trim(scan.Rest()).empty()) return false;
  for (const TypeName& t : kTypes) {
    if (word != t.word) continue;
    param->type_code = t.type_code;
    param->length = t.length;
    if (t.type_code == kStVarchar) {
      param->length = 255;
      if (args.size() == 1 && word != "TEXT") {
        std::size_t n = 0;
        for (char c : args[0]) {
          if (!std::isdigit(static_cast<unsigned char>(c)) || n > 100000000) return false;
          n = n * 10 + static_cast<std::size_t>(c - '0');
        }
        if (n == 0) return false;
        param->length = n;
      }
    }
    return true;
  }
  return false;
}

bool ParseParam(std::string_view text, const std::string& procedure, ProcParam* param,
                std::string* error) {
  Scanner scan(text);
  std::string_view name = scan.Word();
  const std::string first = Upper(name);
  param->direction = ProcDirection::kIn;
  if (first == "IN" || first == "OUT" || first == "INOUT" || first == "RESULT") {
    if (first == "IN" && scan.Keyword("OUT")) {
      param->direction = ProcDirection::kInOut;
    } else {
      param->direction = first == "IN"      ? ProcDirection::kIn
                         : first == "OUT"   ? ProcDirection::kOut
                         : first == "INOUT" ? ProcDirection::kInOut
                                            : ProcDirection::kResult;
    }
    name = scan.Word();
  }
  if (!PlainWord(name)) {
    *error = "procedure " + procedure + ": '" + std::string(text) +
             "' is not a parameter ([IN|OUT|INOUT|RESULT] name type)";
    return false;
  }
  param->name = std::string(name);
  if (!ParseType(Trim(scan.Rest()), param)) {
    *error = "procedure " + procedure + ": parameter " + param->name + " has type '" +
             std::string(Trim(scan.Rest())) + "'; use " + kTypeList;
    return false;
  }
  return true;
}

bool ParseCreate(Scanner& scan, ProcDefinition* def, std::string* error) {
  std::vector<std::string_view> items;
  if (scan.Take('(')) {
    if (!scan.List(&items)) {
      *error = "procedure " + def->name + ": its parameter list has no closing ')'";
      return false;
    }
    if (items.size() == 1 && items[0].empty()) items.clear();
  }
  for (std::string_view item : items) {
    ProcParam param;
    if (!ParseParam(item, def->name, &param, error)) return false;
    for (const ProcParam& other : def->params) {
      if (SameParamName(other.name, param.name)) {
        *error = "procedure " + def->name + " names parameter " + param.name + " twice";
        return false;
      }
    }
    if (param.direction == ProcDirection::kResult && !def->params.empty()) {
      *error = "procedure " + def->name + ": the RESULT parameter must come first, and only one";
      return false;
    }
    def->params.push_back(std::move(param));
  }
  std::string_view body;
  if (scan.Keyword("AS") && scan.Keyword("BEGIN")) {
    body = Trim(scan.Rest());
    if (!body.empty() && body.back() == ';') body = Trim(body.substr(0, body.size() - 1));
  }
  const bool ends = body.size() >= 3 && Upper(body.substr(body.size() - 3)) == "END" &&
                    (body.size() == 3 || Blank(body[body.size() - 4]) ||
                     body[body.size() - 4] == ';');
  if (!ends || (!scan.Rest().empty() && !Blank(scan.Rest()[0]))) {
    *error = "procedure " + def->name + ": expected AS BEGIN statements END after the parameters";
    return false;
  }
  def->body = std::string(body.substr(0, body.size() - 3));
  std::vector<ProcStep> steps;
  return SplitBody(*def, &steps, error);
}

// The statement's first word, after blanks and comments, in upper case.
std::string FirstWord(std::string_view s) {
  for (;;) {
    s = Trim(s);
    if (s.starts_with("--")) {
      const std::size_t end = s.find('\n');
      s = end == std::string_view::npos ? std::string_view() : s.substr(end);
    } else if (s.starts_with("/*")) {
      const std::size_t end = s.find("*/");
      s = end == std::string_view::npos ? std::string_view() : s.substr(end + 2);
    } else {
      return Upper(Scanner(s).Word());
    }
  }
}

bool AddStep(std::string_view text, const ProcDefinition& def, std::vector<ProcStep>* steps,
             std::string* error) {
  text = Trim(text);
  if (text.empty() || text == ";") return true;
  // The body runs in a transaction of the server's: one that ended or
  // started inside it would keep a failed body's work, or end the user's.
  const std::string verb = FirstWord(text);
  for (const char* control : {"BEGIN", "COMMIT", "END", "ROLLBACK", "SAVEPOINT", "RELEASE"}) {
    if (verb == control) {
      *error = "procedure " + def.name + ": a body cannot " + verb +
               " a transaction; it runs in one transaction of its own";
      return false;
    }
  }
  ProcStep step;
  Scanner scan(text);
  // Sybase-style clients send their statements with '@' for ':'.
  if (Upper(scan.Word()) == "SET" && (scan.Take(':') || scan.Take('@'))) {
    std::string_view rest = text.substr(3);
    const std::size_t equals = rest.find('=');
    if (equals == std::string_view::npos || Trim(rest.substr(equals + 1)) == ";" ||
        Trim(rest.substr(equals + 1)).empty()) {
      *error = "procedure " + def.name + ": SET needs '= SELECT ...' after its parameters";
      return false;
    }
    std::vector<std::string_view> names;
    for (std::string_view list = rest.substr(0, equals); ;) {
      const std::size_t comma = list.find(',');
      names.push_back(Trim(list.substr(0, comma)));
      if (comma == std::string_view::npos) break;
      list.remove_prefix(comma + 1);
    }
    for (std::string_view name : names) {
      const bool placeholder = name.size() > 1 && (name[0] == ':' || name[0] == '@');
      const int index = placeholder ? ParamIndex(def, name) : -1;
      if (index < 0) {
        *error = "procedure " + def.name + ": SET " + std::string(name) + " names no parameter";
        return false;
      }
      if (def.params[index].direction == ProcDirection::kIn) {
        *error = "procedure " + def.name + ": SET " + std::string(name) +
                 " assigns an input; only OUT, INOUT and RESULT parameters can be set";
        return false;
      }
      step.targets.push_back(static_cast<std::size_t>(index));
    }
    text = rest.substr(equals + 1);
  }
  step.sql = std::string(text);
  steps->push_back(std::move(step));
  return true;
}

}  // namespace

bool IsProcDdl(std::string_view sql) {
  Scanner scan(sql);
  const std::string verb = Upper(scan.Word());
  return (verb == "CREATE" || verb == "DROP") && scan.Keyword("PROCEDURE");
}

bool ProcName(std::string_view written, std::string* name) {
  if (written.size() > 5 && Upper(written.substr(0, 5)) == "MAIN.") written.remove_prefix(5);
  if (!PlainWord(written)) return false;
  *name = std::string(written);
  return true;
}

bool ParseProcDdl(std::string_view sql, ProcDdl* ddl, std::string* error) {
  Scanner scan(Trim(sql));
  ddl->kind = Upper(scan.Word()) == "CREATE" ? ProcDdl::Kind::kCreate : ProcDdl::Kind::kDrop;
  scan.Keyword("PROCEDURE");
  if (ddl->kind == ProcDdl::Kind::kDrop) ddl->if_exists = scan.Keyword("IF") && scan.Keyword("EXISTS");
  std::string written(scan.Word());
  if (scan.Take('.')) written += "." + std::string(scan.Word());
  if (!ProcName(written, &ddl->definition.name)) {
    *error = "expected a procedure name (a plain word) after PROCEDURE, got '" + written + "'";
    return false;
  }
  if (ddl->kind == ProcDdl::Kind::kCreate) return ParseCreate(scan, &ddl->definition, error);
  std::string_view rest = Trim(scan.Rest());
  if (!rest.empty() && rest != ";") {
    *error = "DROP PROCEDURE " + ddl->definition.name + ": unexpected '" + std::string(rest) + "'";
    return false;
  }
  return true;
}

bool SplitBody(const ProcDefinition& definition, std::vector<ProcStep>* steps,
               std::string* error) {
  steps->clear();
  const std::string& body = definition.body;
  std::size_t start = 0;
  for (std::size_t i = 0; i < body.size(); ++i) {
    if (body[i] != ';') continue;
    const std::string piece = body.substr(start, i + 1 - start);
    if (!sqlite3_complete(piece.c_str())) continue;
    if (!AddStep(piece, definition, steps, error)) return false;
    start = i + 1;
  }
  return AddStep(std::string_view(body).substr(start), definition, steps, error);
}

int ParamIndex(const ProcDefinition& definition, std::string_view name) {
  for (std::size_t i = 0; i < definition.params.size(); ++i) {
    if (SameParamName(definition.params[i].name, name)) return static_cast<int>(i);
  }
  return -1;
}

}  // namespace orv::server
