// Server accepts clients and serves each on a thread of its own, with its own
// database connection.
//
// Stopping: Stop() (async-signal-safe; the signal handlers call it) writes a
// byte to a self-pipe whose read end every wait of the server also polls.
// Run() then stops accepting, interrupts running statements, and joins every
// connection thread; each thread ends by dropping its backend, which rolls
// back an open transaction. Nothing is left running when Run() returns.
//
// The connection limit. A client arriving while max_connections are served
// waits in a queue (of at most max_connections clients) for up to
// slot_wait_ms: a client that sends CLOSE and reconnects at once arrives
// before its old connection's thread has read the CLOSE and let go, and
// must not be turned away for it. Each ending connection thread writes a
// byte to the slot pipe, which wakes the accepting thread to hand its slot
// to the longest-waiting client; a client still waiting at its deadline is
// answered "too many connections" and closed.
//
// Time limits of a connection (RunSession): between requests the idle
// time-out (if any) bounds each wait; a request, once its first byte has
// come (for a new connection: from the start), must be complete within the
// request time-out, so a silent or trickling client cannot hold a slot for
// ever; a reply the client takes nothing of for that long ends it too.
//
// Connection threads that finished are joined by the accepting thread as it
// goes. Start() and Run() are called by one thread; Stop() by any.
#pragma once

#include <atomic>
#include <chrono>
#include <deque>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "server/backend.h"
#include "server/options.h"
#include "server/socket.h"

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

  using Clock = std::chrono::steady_clock;
  struct Waiting {
    Fd fd;
    Clock::time_point deadline;
  };

  // Starts a connection thread for `fd`; the caller has checked the limit.
  void Start(Fd fd);
  void Refuse(Fd fd);
  // Hands free slots to waiting clients and refuses those whose wait is
  // over; returns how long poll may wait for the next deadline (-1: none).
  int ServeWaiting();
  void Serve(Connection* conn, Fd fd);
  void RunSession(Connection* conn, SocketStream* stream);
  void ReapFinished();
  void Log(int conn, const std::string& what, std::int64_t rows, bool ok, double ms);

  ServerOptions options_;
  Listener listener_;
  Fd stop_read_;
  Fd stop_write_;
  Fd slot_read_;   // readable when a connection has ended
  Fd slot_write_;
  std::deque<Waiting> waiting_;  // accepting thread only
  std::atomic<int> active_{0};
  int next_id_ = 0;
  std::mutex mu_;
  std::list<std::unique_ptr<Connection>> connections_;  // protected by mu_
};

}  // namespace orv::server
