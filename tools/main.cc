// orvsql: the command-line client of the OrvClient package. See HelpText()
// in options.cc for what it does.
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tools/command_args.h"
#include "tools/interactive.h"
#include "tools/options.h"
#include "tools/procedure.h"
#include "tools/script.h"
#include "tools/session.h"
#include "tools/shell.h"

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
    std::fputs(HelpText(Shell::CommandHelp(true)).c_str(), stdout);
    return 0;
  }
  if (options.version) {
    std::fputs(VersionText().c_str(), stdout);
    return 0;
  }

  // Statements and backslash commands, in order.
  std::vector<std::string> items;
  for (const Source& source : options.sources) {
    if (source.kind == Source::kCommand) {
      items.push_back(source.text);
      continue;
    }
    std::ifstream file(source.text, std::ios::binary);
    std::ostringstream text;
    if (!file || !(text << file.rdbuf()))
      return UsageError("cannot read '" + source.text + "'");
    for (std::string& s : SplitScript(text.str())) items.push_back(std::move(s));
  }

  Session session(options);
  if (!options.sources.empty()) {
    std::vector<std::string> statements;
    for (const std::string& item : items)
      if (!IsCommandLine(item)) statements.push_back(item);
    for (const std::string& name : session.UnusedParams(statements))
      return UsageError("--param " + name + ": no statement has the parameter :" + name);
  }
  Shell shell(session);
  if (!options.form.empty() && !shell.Form().Load(options.form)) return kStatementFailed;
  std::string error;
  if (!session.Reachable(error)) {
    std::fprintf(stderr, "orvsql: %s\n", error.c_str());
    return kUnreachable;
  }
  if (!options.proc.empty())
    return CallProcedure(session, options.proc, {}, options.params, options.open_proc)
               ? 0
               : kStatementFailed;
  if (!options.form.empty() && !shell.Form().Open(options.dataset)) return kStatementFailed;
  if (!options.form.empty()) session.Out().Flush();
  if (options.sources.empty()) return RunInteractive(shell);
  int status = 0;
  for (const std::string& item : items) {
    const Outcome outcome = IsCommandLine(item) ? shell.Command(item) : shell.Statement(item);
    if (outcome == Outcome::kFailed) status = kStatementFailed;
    if (outcome != Outcome::kDone) break;
  }
  bool dropped = false;
  shell.MayLeave(dropped);
  return dropped ? kStatementFailed : status;
}
