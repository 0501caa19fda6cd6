#include "rdb/frame.h"

#include <algorithm>
#include <cassert>
#include <cstring>

#include "host/sysutils.h"
#include "rdb/orv_rdb.h"

namespace orv {

std::string EncodeFrame(std::string_view payload) {
  assert(payload.size() <= kMaxFramePayload);
  return Format("%0.4d%s", static_cast<int>(payload.size()), payload);
}

namespace {

// A header with a sign, blanks or a hex prefix could still be read as a
// length, but a peer that sends one is broken, and guessing would read the
// rest of the stream out of step.
[[noreturn]] void RaiseHeaderError(const char (&header)[kFrameHeaderSize]) {
  std::string shown;
  for (char c : header) {
    const auto byte = static_cast<unsigned char>(c);
    shown += byte >= 0x20 && byte < 0x7f ? std::string(1, c) : Format("\\x%0.2x", byte);
  }
  throw EOrvRDBException(Format(sFrameHeaderError, shown));
}

}  // namespace

void RequireReplyFrame(std::string_view payload) {
  if (payload.empty()) throw EOrvRDBException(sReplyBrokenOff);
}

char* TFrameReader::Space() {
  assert(!complete_);
  if (header_got_ < kFrameHeaderSize) return header_ + header_got_;
  return payload_.data() + payload_got_;
}

size_t TFrameReader::Missing() const {
  if (complete_) return 0;
  if (header_got_ < kFrameHeaderSize) return kFrameHeaderSize - header_got_;
  return payload_.size() - payload_got_;
}

TFrameReader::TStatus TFrameReader::Commit(size_t count) {
  assert(count <= Missing());
  if (header_got_ < kFrameHeaderSize) {
    header_got_ += count;
    if (header_got_ == kFrameHeaderSize) {
      size_t length = 0;
      for (char c : header_) {
        if (c < '0' || c > '9') RaiseHeaderError(header_);
        length = length * 10 + static_cast<size_t>(c - '0');
      }
      payload_.assign(length, '\0');
      complete_ = payload_.empty();
    }
  } else {
    payload_got_ += count;
    complete_ = payload_got_ == payload_.size();
  }
  return complete_ ? TStatus::fsComplete : TStatus::fsNeedMore;
}

size_t TFrameReader::Feed(std::string_view bytes) {
  size_t used = 0;
  while (!complete_ && used < bytes.size()) {
    size_t take = std::min(Missing(), bytes.size() - used);
    std::memcpy(Space(), bytes.data() + used, take);
    used += take;
    Commit(take);
  }
  return used;
}

std::string TFrameReader::TakePayload() {
  assert(complete_);
  std::string payload = std::move(payload_);
  *this = TFrameReader();
  return payload;
}

}  // namespace orv
