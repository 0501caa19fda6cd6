#include "server/proc_call.h"

#include <algorithm>
#include <cctype>

namespace orv::server {

namespace {

bool Blank(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && Blank(s.front())) s.remove_prefix(1);
  while (!s.empty() && Blank(s.back())) s.remove_suffix(1);
  return s;
}

bool StartsWithWord(std::string_view s, std::string_view word) {
  if (s.size() < word.size()) return false;
  for (std::size_t i = 0; i < word.size(); ++i) {
    if (std::toupper(static_cast<unsigned char>(s[i])) != word[i]) return false;
  }
  return s.size() == word.size() || Blank(s[word.size()]);
}

bool EndsWithNoCase(std::string_view s, std::string_view tail) {
  if (s.size() < tail.size()) return false;
  s = s.substr(s.size() - tail.size());
  for (std::size_t i = 0; i < tail.size(); ++i) {
    if (std::toupper(static_cast<unsigned char>(s[i])) != tail[i]) return false;
  }
  return true;
}

// A name as a call writes it: no blanks and none of the call's punctuation.
bool PlainName(std::string_view s) {
  return !s.empty() && std::none_of(s.begin(), s.end(), [](char c) {
    return Blank(c) || c == ';' || c == '(' || c == ')' || c == ',' || c == ':' || c == '=';
  });
}

// ":name" to "name"; nothing when it is not a placeholder.
std::optional<std::string> Placeholder(std::string_view s) {
  s = Trim(s);
  if (s.size() < 2 || s[0] != ':' || !PlainName(s.substr(1))) return std::nullopt;
  return std::string(s.substr(1));
}

std::optional<ProcCall> ParseBlock(std::string_view inner) {
  // inner: what stands between BEGIN and END, one call ended by ';'.
  inner = Trim(inner);
  if (inner.empty() || inner.back() != ';') return std::nullopt;
  inner = Trim(inner.substr(0, inner.size() - 1));
  if (inner.find(';') != std::string_view::npos) return std::nullopt;
  ProcCall call;
  call.block = true;
  if (std::size_t assign = inner.find(":="); assign != std::string_view::npos) {
    auto target = Placeholder(inner.substr(0, assign));
    if (!target) return std::nullopt;
    call.result = *target;
    inner = Trim(inner.substr(assign + 2));
  }
  std::size_t open = inner.find('(');
  call.procedure = std::string(Trim(inner.substr(0, open)));
  if (!PlainName(call.procedure)) return std::nullopt;
  if (open == std::string_view::npos) return call;
  if (inner.back() != ')') return std::nullopt;
  std::string_view list = Trim(inner.substr(open + 1, inner.size() - open - 2));
  while (!list.empty()) {
    std::size_t comma = list.find(',');
    auto arg = Placeholder(list.substr(0, comma));
    if (!arg) return std::nullopt;
    call.args.push_back(*arg);
    if (comma == std::string_view::npos) break;
    list.remove_prefix(comma + 1);
    if (Trim(list).empty()) return std::nullopt;  // "P(:A,)"
  }
  return call;
}

void AppendToken(std::string_view token, std::string* out) {
  out->append(token);
  out->push_back(';');
}

void AppendDescription(int type_code, const std::string& name, ProcDirection direction,
                       std::size_t length, std::string* out) {
  AppendToken(std::to_string(type_code), out);
  AppendToken(name, out);
  AppendToken(std::to_string(static_cast<int>(direction)), out);
  AppendToken(std::to_string(length), out);
}

}  // namespace

