// Statement texts: splitting a script file, collecting the lines typed at
// the prompt, and telling a query (opened, rows printed) from any other
// statement (executed, row count printed).
//
// Plain functions and a small value class; the thread that uses them.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orv::orvsql {

// The statements and backslash commands of a script. Statements are
// separated by a line holding only ";" or "/" (blanks around it allowed),
// so a statement may itself contain semicolons. A line whose first
// non-blank character is a backslash is a command of its own (trimmed) and
// also ends the statement before it. Statements that hold nothing but
// blanks are dropped; the last one needs no separator.
std::vector<std::string> SplitScript(std::string_view text);

// True when the first word of `sql` (after blanks, "--" and "/* */"
// comments and opening parentheses) is SELECT or WITH, in any case.
bool IsQuery(std::string_view sql);

// The statements that run the connection's own transaction commands
// rather than going to the server as SQL: "begin" (or "begin transaction",
// "start transaction"), "commit" and "rollback", in any case.
enum class TransactionCommand { kNone, kBegin, kCommit, kRollback };
TransactionCommand TransactionCommandOf(std::string_view sql);

// Collects the lines typed at the prompt. A statement ends at a line whose
// last non-blank character is ";"; that ";" is not part of the statement.
class StatementCollector {
 public:
  // Adds one line (without its line break); returns the statement it
  // completes, if any. A line that ends a statement holding only blanks
  // completes nothing.
  std::optional<std::string> AddLine(std::string_view line);
  // The statement begun and not ended yet, if it holds more than blanks;
  // clears it.
  std::optional<std::string> TakeRest();
  // True while a statement has been begun.
  bool Pending() const { return !text_.empty(); }

 private:
  std::string text_;
};

}  // namespace orv::orvsql
