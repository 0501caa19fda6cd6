// TOrvResultOwner: what a result stream needs of the dataset that owns it.
//
// The stream reads a reply on its owner's connection, tells the owner how
// far reading has come, and leaves the connection when the reply is done.
// It sees nothing else of the dataset, so it can be driven and tested
// without one. TOrvDataSet implements this interface.
//
// Which thread calls what: the reader thread (or the opening thread inside
// a user transaction) calls ReceiveFrame, DisconnectSocket, the ResultState
// pair, StopReading, InUserTransaction, SQLKind and the ConnectionHandle
// pair; the application's thread calls StopReading, ResultState and
// WaitTerminate while the reader runs. An implementation therefore keeps
// StopReading, ResultState and the connection handle in atomics.
#pragma once

#include <cstdint>
#include <string>

#pragma GCC visibility push(default)
namespace orv {

// What the next activation of a dataset sends.
enum TSQLKind : uint8_t { skOpen, skExec, skOpenProc, skExecProc };

// ResultState values: column descriptions pending, rows arriving, complete.
inline constexpr uint8_t kResultColumnsPending = 0;
inline constexpr uint8_t kResultRowsArriving = 1;
inline constexpr uint8_t kResultComplete = 2;

class TOrvResultOwner {
 public:
  virtual ~TOrvResultOwner() = default;

  // The payload of the next frame on `socket` (the connection's Receive);
  // empty for an empty frame. May raise.
  virtual std::string ReceiveFrame(int32_t socket) = 0;
  // Closes `socket` (the connection's Disconnect).
  virtual void DisconnectSocket(int32_t socket) = 0;
  // A user transaction is open on the connection.
  virtual bool InUserTransaction() = 0;

  virtual bool StopReading() const = 0;
  virtual uint8_t ResultState() const = 0;
  virtual void SetResultState(uint8_t state) = 0;
  virtual TSQLKind SQLKind() const = 0;
  virtual int32_t ConnectionHandle() const = 0;
  virtual void SetConnectionHandle(int32_t handle) = 0;

  // Returns once ResultState is complete, showing the SQL-wait cursor.
  virtual void WaitTerminate() = 0;
};

}  // namespace orv
#pragma GCC visibility pop
