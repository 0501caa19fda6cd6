// Command line of rdbserver:
//   rdbserver [--listen ADDR:PORT] [--sqlite PATH | --postgres CONNINFO]
//             [--max-connections N] [--slot-wait MS] [--idle-timeout SECONDS]
//             [--request-timeout SECONDS] [--verbose] [--help]
// Plain data and a parser; any thread.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace orv::server {

struct ServerOptions {
  std::string address = "127.0.0.1";
  int port = 7050;
  std::string sqlite_path = "orv.db";
  bool postgres = false;          // --postgres: PostgreSQL instead of SQLite
  std::string postgres_conninfo;  // libpq conninfo or URI; empty: PG* variables
  int max_connections = 64;
  int slot_wait_ms = 2000;       // a client at the limit waits this long; 0: refused at once
  int idle_timeout_seconds = 0;  // between requests; 0: no limit
  int request_timeout_seconds = 30;  // to deliver a request, or take a reply; 0: no limit
  bool verbose = false;
  bool help = false;             // --help was given: print HelpText()
};

// Parses the arguments after the program name. On a bad argument returns
// nothing and sets *error to a one-line message.
std::optional<ServerOptions> ParseOptions(const std::vector<std::string>& args,
                                          std::string* error);

const char* HelpText();

}  // namespace orv::server
