#include "socket/zozud_socket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <mutex>
#include <system_error>

#include "host/streams.h"
#include "host/sysutils.h"

namespace orv {

namespace {

thread_local TSocketErrorProc t_error_proc = nullptr;

bool WouldBlock(int error) { return error == EWOULDBLOCK || error == EAGAIN; }

// Keep-alive probes let a peer host that vanished without a word be noticed:
// first probe after a minute of silence, then every 10 s, five tries.
// Requests are written as a command message and then a parameter block, two
// small writes before the reply: without TCP_NODELAY the second waits for
// the server's delayed acknowledgement, some 40 ms per request.
void TuneConnection(int fd) {
  int on = 1, idle = 60, interval = 10, count = 5;
  setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  setsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on);
  setsockopt(fd, IPPROTO_TCP, TCP_KEEPIDLE, &idle, sizeof idle);
  setsockopt(fd, IPPROTO_TCP, TCP_KEEPINTVL, &interval, sizeof interval);
  setsockopt(fd, IPPROTO_TCP, TCP_KEEPCNT, &count, sizeof count);
}

std::string DottedAddress(const sockaddr_in& addr) {
  char text[INET_ADDRSTRLEN] = {};
  inet_ntop(AF_INET, &addr.sin_addr, text, sizeof text);
  return text;
}

}  // namespace

TSocketErrorProc SetErrorProc(TSocketErrorProc proc) {
  TSocketErrorProc previous = t_error_proc;
  t_error_proc = proc;
  return previous;
}

std::string SystemErrorText(int error) {
  return std::system_category().message(error);
}

TZozudSocket::TZozudSocket(int socket)
    : handle_(socket), connected_(socket != kInvalidSocket) {
  addr_.sin_family = AF_INET;
}

TZozudSocket::~TZozudSocket() {
  // Whatever the connected flag says, a descriptor we hold is ours to close.
  int fd = handle_.exchange(kInvalidSocket);
  if (fd != kInvalidSocket) close(fd);
}

int TZozudSocket::CheckSocketCall(int result, const char* operation) {
  if (result == 0) return 0;
  int error = errno;
  if (WouldBlock(error)) return error;
  if (t_error_proc != nullptr) {
    t_error_proc(error);
    return error;
  }
  throw EZozudSocketError(
      Format(sWindowsSocketError, SystemErrorText(error), error, operation));
}

int TZozudSocket::NewSocket() {
  // An earlier attempt may have left a descriptor behind; it is replaced.
  int stale = handle_.exchange(kInvalidSocket);
  if (stale != kInvalidSocket) close(stale);
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd == -1) throw EZozudSocketError(sCannotCreateSocket);
  handle_ = fd;
  return fd;
}

void TZozudSocket::ConnectTo(const sockaddr_in& addr) {
  int fd = handle_;
  int rc = connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr);
  if (rc == -1 && errno == EINTR) {
    // An interrupted connect goes on in the background; wait for its end.
    pollfd p{fd, POLLOUT, 0};
    while (poll(&p, 1, -1) == -1 && errno == EINTR) {
    }
    int error = 0;
    socklen_t len = sizeof error;
    getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &len);
    if (error != 0) errno = error;
    rc = error == 0 ? 0 : -1;
  }
  CheckSocketCall(rc, "connect");
}

bool TZozudSocket::Open(const std::string& name, const std::string& address,
                        const std::string& service, uint16_t port) {
  if (connected_) throw EZozudSocketError(sSocketAlreadyOpen);
  int fd = NewSocket();
  try {
    addr_ = InitSocket(name, address, service, port, true);
    // Address 0 is what an unknown host name resolves to; connecting to it
    // would reach a server on this machine by accident.
    if (addr_.sin_addr.s_addr == htonl(INADDR_ANY)) {
      throw EZozudSocketError(sServerNotReady);
    }
    DoSetAsyncStyles();
    TuneConnection(fd);
    ConnectTo(addr_);
    if ((async_styles_ & AsyncStyle(asConnect)) == 0) {
      connected_ = handle_ != kInvalidSocket;
    }
    return true;
  } catch (...) {
    int held = handle_.exchange(kInvalidSocket);
    if (held != kInvalidSocket) close(held);
    connected_ = false;
    throw EZozudSocketError(sServerNotReady);
  }
}

