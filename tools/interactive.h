// The interactive prompt: reads statements from standard input and runs
// each as it is completed by a line ending in ";". On a terminal the lines
// are edited with readline and kept in a history (~/.orvsql_history);
// otherwise they are read plainly, without prompts.
//
// Runs on the main thread.
#pragma once

namespace orv::orvsql {

class Session;

// Runs until end of input or a line "quit", "exit" or "\q" outside a
// statement; an unfinished statement at end of input is run too. Returns
// the exit status: 0, or 1 when a statement failed.
int RunInteractive(Session& session);

}  // namespace orv::orvsql
