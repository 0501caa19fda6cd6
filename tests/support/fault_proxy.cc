#include "support/fault_proxy.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <string>
#include <string_view>

namespace orv::test {

namespace {

using Clock = std::chrono::steady_clock;

int ConnectTo(int port) {
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<uint16_t>(port));
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0) return fd;
  if (fd >= 0) ::close(fd);
  return -1;
}

// Follows the frames of one direction: where the next boundary is, and how
// many frames have begun.
class FrameTrack {
 public:
  // Bytes from here to the next boundary (all of `available` if none).
  size_t ToBoundary(size_t available) const {
    if (lost_) return available;
    return std::min(available, header_got_ < 4 ? 4 - header_got_ : payload_left_);
  }
  bool AtBoundary() const { return !lost_ && header_got_ == 0; }
  int Started() const { return started_; }
  // Takes `bytes`, which never cross a boundary.
  void Take(std::string_view bytes) {
    if (lost_ || bytes.empty()) return;
    if (header_got_ == 0) ++started_;
    if (header_got_ < 4) {
      for (char c : bytes) header_[header_got_++] = c;
      if (header_got_ < 4) return;
      payload_left_ = 0;
      for (char c : header_) {
        if (c < '0' || c > '9') {
          lost_ = true;  // not a frame stream any more: stop counting
          return;
        }
        payload_left_ = payload_left_ * 10 + static_cast<size_t>(c - '0');
      }
    } else {
      payload_left_ -= bytes.size();
    }
    if (payload_left_ == 0) header_got_ = 0;
  }

 private:
  char header_[4] = {};
  size_t header_got_ = 0;
  size_t payload_left_ = 0;
  int started_ = 0;
  bool lost_ = false;
};

}  // namespace

struct FaultProxy::Link {
  int client = -1;
  int server = -1;
  Plan plan;
  std::atomic<bool> done{false};
  std::thread thread;
};

FaultProxy::FaultProxy(int upstream_port) : upstream_port_(upstream_port) {
  listen_fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof addr;
  if (listen_fd_ < 0 || ::bind(listen_fd_, reinterpret_cast<sockaddr*>(&addr), len) != 0 ||
      ::listen(listen_fd_, 64) != 0 ||
      ::getsockname(listen_fd_, reinterpret_cast<sockaddr*>(&addr), &len) != 0)
    return;
  port_ = ntohs(addr.sin_port);
  acceptor_ = std::thread(&FaultProxy::AcceptLoop, this);
}

FaultProxy::~FaultProxy() {
  stop_.store(true);
  if (acceptor_.joinable()) acceptor_.join();
  std::list<Link> links;
  {
    std::lock_guard<std::mutex> lock(mu_);
    links.swap(links_);
  }
  for (Link& l : links) l.thread.join();
  if (listen_fd_ >= 0) ::close(listen_fd_);
}

void FaultProxy::SetPlan(Plan plan) {
  std::lock_guard<std::mutex> lock(mu_);
  plan_ = plan;
}

int FaultProxy::LastFrames(Direction direction) {
  std::lock_guard<std::mutex> lock(mu_);
  return links_.empty() || !links_.back().done.load()
             ? -1
             : last_frames_[static_cast<size_t>(direction)];
}

int FaultProxy::Accepted() {
  std::lock_guard<std::mutex> lock(mu_);
  return static_cast<int>(links_.size());
}

int FaultProxy::EndedFrames(Direction direction) {
  std::lock_guard<std::mutex> lock(mu_);
  return ended_frames_[static_cast<size_t>(direction)];
}

