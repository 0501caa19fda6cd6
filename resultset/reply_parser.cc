#include "resultset/reply_parser.h"

#include <algorithm>
#include <cassert>
#include <cstring>

#include "host/exceptions.h"

namespace orv {
namespace {

// Drop consumed bytes once they are at least this many and half the buffer.
constexpr size_t kCompactAt = 4096;

// Longest number the reply may hold: every bound on the wire fits ten digits.
constexpr size_t kMaxWireDigits = 10;

// A number of the reply: one to ten ASCII decimal digits and nothing else;
// -1 for any other text. Blanks, signs and hex prefixes are refused rather
// than guessed at, since a peer that sends them is broken and a guess could
// read the rest of the reply out of step.
int64_t WireInt(std::string_view text) {
  if (text.empty() || text.size() > kMaxWireDigits) return -1;
  int64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return -1;
    value = value * 10 + (c - '0');
  }
  return value;
}

std::string ColumnMessage(const char* what, int32_t column) {
  return std::string(what) + " of column(" + std::to_string(column + 1) +
         ") is not valid!";
}

}  // namespace

TReplyParser::TReplyParser(int32_t cols, bool read_fields)
    : cols_(cols), read_fields_(read_fields) {
  assert(cols >= 0);
}

void TReplyParser::Append(std::string_view bytes) {
  if (pos_ == buf_.size()) {
    buf_.clear();
    pos_ = 0;
  } else if (pos_ >= kCompactAt && pos_ * 2 >= buf_.size()) {
    buf_.erase(0, pos_);
    pos_ = 0;
  }
  buf_.append(bytes);
}

bool TReplyParser::NextToken(std::string_view& token) {
  const char* begin = buf_.data() + pos_;
  const void* semi = std::memchr(begin, ';', buf_.size() - pos_);
  if (semi == nullptr) return false;
  size_t length = static_cast<const char*>(semi) - begin;
  token = std::string_view(begin, length);
  pos_ += length + 1;
  return true;
}

TParseResult TReplyParser::Finish(TParseResult result) {
  phase_ = phFinished;
  final_ = result;
  return result;
}

TParseResult TReplyParser::Fail(std::string message) {
  error_ = std::move(message);
  return Finish(prError);
}

TParseResult TReplyParser::Parse(TReplySink& sink) {
  try {
    TParseResult result = final_;
    while (phase_ != phFinished && Step(sink, result)) {
    }
    return result;
  } catch (const Exception& e) {
    return Fail(e.Message());
  }
}

// Reads one token or value. Returns true to go on; false with `result` set
// when the parse has to pause or has ended.
bool TReplyParser::Step(TReplySink& sink, TParseResult& result) {
  result = prNeedMore;
  if (sink.Stopped()) {
    result = Finish(prStopped);
    return false;
  }

  if (phase_ == phColumns) {
    if (column_ == cols_) {
      sink.ColumnsRead();
      phase_ = phRows;
      column_ = 0;
      return true;
    }
    std::string_view token;
    if (!NextToken(token)) return false;
    ReadColumnToken(sink, token);
    result = final_;
    return phase_ != phFinished;
  }

  if (data_length_ < 0) {
    std::string_view token;
    if (!NextToken(token)) return false;
    if (token == "EOF") {
      result = Finish(column_ == 0 ? prComplete : prEndInRow);
      return false;
    }
    ReadDataLength(token);
    result = final_;
    return phase_ != phFinished;
  }

  if (buf_.size() - pos_ < static_cast<size_t>(data_length_) + 1)
    return false;
  std::string_view value(buf_.data() + pos_, data_length_);
  pos_ += static_cast<size_t>(data_length_) + 1;  // the value and its separator
  data_length_ = -1;
  sink.FieldRead(column_, value);
  if (++column_ == cols_) {
    column_ = 0;
    ++rows_;
    sink.RowRead();
  }
  return true;
}

void TReplyParser::ReadColumnToken(TReplySink& sink, std::string_view token) {
  const int32_t index = desc_token_;
  desc_token_ = (desc_token_ + 1) % 4;
  if (!read_fields_) {
    if (desc_token_ == 0) ++column_;
    return;
  }
  switch (index) {
    case 0:
      // The type code is read as any integer text (a sign included) and only
      // its low 7 bits count: unlike a length, a misread code changes one
      // column's type but never takes the reading out of step.
      desc_code_.assign(token);
      try {
        desc_type_ = GetColumnType(token);
      } catch (const EConvertError&) {
        Fail(ColumnMessage("type", column_));
      }
      return;
    case 1:
      desc_name_.assign(token);
      return;
    case 2: {
      const int64_t length = WireInt(token);
      // A blob column keeps its values apart and takes the same place in the
      // row text whatever length it declares; peers declare the largest
      // integer for unbounded text and images.
      if (length < 0 || (!IsBlobColumn(desc_type_) && length > kMaxDeclaredLength)) {
        Fail(ColumnMessage("length", column_));
        return;
      }
      desc_size_ = ColumnSize(desc_type_, static_cast<int32_t>(std::min<int64_t>(length, kMaxDeclaredLength)));
      if (desc_size_ > kMaxRowWidth - row_width_) {
        Fail(ColumnMessage("length", column_));
        return;
      }
      row_width_ += desc_size_;
      return;
    }
    default:
      sink.ColumnRead(TColumnDesc{desc_code_, desc_name_, desc_type_, desc_size_});
      ++column_;
      return;
  }
}

void TReplyParser::ReadDataLength(std::string_view token) {
  if (cols_ == 0) {
    Fail(ColumnMessage("data", 0));
    return;
  }
  const int64_t length = WireInt(token);
  if (length < 0 || length > kMaxDataLength) {
    Fail(ColumnMessage("data", column_));
    return;
  }
  data_length_ = static_cast<int32_t>(length);
}

}  // namespace orv
