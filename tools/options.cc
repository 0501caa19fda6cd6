#include "tools/options.h"

#include <charconv>

namespace orv::orvsql {

namespace {

bool ParseInt(const std::string& text, int& out) {
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
  return ec == std::errc() && end == text.data() + text.size() && !text.empty();
}

// Seconds as a plain decimal ("2", "0.5"), 0 to a year.
bool ParseSeconds(const std::string& text, double& out) {
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), out,
                                   std::chars_format::fixed);
  return ec == std::errc() && end == text.data() + text.size() && !text.empty() &&
         out >= 0 && out <= 365.0 * 86400;
}

}  // namespace

std::string HelpText(const std::string& commands) {
  return std::string(R"(usage: orvsql [options]

Runs SQL on an RDB server through the OrvClient components. Statements whose
first word is SELECT or WITH are opened and their rows printed as they arrive;
any other statement is executed and its row count printed.

Connection:
  --host H                 server host name (default 127.0.0.1 when neither
                           --host nor --address is given; a host name wins
                           over an address)
  --address A              server IPv4 address
  --port P                 server port (default 7050)
  --service S              server service name (wins over the port)
  --database DB            database name sent at log-in
  --user U                 database user sent at log-in
  --password PW            database password sent at log-in
  --database-type T        oracle or sybase (default oracle)
  --server-type T          unix or nt (default unix; nt sends the log-in)
  --timeout MS             milliseconds each wait for the server lasts
                           (default 1000); a silent server is waited for
                           again and again
  --statement-timeout S    seconds a statement may take (fractions allowed;
                           default 0: no limit); then orvsql reports it and
                           exits with status 1, dropping its connections

Statements (in command-line order; without -c or -f, an interactive prompt
where a statement ends at a line ending in ";"):
  -c SQL                   run one statement (or one backslash command); may
                           be repeated
  -f FILE                  run the statements of FILE, separated by a line
                           holding only ";" or "/"; a line beginning with a
                           backslash is a command
  --param NAME=VALUE       set parameter :NAME to the text VALUE
  --param NAME:TYPE=VALUE  set it with a type: string, integer, float,
                           boolean (true/false), date (YYYY-MM-DD), time
                           (HH:MM:SS), datetime (YYYY-MM-DD HH:MM:SS), memo;
                           applies to every statement that has :NAME
  --page START:COUNT       open only rows START to START+COUNT-1 (the first
                           row is 1)
  --exec                   execute every statement, even a SELECT

Procedures (instead of -c and -f):
  --proc NAME              call stored procedure NAME (ExecProc) and print
                           its output parameters as a one-row table; its
                           input parameters are set with --param, each of
                           them needed (NULL gives a null), the text read
                           as the parameter's type
  --open                   open the procedure instead (Open), for one that
                           returns rows: its rows, then its outputs

Form files:
  --form FILE              load the components of form FILE; its connection
                           settings are used where no connection option
                           above is given; then the statements as usual
  --dataset NAME           open dataset NAME of the form and print its rows
                           (without it, the form's datasets are listed)

Output:
  --csv                    CSV (RFC 4180): a header line, one line per row,
                           nothing else on standard output
  --quiet                  no progress line on standard error
  --help                   show this text
  --version                show the version of orvsql

Backslash commands, a line each, at the prompt, in -f scripts and as -c:
)") + commands + R"(
Exit status: 0 all statements succeeded, 1 a statement failed (later ones are
not run), 2 usage error, 3 the server cannot be reached.
)";
}

std::string VersionText() { return "orvsql " ORV_VERSION "\n"; }

ParseResult ParseCommandLine(const std::vector<std::string>& args) {
  Options o;
  ParseResult r;
  auto fail = [&r](std::string message) {
    r.error = std::move(message);
    return r;
  };
  for (size_t i = 0; i < args.size(); ++i) {
    std::string name = args[i];
    std::string value;
    bool inline_value = false;
    if (name.rfind("--", 0) == 0) {
      size_t eq = name.find('=');
      if (eq != std::string::npos) {
        value = name.substr(eq + 1);
        name.resize(eq);
        inline_value = true;
      }
    }
    auto take = [&]() -> bool {
      if (inline_value) return true;
      if (i + 1 >= args.size()) return false;
      value = args[++i];
      return true;
    };
    if (name == "--csv" || name == "--quiet" || name == "--exec" || name == "--help" ||
        name == "-h" || name == "--version" || name == "--open") {
      if (inline_value) return fail(name + " takes no value");
      if (name == "--open") o.open_proc = true;
      if (name == "--version") o.version = true;
      if (name == "--csv") o.csv = true;
      if (name == "--quiet") o.quiet = true;
      if (name == "--exec") o.exec = true;
      if (name == "--help" || name == "-h") o.help = true;
      continue;
    }
    static const char* const kValued[] = {
        "--host", "--address", "--port", "--service", "--database", "--user",
        "--password", "--database-type", "--server-type", "--timeout",
        "--statement-timeout", "-c", "-f", "--param", "--page", "--proc",
        "--form", "--dataset"};
    bool known = false;
    for (const char* v : kValued) known = known || name == v;
    if (!known) return fail("unknown option '" + name + "'");
    if (!take()) return fail(name + " needs a value");
    o.given.insert(name);

    if (name == "--host") {
      o.host = value;
    } else if (name == "--address") {
      o.address = value;
    } else if (name == "--port") {
      if (!ParseInt(value, o.port) || o.port < 1 || o.port > 65535)
        return fail("--port wants a number from 1 to 65535, not '" + value + "'");
    } else if (name == "--service") {
      o.service = value;
    } else if (name == "--database") {
      o.database = value;
    } else if (name == "--user") {
      o.user = value;
    } else if (name == "--password") {
      o.password = value;
    } else if (name == "--database-type") {
      if (value != "oracle" && value != "sybase")
        return fail("--database-type wants oracle or sybase, not '" + value + "'");
      o.sybase = value == "sybase";
    } else if (name == "--server-type") {
      if (value != "unix" && value != "nt")
        return fail("--server-type wants unix or nt, not '" + value + "'");
      o.nt_server = value == "nt";
    } else if (name == "--timeout") {
      if (!ParseInt(value, o.timeout_ms) || o.timeout_ms < 1)
        return fail("--timeout wants a positive number of milliseconds, not '" + value + "'");
    } else if (name == "--statement-timeout") {
      if (!ParseSeconds(value, o.statement_timeout_s))
        return fail("--statement-timeout wants a number of seconds, not '" + value + "'");
    } else if (name == "-c") {
      o.sources.push_back({Source::kCommand, value});
    } else if (name == "-f") {
      o.sources.push_back({Source::kFile, value});
    } else if (name == "--form") {
      o.form = value;
    } else if (name == "--dataset") {
      if (value.empty()) return fail("--dataset needs a dataset name");
      o.dataset = value;
    } else if (name == "--proc") {
      if (value.empty()) return fail("--proc needs a procedure name");
      o.proc = value;
    } else if (name == "--param") {
      std::string error;
      auto spec = ParseParamSpec(value, error);
      if (!spec) return fail(error);
      o.params.push_back(std::move(*spec));
    } else if (name == "--page") {
      size_t colon = value.find(':');
      if (colon == std::string::npos || !ParseInt(value.substr(0, colon), o.page_start) ||
          !ParseInt(value.substr(colon + 1), o.page_count) || o.page_start < 1 ||
          o.page_count < 0)
        return fail("--page wants START:COUNT with START from 1, not '" + value + "'");
      o.paged = true;
    }
  }
  if (!o.proc.empty() && !o.sources.empty()) return fail("--proc cannot be combined with -c or -f");
  if (!o.proc.empty() && (o.paged || o.exec)) return fail("--page and --exec do not apply to --proc");
  if (o.open_proc && o.proc.empty()) return fail("--open applies only to --proc");
  if (!o.dataset.empty() && o.form.empty()) return fail("--dataset applies only to --form");
  if (!o.form.empty() && !o.proc.empty()) return fail("--form cannot be combined with --proc");
  if (o.host.empty() && o.address.empty()) o.host = "127.0.0.1";
  r.options = std::move(o);
  return r;
}

}  // namespace orv::orvsql
