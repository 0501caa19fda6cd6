// A query parameter given on the command line: `NAME=VALUE` (a string) or
// `NAME:TYPE=VALUE` with TYPE one of string, integer, float, boolean, date,
// time, datetime, memo.
//
// ParseParamSpec checks the value against its type at once, so a bad value
// is a usage error before anything is sent. A procedure's parameter comes
// with its type from the server: ParamValueAs reads a text as that type.
// Plain values; any thread.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "host/datetime.h"
#include "host/db.h"

namespace orv {
class TParam;
}

namespace orv::orvsql {

enum class ParamKind { kString, kInteger, kFloat, kBoolean, kDate, kTime, kDateTime, kMemo };

struct ParamSpec {
  std::string name;
  ParamKind kind = ParamKind::kString;
  bool typed = false;      // the kind was written (NAME:TYPE=VALUE)
  std::string text;        // kString, kMemo
  int integer = 0;         // kInteger
  double number = 0;       // kFloat
  bool boolean = false;    // kBoolean
  TDateTime moment = 0;    // kDate, kTime, kDateTime
};

// The parsed parameter, or nullopt with `error` set.
std::optional<ParamSpec> ParseParamSpec(std::string_view arg, std::string& error);

// `text` read as a value of a parameter `name` of data type `type` (texts
// and types without a reading of their own stay text), or nullopt with
// `error` set.
std::optional<ParamSpec> ParamValueAs(const std::string& name, TFieldType type,
                                      std::string_view text, std::string& error);

// Gives `param` the value and type of `spec`.
void SetParam(TParam& param, const ParamSpec& spec);

}  // namespace orv::orvsql
