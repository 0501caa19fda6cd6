// The message frame: four ASCII decimal digits giving the payload length
// (0000-9999, header not counted), then the payload, passed through
// unchanged. Messages longer than one frame travel as a run of full frames
// (4092 payload bytes, so no frame the client writes exceeds 4096 bytes) and
// one shorter frame for the rest.
//
// EncodeFrame builds one frame; TFrameReader assembles one incoming frame
// from pieces of any size, telling the caller how many bytes it still wants
// so that it never reads into the next frame. Neither touches a socket.
//
// Threads: a TFrameReader belongs to the one thread reading the frame.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace orv {

// The largest payload of a frame the client writes.
inline constexpr size_t kMaxFramePayload = 4092;
inline constexpr size_t kFrameHeaderSize = 4;

// One frame carrying `payload` (at most kMaxFramePayload bytes).
std::string EncodeFrame(std::string_view payload);
// Bytes that a message of `size` bytes takes on the wire, headers included.
constexpr size_t FramedSize(size_t size) {
  return size + kFrameHeaderSize * ((size + kMaxFramePayload - 1) / kMaxFramePayload);
}

// A reply that runs over several frames (a result set, a parameter list, a
// name list) never holds an empty frame: a 0000 header inside it means the
// server broke the reply off. Every reader of such a reply passes each
// frame it receives through this check, so that a partial reply can never
// end like a complete one. Raises EOrvRDBException (sReplyBrokenOff) for an
// empty payload.
void RequireReplyFrame(std::string_view payload);

class TFrameReader {
 public:
  enum class TStatus : uint8_t { fsNeedMore, fsComplete };

  // Where the next bytes go and how many the frame still wants (never 0
  // while incomplete).
  char* Space();
  size_t Missing() const;
  // Takes `count` bytes written at Space(). Completing the header converts
  // it: anything but four ASCII decimal digits raises EOrvRDBException
  // (sFrameHeaderError); a length of 0 completes the frame with an empty
  // payload.
  TStatus Commit(size_t count);
  // Takes bytes from `bytes` up to the end of the frame; returns how many.
  size_t Feed(std::string_view bytes);

  bool Complete() const { return complete_; }
  // The payload of the complete frame; the reader starts a new frame.
  std::string TakePayload();

 private:
  char header_[kFrameHeaderSize] = {};
  size_t header_got_ = 0;
  std::string payload_;
  size_t payload_got_ = 0;
  bool complete_ = false;
};

}  // namespace orv
