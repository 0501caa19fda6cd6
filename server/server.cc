#include "server/server.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <limits>

#include "server/pg_backend.h"
#include "server/request_parser.h"
#include "server/session.h"
#include "server/sqlite_backend.h"

namespace orv::server {

namespace {

// Milliseconds for poll, which takes an int; a year of seconds does not fit.
int PollMs(std::int64_t ms) {
  return static_cast<int>(std::clamp<std::int64_t>(ms, 0, std::numeric_limits<int>::max()));
}

// The bound of each wait for the client to take more of a reply: the
// shorter of the two time-outs that are set; 0 when neither is.
int WriteTimeoutMs(const ServerOptions& o) {
  const std::int64_t idle = o.idle_timeout_seconds * std::int64_t{1000};
  const std::int64_t request = o.request_timeout_seconds * std::int64_t{1000};
  if (idle == 0 || request == 0) return PollMs(idle + request);
  return PollMs(std::min(idle, request));
}

// No request under way, or no request time-out.
constexpr std::chrono::steady_clock::time_point kNoDeadline =
    std::chrono::steady_clock::time_point::max();

// The bound of the next wait for request bytes: what is left of the
// request's deadline (0 once it has passed), and no more than the idle
// time-out, which also bounds each wait between requests; -1 for none.
int ReadWaitMs(std::chrono::steady_clock::time_point deadline, int idle_seconds) {
  const int idle = idle_seconds > 0 ? PollMs(idle_seconds * std::int64_t{1000}) : -1;
  if (deadline == kNoDeadline) return idle;
  auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline -
                                                           std::chrono::steady_clock::now());
  const int left_ms = PollMs(left.count());
  return idle < 0 ? left_ms : std::min(idle, left_ms);
}

}  // namespace

Server::Server(ServerOptions options) : options_(std::move(options)) {
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) == 0) {
    stop_read_ = Fd(fds[0]);
    stop_write_ = Fd(fds[1]);
  }
  if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) == 0) {
    slot_read_ = Fd(fds[0]);
    slot_write_ = Fd(fds[1]);
  }
}

Server::~Server() {
  Stop();
  std::lock_guard<std::mutex> lock(mu_);
  for (auto& c : connections_) {
    if (c->thread.joinable()) c->thread.join();
  }
}

bool Server::Start(std::string* error) {
  if (!stop_read_.valid() || !slot_read_.valid()) {
    *error = "cannot create the server's pipes";
    return false;
  }
  if (options_.postgres) {
    // One connection up front, so a wrong conninfo fails the start.
    if (!PgBackend::Connect(options_.postgres_conninfo, error)) {
      *error = "cannot connect to PostgreSQL: " + *error;
      return false;
    }
  } else if (!SqliteBackend::Prepare(options_.sqlite_path, error)) {
    *error = "cannot open database " + options_.sqlite_path + ": " + *error;
    return false;
  }
  return listener_.Open(options_.address, options_.port, error);
}

void Server::Stop() {
  char byte = 1;
  // Async-signal-safe; a full pipe already means "stop".
  [[maybe_unused]] ssize_t n = ::write(stop_write_.get(), &byte, 1);
}

void Server::Run() {
  for (;;) {
    ReapFinished();
    const int timeout_ms = ServeWaiting();
    pollfd fds[3] = {{listener_.fd(), POLLIN, 0},
                     {stop_read_.get(), POLLIN, 0},
                     {slot_read_.get(), POLLIN, 0}};
    if (::poll(fds, 3, timeout_ms) < 0 && errno != EINTR) break;
    if (fds[1].revents) break;
    if (fds[2].revents) {
      char drain[64];
      while (::read(slot_read_.get(), drain, sizeof drain) > 0) {
      }
    }
    if (!(fds[0].revents & POLLIN)) continue;
    bool failed = false;
    Fd client = listener_.TryAccept(&failed);
    if (failed) {
      // Out of descriptors or a similar passing failure: do not spin.
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
      continue;
    }
    if (!client.valid()) continue;
    if (waiting_.empty() && active_.load() < options_.max_connections) {
      Start(std::move(client));
    } else if (options_.slot_wait_ms > 0 &&
               waiting_.size() < static_cast<std::size_t>(options_.max_connections)) {
      waiting_.push_back(
          {std::move(client), Clock::now() + std::chrono::milliseconds(options_.slot_wait_ms)});
    } else {
      Refuse(std::move(client));
    }
  }
  // Clients still waiting for a slot are closed unanswered.
  waiting_.clear();
  {
    std::lock_guard<std::mutex> lock(mu_);
    for (auto& c : connections_) {
      if (c->backend) c->backend->Interrupt();
    }
  }
  std::list<std::unique_ptr<Connection>> all;
  {
    std::lock_guard<std::mutex> lock(mu_);
    all.swap(connections_);
  }
  for (auto& c : all) c->thread.join();
}

int Server::ServeWaiting() {
  while (!waiting_.empty() && active_.load() < options_.max_connections) {
    Start(std::move(waiting_.front().fd));
    waiting_.pop_front();
  }
  const Clock::time_point now = Clock::now();
  while (!waiting_.empty() && waiting_.front().deadline <= now) {
    Refuse(std::move(waiting_.front().fd));
    waiting_.pop_front();
  }
  if (waiting_.empty()) return -1;
  auto left = std::chrono::ceil<std::chrono::milliseconds>(waiting_.front().deadline - now);
  return static_cast<int>(left.count());
}

