#include "support/rdbserver_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

extern char** environ;

namespace orv::test {

namespace {

using Clock = std::chrono::steady_clock;

int RemainingMs(Clock::time_point deadline) {
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
  return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

}  // namespace

RdbServerProcess::RdbServerProcess(const std::string& binary,
                                   std::vector<std::string> extra_args,
                                   const std::string& db_path, int start_timeout_ms) {
  char tmpl[] = "/tmp/orv-rdbserver-XXXXXX";
  if (!::mkdtemp(tmpl)) {
    error_ = "mkdtemp failed";
    return;
  }
  dir_ = tmpl;
  db_path_ = db_path.empty() ? dir_ + "/test.db" : db_path;

  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) {
    error_ = "pipe failed";
    return;
  }
  std::vector<std::string> args = {binary, "--listen", "127.0.0.1:0"};
  if (std::find(extra_args.begin(), extra_args.end(), "--postgres") == extra_args.end()) {
    args.insert(args.end(), {"--sqlite", db_path_});
  }
  args.insert(args.end(), extra_args.begin(), extra_args.end());
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
  int rc = posix_spawn(&pid_, binary.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(fds[1]);
  out_fd_ = fds[0];
  if (rc != 0) {
    pid_ = -1;
    error_ = "cannot start " + binary;
    return;
  }

  const std::string prefix = "rdbserver listening on ";
  std::string out;
  auto deadline = Clock::now() + std::chrono::milliseconds(start_timeout_ms);
  while (out.find('\n') == std::string::npos) {
    pollfd p{out_fd_, POLLIN, 0};
    int left = RemainingMs(deadline);
    if (left == 0 || ::poll(&p, 1, left) <= 0) {
      error_ = "rdbserver did not report its port in time";
      return;
    }
    char buf[256];
    ssize_t n = ::read(out_fd_, buf, sizeof buf);
    if (n <= 0) {
      error_ = "rdbserver exited before listening";
      return;
    }
    out.append(buf, static_cast<std::size_t>(n));
  }
  std::string line = out.substr(0, out.find('\n'));
  std::size_t colon = line.rfind(':');
  if (line.rfind(prefix, 0) != 0 || colon == std::string::npos) {
    error_ = "unexpected first line: " + line;
    return;
  }
  port_ = std::atoi(line.c_str() + colon + 1);
  if (port_ <= 0) error_ = "bad port in: " + line;
}

int RdbServerProcess::Stop(int timeout_ms) {
  if (pid_ <= 0) return -1;
  ::kill(pid_, SIGTERM);
  auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
  int status = 0;
  pid_t done = 0;
  while ((done = ::waitpid(pid_, &status, WNOHANG)) == 0 && RemainingMs(deadline) > 0) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  if (done == 0) {
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, &status, 0);
    status = -1;
  }
  pid_ = -1;
  port_ = 0;
  if (status == -1 || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

RdbServerProcess::~RdbServerProcess() {
  Stop();
  if (out_fd_ >= 0) ::close(out_fd_);
  if (!dir_.empty()) {
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }
}

}  // namespace orv::test
