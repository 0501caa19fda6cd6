#include "server/server.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>

#include "server/pg_backend.h"
#include "server/request_parser.h"
#include "server/session.h"
#include "server/sqlite_backend.h"

namespace orv::server {

Server::Server(ServerOptions options) : options_(std::move(options)) {
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) == 0) {
    stop_read_ = Fd(fds[0]);
    stop_write_ = Fd(fds[1]);
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
  if (!stop_read_.valid()) {
    *error = "cannot create the stop pipe";
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
    bool stopped = false;
    Fd client = listener_.Accept(stop_read_.get(), &stopped);
    ReapFinished();
    if (stopped) break;
    if (!client.valid()) {
      // Out of descriptors or a similar passing failure: do not spin.
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
      continue;
    }
    if (active_.load() >= options_.max_connections) {
      // Answer at once rather than leave the client waiting in the backlog.
      std::string line = "-1;too many connections (limit " +
                         std::to_string(options_.max_connections) + ")";
      char header[8];
      std::snprintf(header, sizeof header, "%04zu", line.size());
      std::string frame = header + line;
      [[maybe_unused]] ssize_t n = ::send(client.get(), frame.data(), frame.size(),
                                          MSG_NOSIGNAL | MSG_DONTWAIT);
      if (options_.verbose) Log(0, "refused: too many connections", -1, false, 0);
      continue;
    }
    auto conn = std::make_unique<Connection>();
    conn->id = ++next_id_;
    Connection* raw = conn.get();
    active_.fetch_add(1);
    std::lock_guard<std::mutex> lock(mu_);
    connections_.push_back(std::move(conn));
    raw->thread = std::thread(&Server::Serve, this, raw, std::move(client));
  }
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
  SocketStream stream(std::move(fd), stop_read_.get(), options_.idle_timeout_seconds * 1000);
  try {
    RunSession(conn, &stream);
  } catch (const std::exception& e) {
    // A failed send or an exhausted allocation ends this connection only.
    if (options_.verbose) Log(conn->id, std::string("closed: ") + e.what(), -1, false, 0);
  }
  active_.fetch_sub(1);
  conn->done.store(true);
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
  bool open = true;
  while (open) {
    Request request;
    RequestParser::Result r = parser.Next(&request);
    if (r.status == RequestParser::Status::kNeedMore) {
      if (stream->Read(&chunk) != SocketStream::ReadStatus::kData) break;
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
  }
}

}  // namespace orv::server
