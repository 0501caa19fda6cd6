// Readers of the two parameter replies of a stored procedure, on a byte
// buffer; neither touches a socket.
//
// The parameter list (the reply to PARAM, after a result line announcing N):
// four ";"-ended tokens per parameter: the type code, the name, the
// direction code (0 input, 1 output, 2 input/output, 3 result, any other
// number unknown) and one token that is ignored.
//
// The returned parameters (after a PROCEXEC result line, or the second
// result line of a PROCOPEN, announcing N): four description tokens per
// parameter (type code, name, two ignored), then one value per parameter in
// the order described, its length, ";", that many bytes and one separator
// byte; or "EOF;" where a length would stand, which ends the values early:
// the parameters after it receive none.
//
// Frames are appended as they arrive and a token or value may be cut
// anywhere. Parse answers prComplete, prNeedMore (append the next frame) or
// prError with a message for the user. Type codes are read as the result
// set reads them (GetColumnType); lengths are plain runs of one to ten
// decimal digits, at most kMaxDataLength. A reply that stops short is not
// these readers' to judge: the caller that receives the frames decides when
// the reply has broken off.
//
// Not thread-safe: one reader owns a parser.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "host/db.h"
#include "resultset/reply_parser.h"

namespace orv {

class TParam;

// Unconsumed received bytes, read from the front. Views it hands out stay
// valid until the next Append.
class TTokenBuffer {
 public:
  void Append(std::string_view bytes);
  // The text before the next ";", consumed with it; false when no ";" is
  // buffered.
  bool NextToken(std::string_view& token);
  // `size` bytes and the separator byte after them, consumed; false until
  // size + 1 bytes are buffered.
  bool NextValue(size_t size, std::string_view& value);

 private:
  std::string buf_;
  size_t pos_ = 0;  // first byte not yet consumed
};

// One entry of the parameter list.
struct TProcParamDesc {
  TFieldType DataType = ftUnknown;
  std::string Name;
  TParamType Direction = ptUnknown;
};

class TParamListParser {
 public:
  explicit TParamListParser(int32_t count);

  void Append(std::string_view bytes) { buffer_.Append(bytes); }
  // After prComplete or prError the parser is finished and answers the same.
  TParseResult Parse();

  const std::vector<TProcParamDesc>& Params() const { return params_; }
  const std::string& ErrorMessage() const { return error_; }

 private:
  TParseResult Fail(std::string message);

  TTokenBuffer buffer_;
  const int32_t count_;
  int32_t token_ = 0;  // token of the current entry (0..3)
  TProcParamDesc current_;
  std::vector<TProcParamDesc> params_;
  TParseResult final_ = prNeedMore;
  std::string error_;
};

// One returned parameter as described, with its value text when one came.
struct TReturnedParam {
  TFieldType DataType = ftUnknown;
  std::string Name;  // as sent
  bool HasValue = false;
  std::string Value;
};

class TReturnedParamParser {
 public:
  explicit TReturnedParamParser(int32_t count);

  void Append(std::string_view bytes) { buffer_.Append(bytes); }
  // After prComplete or prError the parser is finished and answers the same.
  TParseResult Parse();

  const std::vector<TReturnedParam>& Params() const { return params_; }
  const std::string& ErrorMessage() const { return error_; }

 private:
  bool Describe(std::string_view token);
  TParseResult Fail(std::string message);

  TTokenBuffer buffer_;
  const int32_t count_;
  int32_t token_ = 0;   // description token of the current parameter (0..3)
  TReturnedParam current_;
  std::vector<TReturnedParam> params_;
  size_t valued_ = 0;   // parameters that have their value
  int64_t length_ = -1; // length of the value awaited, or -1
  TParseResult final_ = prNeedMore;
  std::string error_;
};

// Stores a returned value text into `param` by its data type (integers,
// "T" for a true boolean, floats, dates and times in the server's form,
// blobs, memos, anything else as a string); the data type stays. False,
// leaving the parameter as it was, when the text does not convert.
bool StoreReturnedValue(TParam& param, std::string_view value);

}  // namespace orv
