// The command line of orvsql: what it connects to, what it runs and how it
// prints.
//
// ParseCommandLine turns argv into an `Options` value or a usage error; it
// reads no files and touches no server. Plain values; any thread.
#pragma once

#include <optional>
#include <set>
#include <string>
#include <vector>

#include "tools/param_spec.h"

namespace orv::orvsql {

// Where the statements come from, in command-line order.
struct Source {
  enum Kind { kCommand, kFile };
  Kind kind;
  std::string text;  // the SQL of -c, the path of -f
};

struct Options {
  std::string host;
  std::string address;
  int port = 7050;
  std::string service;
  std::string database;
  std::string user;
  std::string password;
  bool sybase = false;     // --database-type sybase (default oracle)
  bool nt_server = false;  // --server-type nt (default unix)
  int timeout_ms = 1000;
  double statement_timeout_s = 0;  // 0: a statement may run for ever

  // The connection options given on the command line ("--host", ...),
  // which win over a form's connection settings.
  std::set<std::string> given;

  std::vector<Source> sources;  // empty: interactive (or --proc)
  std::string proc;             // --proc: the procedure to call
  bool open_proc = false;       // --open: Open it rather than ExecProc
  std::string form;             // --form: the form file to load
  std::string dataset;          // --dataset: the dataset of the form to open
  std::vector<ParamSpec> params;
  bool paged = false;
  int page_start = 0;
  int page_count = 0;
  bool exec = false;
  bool csv = false;
  bool quiet = false;
  bool help = false;
  bool version = false;
};

struct ParseResult {
  std::optional<Options> options;
  std::string error;  // set when options is empty
};

ParseResult ParseCommandLine(const std::vector<std::string>& args);

// The --help text: every option with its default, then `commands` (the
// backslash commands), then the exit statuses.
std::string HelpText(const std::string& commands);

// The --version line.
std::string VersionText();

}  // namespace orv::orvsql
