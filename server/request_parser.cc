#include "server/request_parser.h"
#include "server/words.h"

#include <algorithm>
#include <cassert>
#include <cctype>
#include <charconv>

namespace orv::server {

namespace {

// Longest token of an entry other than the value itself (direction, name,
// type code, length). Bounds the rescans while a token is incomplete.
constexpr std::size_t kMaxToken = 4096;

bool AllDigits(std::string_view s) {
  if (s.empty()) return false;
  for (char c : s) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

template <typename T>
bool ParseNumber(std::string_view s, T* out) {
  auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), *out);
  return ec == std::errc() && end == s.data() + s.size() && !s.empty();
}

// Finds the ';' ending the token that starts at pos. Returns npos when it has
// not arrived yet, and sets *too_long when it cannot be a token any more.
std::size_t TokenEnd(const std::string& s, std::size_t pos, bool* too_long) {
  std::size_t end = s.find(';', pos);
  *too_long = (end == std::string::npos ? s.size() : end) - pos > kMaxToken;
  return end;
}

}  // namespace

bool SameParamName(std::string_view a, std::string_view b) {
  auto strip = [](std::string_view s) {
    if (!s.empty() && (s[0] == ':' || s[0] == '@' || s[0] == '$')) s.remove_prefix(1);
    return s;
  };
  a = strip(a);
  b = strip(b);
  return EqualNoCase(a, b);
}

const ParamEntry* FindParam(const std::vector<ParamEntry>& params, std::string_view placeholder) {
  auto it = std::find_if(params.begin(), params.end(),
                         [placeholder](const ParamEntry& p) { return SameParamName(p.name, placeholder); });
  return it == params.end() ? nullptr : &*it;
}

RequestParser::Result RequestParser::Fail(std::string error, bool fatal) {
  if (fatal) {
    fatal_ = error;
    in_.clear();
    in_pos_ = 0;
  }
  return {Status::kError, fatal, std::move(error)};
}

bool RequestParser::MidRequest() const {
  return state_ == State::kBlock || !message_.empty() || in_pos_ < in_.size();
}

RequestParser::Result RequestParser::Next(Request* request) {
  if (!fatal_.empty()) return {Status::kError, true, fatal_};
  for (;;) {
    std::size_t available = in_.size() - in_pos_;
    if (available >= 4) {
      std::string_view header(in_.data() + in_pos_, 4);
      if (!AllDigits(header)) return Fail("frame header is not four decimal digits", true);
      std::size_t length = 0;
      ParseNumber(header, &length);
      if (message_.size() + block_.size() + length > max_bytes_) {
        return Fail("request exceeds the size limit of " + std::to_string(max_bytes_) + " bytes",
                    true);
      }
      if (available >= 4 + length) {
        std::string_view payload(in_.data() + in_pos_ + 4, length);
        in_pos_ += 4 + length;
        Result r = OnFrame(payload, request);
        if (r.status != Status::kNeedMore) return r;
        continue;
      }
    }
    in_.erase(0, in_pos_);
    in_pos_ = 0;
    return {};
  }
}

RequestParser::Result RequestParser::OnFrame(std::string_view payload, Request* request) {
  if (state_ == State::kCommand) {
    message_.append(payload);
    if (payload.size() == kFullFrame) return {};
    return OnCommandMessage(request);
  }
  block_.append(payload);
  return OnBlockFrame(payload.size() != kFullFrame, request);
}

