// POSIX socket plumbing of the server: an owned file descriptor, the
// listening socket, and the stream of one client connection.
//
// Every wait polls the socket together with the server's stop descriptor (the
// read end of a pipe that becomes readable, and stays so, when the server is
// asked to stop), so no thread can stay blocked on a socket once stopping has
// begun. Sockets are non-blocking; sends use MSG_NOSIGNAL, so a client that
// has gone away yields an error and never SIGPIPE.
//
// Each object is used by one thread at a time.
#pragma once

#include <stdexcept>
#include <string>

#include "server/frame_writer.h"

namespace orv::server {

class Fd {
 public:
  Fd() = default;
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() { Reset(); }
  Fd(Fd&& other) noexcept : fd_(other.Release()) {}
  Fd& operator=(Fd&& other) noexcept {
    if (this != &other) {
      Reset();
      fd_ = other.Release();
    }
    return *this;
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;

  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }
  int Release() {
    int fd = fd_;
    fd_ = -1;
    return fd;
  }
  void Reset();

 private:
  int fd_ = -1;
};

// Raised by SocketStream::Write when the bytes cannot be delivered.
class SocketError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class Listener {
 public:
  // Binds and listens on an IPv4 address; port 0 picks a free port.
  bool Open(const std::string& address, int port, std::string* error);
  int port() const { return port_; }
  // Waits for a client. Returns an invalid Fd when stop_fd became readable
  // or accepting failed; *stopped tells which.
  Fd Accept(int stop_fd, bool* stopped);

 private:
  Fd fd_;
  int port_ = 0;
};

class SocketStream : public ByteSink {
 public:
  enum class ReadStatus { kData, kClosed, kStopped, kTimedOut, kError };

  // timeout_ms bounds each wait for a request; 0 waits without limit.
  // send_timeout_ms bounds each wait for the client to take reply bytes, so a
  // client that stops reading cannot hold the connection and its reply in
  // memory; 0 waits without limit.
  SocketStream(Fd fd, int stop_fd, int timeout_ms, int send_timeout_ms = 0)
      : fd_(std::move(fd)),
        stop_fd_(stop_fd),
        timeout_ms_(timeout_ms),
        send_timeout_ms_(send_timeout_ms) {}

  // Receives what is there (waiting for at least one byte) into *chunk.
  ReadStatus Read(std::string* chunk);
  void Write(std::string_view bytes) override;

 private:
  // Waits for the socket to be ready for events; kData when it is.
  ReadStatus Wait(short events, int timeout_ms);

  Fd fd_;
  int stop_fd_;
  int timeout_ms_;
  int send_timeout_ms_;
};

}  // namespace orv::server
