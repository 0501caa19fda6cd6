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
  // The listening socket, for the caller's own poll.
  int fd() const { return fd_.get(); }
  // Takes a waiting client without blocking. An invalid Fd when none is
  // waiting (or one gave up first), and then *failed tells whether
  // accepting itself failed (out of descriptors and the like).
  Fd TryAccept(bool* failed);

 private:
  Fd fd_;
  int port_ = 0;
};

class SocketStream : public ByteSink {
 public:
  enum class ReadStatus { kData, kClosed, kStopped, kTimedOut, kError };

  // write_timeout_ms bounds each wait for the client to take more of a
  // reply; 0 waits without limit.
  SocketStream(Fd fd, int stop_fd, int write_timeout_ms)
      : fd_(std::move(fd)), stop_fd_(stop_fd), write_timeout_ms_(write_timeout_ms) {}

  // Receives what is there into *chunk, waiting at most timeout_ms (-1: no
  // limit) for the first byte.
  ReadStatus Read(std::string* chunk, int timeout_ms);
  void Write(std::string_view bytes) override;

 private:
  // Waits up to timeout_ms (-1: no limit) for the socket to be ready for
  // events; kData when it is.
  ReadStatus Wait(short events, int timeout_ms);

  Fd fd_;
  int stop_fd_;
  int write_timeout_ms_;
};

}  // namespace orv::server
