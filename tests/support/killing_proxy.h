// KillingProxy: a loopback TCP proxy in front of a server process, for
// tests of a server dying in the middle of a request. It forwards every
// connection both ways and, when a client has sent `word` for the n-th time
// on one connection, forwards those bytes, kills the server (SIGKILL) and
// closes that connection.
//
// Owns its sockets and one thread, which the destructor stops and joins;
// every wait is bounded.
#pragma once

#include <sys/types.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace orv::test {

class KillingProxy {
 public:
  KillingProxy(int server_port, pid_t server_pid, std::string word, int nth);
  ~KillingProxy();
  KillingProxy(const KillingProxy&) = delete;
  KillingProxy& operator=(const KillingProxy&) = delete;

  int Port() const { return port_; }

 private:
  struct Link {
    int client = -1;
    int server = -1;
    std::string tail;  // the client's last bytes, for a word cut by a read
    int seen = 0;
  };

  void Loop();
  // Moves what `from` has to `to`; false once either side is done.
  bool Pump(Link& link, bool from_client);

  int server_port_;
  pid_t server_pid_;
  std::string word_;
  int nth_;
  int listen_fd_ = -1;
  int port_ = 0;
  std::vector<Link> links_;  // the loop's thread only
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

}  // namespace orv::test
