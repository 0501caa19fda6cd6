#include "support/killing_proxy.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>

namespace orv::test {
namespace {

int ConnectLoopback(int port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<uint16_t>(port));
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0) return fd;
  if (fd >= 0) ::close(fd);
  return -1;
}

bool WriteAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    const ssize_t n = ::send(fd, data, size, MSG_NOSIGNAL);
    if (n <= 0) return false;
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

KillingProxy::KillingProxy(int server_port, pid_t server_pid, std::string word, int nth)
    : server_port_(server_port), server_pid_(server_pid), word_(std::move(word)), nth_(nth) {
  listen_fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof addr;
  if (listen_fd_ < 0 || ::bind(listen_fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
      ::listen(listen_fd_, 8) != 0 ||
      ::getsockname(listen_fd_, reinterpret_cast<sockaddr*>(&addr), &len) != 0)
    return;
  port_ = ntohs(addr.sin_port);
  thread_ = std::thread([this] { Loop(); });
}

KillingProxy::~KillingProxy() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
  for (Link& link : links_) {
    if (link.client >= 0) ::close(link.client);
    if (link.server >= 0) ::close(link.server);
  }
  if (listen_fd_ >= 0) ::close(listen_fd_);
}

void KillingProxy::Loop() {
  while (!stop_) {
    std::vector<pollfd> fds{{listen_fd_, POLLIN, 0}};
    for (const Link& link : links_) {
      fds.push_back({link.client, POLLIN, 0});
      fds.push_back({link.server, POLLIN, 0});
    }
    if (::poll(fds.data(), fds.size(), 20) <= 0) continue;
    const size_t polled = links_.size();
    if (fds[0].revents & POLLIN) {
      Link link;
      link.client = ::accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC);
      link.server = ConnectLoopback(server_port_);
      if (link.client >= 0 && link.server >= 0) {
        links_.push_back(link);
      } else {
        if (link.client >= 0) ::close(link.client);
        if (link.server >= 0) ::close(link.server);
      }
    }
    for (size_t i = 0; i < polled; ++i) {
      Link& link = links_[i];
      const short from_client = fds[1 + 2 * i].revents, from_server = fds[2 + 2 * i].revents;
      bool open = true;
      if (from_client & (POLLIN | POLLHUP | POLLERR)) open = Pump(link, true);
      if (open && (from_server & (POLLIN | POLLHUP | POLLERR))) open = Pump(link, false);
      if (!open) {
        ::close(link.client);
        ::close(link.server);
        link.client = link.server = -1;
      }
    }
    std::erase_if(links_, [](const Link& link) { return link.client < 0; });
  }
}

bool KillingProxy::Pump(Link& link, bool from_client) {
  char buffer[8192];
  const ssize_t n = ::recv(from_client ? link.client : link.server, buffer, sizeof buffer, 0);
  if (n <= 0) return false;
  if (!WriteAll(from_client ? link.server : link.client, buffer, static_cast<size_t>(n)))
    return false;
  if (!from_client) return true;
  std::string text = link.tail + std::string(buffer, static_cast<size_t>(n));
  for (size_t at = text.find(word_); at != std::string::npos; at = text.find(word_, at + 1)) {
    if (++link.seen == nth_) {
      ::kill(server_pid_, SIGKILL);
      return false;
    }
  }
  const size_t keep = std::min(text.size(), word_.size() - 1);
  link.tail = text.substr(text.size() - keep);
  return true;
}

}  // namespace orv::test
