// Calling a stored procedure: "--proc NAME [--param NAME=VALUE]... [--open]"
// and, at the prompt, "\call NAME arg..." and "\callopen NAME arg...".
//
// The parameters are the server's list (setting the procedure's name asks
// for it). Arguments given in order fill the input and input/output
// parameters in the list's order; --param fills them by name. Every one of
// them needs a value (NULL is one; with --param, NAME:string=NULL is the
// text), so a forgotten argument is refused rather than sent as null. A
// text is read as its parameter's type. The
// call runs ExecProc, or Open for a procedure that returns rows, whose rows
// then print as a query's; after them the output, input/output and result
// parameters print as a one-row table ("called NAME" when a plain call
// returns none).
//
// Free functions on a Session; the main thread.
#pragma once

#include <string>
#include <vector>

#include "tools/command_args.h"
#include "tools/param_spec.h"

namespace orv::orvsql {

class Session;

// False when it failed (the reason is on standard error).
bool CallProcedure(Session& session, const std::string& name, const std::vector<Value>& args,
                   const std::vector<ParamSpec>& by_name, bool open);

// "\call" (`open` false) and "\callopen": NAME, then the arguments.
bool CallCommand(Session& session, const std::string& args, bool open);

}  // namespace orv::orvsql
