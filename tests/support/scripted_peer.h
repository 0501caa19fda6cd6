// ScriptedPeer: a stand-in server for tests.
//
// Listens on 127.0.0.1 at a port the system picks, accepts any number of
// connections and gives the i-th accepted connection the i-th script added
// (connections beyond the scripts only record). Every byte a connection
// receives is recorded until the client closes it, so tests can compare what
// the client sent byte for byte. A script reads whole frames ("dddd" length
// header plus payload), writes prepared bytes or frames, pauses, closes, or
// echoes frames back.
//
// Each connection runs on a thread of its own; every wait is bounded, and the
// destructor stops and joins all threads. The public methods may be called
// from any thread.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace orv::testing {

class PeerScript {
 public:
  struct Step {
    enum Kind { kReadFrames, kWrite, kPause, kHold, kClose, kEcho } kind;
    int count = 0;      // frames to read, or milliseconds to pause
    std::string bytes;  // what kWrite sends
  };

  // Waits until `count` more whole frames have arrived.
  PeerScript& ReadFrames(int count = 1);
  // Sends `bytes` exactly as they stand (headers included, if any).
  PeerScript& Write(std::string bytes);
  // Sends one frame: a four-digit length header and `payload`.
  PeerScript& WriteFrame(const std::string& payload);
  PeerScript& Pause(int milliseconds);
  // Reads nothing until the test calls ScriptedPeer::Release (at most 30 s),
  // so the client's writes pile up in the socket buffers.
  PeerScript& Hold();
  // Closes the connection from the server side.
  PeerScript& Close();
  // Sends every further frame back as it arrives, until the client closes.
  PeerScript& Echo();

  const std::vector<Step>& Steps() const { return steps_; }

 private:
  std::vector<Step> steps_;
};

// The frame header for a payload of `size` bytes ("0005").
std::string FrameHeader(size_t size);
// Splits `bytes` into frame payloads; a trailing incomplete frame is left out.
std::vector<std::string> SplitFrames(const std::string& bytes);

class ScriptedPeer {
 public:
  ScriptedPeer();
  ~ScriptedPeer();

  ScriptedPeer(const ScriptedPeer&) = delete;
  ScriptedPeer& operator=(const ScriptedPeer&) = delete;

  uint16_t Port() const { return port_; }
  // Script for the next connection not yet given one; add before connecting.
  void Add(PeerScript script);

  int Accepted();
  // Lets every connection waiting in a Hold step go on.
  void Release();
  // Waits until connection `index` was accepted and has ended (closed by the
  // client or by its script). False when `timeout_ms` passed first.
  bool WaitEnded(int index, int timeout_ms = 5000);
  // What connection `index` received so far (empty if not accepted).
  std::string Received(int index);
  std::vector<std::string> ReceivedFrames(int index) {
    return SplitFrames(Received(index));
  }

 private:
  struct Connection {
    int fd = -1;
    std::string received;  // protected by ScriptedPeer::mu_
    size_t frames_seen = 0;  // protected by ScriptedPeer::mu_
    bool ended = false;    // protected by ScriptedPeer::mu_
    std::thread thread;
  };

  void AcceptLoop();
  void Serve(Connection* conn, PeerScript script);
  // Reads what is waiting (bounded wait); false once the client has closed.
  bool Pump(Connection* conn, int wait_ms);
  bool WaitFrames(Connection* conn, size_t frames);

  int listen_fd_ = -1;
  uint16_t port_ = 0;
  std::atomic<bool> stop_{false};
  std::mutex mu_;
  std::condition_variable changed_;
  bool released_ = false;                               // protected by mu_
  std::vector<PeerScript> scripts_;                     // protected by mu_
  std::vector<std::unique_ptr<Connection>> conns_;      // protected by mu_
  std::thread acceptor_;
};

}  // namespace orv::testing
