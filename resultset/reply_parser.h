// TReplyParser: reads the result-set reply of an open from a byte buffer.
//
// The reply is a run of ";"-ended tokens: four per column description (type
// code, name, declared length, an attribute that is ignored), then per row
// one field per column (data length, ";", that many bytes of data, one
// separator byte), and finally the end marker "EOF;" where the next row would
// begin. Frames are appended as they arrive; a token, a value or a row may be
// cut anywhere. `Parse` hands every complete piece to a TReplySink and stops
// when the buffer runs dry (prNeedMore), at the end marker, when the sink asks
// to stop, or at the first malformed piece (prError, with a message for the
// user).
//
// The buffer is consumed from the front through a read position; consumed
// bytes are dropped in one move only once they make up half the buffer, so
// the cost of parsing grows linearly with the reply.
//
// Not thread-safe: one reader thread owns a parser.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "resultset/field_inf.h"

namespace orv {

// One parsed column description, checked against the reply bounds.
struct TColumnDesc {
  std::string_view TypeCode;  // the code as sent
  std::string_view Name;      // as sent; may be empty
  TFieldType FieldType;
  int32_t Size;               // row-text width
};

// Receives what the parser reads. Callbacks may raise orv::Exception to
// refuse a piece; the parser then ends with prError and that message.
class TReplySink {
 public:
  virtual ~TReplySink() = default;
  // Asked as each Parse call begins and after every row; true ends the
  // parse with prStopped.
  virtual bool Stopped() = 0;
  virtual void ColumnRead(const TColumnDesc& column) = 0;
  // Every description is read (also when they were skipped).
  virtual void ColumnsRead() = 0;
  // The value of `column` (0-based) of the row being read.
  virtual void FieldRead(int32_t column, std::string_view value) = 0;
  virtual void RowRead() = 0;
};

enum TParseResult {
  prNeedMore,  // the buffer ends inside the reply; append the next frame
  prComplete,  // the end marker stood where a row begins
  prEndInRow,  // the end marker came inside a row; that row is dropped
  prStopped,   // the sink asked to stop
  prError      // malformed reply; see ErrorMessage()
};

class TReplyParser {
 public:
  // `cols` descriptions precede the rows; with `read_fields` false they are
  // skipped unread.
  TReplyParser(int32_t cols, bool read_fields);

  // Adds received bytes behind those not yet parsed.
  void Append(std::string_view bytes);
  // Parses as far as the buffered bytes allow. After any result other than
  // prNeedMore the parser is finished and Parse returns that result again.
  TParseResult Parse(TReplySink& sink);

  const std::string& ErrorMessage() const { return error_; }
  // Bytes received but not consumed.
  size_t Pending() const { return buf_.size() - pos_; }
  int32_t RowsRead() const { return rows_; }

 private:
  enum TPhase { phColumns, phRows, phFinished };

  bool Step(TReplySink& sink, TParseResult& result);
  bool NextToken(std::string_view& token);
  void ReadColumnToken(TReplySink& sink, std::string_view token);
  void ReadDataLength(std::string_view token);
  TParseResult Finish(TParseResult result);
  TParseResult Fail(std::string message);

  std::string buf_;
  size_t pos_ = 0;  // first byte not yet consumed

  const int32_t cols_;
  const bool read_fields_;
  TPhase phase_ = phColumns;
  TParseResult final_ = prNeedMore;
  std::string error_;

  int32_t column_ = 0;       // column being described or read
  int32_t desc_token_ = 0;   // token of the current description (0..3)
  std::string desc_code_;    // description tokens kept across frames
  std::string desc_name_;
  TFieldType desc_type_ = ftUnknown;
  int32_t desc_size_ = 0;
  int32_t row_width_ = 0;    // total width of the columns described
  int32_t data_length_ = -1; // length of the value awaited, or -1
  int32_t rows_ = 0;
};

}  // namespace orv
