// orvsql: the command-line client of the OrvClient package. See HelpText()
// in options.cc for what it does.
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tools/interactive.h"
#include "tools/options.h"
#include "tools/script.h"
#include "tools/session.h"

namespace {

constexpr int kUsageError = 2;
constexpr int kStatementFailed = 1;
constexpr int kUnreachable = 3;

int UsageError(const std::string& message) {
  std::fprintf(stderr, "orvsql: %s\nTry 'orvsql --help'.\n", message.c_str());
  return kUsageError;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace orv::orvsql;
  ParseResult parsed = ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
  if (!parsed.options) return UsageError(parsed.error);
  const Options& options = *parsed.options;
  if (options.help) {
    std::fputs(HelpText(), stdout);
    return 0;
  }

  std::vector<std::string> statements;
  for (const Source& source : options.sources) {
    if (source.kind == Source::kCommand) {
      statements.push_back(source.text);
      continue;
    }
    std::ifstream file(source.text, std::ios::binary);
    std::ostringstream text;
    if (!file || !(text << file.rdbuf()))
      return UsageError("cannot read '" + source.text + "'");
    for (std::string& s : SplitScript(text.str())) statements.push_back(std::move(s));
  }

  Session session(options);
  if (!options.sources.empty()) {
    for (const std::string& name : session.UnusedParams(statements))
      return UsageError("--param " + name + ": no statement has the parameter :" + name);
  }
  std::string error;
  if (!session.Reachable(error)) {
    std::fprintf(stderr, "orvsql: %s\n", error.c_str());
    return kUnreachable;
  }
  if (options.sources.empty()) return RunInteractive(session);
  for (const std::string& sql : statements)
    if (!session.Run(sql)) return kStatementFailed;
  return 0;
}
