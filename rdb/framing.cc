// The framing operations of TOrvRDB: frames in and out of a connection, timed
// transfers, readiness waits and the result line.
//
// Every transfer (`Writen`, `Readn`) runs under the socket-list lock, so a
// handle is looked up and used while no other thread can close its socket:
// the descriptor cannot be swapped for a newer connection's in between.
// `WaitForData` looks the descriptor up under the lock but waits without it,
// so a slow server never holds up the component's other connections; should
// the connection be closed meanwhile, the wait reports readiness of a
// descriptor that may belong to someone else, which is harmless: it reads
// nothing, and the transfer that follows looks the handle up again and finds
// it gone.
//
// Transfers never block past their time-out: the socket is left in blocking
// mode, each call is made non-blocking (MSG_DONTWAIT) and waits are poll
// calls with what is left of the time-out. Nothing is outstanding once a
// transfer has returned.
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <mutex>

#include "host/exceptions.h"
#include "host/sysutils.h"
#include "rdb/frame.h"
#include "rdb/orv_rdb.h"

namespace orv {

namespace {

using Clock = std::chrono::steady_clock;

[[noreturn]] void RaiseIOError(const char* direction, int error) {
  throw EOrvRDBException(
      Format(sSocketIOError, direction, error, SystemErrorText(error)));
}

bool WouldBlock(int error) { return error == EWOULDBLOCK || error == EAGAIN; }

// poll on one descriptor until `deadline`, retrying interrupted calls.
int PollUntil(int fd, short events, Clock::time_point deadline) {
  for (;;) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                    deadline - Clock::now()).count();
    pollfd p{fd, events, 0};
    int rc = poll(&p, 1, static_cast<int>(left > 0 ? left : 0));
    if (rc == -1 && errno == EINTR) continue;
    return rc;
  }
}

}  // namespace

int TOrvRDB::EffectiveTimeOut() const {
  int timeout = timeout_;
  return timeout > 0 ? timeout : kMinTimeOut;
}

int TOrvRDB::DescriptorOf(int socket) {
  if (socket < 0) return -1;
  if (socket == default_id_) return default_socket_.SocketHandle();
  auto it = sockets_.find(socket);
  return it == sockets_.end() ? -1 : it->second->SocketHandle();
}

int TOrvRDB::Send(int socket, const std::string& message) {
  int total = 0;
  std::string_view rest(message);
  while (!rest.empty()) {
    std::string_view chunk = rest.substr(0, kMaxFramePayload);
    std::string frame = EncodeFrame(chunk);
    int written;
    try {
      written = Writen(socket, frame.data(), static_cast<int>(frame.size()));
    } catch (...) {
      Drop(socket);
      throw;
    }
    total += written;
    // A frame cut short leaves the peer unable to find the next header.
    if (written != static_cast<int>(frame.size())) {
      Drop(socket);
      break;
    }
    rest.remove_prefix(chunk.size());
  }
  return total;
}

std::string TOrvRDB::Receive(int socket) {
  TFrameReader reader;
  while (!reader.Complete()) {
    // A silent server is waited for again; a handle that no longer names a
    // connection goes on to Readn, which reports it.
    if (!WaitForData(socket, EffectiveTimeOut(), wtRead) && Connected(socket)) {
      continue;
    }
    int got = Readn(socket, reader.Space(), static_cast<int>(reader.Missing()));
    if (got > 0) reader.Commit(static_cast<size_t>(got));
  }
  return reader.TakePayload();
}

int TOrvRDB::Writen(int socket, const void* buffer, int count) {
  std::lock_guard guard(sockets_lock_);
  int fd = DescriptorOf(socket);
  if (fd < 0) RaiseIOError(sSocketWrite, EBADF);
  auto deadline = Clock::now() + std::chrono::milliseconds(EffectiveTimeOut());
  const char* bytes = static_cast<const char*>(buffer);
  int done = 0;
  while (done < count) {
    ssize_t n = send(fd, bytes + done, static_cast<size_t>(count - done),
                     MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n >= 0) {
      done += static_cast<int>(n);
      continue;
    }
    if (errno == EINTR) continue;
    if (!WouldBlock(errno)) RaiseIOError(sSocketWrite, errno);
    if (Clock::now() >= deadline || PollUntil(fd, POLLOUT, deadline) <= 0) break;
  }
  return done;
}

int TOrvRDB::Readn(int socket, void* buffer, int count) {
  std::lock_guard guard(sockets_lock_);
  int fd = DescriptorOf(socket);
  if (fd < 0) RaiseIOError(sSocketRead, EBADF);
  if (count <= 0) return 0;
  auto deadline = Clock::now() + std::chrono::milliseconds(EffectiveTimeOut());
  for (;;) {
    ssize_t n = recv(fd, buffer, static_cast<size_t>(count), MSG_DONTWAIT);
    if (n > 0) return static_cast<int>(n);
    if (n == 0) throw EOrvRDBException(sConnectionClosed);
    if (errno == EINTR) continue;
    if (!WouldBlock(errno)) RaiseIOError(sSocketRead, errno);
    if (Clock::now() >= deadline || PollUntil(fd, POLLIN, deadline) <= 0) return 0;
  }
}

bool TOrvRDB::WaitForData(int socket, int timeout_ms, TWaitType wait_type) {
  int fd;
  {
    std::lock_guard guard(sockets_lock_);
    fd = DescriptorOf(socket);
  }
  if (fd < 0) return false;
  auto deadline = Clock::now() + std::chrono::milliseconds(std::max(timeout_ms, 0));
  short events = wait_type == wtRead ? POLLIN : POLLOUT;
  return PollUntil(fd, events, deadline) > 0;
}

int TOrvRDB::GetResult(const std::string& reply) {
  std::string line = Trim(reply);
  size_t semicolon = line.find(';');
  if (semicolon == std::string::npos) throw EOrvRDBException(sResultFormatError);
  int code;
  try {
    code = StrToInt(std::string_view(line).substr(0, semicolon));
  } catch (const EConvertError&) {
    throw EOrvRDBException(sResultFormatError);
  }
  if (code < 0) throw EOrvRDBException(line.substr(semicolon + 1));
  return code;
}

}  // namespace orv
