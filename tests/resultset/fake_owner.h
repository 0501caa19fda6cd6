// A stand-in for the dataset that owns a result stream: frames come from a
// queue that a test (or a feeding thread) fills; the hand-over members are
// atomics as in the real dataset. Message boxes are recorded while it lives.
#pragma once

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "host/forms.h"
#include "host/syncobjs.h"
#include "resultset/rdb_stream.h"

namespace orv::test {

class FakeOwner : public TOrvResultOwner {
 public:
  FakeOwner() {
    previous_ = SetMessageBoxHandler(
        [this](const std::string& text, const std::string&, unsigned flags) {
          std::lock_guard<std::mutex> hold(mu_);
          messages_.push_back(text);
          flags_ = flags;
          return IDOK;
        });
    stream.SetDataSet(this);
    stream.SetResultEvent(&event);
    stream.SetSocketHandle(7);
  }
  ~FakeOwner() override { SetMessageBoxHandler(previous_); }

  // Queues a frame; one starting with "!" makes the receive raise.
  void Push(std::string frame) {
    std::lock_guard<std::mutex> hold(mu_);
    frames_.push_back(std::move(frame));
    cv_.notify_all();
  }
  void PushCut(const std::string& reply, size_t piece) {
    for (size_t at = 0; at < reply.size(); at += piece) Push(reply.substr(at, piece));
  }
  // Runs the reader on this thread, as inside a user transaction.
  bool Read(int32_t cols, bool read_fields = true) {
    stream.SetCols(cols);
    bool ok = stream.SetFieldInf(read_fields);
    state.store(kResultComplete);
    return ok;
  }
  // Read once the reader has finished.
  const std::vector<std::string>& Messages() const { return messages_; }
  unsigned Flags() const { return flags_; }
  const std::vector<int32_t>& Disconnected() const { return disconnected_; }

  std::string ReceiveFrame(int32_t socket) override {
    std::unique_lock<std::mutex> hold(mu_);
    received_on = socket;
    cv_.wait(hold, [this] { return !frames_.empty(); });
    std::string frame = std::move(frames_.front());
    frames_.pop_front();
    ++frames_taken;
    if (stop_after_frames >= 0 && frames_taken >= stop_after_frames) stop.store(true);
    if (!frame.empty() && frame[0] == '!') throw Exception(frame.substr(1));
    return frame;
  }
  void DisconnectSocket(int32_t socket) override {
    std::lock_guard<std::mutex> hold(mu_);
    disconnected_.push_back(socket);
  }
  bool InUserTransaction() override { return in_transaction; }
  bool StopReading() const override { return stop.load(); }
  uint8_t ResultState() const override { return state.load(); }
  void SetResultState(uint8_t s) override { state.store(s); }
  TSQLKind SQLKind() const override { return kind; }
  int32_t ConnectionHandle() const override { return handle.load(); }
  void SetConnectionHandle(int32_t h) override { handle.store(h); }
  void WaitTerminate() override {
    while (state.load() != kResultComplete) event.WaitFor(INFINITE);
  }

  TAutoResetEvent event;
  TOrvRDBStream stream;
  std::atomic<bool> stop{false};
  std::atomic<uint8_t> state{kResultComplete};
  std::atomic<int32_t> handle{7};
  bool in_transaction = false;
  TSQLKind kind = skOpen;
  int received_on = -1;
  int frames_taken = 0;
  int stop_after_frames = -1;

 private:
  std::mutex mu_;
  std::condition_variable cv_;
  std::deque<std::string> frames_;          // guarded by mu_
  std::vector<std::string> messages_;       // guarded by mu_
  unsigned flags_ = 0;                      // guarded by mu_
  std::vector<int32_t> disconnected_;       // guarded by mu_
  TMessageBoxHandler previous_;
};

// Every row text of the stream's row list.
inline std::vector<std::string> RowTexts(TOrvRDBStream& stream) {
  std::vector<std::string> rows;
  if (TCompactStrings* list = stream.Lists(0))
    for (int i = 0; i < list->Count(); ++i) rows.emplace_back(list->Get(i));
  return rows;
}

}  // namespace orv::test
