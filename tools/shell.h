// Shell: what orvsql does with each piece of input, from the prompt, a
// script or -c. SQL statements go to the session; a backslash command is
// looked up in one table (its name, arguments, what it does and an
// example), which also makes "\?", the commands part of --help and the
// names that tab completion offers.
//
// Leaving: when the session ends (\quit, end of input, a failed script)
// while \edit changes wait, a terminal asks before dropping them; without
// one, or when the terminal's input ends at the question, they are
// cancelled, that is said on standard error and the exit status becomes 1,
// so no script loses changes silently and a closed terminal never keeps
// the session asking.
//
// Owns the table editor and the form file. Used by the main thread.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "tools/form_file.h"
#include "tools/table_editor.h"

namespace orv {
class TOrvRDB;
}

namespace orv::orvsql {

class Session;

enum class Outcome { kDone, kFailed, kQuit };

class Shell {
 public:
  explicit Shell(Session& session);
  ~Shell();
  Shell(const Shell&) = delete;
  Shell& operator=(const Shell&) = delete;

  Outcome Statement(const std::string& sql);
  // A line whose first non-blank character is a backslash.
  Outcome Command(const std::string& line);

  // --form FILE: loads it before the server is reached (its connection
  // settings count); then --dataset NAME, or the list of its datasets.
  FormFile& Form() { return form_; }

  // Installs the question a terminal asks before changes are dropped; it
  // answers true to drop them, false to stay, nullopt when its input has
  // ended.
  void SetConfirm(std::function<std::optional<bool>(const std::string& question)> confirm) {
    confirm_ = std::move(confirm);
  }
  // True when the session may end now: nothing waits, or the user agreed
  // to drop it, or (without an answer) it was cancelled, which sets
  // `failed`.
  bool MayLeave(bool& failed);

  // Every command with its arguments and what it does, one or two lines
  // each; with an example under each when `examples`.
  static std::string CommandHelp(bool examples);
  // The session's connection, whose names tab completion offers.
  TOrvRDB& Connection();
  static std::vector<std::string> CommandNames();

 private:
  struct Spec {
    const char* name;
    const char* args;
    const char* help;
    const char* example;
    Outcome (*run)(Shell& shell, const std::string& args);
  };
  static const Spec kCommands[];

  static Outcome Of(bool ok) { return ok ? Outcome::kDone : Outcome::kFailed; }
  // The new state of a switch (\timing, \x) given "on", "off" or
  // nothing (the other state); nullopt after reporting anything else.
  std::optional<bool> Switched(const std::string& command, const std::string& args,
                               bool current);

  Session& session_;
  TableEditor editor_;
  FormFile form_;
  std::function<std::optional<bool>(const std::string&)> confirm_;
};

}  // namespace orv::orvsql
