// RequestParser reassembles requests from the bytes a client sends, without
// touching a socket: feed it bytes, then ask for the next request.
//
// A request is a command message, optionally followed by a parameter block.
// Both travel in frames of four ASCII digits plus payload. A command message
// longer than one frame arrives as frames of exactly 4092 payload bytes and a
// final shorter frame; a frame of 4092 bytes therefore means "more follows".
// The parameter block is a second message whose length the parser learns from
// the parameter count of the command: it ends once that many entries have
// been read at the end of a frame, or with the first frame shorter than 4092
// bytes (too few entries then is an error).
//
// Errors come in two kinds. A request error (unknown command, a block that
// does not match its count, a malformed entry) consumes the whole request and
// leaves the stream in step, so the connection can go on. A fatal error (a
// header that is not four digits, a command message that cannot be read, a
// request over the size limit) means the stream can no longer be followed;
// the connection must be closed after the error is reported.
//
// Owns its buffers. Used by one thread at a time.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace orv::server {

struct ParamEntry {
  char direction = 'I';   // 'I', 'O' or 'U' as sent
  std::string name;       // as sent: with ':', '@' or no prefix
  int type_code = 0;      // decimal ordinal of the column/parameter type
  std::string value;      // exact bytes, may hold ';' and NUL
};

// Parameter names compare without their prefix (':', '@', '$') and without
// regard to ASCII case, as SQL names do.
bool SameParamName(std::string_view a, std::string_view b);
// The first entry whose name is the placeholder's; null when there is none.
const ParamEntry* FindParam(const std::vector<ParamEntry>& params, std::string_view placeholder);

struct Request {
  std::string command;    // first field, e.g. "OPEN"
  std::string field2;     // OPENPART: first row
  std::string field3;     // OPENPART: row count
  std::string field4;     // parameter count (CONNECT: database name)
  std::string text;       // everything after the line feed
  std::vector<ParamEntry> params;
};

class RequestParser {
 public:
  enum class Status { kNeedMore, kRequest, kError };
  struct Result {
    Status status = Status::kNeedMore;
    bool fatal = false;   // with kError: the connection must be closed
    std::string error;    // with kError: text for the result line
  };

  static constexpr std::size_t kFullFrame = 4092;

  explicit RequestParser(std::size_t max_request_bytes) : max_bytes_(max_request_bytes) {}

  void Feed(const char* data, std::size_t size) { in_.append(data, size); }

  // Extracts the next complete request into *request, or reports an error,
  // or says more bytes are needed. After a fatal error it keeps reporting it.
  Result Next(Request* request);

  // True while part of a request has been received.
  bool MidRequest() const;

 private:
  enum class State { kCommand, kBlock };

  Result Fail(std::string error, bool fatal);
  // Handles one frame payload; returns a result other than kNeedMore when the
  // frame completed a request or an error.
  Result OnFrame(std::string_view payload, Request* request);
  Result OnCommandMessage(Request* request);
  Result OnBlockFrame(bool last_frame, Request* request);
  // Parses as many whole entries of block_ as are there; false on bad syntax.
  bool ParseEntries(std::string* error);

  std::size_t max_bytes_;
  std::string in_;             // received bytes not yet taken as frames
  std::size_t in_pos_ = 0;     // start of the first unread frame in in_
  State state_ = State::kCommand;
  std::string message_;        // command message being reassembled
  Request pending_;            // command waiting for its parameter block
  std::size_t expected_ = 0;   // entries the block must hold
  std::string block_;          // parameter block received so far
  std::size_t block_pos_ = 0;  // start of the first entry not yet parsed
  std::size_t block_need_ = 0; // block_ size needed before parsing again
  std::string block_error_;    // first syntax error of the block, if any
  std::string fatal_;          // set once the stream is lost
};

}  // namespace orv::server
