#include "server/socket.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace orv::server {

void Fd::Reset() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

bool Listener::Open(const std::string& address, int port, std::string* error) {
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<uint16_t>(port));
  if (inet_pton(AF_INET, address.c_str(), &addr.sin_addr) != 1) {
    *error = "not an IPv4 address: " + address;
    return false;
  }
  Fd fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
  if (!fd.valid()) {
    *error = std::string("socket: ") + std::strerror(errno);
    return false;
  }
  int one = 1;
  ::setsockopt(fd.get(), SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  if (::bind(fd.get(), reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
      ::listen(fd.get(), 128) != 0) {
    *error = "cannot listen on " + address + ":" + std::to_string(port) + ": " +
             std::strerror(errno);
    return false;
  }
  socklen_t len = sizeof addr;
  ::getsockname(fd.get(), reinterpret_cast<sockaddr*>(&addr), &len);
  port_ = ntohs(addr.sin_port);
  fd_ = std::move(fd);
  return true;
}

Fd Listener::TryAccept(bool* failed) {
  *failed = false;
  for (;;) {
    int client = ::accept4(fd_.get(), nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (client >= 0) {
      int one = 1;
      ::setsockopt(client, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
      return Fd(client);
    }
    if (errno == EINTR) continue;
    // A client that gave up before being accepted is not an error of ours.
    *failed = errno != EAGAIN && errno != EWOULDBLOCK && errno != ECONNABORTED;
    return Fd();
  }
}

SocketStream::ReadStatus SocketStream::Wait(short events, int timeout_ms) {
  for (;;) {
    pollfd fds[2] = {{fd_.get(), events, 0}, {stop_fd_, POLLIN, 0}};
    int n = ::poll(fds, 2, timeout_ms);
    if (n < 0) {
      if (errno == EINTR) continue;
      return ReadStatus::kError;
    }
    if (n == 0) return ReadStatus::kTimedOut;
    if (fds[1].revents) return ReadStatus::kStopped;
    return ReadStatus::kData;
  }
}

SocketStream::ReadStatus SocketStream::Read(std::string* chunk, int timeout_ms) {
  char buf[64 * 1024];
  for (;;) {
    ReadStatus ready = Wait(POLLIN, timeout_ms);
    if (ready != ReadStatus::kData) return ready;
    ssize_t n = ::recv(fd_.get(), buf, sizeof buf, 0);
    if (n > 0) {
      chunk->assign(buf, static_cast<std::size_t>(n));
      return ReadStatus::kData;
    }
    if (n == 0) return ReadStatus::kClosed;
    if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) return ReadStatus::kError;
  }
}

void SocketStream::Write(std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t n = ::send(fd_.get(), bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (n > 0) {
      bytes.remove_prefix(static_cast<std::size_t>(n));
      continue;
    }
    if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
      throw SocketError(std::string("send: ") + std::strerror(errno));
    }
    ReadStatus ready = Wait(POLLOUT, write_timeout_ms_ > 0 ? write_timeout_ms_ : -1);
    if (ready == ReadStatus::kStopped) throw SocketError("server is stopping");
    if (ready != ReadStatus::kData) throw SocketError("client does not take the reply");
  }
}

}  // namespace orv::server