void TZozudSocket::Listen(const std::string& name, const std::string& address,
                          const std::string& service, uint16_t port,
                          int queue_size) {
  if (connected_) throw EZozudSocketError(sCannotListenOnOpen);
  int fd = NewSocket();
  try {
    addr_ = InitSocket(name, address, service, port, false);
    CheckSocketCall(
        bind(fd, reinterpret_cast<const sockaddr*>(&addr_), sizeof addr_),
        "bind");
    DoSetAsyncStyles();
    CheckSocketCall(listen(fd, std::min(queue_size, 5)), "listen");
    connected_ = true;
  } catch (...) {
    int held = handle_.exchange(kInvalidSocket);
    if (held != kInvalidSocket) close(held);
    connected_ = false;
    throw;
  }
}

void TZozudSocket::Close() { Disconnect(handle_); }

void TZozudSocket::Accept(int) {}
void TZozudSocket::Connect(int) {}
void TZozudSocket::Read(int) {}
void TZozudSocket::Write(int) {}

void TZozudSocket::Disconnect(int socket) {
  std::lock_guard guard(lock_);
  if (socket == kInvalidSocket || socket != handle_) return;
  handle_ = kInvalidSocket;
  connected_ = false;
  send_stream_.reset();
  // The descriptor is released even when close reports an error.
  int rc = close(socket);
  if (rc == -1 && errno == EINTR) rc = 0;
  CheckSocketCall(rc, "closesocket");
}

void TZozudSocket::Lock() { lock_.Enter(); }
void TZozudSocket::Unlock() { lock_.Leave(); }

uint32_t TZozudSocket::LookupName(const std::string& name) {
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (getaddrinfo(name.c_str(), nullptr, &hints, &found) != 0) return 0;
  uint32_t address = 0;
  if (found != nullptr && found->ai_addr != nullptr) {
    address = reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr.s_addr;
  }
  freeaddrinfo(found);
  return address;
}

uint16_t TZozudSocket::LookupService(const std::string& service) {
  servent entry{};
  servent* found = nullptr;
  char buffer[1024];
  if (getservbyname_r(service.c_str(), "tcp", &entry, buffer, sizeof buffer,
                      &found) != 0 ||
      found == nullptr) {
    return 0;
  }
  return ntohs(static_cast<uint16_t>(found->s_port));
}

sockaddr_in TZozudSocket::InitSocket(const std::string& name,
                                     const std::string& address,
                                     const std::string& service, uint16_t port,
                                     bool client) {
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  if (!name.empty()) {
    addr.sin_addr.s_addr = LookupName(name);
  } else if (!address.empty()) {
    addr.sin_addr.s_addr = inet_addr(address.c_str());
  } else if (client) {
    throw EZozudSocketError(sNoAddress);
  } else {
    addr.sin_addr.s_addr = htonl(INADDR_ANY);
  }
  addr.sin_port = htons(service.empty() ? port : LookupService(service));
  return addr;
}

void TZozudSocket::FailTransfer(int error, const char* operation) {
  Disconnect(handle_);
  throw EZozudSocketError(
      Format(sWindowsSocketError, SystemErrorText(error), error, operation));
}

int TZozudSocket::SendBuf(const void* buffer, int count) {
  // A negative count would become a huge length in the system call.
  if (count < 0) throw EZozudSocketError(Format(sNegativeCount, count, "send"));
  std::lock_guard guard(lock_);
  if (!connected_) return 0;
  ssize_t sent;
  do {
    sent = send(handle_, buffer, static_cast<size_t>(count), MSG_NOSIGNAL);
  } while (sent == -1 && errno == EINTR);
  if (sent == -1) {
    if (WouldBlock(errno)) return -1;
    FailTransfer(errno, "send");
  }
  return static_cast<int>(sent);
}

void TZozudSocket::SendText(const std::string& text) {
  SendBuf(text.data(), static_cast<int>(text.size()));
}

int TZozudSocket::ReceiveBuf(void* buffer, int count) {
  if (count < -1) throw EZozudSocketError(Format(sNegativeCount, count, "recv"));
  std::lock_guard guard(lock_);
  if (!connected_) return 0;
  if (count == -1) {
    int waiting = 0;
    ioctl(handle_, FIONREAD, &waiting);
    return waiting;
  }
  ssize_t got;
  do {
    got = recv(handle_, buffer, static_cast<size_t>(count), 0);
  } while (got == -1 && errno == EINTR);
  if (got == -1) {
    if (WouldBlock(errno)) return -1;
    FailTransfer(errno, "recv");
  }
  return static_cast<int>(got);
}

int TZozudSocket::ReceiveLength() { return ReceiveBuf(nullptr, -1); }

std::string TZozudSocket::ReceiveText() {
  std::string text(static_cast<size_t>(std::max(ReceiveLength(), 0)), '\0');
  ReceiveBuf(text.data(), static_cast<int>(text.size()));
  return text;
}

bool TZozudSocket::SendStream(std::unique_ptr<TStream>&& stream) {
  std::lock_guard guard(lock_);
  if (send_stream_) return false;
  send_stream_ = std::move(stream);
  return SendStreamPiece();
}

