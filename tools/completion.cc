#include "tools/completion.h"

#include <readline/readline.h>

#include <cstdlib>
#include <cstring>

#include "host/sysutils.h"
#include "tools/shell.h"

namespace orv::orvsql {

namespace {

std::vector<std::string> matches;  // the candidates readline is taking, main thread only

char* NextMatch(const char*, int state) {
  static size_t next = 0;
  if (state == 0) next = 0;
  return next < matches.size() ? ::strdup(matches[next++].c_str()) : nullptr;
}

char** Complete(const char* text, int start, int) {
  // Nothing but these candidates: no file names after them.
  rl_attempted_completion_over = 1;
  matches = Completions(std::string_view(rl_line_buffer, static_cast<size_t>(start)), text);
  return rl_completion_matches(text, NextMatch);
}

}  // namespace

std::vector<std::string> Completions(std::string_view before, std::string_view word) {
  std::vector<std::string> out;
  if (!Trim(before).empty() || word.empty() || word.front() != '\\') return out;
  for (const std::string& name : Shell::CommandNames())
    if (name.compare(0, word.size(), word) == 0) out.push_back(name);
  return out;
}

void InstallCompletion() {
  // A backslash begins a command word rather than ending one.
  static char breaks[] = " \t\n\"'=;,()";
  rl_basic_word_break_characters = breaks;
  rl_attempted_completion_function = Complete;
}

}  // namespace orv::orvsql
