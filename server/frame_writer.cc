#include "server/frame_writer.h"

#include <algorithm>
#include <cassert>
#include <cstdio>

namespace orv::server {

namespace {

constexpr std::size_t kBatchBytes = 64 * 1024;

void PutHeader(char* at, std::size_t length) {
  assert(length <= 9999);
  char digits[8];
  std::snprintf(digits, sizeof digits, "%04u", static_cast<unsigned>(length));
  for (int i = 0; i < 4; ++i) at[i] = digits[i];
}

}  // namespace

void FrameWriter::ResultLine(std::int64_t code, std::string_view text) {
  assert(frame_start_ == std::string::npos);
  std::string line = std::to_string(code) + ";";
  line.append(text.substr(0, kMaxFramePayload - std::min(line.size(), kMaxFramePayload)));
  std::size_t at = out_.size();
  out_.append(4, '0');
  PutHeader(&out_[at], line.size());
  out_ += line;
}

void FrameWriter::Data(std::string_view bytes) {
  while (!bytes.empty()) {
    if (frame_start_ == std::string::npos) {
      if (out_.size() >= kBatchBytes) Flush();
      frame_start_ = out_.size();
      out_.append(4, '0');
    }
    std::size_t used = out_.size() - frame_start_ - 4;
    std::size_t take = std::min(bytes.size(), kMaxFramePayload - used);
    out_.append(bytes.substr(0, take));
    bytes.remove_prefix(take);
    if (used + take == kMaxFramePayload) CloseFrame();
  }
}

void FrameWriter::EndData() {
  if (frame_start_ != std::string::npos) CloseFrame();
}

void FrameWriter::CloseFrame() {
  std::size_t length = out_.size() - frame_start_ - 4;
  assert(length > 0 && length <= kMaxFramePayload);
  PutHeader(&out_[frame_start_], length);
  frame_start_ = std::string::npos;
}

void FrameWriter::Flush() {
  std::size_t complete = frame_start_ == std::string::npos ? out_.size() : frame_start_;
  if (complete == 0) return;
  sink_->Write(std::string_view(out_).substr(0, complete));
  out_.erase(0, complete);
  if (frame_start_ != std::string::npos) frame_start_ = 0;
}

}  // namespace orv::server
