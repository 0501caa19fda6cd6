// Runs the orvsql binary for a test: arguments, optional standard input,
// and what comes back (exit status, standard output and error, peak
// resident memory). Output is drained while the program runs, so a large
// result never stalls it; a run that outlasts its time limit is killed.
// RunOrvsqlOnTerminal runs it on a pseudo-terminal instead, as a person
// at the prompt would, with its history file in a directory of its own.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

extern char** environ;

namespace orv::test {

struct OrvsqlResult {
  int status = -1;  // exit status; -1 when killed or not started
  std::string out;
  std::string err;
  long max_rss_kb = 0;
};

inline OrvsqlResult RunOrvsql(const std::vector<std::string>& args, const std::string& input = "",
                              int time_limit_ms = 60000) {
  OrvsqlResult r;
  int in[2], out[2], err[2];
  if (::pipe2(in, O_CLOEXEC) || ::pipe2(out, O_CLOEXEC) || ::pipe2(err, O_CLOEXEC)) return r;
  std::vector<std::string> all = {ORV_ORVSQL_PATH};
  all.insert(all.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& a : all) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
  pid_t pid = -1;
  int rc = posix_spawn(&pid, all[0].c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(in[0]);
  ::close(out[1]);
  ::close(err[1]);
  if (rc != 0) {
    ::close(in[1]);
    ::close(out[0]);
    ::close(err[0]);
    return r;
  }
  // Small inputs fit the pipe; a reader that stops early must not kill us.
  ::signal(SIGPIPE, SIG_IGN);
  if (!input.empty() && ::write(in[1], input.data(), input.size()) < 0) r.err = "write failed";
  ::close(in[1]);

  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(time_limit_ms);
  pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
  std::string* sinks[2] = {&r.out, &r.err};
  int open = 2;
  bool killed = false;
  while (open > 0) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      ::kill(pid, SIGKILL);
      killed = true;
      break;
    }
    if (::poll(fds, 2, static_cast<int>(left.count())) < 0) break;
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP))) continue;
      char buf[65536];
      ssize_t n = ::read(fds[i].fd, buf, sizeof buf);
      if (n > 0) {
        sinks[i]->append(buf, static_cast<size_t>(n));
      } else {
        ::close(fds[i].fd);
        fds[i].fd = -1;
        --open;
      }
    }
  }
  for (pollfd& p : fds)
    if (p.fd >= 0) ::close(p.fd);
  int status = 0;
  rusage usage{};
  ::wait4(pid, &status, 0, &usage);
  r.max_rss_kb = usage.ru_maxrss;
  if (!killed && WIFEXITED(status)) r.status = WEXITSTATUS(status);
  return r;
}

// Standard input, output and error on one pseudo-terminal; `out` gets
// everything it showed (the echo of the input included). The input is
// typed once the first prompt shows, so readline has the terminal by then.
inline OrvsqlResult RunOrvsqlOnTerminal(const std::vector<std::string>& args,
                                        const std::string& input, int time_limit_ms = 30000) {
  OrvsqlResult r;
  int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) return r;
  char home[] = "/tmp/orvsql-home-XXXXXX";
  if (::mkdtemp(home) == nullptr) return r;
  std::vector<std::string> all = {ORV_ORVSQL_PATH};
  all.insert(all.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& a : all) argv.push_back(a.data());
  argv.push_back(nullptr);
  std::string home_var = std::string("HOME=") + home;
  std::string term_var = "TERM=dumb";
  char* envp[] = {home_var.data(), term_var.data(), nullptr};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, ::ptsname(master), O_RDWR, 0);
  posix_spawn_file_actions_adddup2(&actions, STDIN_FILENO, STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, STDIN_FILENO, STDERR_FILENO);
  pid_t pid = -1;
  int rc = posix_spawn(&pid, all[0].c_str(), &actions, nullptr, argv.data(), envp);
  posix_spawn_file_actions_destroy(&actions);
  bool typed = false;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(time_limit_ms);
  bool killed = false;
  while (rc == 0) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      ::kill(pid, SIGKILL);
      killed = true;
      break;
    }
    pollfd fd = {master, POLLIN, 0};
    const int ready = ::poll(&fd, 1, static_cast<int>(left.count()));
    if (ready < 0) break;
    if (ready == 0) continue;  // the time limit, checked above
    char buf[4096];
    ssize_t n = ::read(master, buf, sizeof buf);
    if (n <= 0) break;  // EIO once the program has closed the terminal
    r.out.append(buf, static_cast<size_t>(n));
    if (!typed && r.out.find("orvsql> ") != std::string::npos) {
      typed = true;
      if (::write(master, input.data(), input.size()) < 0) r.err = "write failed";
    }
  }
  ::close(master);
  int status = 0;
  if (rc == 0) ::waitpid(pid, &status, 0);
  if (rc == 0 && !killed && WIFEXITED(status)) r.status = WEXITSTATUS(status);
  std::string history = std::string(home) + "/.orvsql_history";
  ::unlink(history.c_str());
  ::rmdir(home);
  return r;
}

}  // namespace orv::test
