#include "server/options.h"

#include <arpa/inet.h>
#include <charconv>

namespace orv::server {

namespace {

bool ParseInt(const std::string& text, int min, int max, int* out) {
  int value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || text.empty()) return false;
  if (value < min || value > max) return false;
  *out = value;
  return true;
}

bool ParseListen(const std::string& text, ServerOptions* o) {
  std::size_t colon = text.rfind(':');
  if (colon == std::string::npos) return false;
  std::string address = text.substr(0, colon);
  if (address == "localhost") address = "127.0.0.1";
  in_addr parsed{};
  if (inet_pton(AF_INET, address.c_str(), &parsed) != 1) return false;
  if (!ParseInt(text.substr(colon + 1), 0, 65535, &o->port)) return false;
  o->address = address;
  return true;
}

}  // namespace

std::optional<ServerOptions> ParseOptions(const std::vector<std::string>& args,
                                          std::string* error) {
  ServerOptions o;
  bool sqlite = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    std::string name = args[i];
    std::string value;
    bool has_value = false;
    if (std::size_t eq = name.find('='); name.rfind("--", 0) == 0 && eq != std::string::npos) {
      value = name.substr(eq + 1);
      name.resize(eq);
      has_value = true;
    }
    auto take = [&]() -> bool {
      if (has_value) return true;
      if (i + 1 >= args.size()) return false;
      value = args[++i];
      return true;
    };
    if (name == "--help" || name == "-h") {
      o.help = true;
    } else if (name == "--verbose") {
      o.verbose = true;
    } else if (name == "--listen") {
      if (!take() || !ParseListen(value, &o)) {
        *error = "--listen needs ADDR:PORT with an IPv4 address and a port 0-65535";
        return std::nullopt;
      }
    } else if (name == "--sqlite") {
      if (!take() || value.empty()) {
        *error = "--sqlite needs the path of the database file";
        return std::nullopt;
      }
      o.sqlite_path = value;
      sqlite = true;
    } else if (name == "--postgres") {
      if (!take()) {
        *error = "--postgres needs a conninfo string (\"\" for the PG* environment variables)";
        return std::nullopt;
      }
      o.postgres = true;
      o.postgres_conninfo = value;
    } else if (name == "--max-connections") {
      if (!take() || !ParseInt(value, 1, 100000, &o.max_connections)) {
        *error = "--max-connections needs a number from 1 to 100000";
        return std::nullopt;
      }
    } else if (name == "--slot-wait") {
      if (!take() || !ParseInt(value, 0, 600000, &o.slot_wait_ms)) {
        *error = "--slot-wait needs a number of milliseconds from 0 to 600000";
        return std::nullopt;
      }
    } else if (name == "--idle-timeout") {
      if (!take() || !ParseInt(value, 0, 86400 * 365, &o.idle_timeout_seconds)) {
        *error = "--idle-timeout needs a number of seconds (0 for no limit)";
        return std::nullopt;
      }
    } else if (name == "--request-timeout") {
      if (!take() || !ParseInt(value, 0, 86400 * 365, &o.request_timeout_seconds)) {
        *error = "--request-timeout needs a number of seconds (0 for no limit)";
        return std::nullopt;
      }
    } else {
      *error = "unknown argument '" + args[i] + "'";
      return std::nullopt;
    }
  }
  if (sqlite && o.postgres) {
    *error = "--sqlite and --postgres exclude each other";
    return std::nullopt;
  }
  return o;
}

const char* HelpText() {
  return R"(Usage: rdbserver [options]

Serves the RDB protocol over TCP and runs the requests on a SQLite or a
PostgreSQL database.

Options:
  --listen ADDR:PORT      IPv4 address and port to listen on
                          (default 127.0.0.1:7050; port 0 picks a free port)
  --sqlite PATH           database file, created when missing (default orv.db)
  --postgres CONNINFO     use PostgreSQL instead: a libpq conninfo string or
                          postgresql:// URI ("" takes everything from the
                          PGHOST, PGPORT, PGUSER, PGDATABASE, ... variables);
                          one PostgreSQL connection per client connection
  --max-connections N     connections served at once (default 64)
  --slot-wait MS          how long a client beyond the limit waits for a
                          connection to end (default 2000); then it is
                          answered with an error and closed
  --idle-timeout SECONDS  close a connection after this long without a
                          request (default 0: no limit)
  --request-timeout SECONDS
                          close a connection that takes longer to deliver a
                          request once it began one (a new connection: its
                          first request), or longer to take any of a reply
                          (default 30; 0: no limit)
  --verbose               log one line per request to standard error
  --help                  show this text

When ready, prints "rdbserver listening on ADDR:PORT" to standard output.
SIGINT or SIGTERM stops it: open transactions are rolled back, connections
closed, and it exits with status 0. Bad arguments exit with status 2.
)";
}

}  // namespace orv::server
