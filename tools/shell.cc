#include "tools/shell.h"

#include <cstdio>

#include "tools/catalogue.h"
#include "tools/command_args.h"
#include "tools/procedure.h"
#include "tools/session.h"

namespace orv::orvsql {

const Shell::Spec Shell::kCommands[] = {
    {"\\?", "", "list the backslash commands", "\\?",
     [](Shell& s, const std::string&) {
       std::string help = CommandHelp(false);
       help.pop_back();
       s.session_.Out().Note(help);
       return Outcome::kDone;
     }},
    {"\\quit", "", "leave orvsql (asks first on a terminal when edits wait)", "\\quit",
     [](Shell&, const std::string&) { return Outcome::kQuit; }},
    {"\\q", "", "short for \\quit", "\\q", [](Shell&, const std::string&) { return Outcome::kQuit; }},
    {"\\dt", "", "the tables and views the connection reaches", "\\dt",
     [](Shell& s, const std::string& a) { return Of(ListTables(s.session_, a)); }},
    {"\\df", "", "the procedures and functions the connection reaches", "\\df",
     [](Shell& s, const std::string& a) { return Of(ListProcedures(s.session_, a)); }},
    {"\\d", "TABLE", "the columns of TABLE with their types and sizes", "\\d customers",
     [](Shell& s, const std::string& a) { return Of(DescribeTable(s.session_, a)); }},
    {"\\call", "NAME [arg ...]",
     "run procedure NAME: the arguments fill its input parameters in order; then its outputs",
     "\\call pay 1 5.5",
     [](Shell& s, const std::string& a) { return Of(CallCommand(s.session_, a, false)); }},
    {"\\callopen", "NAME [arg ...]", "the same for a procedure that returns rows: its rows, "
     "then its outputs", "\\callopen rich 15",
     [](Shell& s, const std::string& a) { return Of(CallCommand(s.session_, a, true)); }},
    {"\\edit", "TABLE [WHERE condition] [ORDER BY fields]",
     "open TABLE for editing (changes wait for \\commit) and show its rows, numbered from 1",
     "\\edit products WHERE price > 10 ORDER BY id",
     [](Shell& s, const std::string& a) { return Of(s.editor_.Edit(a)); }},
    {"\\show", "", "show the rows being edited, as they stand now", "\\show",
     [](Shell& s, const std::string& a) { return Of(s.editor_.Show(a)); }},
    {"\\update", "ROW FIELD=VALUE ...",
     "change fields of row ROW; a value with blanks or quotes is an SQL string literal, NULL is "
     "null",
     "\\update 3 name='Rock and Roll' price=9.5",
     [](Shell& s, const std::string& a) { return Of(s.editor_.Update(a)); }},
    {"\\insert", "FIELD=VALUE ...", "add a row at the end", "\\insert id=41 name='Tea Green'",
     [](Shell& s, const std::string& a) { return Of(s.editor_.Insert(a)); }},
    {"\\delete", "ROW", "delete row ROW (the rows after it move up)", "\\delete 2",
     [](Shell& s, const std::string& a) { return Of(s.editor_.Delete(a)); }},
    {"\\commit", "", "send the waiting changes in one transaction: all of them or none",
     "\\commit", [](Shell& s, const std::string& a) { return Of(s.editor_.Commit(a)); }},
    {"\\cancel", "", "drop the waiting changes: the rows are back as fetched", "\\cancel",
     [](Shell& s, const std::string& a) { return Of(s.editor_.Cancel(a)); }},
    {"\\find", "[-i] [-p] FIELD=VALUE ...",
     "the next row after the current one holding the values (-i any case, -p values begin "
     "the fields)",
     "\\find -i -p name=tea",
     [](Shell& s, const std::string& a) { return Of(s.editor_.Find(a)); }},
    {"\\key", "[-n] FIELD=VALUE ...",
     "the first row holding the values of the ORDER BY fields (-n: the first at or above them)",
     "\\key -n id=20", [](Shell& s, const std::string& a) { return Of(s.editor_.Key(a)); }},
    {"\\save", "FILE", "write the connection and the \\edit table (or the --form form) as a "
     "form file, for --form", "\\save shop.form",
     [](Shell& s, const std::string& a) {
       if (a.empty()) return Of(s.session_.Report({"\\save wants a file name"}));
       return Of(s.form_.Save(a, s.editor_.Table()));
     }},
    {"\\timing", "[on|off]", "show rows, time to first row, total time and rows/s after each "
     "statement", "\\timing on",
     [](Shell& s, const std::string& a) {
       std::optional<bool> on = s.Switched("\\timing", a, s.session_.Timing());
       if (!on) return Outcome::kFailed;
       s.session_.SetTiming(*on);
       s.session_.Out().Note(*on ? "Timing is on." : "Timing is off.");
       return Outcome::kDone;
     }},
    {"\\x", "[on|off]", "expanded display: each row as a block of \"field | value\" lines",
     "\\x",
     [](Shell& s, const std::string& a) {
       Output& out = s.session_.Out();
       std::optional<bool> on = s.Switched("\\x", a, out.Expanded());
       if (!on) return Outcome::kFailed;
       out.SetExpanded(*on);
       out.Note(*on ? "Expanded display is on." : "Expanded display is off.");
       return Outcome::kDone;
     }},
    {"\\o", "[FILE]", "send results to FILE (emptied first); without FILE to standard output",
     "\\o orders.txt",
     [](Shell& s, const std::string& a) {
       std::string error;
       return s.session_.Out().SendTo(a, error) ? Outcome::kDone
                                                : Of(s.session_.Report({error}));
     }},
};

Shell::Shell(Session& session) : session_(session), editor_(session), form_(session) {}

Shell::~Shell() = default;

TOrvRDB& Shell::Connection() { return session_.Rdb(); }

Outcome Shell::Statement(const std::string& sql) { return Of(session_.Run(sql)); }

Outcome Shell::Command(const std::string& line) {
  const CommandLine command = SplitCommand(line);
  for (const Spec& spec : kCommands) {
    if (command.name != spec.name) continue;
    const Outcome outcome = spec.run(*this, command.rest);
    session_.Out().Flush();
    return outcome;
  }
  session_.Report({"unknown command " + command.name + " (\\? lists the commands)"});
  return Outcome::kFailed;
}

std::optional<bool> Shell::Switched(const std::string& command, const std::string& args,
                                    bool current) {
  if (args.empty()) return !current;
  if (args == "on" || args == "off") return args == "on";
  session_.Report({command + " wants on, off or nothing, not '" + args + "'"});
  return std::nullopt;
}

bool Shell::MayLeave(bool& failed) {
  const int pending = editor_.Pending();
  if (pending == 0) return true;
  const std::string changes = std::to_string(pending) +
                              (pending == 1 ? " uncommitted change to " : " uncommitted changes to ") +
                              editor_.TableName();
  if (confirm_) {
    const std::optional<bool> drop = confirm_("Drop the " + changes + "? [y/N] ");
    if (drop == false) return false;
    if (drop == true) {
      editor_.Drop();
      return true;
    }
  }
  editor_.Drop();
  session_.Report({changes + " cancelled"});
  failed = true;
  return true;
}

std::string Shell::CommandHelp(bool examples) {
  constexpr size_t kColumn = 27;
  constexpr size_t kWidth = 79;
  std::string text;
  for (const Spec& spec : kCommands) {
    std::string line = std::string("  ") + spec.name;
    if (*spec.args != '\0') line += std::string(" ") + spec.args;
    if (line.size() + 1 >= kColumn) {
      text += line + '\n';
      line.clear();
    }
    line.resize(kColumn, ' ');
    // The description, wrapped at word boundaries.
    std::string words = spec.help;
    if (examples) words += std::string(" (e.g. ") + spec.example + ")";
    size_t start = 0;
    while (start < words.size()) {
      size_t end = words.find(' ', start);
      if (end == std::string::npos) end = words.size();
      const std::string word = words.substr(start, end - start);
      if (line.size() > kColumn && line.size() + 1 + word.size() > kWidth) {
        text += line + '\n';
        line.assign(kColumn, ' ');
      }
      if (line.size() > kColumn) line += ' ';
      line += word;
      start = end + 1;
    }
    text += line + '\n';
  }
  return text;
}

std::vector<std::string> Shell::CommandNames() {
  std::vector<std::string> names;
  for (const Spec& spec : kCommands) names.push_back(spec.name);
  return names;
}

}  // namespace orv::orvsql
