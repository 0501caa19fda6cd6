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
      int length = StrToInt(std::string_view(header_, kFrameHeaderSize));
      payload_.assign(static_cast<size_t>(std::max(length, 0)), '\0');
      complete_ = payload_.empty();
    }
  } else {
    payload_got_ += count;
    complete_ = payload_got_ == payload_.size();
  }
  return complete_ ? fsComplete : fsNeedMore;
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
