// RdbServerProcess runs the real rdbserver binary for a test: on a free port
// of 127.0.0.1, with a fresh database in a temporary directory. It waits (with
// a time limit) for the "rdbserver listening on ADDR:PORT" line, and stops the
// server with SIGTERM when destroyed, removing the directory.
//
// Owns the child process and the directory. Used by the test's thread.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace orv::test {

class RdbServerProcess {
 public:
  // Starts `binary --listen 127.0.0.1:0 --sqlite <db> extra_args...`, where
  // <db> is db_path, or <tmp>/test.db when db_path is empty; without the
  // --sqlite part when extra_args choose --postgres.
  explicit RdbServerProcess(const std::string& binary, std::vector<std::string> extra_args = {},
                            const std::string& db_path = "", int start_timeout_ms = 10000);
  ~RdbServerProcess();
  RdbServerProcess(const RdbServerProcess&) = delete;
  RdbServerProcess& operator=(const RdbServerProcess&) = delete;

  bool ok() const { return port_ > 0; }
  const std::string& error() const { return error_; }
  int port() const { return port_; }
  pid_t pid() const { return pid_; }
  const std::string& db_path() const { return db_path_; }

  // Sends SIGTERM and waits up to timeout_ms (then SIGKILL). Returns the exit
  // status, or -1 when it did not exit normally.
  int Stop(int timeout_ms = 10000);

 private:
  std::string dir_;
  std::string db_path_;
  std::string error_;
  pid_t pid_ = -1;
  int out_fd_ = -1;
  int port_ = 0;
};

}  // namespace orv::test