bool FaultProxy::WaitIdle(int timeout_ms) {
  const auto until = Clock::now() + std::chrono::milliseconds(timeout_ms);
  for (;;) {
    {
      std::lock_guard<std::mutex> lock(mu_);
      if (std::all_of(links_.begin(), links_.end(), [](const Link& l) { return l.done.load(); }))
        return true;
    }
    if (Clock::now() > until) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
}

void FaultProxy::AcceptLoop() {
  while (!stop_.load()) {
    pollfd p{listen_fd_, POLLIN, 0};
    if (::poll(&p, 1, 20) <= 0) continue;
    int client = ::accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (client < 0) continue;
    int server = ConnectTo(upstream_port_);
    if (server < 0) {
      ::close(client);
      continue;
    }
    std::lock_guard<std::mutex> lock(mu_);
    Link& link = links_.emplace_back();
    link.client = client;
    link.server = server;
    link.plan = plan_;
    link.thread = std::thread(&FaultProxy::Pump, this, &link);
  }
}

void FaultProxy::Pump(Link* link) {
  FrameTrack tracks[2];  // indexed by Direction
  const int from[2] = {link->server, link->client};
  const int to[2] = {link->client, link->server};
  const Plan plan = link->plan;
  const auto target = static_cast<size_t>(plan.direction);
  bool open = true;

  // Sends everything, waiting (bounded, watching stop_) while the peer's
  // buffers are full.
  auto send_all = [&](int fd, std::string_view bytes) {
    while (!bytes.empty() && !stop_.load()) {
      ssize_t n = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
      if (n > 0) {
        bytes.remove_prefix(static_cast<size_t>(n));
        continue;
      }
      if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) return false;
      pollfd p{fd, POLLOUT, 0};
      ::poll(&p, 1, 20);
    }
    return bytes.empty();
  };
  auto pause = [&](int ms) {
    const auto until = Clock::now() + std::chrono::milliseconds(ms);
    while (!stop_.load() && Clock::now() < until)
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
  };

  char buffer[16384];
  while (open && !stop_.load()) {
    pollfd fds[2] = {{from[0], POLLIN, 0}, {from[1], POLLIN, 0}};
    if (::poll(fds, 2, 20) <= 0) continue;
    for (size_t d = 0; d < 2 && open; ++d) {
      if (!(fds[d].revents & (POLLIN | POLLHUP | POLLERR))) continue;
      ssize_t got = ::recv(from[d], buffer, sizeof buffer, 0);
      if (got <= 0) {
        open = false;
        break;
      }
      std::string_view data(buffer, static_cast<size_t>(got));
      while (open && !data.empty()) {
        FrameTrack& track = tracks[d];
        const bool hit = d == target && plan.fault != Fault::kNone && track.AtBoundary() &&
                         track.Started() == plan.frame;
        if (hit && plan.fault == Fault::kClose) {
          open = false;
          break;
        }
        if (hit && plan.fault == Fault::kStall) {
          pause(plan.stall_ms);
          open = false;
          break;
        }
        const size_t piece = track.ToBoundary(data.size());
        const bool split = hit && plan.fault == Fault::kSplit;
        if (split) {
          // The header a byte at a time, the payload in three pieces.
          for (size_t i = 0; i < piece && open; ++i) {
            open = send_all(to[d], data.substr(i, 1));
            pause(3);
          }
        } else {
          open = send_all(to[d], data.substr(0, piece));
        }
        track.Take(data.substr(0, piece));
        data.remove_prefix(piece);
        if (split && open && !data.empty()) {
          const size_t payload = track.ToBoundary(data.size());
          for (size_t at = 0; at < payload && open;) {
            const size_t step = std::max<size_t>(payload / 3, 1);
            open = send_all(to[d], data.substr(at, std::min(step, payload - at)));
            at += step;
            pause(3);
          }
          track.Take(data.substr(0, payload));
          data.remove_prefix(payload);
        }
      }
    }
  }
  ::close(link->client);
  ::close(link->server);
  std::lock_guard<std::mutex> lock(mu_);
  last_frames_[0] = tracks[0].Started();
  last_frames_[1] = tracks[1].Started();
  ended_frames_[0] += tracks[0].Started();
  ended_frames_[1] += tracks[1].Started();
  link->done.store(true);
}

}  // namespace orv::test
