// FaultProxy: a loopback proxy for fault-injection tests. It sits between a
// client and a real server, forwards bytes both ways, and follows the frames
// of each direction (four ASCII digits of length, then the payload) so that
// it can break one stream exactly at a chosen frame boundary:
//   - kClose: close both sides before that frame;
//   - kStall: forward nothing more for a bounded time (meant to be longer
//     than the client's TimeOut), then close both sides, since a stall that
//     never ends is a wait the client is allowed;
//   - kSplit: deliver that frame in small pieces with pauses (the header byte
//     by byte), then go on normally.
// The plan in force when a connection is accepted applies to it. Frame
// counts start at 0 for each connection and direction.
//
// One thread accepts, one thread per connection pumps; every wait is bounded
// and the destructor stops and joins them all. Public methods: any thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <list>
#include <mutex>
#include <thread>

namespace orv::test {

class FaultProxy {
 public:
  enum class Fault { kNone, kClose, kStall, kSplit };
  enum class Direction { kToClient, kToServer };
  struct Plan {
    Fault fault = Fault::kNone;
    Direction direction = Direction::kToClient;
    int frame = 0;       // the boundary: before this frame of the direction
    int stall_ms = 0;    // kStall: how long nothing moves before the close
  };

  explicit FaultProxy(int upstream_port);
  ~FaultProxy();
  FaultProxy(const FaultProxy&) = delete;
  FaultProxy& operator=(const FaultProxy&) = delete;

  int Port() const { return port_; }
  void SetPlan(Plan plan);
  // Frames that went in `direction` on the connection accepted last, once
  // that connection has ended; -1 while it runs or before the first.
  int LastFrames(Direction direction);
  // Connections accepted so far, and the frames that went in `direction`
  // on all of them that have ended.
  int Accepted();
  int EndedFrames(Direction direction);
  // Waits (up to timeout_ms) until every accepted connection has ended.
  bool WaitIdle(int timeout_ms = 10000);

 private:
  struct Link;
  void AcceptLoop();
  void Pump(Link* link);

  int upstream_port_;
  int listen_fd_ = -1;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  std::mutex mu_;
  Plan plan_;                   // protected by mu_
  int last_frames_[2] = {-1, -1};  // by Direction; protected by mu_
  int ended_frames_[2] = {0, 0};   // by Direction; protected by mu_
  std::list<Link> links_;       // protected by mu_
  std::thread acceptor_;
};

}  // namespace orv::test