std::optional<ProcCall> ParseProcCall(std::string_view text, std::string* error) {
  std::string_view s = Trim(text);
  std::optional<ProcCall> call;
  if (StartsWithWord(s, "BEGIN")) {
    if (EndsWithNoCase(s, "END;")) {
      s.remove_suffix(4);
    } else if (EndsWithNoCase(s, "END")) {
      s.remove_suffix(3);
    } else {
      s = {};
    }
    if (s.size() > 5 && (Blank(s.back()) || s.back() == ';')) call = ParseBlock(s.substr(5));
  } else if (PlainName(s)) {
    call = ProcCall{std::string(s), false, {}, {}};
  }
  if (!call) {
    *error = "not a procedure call: '" + std::string(s.substr(0, 200)) +
             "' (expected a procedure name, or BEGIN P(:A,:B); END; or BEGIN :R := F(:X); END;)";
  }
  return call;
}

bool BindCall(const ProcCall& call, const std::string& procedure,
              const std::vector<ProcParam>& params, const std::vector<ParamEntry>& block,
              std::vector<CallArg>* args, std::string* error) {
  args->assign(params.size(), CallArg{});
  const bool function = !params.empty() && params[0].direction == ProcDirection::kResult;
  const std::size_t arguments = params.size() - (function ? 1 : 0);
  auto input = [&](std::size_t i, const std::string& name) {
    if (!params[i].input()) return true;
    (*args)[i].input = FindParam(block, name);
    if ((*args)[i].input != nullptr) return true;
    *error = "no value given for parameter " + name + " of " + procedure;
    return false;
  };
  if (call.block) {
    if (function && call.result.empty()) {
      *error = procedure + " returns a result; call it as BEGIN :" + params[0].name + " := " +
               procedure + (arguments > 0 ? "(...)" : "") + "; END;";
      return false;
    }
    if (!function && !call.result.empty()) {
      *error = procedure + " returns no result; call it without ':='";
      return false;
    }
    if (call.args.size() != arguments) {
      *error = procedure + " takes " + std::to_string(arguments) + " parameter" +
               (arguments == 1 ? "" : "s") + "; the call gives " +
               std::to_string(call.args.size());
      return false;
    }
    if (function) (*args)[0].reply_name = ":" + call.result;
    for (std::size_t k = 0; k < call.args.size(); ++k) {
      const std::size_t i = k + (function ? 1 : 0);
      (*args)[i].reply_name = ":" + call.args[k];
      if (!input(i, call.args[k])) return false;
    }
    return true;
  }
  for (const ParamEntry& entry : block) {
    const bool known = std::any_of(params.begin(), params.end(), [&](const ProcParam& p) {
      return SameParamName(entry.name, p.name);
    });
    if (!known) {
      *error = procedure + " has no parameter " + entry.name;
      return false;
    }
  }
  for (std::size_t i = 0; i < params.size(); ++i) {
    // The client matches returned names exactly: give back its own spelling
    // of the name when it sent one.
    const ParamEntry* entry = FindParam(block, params[i].name);
    std::string_view own = entry ? std::string_view(entry->name) : params[i].name;
    if (entry && !own.empty() && (own[0] == ':' || own[0] == '@' || own[0] == '$'))
      own.remove_prefix(1);
    (*args)[i].reply_name = std::string(own);
    if (!input(i, params[i].name)) return false;
  }
  return true;
}

std::string ParamListText(const std::vector<ProcParam>& params) {
  std::string out;
  for (const ProcParam& p : params) AppendDescription(p.type_code, p.name, p.direction, p.length, &out);
  return out;
}

std::string ReturnedText(const std::vector<ReturnedParam>& returned) {
  std::vector<const ReturnedParam*> order;
  for (const ReturnedParam& r : returned) order.push_back(&r);
  std::stable_partition(order.begin(), order.end(),
                        [](const ReturnedParam* r) { return r->value.has_value(); });
  std::string out;
  for (const ReturnedParam* r : order) {
    AppendDescription(r->type_code, r->name, r->direction, r->value ? r->value->size() : 0, &out);
  }
  for (const ReturnedParam* r : order) {
    if (!r->value) {
      out += "EOF;";
      break;
    }
    AppendToken(std::to_string(r->value->size()), &out);
    AppendToken(*r->value, &out);
  }
  return out.empty() ? "EOF;" : out;
}

}  // namespace orv::server
