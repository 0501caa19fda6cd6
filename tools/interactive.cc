#include "tools/interactive.h"

#include <readline/history.h>
#include <readline/readline.h>
#include <unistd.h>

#include <cstdlib>
#include <iostream>
#include <memory>
#include <optional>
#include <string>

#include "host/sysutils.h"
#include "tools/command_args.h"
#include "tools/completion.h"
#include "tools/script.h"
#include "tools/shell.h"

namespace orv::orvsql {

namespace {

constexpr int kHistoryLines = 1000;

// One line of input, or nullopt at its end.
class LineSource {
 public:
  explicit LineSource(TOrvRDB& rdb) : terminal_(::isatty(STDIN_FILENO)) {
    if (!terminal_) return;
    if (const char* home = std::getenv("HOME")) history_ = std::string(home) + "/.orvsql_history";
    using_history();
    InstallCompletion(rdb);
    if (!history_.empty()) read_history(history_.c_str());
  }
  ~LineSource() {
    if (terminal_ && !history_.empty()) {
      write_history(history_.c_str());
      history_truncate_file(history_.c_str(), kHistoryLines);
    }
  }

  std::optional<std::string> Next(bool continuing) {
    if (!terminal_) {
      std::string line;
      if (!std::getline(std::cin, line)) return std::nullopt;
      if (!line.empty() && line.back() == '\r') line.pop_back();
      return line;
    }
    std::unique_ptr<char, decltype(&std::free)> line(
        readline(continuing ? "     -> " : "orvsql> "), &std::free);
    if (!line) {
      std::fputs("\n", stdout);
      return std::nullopt;
    }
    return std::string(line.get());
  }

  bool Terminal() const { return terminal_; }

  void Remember(const std::string& text) {
    if (terminal_) add_history(text.c_str());
  }

  // Asks `question`; true for an answer beginning with y, nullopt at the
  // end of input.
  std::optional<bool> Confirm(const std::string& question) {
    std::unique_ptr<char, decltype(&std::free)> answer(readline(question.c_str()), &std::free);
    if (!answer) {
      std::fputs("\n", stdout);
      return std::nullopt;
    }
    return answer.get()[0] == 'y' || answer.get()[0] == 'Y';
  }

 private:
  bool terminal_;
  std::string history_;
};

}  // namespace

int RunInteractive(Shell& shell) {
  LineSource input(shell.Connection());
  if (input.Terminal())
    shell.SetConfirm([&input](const std::string& question) { return input.Confirm(question); });
  StatementCollector collector;
  int status = 0;
  // True when the outcome asks to leave.
  auto counts = [&status](Outcome outcome) {
    if (outcome == Outcome::kFailed) status = 1;
    return outcome == Outcome::kQuit;
  };
  for (;;) {
    bool quit = false;
    while (!quit) {
      std::optional<std::string> line = input.Next(collector.Pending());
      if (!line) break;
      if (!collector.Pending()) {
        std::string word = Trim(*line);
        if (word == "quit" || word == "exit") {
          quit = true;
          continue;
        }
      }
      if (IsCommandLine(*line)) {
        input.Remember(Trim(*line));
        quit = counts(shell.Command(*line));
      } else if (std::optional<std::string> statement = collector.AddLine(*line)) {
        input.Remember(*statement + ";");
        counts(shell.Statement(*statement));
      }
    }
    if (!quit) {
      if (std::optional<std::string> rest = collector.TakeRest()) {
        input.Remember(*rest + ";");
        counts(shell.Statement(*rest));
      }
    }
    bool failed = false;
    if (shell.MayLeave(failed)) return failed ? 1 : status;
  }
}

}  // namespace orv::orvsql
