// FrameClient is a minimal client of the RDB wire protocol for tests: plain
// POSIX sockets to 127.0.0.1, frames of four ASCII digits plus payload, and a
// reader for result lines and result sets. Every wait has a time limit.
//
// Owns its socket. Used by one thread.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orv::test {

struct ResultLine {
  std::int64_t code = 0;
  std::string text;
};

struct ResultColumn {
  int type_code = 0;
  std::string name;
  int length = 0;
};

struct ResultSet {
  std::vector<ResultColumn> columns;
  std::vector<std::vector<std::string>> rows;
};

class FrameClient {
 public:
  FrameClient() = default;
  ~FrameClient();
  FrameClient(const FrameClient&) = delete;
  FrameClient& operator=(const FrameClient&) = delete;

  bool Connect(int port);
  void Close();

  // Writes bytes as they are.
  bool SendRaw(std::string_view bytes);
  // Writes a message the way the client library does: frames of 4092
  // payload bytes while that many remain, then one frame with the rest.
  bool SendMessage(std::string_view message);

  // One frame's payload; nothing on time-out or when the server closed.
  std::optional<std::string> ReadFrame(int timeout_ms = 10000);
  // One frame parsed as a result line.
  std::optional<ResultLine> ReadResult(int timeout_ms = 10000);
  // The result set after an open's result line, read up to "EOF;".
  std::optional<ResultSet> ReadResultSet(int columns, int timeout_ms = 10000);
  // True when the server closes the connection within the time limit
  // without sending anything more.
  bool WaitClosed(int timeout_ms = 10000);

  // Sends "<command>;<f2>;<f3>;<n>;\n<text>" and, when params is not empty,
  // the parameter block; then reads the result line.
  std::optional<ResultLine> Request(const std::string& command, const std::string& text,
                                    const std::string& params = "", int param_count = 0,
                                    const std::string& f2 = "", const std::string& f3 = "");
  // OPEN (or OPENPART when count >= 0) and the whole reply. Fails (nothing)
  // when the result line is negative; *error then holds its text.
  std::optional<ResultSet> Open(const std::string& sql, const std::string& params = "",
                                int param_count = 0, std::string* error = nullptr,
                                std::int64_t first = 0, std::int64_t count = -1);

  // One entry of a parameter block.
  static std::string Param(const std::string& name, int type_code, std::string_view value,
                           char direction = 'I');

 private:
  bool ReadExact(char* out, std::size_t n, int timeout_ms);

  int fd_ = -1;
  std::string pending_;  // result-set text received but not yet parsed
};

}  // namespace orv::test
