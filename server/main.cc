// rdbserver: the RDB server on SQLite or PostgreSQL. See docs/server.md.
#include <termios.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>
#ifdef __GLIBC__
#include <malloc.h>
#endif

#include "server/options.h"
#include "server/server.h"
#include "server/users.h"

namespace {

// --hash-password: the password comes from standard input (typed without
// echo at a terminal), never from the command line, where other users of
// the machine could read it.
int HashPassword(const std::string& user) {
  const bool terminal = ::isatty(STDIN_FILENO);
  termios saved{};
  if (terminal) {
    std::fputs("Password: ", stderr);
    ::tcgetattr(STDIN_FILENO, &saved);
    termios quiet = saved;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    ::tcsetattr(STDIN_FILENO, TCSANOW, &quiet);
  }
  std::string password;
  const bool read = static_cast<bool>(std::getline(std::cin, password));
  if (terminal) {
    ::tcsetattr(STDIN_FILENO, TCSANOW, &saved);
    std::fputs("\n", stderr);
  }
  if (!password.empty() && password.back() == '\r') password.pop_back();
  if (!read) {
    std::fputs("rdbserver: no password on standard input\n", stderr);
    return 2;
  }
  std::string error;
  const std::string entry = orv::server::UserTable::HashEntry(
      user, password, orv::server::UserTable::kDefaultIterations, &error);
  if (entry.empty()) {
    std::fprintf(stderr, "rdbserver: %s\n", error.c_str());
    return 2;
  }
  std::printf("%s\n", entry.c_str());
  return 0;
}

orv::server::Server* g_server = nullptr;

// Blocks from this size on are mapped apart and go back to the system when
// freed.
constexpr int kMapThreshold = 256 * 1024;

extern "C" void OnStopSignal(int) {
  if (g_server) g_server->Stop();
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  std::string error;
  auto options = orv::server::ParseOptions(args, &error);
  if (!options) {
    std::fprintf(stderr, "rdbserver: %s (see --help)\n", error.c_str());
    return 2;
  }
  if (options->help) {
    std::fputs(orv::server::HelpText(), stdout);
    return 0;
  }
  if (!options->hash_password_user.empty()) return HashPassword(options->hash_password_user);
  std::signal(SIGPIPE, SIG_IGN);
#ifdef __GLIBC__
  // Left adaptive, the allocator raises its mapping threshold after the
  // first large buffer is freed and keeps later ones (up to 32 MiB each) in
  // its arenas for good: a refused 64 MiB request left that much resident.
  // A fixed threshold hands every large request or result buffer back.
  mallopt(M_MMAP_THRESHOLD, kMapThreshold);
#endif
  orv::server::Server server(*options);
  if (!server.Start(&error)) {
    std::fprintf(stderr, "rdbserver: %s\n", error.c_str());
    return 1;
  }
  g_server = &server;
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);

  std::printf("rdbserver listening on %s:%d\n", options->address.c_str(), server.port());
  std::fflush(stdout);
  server.Run();
  return 0;
}
