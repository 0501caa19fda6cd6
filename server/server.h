// Server accepts clients and serves each on a thread of its own, with its own
// database connection.
//
// Stopping: Stop() (async-signal-safe; the signal handlers call it) writes a
// byte to a self-pipe whose read end every wait of the server also polls.
// Run() then stops accepting, interrupts running statements, and joins every
// connection thread; each thread ends by dropping its backend, which rolls
// back an open transaction. Nothing is left running when Run() returns.
//
// Connection threads that finished are joined by the accepting thread as it
// goes. Start() and Run() are called by one thread; Stop() by any.
#pragma once

#include <atomic>
#include <list>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "server/backend.h"
#include "server/options.h"
#include "server/socket.h"
#include "server/users.h"

namespace orv::server {

class Server {
 public:
  // Largest request (command message plus parameter block) accepted.
  static constexpr std::size_t kMaxRequestBytes = 64u << 20;
  // How long a writer waits for another transaction's write lock.
  static constexpr int kBusyTimeoutMs = 30000;

  explicit Server(ServerOptions options);
  ~Server();
  Server(const Server&) = delete;
  Server& operator=(const Server&) = delete;

  // Prepares the database and starts listening. False and *error on failure.
  bool Start(std::string* error);
  int port() const { return listener_.port(); }

  // Serves until Stop(); returns when every connection has ended.
  void Run();
  void Stop();

 private:
  struct Connection {
    int id = 0;
    std::thread thread;
    std::atomic<bool> done{false};
    Backend* backend = nullptr;  // protected by mu_
  };

  void Serve(Connection* conn, Fd fd);
  void RunSession(Connection* conn, SocketStream* stream);
  void ReapFinished();
  void Log(int conn, const std::string& what, std::int64_t rows, bool ok, double ms);

  ServerOptions options_;
  std::optional<UserTable> users_;  // set by Start with --users; read-only after
  Listener listener_;
  Fd stop_read_;
  Fd stop_write_;
  std::atomic<int> active_{0};
  int next_id_ = 0;
  std::mutex mu_;
  std::list<std::unique_ptr<Connection>> connections_;  // protected by mu_
};

}  // namespace orv::server
