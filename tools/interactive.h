// The interactive prompt: reads standard input line by line. A line whose
// first non-blank character is a backslash runs as a command at once
// (a statement begun stays begun); other lines collect into a statement,
// which runs when a line ends in ";". On a terminal the lines are edited
// with readline, completed with the tab key (Completions) and kept in a
// history (~/.orvsql_history), and leaving with \edit changes waiting asks
// first; otherwise lines are read plainly, without prompts.
//
// Runs on the main thread.
#pragma once

namespace orv::orvsql {

class Shell;

// Runs until end of input, \quit, or a line "quit" or "exit" outside a
// statement; an unfinished statement at end of input is run too. Returns
// the exit status: 0, or 1 when a statement or command failed or waiting
// changes were dropped without a terminal to ask or an answer to its
// question.
int RunInteractive(Shell& shell);

}  // namespace orv::orvsql
