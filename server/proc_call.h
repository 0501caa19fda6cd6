// Stored procedure calls as they arrive, and the replies that carry a
// procedure's parameters back, independent of the database behind them.
//
// A call arrives as the text of a PROCEXEC or PROCOPEN request in one of two
// forms:
//   - an anonymous block, from clients of Oracle behind a UNIX server:
//       BEGIN P(:A,:B); END;   BEGIN :R := F(:X); END;   BEGIN :R := F; END;
//     whose placeholders stand for the procedure's parameters by position
//     (the ":=" target for its RESULT parameter), bound by name from the
//     parameter block;
//   - the bare procedure name, from every other client, whose parameter
//     block names the parameters themselves (a function's result has no
//     entry there).
// Returned parameters go back under the name the client matches them by:
// ":" + the block's placeholder name (that client drops the first
// character); for a bare call the name of the block's entry for that
// parameter as the client spelt it, or the parameter's own name when the
// block has none (a function's result).
//
// The reply texts (after their result lines):
//   - PARAM: per parameter "<type code>;<name>;<direction>;<length>;", the
//     direction 0 in, 1 out, 2 in/out, 3 result, the length the declared one;
//   - returned parameters: the same four fields per parameter, then per
//     parameter "<length>;<value>;". The client stops at an "EOF" field and
//     leaves the parameters after it without a value, which is how NULL
//     travels: parameters whose value is NULL are described last and "EOF;"
//     stands where their values would be. The text never ends in anything
//     the client does not read, so nothing is left over on a transaction's
//     connection; with no parameters it is "EOF;" alone, the one frame the
//     client reads for a count of 0.
//
// Free functions and plain values; any thread.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "server/request_parser.h"

namespace orv::server {

enum class ProcDirection { kIn = 0, kOut = 1, kInOut = 2, kResult = 3 };

// One parameter of a procedure, in the order the procedure takes them.
struct ProcParam {
  std::string name;
  ProcDirection direction = ProcDirection::kIn;
  int type_code = 0;
  std::size_t length = 0;
  bool input() const { return direction == ProcDirection::kIn || direction == ProcDirection::kInOut; }
};

struct ProcCall {
  std::string procedure;          // as written; may carry an owner
  bool block = false;             // the anonymous-block form
  std::string result;             // block form: the ":=" target, without ':'
  std::vector<std::string> args;  // block form: the placeholders, without ':'
};

// The call in `text`, or nothing (and *error set) when it is neither form.
std::optional<ProcCall> ParseProcCall(std::string_view text, std::string* error);

// What one call gives a parameter of the procedure: the block entry with its
// input value (null for outputs and the result) and the name under which it
// goes back.
struct CallArg {
  const ParamEntry* input = nullptr;
  std::string reply_name;
};

// Matches the call against the procedure's parameters; one CallArg per
// parameter. False (and *error set) when the call does not fit them: a
// wrong number of arguments, a result where there is none or none where
// there is one, an entry naming no parameter, an input without a value.
// The CallArgs point into `block`.
bool BindCall(const ProcCall& call, const std::string& procedure,
              const std::vector<ProcParam>& params, const std::vector<ParamEntry>& block,
              std::vector<CallArg>* args, std::string* error);

// A parameter value going back to the client.
struct ReturnedParam {
  int type_code = 0;
  std::string name;                  // as it goes back
  ProcDirection direction = ProcDirection::kOut;
  std::optional<std::string> value;  // wire form; nothing for NULL
};

std::string ParamListText(const std::vector<ProcParam>& params);
std::string ReturnedText(const std::vector<ReturnedParam>& returned);

}  // namespace orv::server