void Server::Start(Fd fd) {
  auto conn = std::make_unique<Connection>();
  conn->id = ++next_id_;
  Connection* raw = conn.get();
  active_.fetch_add(1);
  std::lock_guard<std::mutex> lock(mu_);
  connections_.push_back(std::move(conn));
  raw->thread = std::thread(&Server::Serve, this, raw, std::move(fd));
}

void Server::Refuse(Fd fd) {
  // Answer rather than leave the client waiting in the backlog.
  std::string line = "-1;too many connections (limit " +
                     std::to_string(options_.max_connections) + ")";
  char header[8];
  std::snprintf(header, sizeof header, "%04zu", line.size());
  std::string frame = header + line;
  [[maybe_unused]] ssize_t n =
      ::send(fd.get(), frame.data(), frame.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
  if (options_.verbose) Log(0, "refused: too many connections", -1, false, 0);
}

void Server::ReapFinished() {
  std::list<std::unique_ptr<Connection>> finished;
  {
    std::lock_guard<std::mutex> lock(mu_);
    for (auto it = connections_.begin(); it != connections_.end();) {
      auto next = std::next(it);
      if ((*it)->done.load()) finished.splice(finished.end(), connections_, it);
      it = next;
    }
  }
  for (auto& c : finished) c->thread.join();
}

void Server::Log(int conn, const std::string& what, std::int64_t rows, bool ok, double ms) {
  std::string line = "rdbserver: conn " + std::to_string(conn) + " " + what;
  if (rows >= 0) line += " rows=" + std::to_string(rows);
  char tail[64];
  std::snprintf(tail, sizeof tail, " %s %.3f ms\n", ok ? "ok" : "failed", ms);
  line += tail;
  std::fputs(line.c_str(), stderr);
}

void Server::Serve(Connection* conn, Fd fd) {
  SocketStream stream(std::move(fd), stop_read_.get(), WriteTimeoutMs(options_));
  try {
    RunSession(conn, &stream);
  } catch (const std::exception& e) {
    // A failed send or an exhausted allocation ends this connection only.
    if (options_.verbose) Log(conn->id, std::string("closed: ") + e.what(), -1, false, 0);
  }
  active_.fetch_sub(1);
  conn->done.store(true);
  char byte = 1;
  // A full pipe already says that a slot is free.
  [[maybe_unused]] ssize_t n = ::write(slot_write_.get(), &byte, 1);
}

void Server::RunSession(Connection* conn, SocketStream* stream) {
  FrameWriter writer(stream);
  std::string error;
  std::unique_ptr<Backend> backend;
  if (options_.postgres) {
    backend = PgBackend::Connect(options_.postgres_conninfo, &error);
    if (!backend) error = "cannot connect to PostgreSQL: " + error;
  } else {
    backend = SqliteBackend::Connect(options_.sqlite_path, kBusyTimeoutMs, &error);
  }
  if (!backend) {
    writer.ResultLine(-1, error);
    writer.Flush();
    return;
  }
  {
    std::lock_guard<std::mutex> lock(mu_);
    conn->backend = backend.get();
  }
  Session session(std::move(backend), &writer);
  // Declared after the session, so it runs first on every way out: once the
  // pointer is cleared, Interrupt() cannot reach the backend being dropped.
  struct Unregister {
    Server* server;
    Connection* conn;
    ~Unregister() {
      std::lock_guard<std::mutex> lock(server->mu_);
      conn->backend = nullptr;
    }
  } unregister{this, conn};
  RequestParser parser(kMaxRequestBytes);
  std::string chunk;
  const auto request_limit = std::chrono::seconds(options_.request_timeout_seconds);
  const bool limited = request_limit.count() > 0;
  // The deadline of the request under way; a new connection's first
  // request counts from now.
  Clock::time_point request_deadline = limited ? Clock::now() + request_limit : kNoDeadline;
  bool open = true;
  while (open) {
    Request request;
    RequestParser::Result r = parser.Next(&request);
    if (r.status == RequestParser::Status::kNeedMore) {
      const int wait_ms = ReadWaitMs(request_deadline, options_.idle_timeout_seconds);
      SocketStream::ReadStatus status =
          wait_ms == 0 ? SocketStream::ReadStatus::kTimedOut : stream->Read(&chunk, wait_ms);
      if (status != SocketStream::ReadStatus::kData) {
        if (status == SocketStream::ReadStatus::kTimedOut && Clock::now() >= request_deadline) {
          // Tell a client that is still there why it is dropped.
          session.Refuse("request not complete within " +
                         std::to_string(options_.request_timeout_seconds) + " seconds");
          writer.Flush();
        }
        if (status == SocketStream::ReadStatus::kTimedOut && options_.verbose)
          Log(conn->id, "closed: time-out", -1, false, 0);
        break;
      }
      if (limited && request_deadline == kNoDeadline)
        request_deadline = Clock::now() + request_limit;
      parser.Feed(chunk.data(), chunk.size());
      continue;
    }
    auto start = std::chrono::steady_clock::now();
    Session::Summary summary;
    std::string what;
    if (r.status == RequestParser::Status::kError) {
      session.Refuse(r.error);
      summary.ok = false;
      open = !r.fatal;
      what = "bad request: " + r.error;
    } else {
      summary = session.Handle(request);
      open = !summary.close;
      what = request.command;
    }
    writer.Flush();
    if (options_.verbose) {
      std::chrono::duration<double, std::milli> ms = std::chrono::steady_clock::now() - start;
      Log(conn->id, what, summary.rows, summary.ok, ms.count());
    }
    // Bytes of the next request may have come with this one.
    request_deadline =
        limited && parser.MidRequest() ? Clock::now() + request_limit : kNoDeadline;
  }
}

}  // namespace orv::server