RequestParser::Result RequestParser::OnCommandMessage(Request* request) {
  std::string message = std::move(message_);
  message_.clear();
  if (message.empty()) return Fail("empty command message", false);

  std::size_t line_end = message.find('\n');
  std::string_view header = std::string_view(message).substr(0, line_end);
  Request r;
  r.text = line_end == std::string::npos ? std::string() : message.substr(line_end + 1);

  std::string* fields[4] = {&r.command, &r.field2, &r.field3, &r.field4};
  std::size_t pos = 0;
  int found = 0;
  for (; found < 4; ++found) {
    std::size_t end = header.find(';', pos);
    if (end == std::string_view::npos) break;
    fields[found]->assign(header.substr(pos, end - pos));
    pos = end + 1;
  }
  if (r.command == "CONNECT") {
    // Log-in fields are sent unescaped; whatever they hold, no block follows.
    *request = std::move(r);
    return {Status::kRequest, false, {}};
  }
  if (found < 4 || pos != header.size()) {
    return Fail("malformed command message: expected four ';'-ended fields and a line feed",
                true);
  }
  std::size_t count = 0;
  if (!AllDigits(r.field4) || !ParseNumber(std::string_view(r.field4), &count) ||
      count > max_bytes_ / 8) {
    return Fail("parameter count '" + r.field4 + "' is not valid", true);
  }
  if (count == 0) {
    *request = std::move(r);
    return {Status::kRequest, false, {}};
  }
  pending_ = std::move(r);
  expected_ = count;
  state_ = State::kBlock;
  return {};
}

RequestParser::Result RequestParser::OnBlockFrame(bool last_frame, Request* request) {
  if (block_error_.empty() && block_.size() >= block_need_) ParseEntries(&block_error_);
  bool complete = pending_.params.size() == expected_;
  if (complete && block_error_.empty() && block_pos_ < block_.size()) {
    block_error_ = "parameter block holds more entries than its count " +
                   std::to_string(expected_);
  }
  bool done = (complete && block_error_.empty()) || last_frame;
  if (!done) return {};

  Request finished = std::move(pending_);
  pending_ = Request();
  std::string error = std::move(block_error_);
  block_error_.clear();
  block_.clear();
  block_pos_ = block_need_ = 0;
  state_ = State::kCommand;
  if (error.empty() && !complete) {
    error = "parameter block holds " + std::to_string(finished.params.size()) +
            " entries, fewer than its count " + std::to_string(expected_);
  }
  if (!error.empty()) return Fail(std::move(error), false);
  *request = std::move(finished);
  return {Status::kRequest, false, {}};
}

bool RequestParser::ParseEntries(std::string* error) {
  while (pending_.params.size() < expected_ && block_pos_ < block_.size()) {
    std::string entry_no = "parameter entry " + std::to_string(pending_.params.size() + 1);
    std::size_t pos = block_pos_;
    std::string_view tokens[4];
    bool too_long = false;
    for (auto& token : tokens) {
      std::size_t end = TokenEnd(block_, pos, &too_long);
      if (too_long) {
        *error = entry_no + " is malformed";
        return false;
      }
      if (end == std::string::npos) {
        block_need_ = block_.size() + 1;
        return true;
      }
      token = std::string_view(block_).substr(pos, end - pos);
      pos = end + 1;
    }
    ParamEntry entry;
    std::size_t length = 0;
    if (tokens[0].size() != 1) {
      *error = entry_no + ": direction '" + std::string(tokens[0]) + "' is not one letter";
      return false;
    }
    if (!ParseNumber(tokens[2], &entry.type_code)) {
      *error = entry_no + ": type code '" + std::string(tokens[2]) + "' is not a number";
      return false;
    }
    if (!AllDigits(tokens[3]) || !ParseNumber(tokens[3], &length) || length > max_bytes_) {
      *error = entry_no + ": length '" + std::string(tokens[3]) + "' is not valid";
      return false;
    }
    if (block_.size() < pos + length + 1) {
      block_need_ = pos + length + 1;
      return true;
    }
    if (block_[pos + length] != ';') {
      *error = entry_no + ": value is not followed by ';' (length does not match)";
      return false;
    }
    entry.direction = tokens[0][0];
    entry.name.assign(tokens[1]);
    entry.value.assign(block_, pos, length);
    pending_.params.push_back(std::move(entry));
    block_pos_ = pos + length + 1;
  }
  return true;
}

}  // namespace orv::server
