// FrameWriter turns replies into frames: four ASCII decimal digits of payload
// length, then the payload. A result line always travels alone in one frame;
// the text of a result set is cut into frames of at most kMaxFramePayload
// bytes, never an empty one (the client takes an empty frame as the end of
// the connection's data). Bytes are handed to a ByteSink in large batches.
//
// Owns only its batching buffer; the sink belongs to the caller. Used by one
// thread at a time (the connection's thread).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace orv::server {

// Destination of the framed bytes: a socket, or a string in tests.
// Write throws (any std::exception) when the bytes cannot be delivered.
class ByteSink {
 public:
  virtual ~ByteSink() = default;
  virtual void Write(std::string_view bytes) = 0;
};

class FrameWriter {
 public:
  // Largest payload of one frame, the same limit the client keeps to.
  static constexpr std::size_t kMaxFramePayload = 4092;

  explicit FrameWriter(ByteSink* sink) : sink_(sink) {}

  // One frame holding "<code>;<text>"; the text is cut so the line fits.
  void ResultLine(std::int64_t code, std::string_view text);

  // Data of a multi-frame reply: appended to the current frame, which is
  // closed whenever it reaches kMaxFramePayload bytes.
  void Data(std::string_view bytes);
  // Closes the last, partly filled frame of the data.
  void EndData();

  // Hands every complete frame to the sink.
  void Flush();

 private:
  void CloseFrame();

  ByteSink* sink_;
  std::string out_;        // complete frames not yet handed to the sink
  std::size_t frame_start_ = std::string::npos;  // header offset of the open frame
};

}  // namespace orv::server
