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
#include "tools/script.h"
#include "tools/session.h"

namespace orv::orvsql {

namespace {

constexpr int kHistoryLines = 1000;

// One line of input, or nullopt at its end.
class LineSource {
 public:
  LineSource() : terminal_(::isatty(STDIN_FILENO)) {
    if (!terminal_) return;
    if (const char* home = std::getenv("HOME")) history_ = std::string(home) + "/.orvsql_history";
    using_history();
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

  void Remember(const std::string& statement) {
    if (terminal_) add_history((statement + ";").c_str());
  }

 private:
  bool terminal_;
  std::string history_;
};

}  // namespace

int RunInteractive(Session& session) {
  LineSource input;
  StatementCollector collector;
  int status = 0;
  auto run = [&](const std::string& statement) {
    input.Remember(statement);
    if (!session.Run(statement)) status = 1;
  };
  while (std::optional<std::string> line = input.Next(collector.Pending())) {
    if (!collector.Pending()) {
      std::string word = Trim(*line);
      if (word == "quit" || word == "exit" || word == "\\q") return status;
    }
    if (std::optional<std::string> statement = collector.AddLine(*line)) run(*statement);
  }
  if (std::optional<std::string> rest = collector.TakeRest()) run(*rest);
  return status;
}

}  // namespace orv::orvsql
