// TZozudSocket: one IPv4 TCP socket.
//
// The object resolves a host name or dotted address and a service name or
// port number, connects or listens, moves raw bytes, reports local and remote
// addresses and turns socket failures into EZozudSocketError. It owns its
// descriptor (closed by `Disconnect`, `Close` or the destructor), the stream
// being sent by `SendStream` and its own lock.
//
// Threads: any thread may call any method. `Disconnect`, the transfers,
// `SendStreamPiece` and the address queries run under the object's lock;
// `SocketHandle()` and `Connected()` may be read from any thread at any time.
// The connection component uses the object in blocking mode only (empty
// asynchronous styles) and moves the protocol's bytes through the descriptor
// itself.
//
// Asynchronous notification is not delivered: no notification window is
// made, so `GetHandle()` is 0 and the styles only record what was asked for.
#pragma once

#include <netinet/in.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "../host/exceptions.h"
#include "../host/persistent.h"
#include "../host/syncobjs.h"

#pragma GCC visibility push(default)
namespace orv {

class TStream;

// Every failure of this unit.
class EZozudSocketError : public Exception {
 public:
  using Exception::Exception;
};

// The unit's resource string for a failed socket call: the system's text for
// the error number, the number, and the name of the call.
inline constexpr const char* sWindowsSocketError =
    "Server is not ready: %s (%d), on API '%s'";

// Texts of the framework's own socket errors.
inline constexpr const char* sNoAddress = "No address specified";
inline constexpr const char* sSocketAlreadyOpen = "Socket already open";
inline constexpr const char* sCannotCreateSocket = "Cannot create new socket";
inline constexpr const char* sCannotListenOnOpen = "Cannot listen on an open socket";
// A transfer asked for a negative number of bytes.
inline constexpr const char* sNegativeCount = "Invalid byte count %d on API '%s'";
// The short text of a failed `Open`.
inline constexpr const char* sServerNotReady = "Server is not ready";

// Notifications a socket may ask for. The bit of each style equals the
// classic FD_READ (1), FD_WRITE (2), FD_OOB (4), FD_ACCEPT (8), FD_CONNECT
// (16) and FD_CLOSE (32) flags.
enum TAsyncStyle { asRead, asWrite, asOOB, asAccept, asConnect, asClose };
using TAsyncStyles = uint8_t;
constexpr TAsyncStyles AsyncStyle(TAsyncStyle style) {
  return static_cast<TAsyncStyles>(1u << style);
}
inline constexpr TAsyncStyles kDefaultAsyncStyles =
    AsyncStyle(asRead) | AsyncStyle(asWrite) | AsyncStyle(asConnect) |
    AsyncStyle(asClose);

enum TSocketEvent {
  seLookup, seConnecting, seConnect, seDisconnect, seListen, seAccept,
  seWrite, seRead
};
enum TErrorEvent {
  eeGeneral, eeSend, eeReceive, eeConnect, eeDisconnect, eeAccept
};

// The value of a socket handle that names no socket.
inline constexpr int kInvalidSocket = -1;

// A per-thread procedure that takes over the reporting of failed socket
// calls (see CheckSocketCall). Returns the calling thread's previous one.
using TSocketErrorProc = void (*)(int error);
TSocketErrorProc SetErrorProc(TSocketErrorProc proc);

// The system's message text for an error number (thread-safe).
std::string SystemErrorText(int error);

class TZozudSocket : public TObject {
 public:
  // Takes over `socket` (kInvalidSocket for none); connected when valid.
  explicit TZozudSocket(int socket = kInvalidSocket);
  ~TZozudSocket() override;

  TZozudSocket(const TZozudSocket&) = delete;
  TZozudSocket& operator=(const TZozudSocket&) = delete;

  // Connects to the server; a host name wins over an address and a service
  // over a port. Raises EZozudSocketError "Server is not ready" on failure,
  // after releasing the descriptor of the attempt.
  bool Open(const std::string& name, const std::string& address,
            const std::string& service, uint16_t port);
  // Binds and listens with a backlog of at most 5.
  void Listen(const std::string& name, const std::string& address,
              const std::string& service, uint16_t port, int queue_size);
  void Close();

  // Hooks called for notifications; only Disconnect does something here:
  // it closes the socket when `socket` is this object's own handle.
  virtual void Accept(int socket);
  virtual void Connect(int socket);
  virtual void Disconnect(int socket);
  virtual void Read(int socket);
  virtual void Write(int socket);

  void Lock();
  void Unlock();

  // IPv4 address in network order, 0 when the name is unknown.
  uint32_t LookupName(const std::string& name);
  // Port in host order, 0 when the service is unknown.
  uint16_t LookupService(const std::string& service);
  sockaddr_in InitSocket(const std::string& name, const std::string& address,
                         const std::string& service, uint16_t port,
                         bool client);

  // One send/recv each; -1 when the call would block; 0 when not connected.
  // A negative count raises sNegativeCount and transfers nothing (for
  // ReceiveBuf, any but -1).
  int SendBuf(const void* buffer, int count);
  void SendText(const std::string& text);
  // With count -1: the number of bytes waiting, nothing consumed.
  int ReceiveBuf(void* buffer, int count);
  int ReceiveLength();
  std::string ReceiveText();

  // Takes `stream` and sends as much of it as the socket accepts now. When a
  // stream is already being sent, returns false and leaves `stream` with the
  // caller.
  bool SendStream(std::unique_ptr<TStream>&& stream);
  bool SendStreamThenDrop(std::unique_ptr<TStream>&& stream);
  bool SendStreamPiece();

  std::string GetLocalAddress();
  std::string GetLocalHost();
  int GetLocalPort();
  std::string GetRemoteHost();
  std::string GetRemoteAddress();
  int GetRemotePort();
  sockaddr_in GetRemoteAddr();

  TAsyncStyles AsyncStyles() const { return async_styles_; }
  void SetAsyncStyles(TAsyncStyles styles);
  // The notification window; none is ever made.
  uintptr_t GetHandle() const { return 0; }

  int SocketHandle() const { return handle_.load(); }
  bool Connected() const { return connected_.load(); }

 protected:
  // 0 for a result of 0; otherwise the error number, after handing it to the
  // thread's error procedure or raising sWindowsSocketError. Would-block is
  // returned, never reported.
  int CheckSocketCall(int result, const char* operation);
  void DoSetAsyncStyles();

 private:
  int NewSocket();
  void ConnectTo(const sockaddr_in& addr);
  void FinishSendStream();
  [[noreturn]] void FailTransfer(int error, const char* operation);
  // The socket's own and its peer's address.
  sockaddr_in LocalNameLocked();
  sockaddr_in PeerNameLocked();

  std::atomic<int> handle_;
  std::atomic<bool> connected_;
  std::unique_ptr<TStream> send_stream_;  // protected by lock_
  bool drop_after_send_ = false;          // protected by lock_
  sockaddr_in addr_{};
  TAsyncStyles async_styles_ = kDefaultAsyncStyles;
  TCriticalSection lock_;
};

}  // namespace orv
#pragma GCC visibility pop
