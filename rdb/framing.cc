// The framing operations of TOrvRDB: frames in and out of a connection, timed
// transfers, readiness waits and the result line.
//
// Connections are shared between threads: the application's thread may
// disconnect a handle while a dataset's reader waits or reads on it. The
// socket list holds a std::shared_ptr to each socket, and every transfer and
// wait takes its own reference under the list lock, then works without the
// lock. The invariants:
//   - A descriptor is closed only by the socket's destructor, when the last
//     reference goes, so it is never closed under a poll, send or recv, and
//     a wait can never watch a newer connection that was given the same
//     descriptor number.
//   - Leaving the list (Disconnect, Drop) shuts the socket down: a poll on
//     it returns at once, and a recv or send fails. The transfer then finds
//     its handle gone from the list and reports "error 9" (EBADF), as for
//     any unknown handle; a wait on it ends reporting readiness, so the read
//     that follows reports the same.
//   - The list lock is held only for look-ups and list changes, never across
//     a wait, so a silent server holds up nothing but its own waiters.
//   - Writes to one connection take the socket's own lock, so frames from
//     two threads never interleave. Reads of one connection take its
//     read lock: a receive takes up to 64 KiB, whatever the socket holds,
//     and keeps what its caller did not ask for on the connection for the
//     next read, so a reply of many frames costs a system call per 64 KiB
//     rather than two per frame. Bytes read ahead go with their connection.
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
#include <cstring>
#include <mutex>

#include "host/exceptions.h"
#include "host/sysutils.h"
#include "rdb/frame.h"
#include "rdb/orv_rdb.h"

namespace orv {

namespace {

using Clock = std::chrono::steady_clock;

constexpr const char* kCloseCommand = "CLOSE;;;0;\n";

// Bytes one receive may take from a connection.
constexpr int kReadAhead = 64 * 1024;

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

// What one transfer moved, and what stopped it.
struct TTransfer {
  int bytes = 0;
  int error = 0;        // the error number of a failed call
  bool closed = false;  // the peer closed the connection (recv gave 0)
};

// Writes up to `count` bytes within `timeout_ms`, holding the socket's lock.
TTransfer WriteTo(TZozudSocket& connection, const void* buffer, int count, int timeout_ms) {
  connection.Lock();
  struct Unlock {
    TZozudSocket& s;
    ~Unlock() { s.Unlock(); }
  } unlock{connection};
  const int fd = connection.SocketHandle();
  auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
  const char* bytes = static_cast<const char*>(buffer);
  TTransfer done;
  while (done.bytes < count) {
    ssize_t n = send(fd, bytes + done.bytes, static_cast<size_t>(count - done.bytes),
                     MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n >= 0) {
      done.bytes += static_cast<int>(n);
      continue;
    }
    if (errno == EINTR) continue;
    if (!WouldBlock(errno)) {
      done.error = errno;
      break;
    }
    if (Clock::now() >= deadline || PollUntil(fd, POLLOUT, deadline) <= 0) break;
  }
  return done;
}

// Reads what arrives within `timeout_ms`, at most `count` (> 0) bytes.
TTransfer ReadFrom(TZozudSocket& connection, void* buffer, int count, int timeout_ms) {
  const int fd = connection.SocketHandle();
  auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
  TTransfer done;
  for (;;) {
    ssize_t n = recv(fd, buffer, static_cast<size_t>(count), MSG_DONTWAIT);
    if (n > 0) {
      done.bytes = static_cast<int>(n);
      return done;
    }
    if (n == 0) {
      done.closed = true;
      return done;
    }
    if (errno == EINTR) continue;
    if (!WouldBlock(errno)) {
      done.error = errno;
      return done;
    }
    if (Clock::now() >= deadline || PollUntil(fd, POLLIN, deadline) <= 0) return done;
  }
}

}  // namespace

int TOrvRDB::EffectiveTimeOut() const {
  int timeout = timeout_;
  return timeout > 0 ? timeout : kMinTimeOut;
}

TOrvRDB::TConnection TOrvRDB::Find(int socket) {
  std::lock_guard guard(sockets_lock_);
  auto it = sockets_.find(socket);
  return it == sockets_.end() ? nullptr : it->second;
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

void TOrvRDB::SendClose(TZozudSocket& connection) {
  const std::string frame = EncodeFrame(kCloseCommand);
  WriteTo(connection, frame.data(), static_cast<int>(frame.size()), EffectiveTimeOut());
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
  TConnection connection = Find(socket);
  if (connection == nullptr) RaiseIOError(sSocketWrite, EBADF);
  const TTransfer done = WriteTo(*connection, buffer, count, EffectiveTimeOut());
  if (done.error != 0) {
    // Shut down because its handle was disconnected meanwhile.
    RaiseIOError(sSocketWrite, Find(socket) == connection ? done.error : EBADF);
  }
  return done.bytes;
}

int TOrvRDB::Readn(int socket, void* buffer, int count) {
  TConnection connection = Find(socket);
  if (connection == nullptr) RaiseIOError(sSocketRead, EBADF);
  if (count <= 0) return 0;
  std::lock_guard hold(connection->read_lock);
  TLink& link = *connection;
  if (link.ahead_begin == link.ahead_end) {
    // One receive takes whatever the socket holds, many frames at a time;
    // what the caller did not ask for waits for the connection's next read.
    if (!link.ahead) link.ahead = std::make_unique_for_overwrite<char[]>(kReadAhead);
    const TTransfer done = ReadFrom(link, link.ahead.get(), kReadAhead, EffectiveTimeOut());
    if (done.error != 0 || done.closed) {
      if (Find(socket) != connection) RaiseIOError(sSocketRead, EBADF);
      if (done.closed) throw EOrvRDBException(sConnectionClosed);
      RaiseIOError(sSocketRead, done.error);
    }
    link.ahead_begin = 0;
    link.ahead_end = static_cast<size_t>(done.bytes);
  }
  const size_t n = std::min(static_cast<size_t>(count), link.ahead_end - link.ahead_begin);
  std::memcpy(buffer, link.ahead.get() + link.ahead_begin, n);
  link.ahead_begin += n;
  return static_cast<int>(n);
}

bool TOrvRDB::WaitForData(int socket, int timeout_ms, TWaitType wait_type) {
  TConnection connection = Find(socket);
  if (connection == nullptr) return false;
  if (wait_type == wtRead) {
    // Bytes read ahead are there at once. A read under way on another
    // thread is not waited for: the poll below answers as before.
    std::unique_lock hold(connection->read_lock, std::try_to_lock);
    if (hold.owns_lock() && connection->ahead_begin != connection->ahead_end) return true;
  }
  auto deadline = Clock::now() + std::chrono::milliseconds(std::max(timeout_ms, 0));
  short events = wait_type == wtRead ? POLLIN : POLLOUT;
  return PollUntil(connection->SocketHandle(), events, deadline) > 0;
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
