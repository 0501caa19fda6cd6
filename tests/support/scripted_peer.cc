#include "tests/support/scripted_peer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <stdexcept>

namespace orv::testing {

namespace {

// No single step of a script waits longer than this.
constexpr auto kStepLimit = std::chrono::seconds(5);

void SendAll(int fd, const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
    if (n <= 0) return;
    done += static_cast<size_t>(n);
  }
}

}  // namespace

PeerScript& PeerScript::ReadFrames(int count) {
  steps_.push_back({Step::kReadFrames, count, {}});
  return *this;
}
PeerScript& PeerScript::Write(std::string bytes) {
  steps_.push_back({Step::kWrite, 0, std::move(bytes)});
  return *this;
}
PeerScript& PeerScript::WriteFrame(const std::string& payload) {
  return Write(FrameHeader(payload.size()) + payload);
}
PeerScript& PeerScript::Pause(int milliseconds) {
  steps_.push_back({Step::kPause, milliseconds, {}});
  return *this;
}
PeerScript& PeerScript::Hold() {
  steps_.push_back({Step::kHold, 0, {}});
  return *this;
}
PeerScript& PeerScript::Close() {
  steps_.push_back({Step::kClose, 0, {}});
  return *this;
}
PeerScript& PeerScript::Echo() {
  steps_.push_back({Step::kEcho, 0, {}});
  return *this;
}

std::string FrameHeader(size_t size) {
  char header[8];
  std::snprintf(header, sizeof header, "%04zu", size);
  return header;
}

std::vector<std::string> SplitFrames(const std::string& bytes) {
  std::vector<std::string> frames;
  size_t pos = 0;
  while (pos + 4 <= bytes.size()) {
    size_t size = std::stoul(bytes.substr(pos, 4));
    if (pos + 4 + size > bytes.size()) break;
    frames.push_back(bytes.substr(pos + 4, size));
    pos += 4 + size;
  }
  return frames;
}

ScriptedPeer::ScriptedPeer() {
  listen_fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof addr;
  if (listen_fd_ < 0 ||
      bind(listen_fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
      listen(listen_fd_, 16) != 0 ||
      getsockname(listen_fd_, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
    throw std::runtime_error("scripted peer cannot listen");
  }
  port_ = ntohs(addr.sin_port);
  acceptor_ = std::thread([this] { AcceptLoop(); });
}

ScriptedPeer::~ScriptedPeer() {
  stop_ = true;
  acceptor_.join();
  close(listen_fd_);
  std::vector<std::unique_ptr<Connection>> conns;
  {
    std::lock_guard guard(mu_);
    conns.swap(conns_);
  }
  for (auto& conn : conns) conn->thread.join();
}

void ScriptedPeer::Add(PeerScript script) {
  std::lock_guard guard(mu_);
  scripts_.push_back(std::move(script));
}

void ScriptedPeer::Release() {
  std::lock_guard guard(mu_);
  released_ = true;
  changed_.notify_all();
}

int ScriptedPeer::Accepted() {
  std::lock_guard guard(mu_);
  return static_cast<int>(conns_.size());
}

bool ScriptedPeer::WaitEnded(int index, int timeout_ms) {
  std::unique_lock lock(mu_);
  return changed_.wait_for(lock, std::chrono::milliseconds(timeout_ms), [&] {
    return static_cast<int>(conns_.size()) > index && conns_[index]->ended;
  });
}

std::string ScriptedPeer::Received(int index) {
  std::lock_guard guard(mu_);
  if (static_cast<int>(conns_.size()) <= index) return "";
  return conns_[index]->received;
}

void ScriptedPeer::AcceptLoop() {
  while (!stop_) {
    pollfd p{listen_fd_, POLLIN, 0};
    if (poll(&p, 1, 20) <= 0) continue;
    int fd = accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) continue;
    std::lock_guard guard(mu_);
    auto conn = std::make_unique<Connection>();
    conn->fd = fd;
    PeerScript script;
    if (conns_.size() < scripts_.size()) script = scripts_[conns_.size()];
    conn->thread = std::thread([this, c = conn.get(), script] { Serve(c, script); });
    conns_.push_back(std::move(conn));
  }
}

bool ScriptedPeer::Pump(Connection* conn, int wait_ms) {
  pollfd p{conn->fd, POLLIN, 0};
  if (poll(&p, 1, wait_ms) <= 0) return true;
  char buffer[8192];
  ssize_t n = recv(conn->fd, buffer, sizeof buffer, 0);
  if (n <= 0) return false;
  std::lock_guard guard(mu_);
  conn->received.append(buffer, static_cast<size_t>(n));
  changed_.notify_all();
  return true;
}

bool ScriptedPeer::WaitFrames(Connection* conn, size_t frames) {
  auto deadline = std::chrono::steady_clock::now() + kStepLimit;
  for (;;) {
    {
      std::lock_guard guard(mu_);
      if (SplitFrames(conn->received).size() >= frames) return true;
    }
    if (stop_ || std::chrono::steady_clock::now() > deadline) return false;
    if (!Pump(conn, 20)) return false;
  }
}

void ScriptedPeer::Serve(Connection* conn, PeerScript script) {
  bool open = true;
  for (const auto& step : script.Steps()) {
    if (!open || stop_) break;
    switch (step.kind) {
      case PeerScript::Step::kReadFrames: {
        size_t target;
        {
          std::lock_guard guard(mu_);
          target = conn->frames_seen += static_cast<size_t>(step.count);
        }
        open = WaitFrames(conn, target);
        break;
      }
      case PeerScript::Step::kWrite:
        SendAll(conn->fd, step.bytes);
        break;
      case PeerScript::Step::kPause:
        std::this_thread::sleep_for(std::chrono::milliseconds(step.count));
        break;
      case PeerScript::Step::kHold: {
        std::unique_lock lock(mu_);
        changed_.wait_for(lock, std::chrono::seconds(30),
                          [this] { return released_ || stop_.load(); });
        break;
      }
      case PeerScript::Step::kClose:
        open = false;
        break;
      case PeerScript::Step::kEcho:
        while (open && !stop_) {
          std::vector<std::string> frames;
          {
            std::lock_guard guard(mu_);
            frames = SplitFrames(conn->received);
          }
          size_t seen;
          {
            std::lock_guard guard(mu_);
            seen = conn->frames_seen;
            conn->frames_seen = frames.size();
          }
          for (size_t i = seen; i < frames.size(); ++i) {
            SendAll(conn->fd, FrameHeader(frames[i].size()) + frames[i]);
          }
          open = Pump(conn, 20);
        }
        break;
    }
  }
  // Record the rest until the client closes (or the peer stops).
  while (open && !stop_) open = Pump(conn, 20);
  close(conn->fd);
  std::lock_guard guard(mu_);
  conn->ended = true;
  changed_.notify_all();
}

}  // namespace orv::testing
