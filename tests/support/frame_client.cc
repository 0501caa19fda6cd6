#include "support/frame_client.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <charconv>
#include <cstdio>

namespace orv::test {

namespace {

std::string Frame(std::string_view payload) {
  char header[8];
  std::snprintf(header, sizeof header, "%04zu", payload.size());
  return std::string(header, 4) + std::string(payload);
}

}  // namespace

FrameClient::~FrameClient() { Close(); }

bool FrameClient::Connect(int port) {
  Close();
  fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<uint16_t>(port));
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return fd_ >= 0 && ::connect(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
}

void FrameClient::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  pending_.clear();
}

bool FrameClient::SendRaw(std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t n = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (n <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

bool FrameClient::SendMessage(std::string_view message) {
  std::string out;
  while (message.size() >= 4092) {
    out += Frame(message.substr(0, 4092));
    message.remove_prefix(4092);
  }
  if (!message.empty()) out += Frame(message);
  return SendRaw(out);
}

bool FrameClient::ReadExact(char* out, std::size_t n, int timeout_ms) {
  std::size_t got = 0;
  while (got < n) {
    pollfd p{fd_, POLLIN, 0};
    if (::poll(&p, 1, timeout_ms) <= 0) return false;
    ssize_t r = ::recv(fd_, out + got, n - got, 0);
    if (r <= 0) return false;
    got += static_cast<std::size_t>(r);
  }
  return true;
}

std::optional<std::string> FrameClient::ReadFrame(int timeout_ms) {
  char header[4];
  if (!ReadExact(header, 4, timeout_ms)) return std::nullopt;
  std::size_t length = 0;
  auto [end, ec] = std::from_chars(header, header + 4, length);
  if (ec != std::errc() || end != header + 4) return std::nullopt;
  std::string payload(length, '\0');
  if (!ReadExact(payload.data(), length, timeout_ms)) return std::nullopt;
  return payload;
}

std::optional<ResultLine> FrameClient::ReadResult(int timeout_ms) {
  auto frame = ReadFrame(timeout_ms);
  if (!frame) return std::nullopt;
  std::size_t semi = frame->find(';');
  if (semi == std::string::npos) return std::nullopt;
  ResultLine line;
  auto [end, ec] = std::from_chars(frame->data(), frame->data() + semi, line.code);
  if (ec != std::errc() || end != frame->data() + semi) return std::nullopt;
  line.text = frame->substr(semi + 1);
  return line;
}

std::optional<ResultSet> FrameClient::ReadResultSet(int columns, int timeout_ms) {
  pending_.clear();
  auto token = [&]() -> std::optional<std::string> {
    std::size_t semi;
    while ((semi = pending_.find(';')) == std::string::npos) {
      auto frame = ReadFrame(timeout_ms);
      if (!frame || frame->empty()) return std::nullopt;
      pending_ += *frame;
    }
    std::string t = pending_.substr(0, semi);
    pending_.erase(0, semi + 1);
    return t;
  };
  auto fixed = [&](std::size_t n) -> std::optional<std::string> {
    while (pending_.size() < n + 1) {
      auto frame = ReadFrame(timeout_ms);
      if (!frame || frame->empty()) return std::nullopt;
      pending_ += *frame;
    }
    std::string v = pending_.substr(0, n);
    pending_.erase(0, n + 1);
    return v;
  };
  ResultSet rs;
  for (int c = 0; c < columns; ++c) {
    auto type = token(), name = token(), length = token(), extra = token();
    if (!type || !name || !length || !extra) return std::nullopt;
    rs.columns.push_back({std::atoi(type->c_str()), *name, std::atoi(length->c_str())});
  }
  for (;;) {
    std::vector<std::string> row;
    for (int c = 0; c < columns; ++c) {
      auto length = token();
      if (!length) return std::nullopt;
      if (*length == "EOF") {
        if (c != 0 || !pending_.empty()) return std::nullopt;
        return rs;
      }
      auto value = fixed(static_cast<std::size_t>(std::atoll(length->c_str())));
      if (!value) return std::nullopt;
      row.push_back(*value);
    }
    if (columns == 0) {
      auto end = token();
      return end && *end == "EOF" && pending_.empty() ? std::optional<ResultSet>(rs)
                                                      : std::nullopt;
    }
    rs.rows.push_back(std::move(row));
  }
}

bool FrameClient::WaitClosed(int timeout_ms) {
  pollfd p{fd_, POLLIN, 0};
  if (::poll(&p, 1, timeout_ms) <= 0) return false;
  char c;
  return ::recv(fd_, &c, 1, 0) == 0;
}

std::optional<ResultLine> FrameClient::Request(const std::string& command,
                                               const std::string& text, const std::string& params,
                                               int param_count, const std::string& f2,
                                               const std::string& f3) {
  std::string message =
      command + ";" + f2 + ";" + f3 + ";" + std::to_string(param_count) + ";\n" + text;
  if (!SendMessage(message)) return std::nullopt;
  if (!params.empty() && !SendMessage(params)) return std::nullopt;
  return ReadResult();
}

std::optional<ResultSet> FrameClient::Open(const std::string& sql, const std::string& params,
                                           int param_count, std::string* error,
                                           std::int64_t first, std::int64_t count) {
  auto line = count >= 0 ? Request("OPENPART", sql, params, param_count, std::to_string(first),
                                   std::to_string(count))
                         : Request("OPEN", sql, params, param_count);
  if (!line) {
    if (error) *error = "no result line";
    return std::nullopt;
  }
  if (line->code < 0) {
    if (error) *error = line->text;
    return std::nullopt;
  }
  return ReadResultSet(static_cast<int>(line->code));
}

std::string FrameClient::Param(const std::string& name, int type_code, std::string_view value,
                               char direction) {
  return std::string(1, direction) + ";" + name + ";" + std::to_string(type_code) + ";" +
         std::to_string(value.size()) + ";" + std::string(value) + ";";
}

}  // namespace orv::test