bool TZozudSocket::SendStreamThenDrop(std::unique_ptr<TStream>&& stream) {
  std::lock_guard guard(lock_);
  if (send_stream_) return false;
  drop_after_send_ = true;
  bool started = SendStream(std::move(stream));
  if (!started) drop_after_send_ = false;
  return started;
}

void TZozudSocket::FinishSendStream() {
  if (drop_after_send_) Disconnect(handle_);
  drop_after_send_ = false;
  send_stream_.reset();
}

bool TZozudSocket::SendStreamPiece() {
  std::lock_guard guard(lock_);
  if (!send_stream_ || handle_ == kInvalidSocket || !connected_) return false;
  char buffer[4096];
  for (;;) {
    int64_t start = send_stream_->Position();
    int64_t read = send_stream_->Read(buffer, sizeof buffer);
    if (read <= 0) {
      FinishSendStream();
      break;
    }
    ssize_t sent;
    do {
      sent = send(handle_, buffer, static_cast<size_t>(read), MSG_NOSIGNAL);
    } while (sent == -1 && errno == EINTR);
    if (sent == -1) {
      if (WouldBlock(errno)) {
        send_stream_->SetPosition(start);
        break;
      }
      Disconnect(handle_);
      FinishSendStream();
      if (async_styles_ != 0) Abort();
      break;
    }
    if (sent < read) {
      send_stream_->SetPosition(start + sent);
      continue;
    }
    if (send_stream_->Position() >= send_stream_->Size()) {
      FinishSendStream();
      break;
    }
  }
  return true;
}

sockaddr_in TZozudSocket::LocalNameLocked() {
  lock_.AssertHeld();
  sockaddr_in addr{};
  socklen_t len = sizeof addr;
  getsockname(handle_, reinterpret_cast<sockaddr*>(&addr), &len);
  return addr;
}

sockaddr_in TZozudSocket::PeerNameLocked() {
  lock_.AssertHeld();
  sockaddr_in addr{};
  socklen_t len = sizeof addr;
  CheckSocketCall(getpeername(handle_, reinterpret_cast<sockaddr*>(&addr), &len),
                  "getpeername");
  return addr;
}

std::string TZozudSocket::GetLocalAddress() {
  std::lock_guard guard(lock_);
  if (handle_ == kInvalidSocket) return "";
  return DottedAddress(LocalNameLocked());
}

std::string TZozudSocket::GetLocalHost() {
  std::lock_guard guard(lock_);
  if (handle_ == kInvalidSocket) return "";
  char name[256] = {};
  if (gethostname(name, sizeof name - 1) != 0) return "";
  return name;
}

int TZozudSocket::GetLocalPort() {
  std::lock_guard guard(lock_);
  if (handle_ == kInvalidSocket) return -1;
  return ntohs(LocalNameLocked().sin_port);
}

std::string TZozudSocket::GetRemoteHost() {
  std::lock_guard guard(lock_);
  if (!connected_) return "";
  sockaddr_in addr = PeerNameLocked();
  char host[NI_MAXHOST] = {};
  if (getnameinfo(reinterpret_cast<const sockaddr*>(&addr), sizeof addr, host,
                  sizeof host, nullptr, 0, NI_NAMEREQD) != 0) {
    return "";
  }
  return host;
}

std::string TZozudSocket::GetRemoteAddress() {
  std::lock_guard guard(lock_);
  if (!connected_) return "";
  return DottedAddress(PeerNameLocked());
}

int TZozudSocket::GetRemotePort() {
  std::lock_guard guard(lock_);
  if (!connected_) return 0;
  return ntohs(PeerNameLocked().sin_port);
}

sockaddr_in TZozudSocket::GetRemoteAddr() {
  std::lock_guard guard(lock_);
  sockaddr_in addr{};
  if (!connected_) return addr;
  socklen_t len = sizeof addr;
  if (getpeername(handle_, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
    addr = sockaddr_in{};
  }
  return addr;
}

void TZozudSocket::SetAsyncStyles(TAsyncStyles styles) {
  if (styles == async_styles_) return;
  async_styles_ = styles;
  if (handle_ != kInvalidSocket) DoSetAsyncStyles();
}

void TZozudSocket::DoSetAsyncStyles() {
  // Notifications have no receiver here, so a non-empty set changes nothing;
  // the empty set asks for blocking mode explicitly.
  if (async_styles_ != 0) return;
  int fd = handle_;
  int flags = fcntl(fd, F_GETFL);
  if (flags != -1 && (flags & O_NONBLOCK) != 0) {
    fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  }
}

}  // namespace orv
