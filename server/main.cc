// rdbserver: the RDB server on SQLite or PostgreSQL. See docs/server.md.
#include <csignal>
#include <cstdio>
#include <string>
#include <vector>
#ifdef __GLIBC__
#include <malloc.h>
#endif

#include "server/options.h"
#include "server/server.h"

namespace {

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
