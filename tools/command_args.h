// The arguments of the backslash commands: a command line split into its
// name and the rest, values written bare or as SQL string literals, and
// the FIELD=VALUE lists and \edit targets built from them.
//
// A value is a run of non-blank characters, or an SQL string literal
// ('Rock and Roll', a quote inside doubled: 'it''s') whose text is taken
// as written, blanks and all. A bare NULL, in any case, is the null value;
// a quoted 'NULL' is the text. Every parser reports what it could not read
// in `error` and returns nullopt; nothing is half-parsed.
//
// Plain functions; any thread.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orv::orvsql {

// True when the first non-blank character of `line` is a backslash.
bool IsCommandLine(std::string_view line);

struct CommandLine {
  std::string name;  // with its backslash: "\update"
  std::string rest;  // the arguments, trimmed
};
CommandLine SplitCommand(std::string_view line);

// One value; nullopt for NULL.
using Value = std::optional<std::string>;

struct Assignment {
  std::string field;
  Value value;
};
// FIELD=VALUE items separated by blanks, at least one; a field may be
// named once.
std::optional<std::vector<Assignment>> ParseAssignments(std::string_view text,
                                                        std::string& error);

// Values separated by blanks; none is an empty list.
std::optional<std::vector<Value>> ParseValues(std::string_view text, std::string& error);

// Removes the leading words of `text` that are among `allowed` (each a
// one-letter flag such as "-i") and returns them in the order given.
std::vector<std::string> TakeFlags(std::string& text, const std::vector<std::string>& allowed);

// Removes and returns the first blank-separated word of `text`.
std::string TakeWord(std::string& text);

// What \edit opens: TABLE [WHERE condition] [ORDER BY fields].
struct EditTarget {
  std::string table;
  std::string condition;   // empty: every row
  std::string index_fields;  // the ORDER BY fields separated by ";"
};
std::optional<EditTarget> ParseEditTarget(std::string_view text, std::string& error);

}  // namespace orv::orvsql
