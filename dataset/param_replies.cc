#include "dataset/param_replies.h"

#include <cassert>
#include <cstring>

#include "host/datetime.h"
#include "host/exceptions.h"
#include "host/params.h"
#include "host/sysutils.h"
#include "resultset/field_inf.h"

namespace orv {
namespace {

// Drop consumed bytes once they are at least this many and half the buffer.
constexpr size_t kCompactAt = 4096;

constexpr size_t kMaxWireDigits = 10;

constexpr const char* sBadParamList = "The parameter list is not valid: ";
constexpr const char* sBadReturned = "The returned parameters are not valid: ";

// A length of the reply: one to ten ASCII decimal digits and nothing else;
// -1 for any other text.
int64_t WireLength(std::string_view text) {
  if (text.empty() || text.size() > kMaxWireDigits) return -1;
  int64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return -1;
    value = value * 10 + (c - '0');
  }
  return value;
}

// The host field type of a type code; false for a code that is no number.
bool ReadType(std::string_view token, TFieldType& type) {
  try {
    type = GetColumnType(token);
    return true;
  } catch (const EConvertError&) {
    return false;
  }
}

TParamType DirectionOf(int code) {
  switch (code) {
    case 0: return ptInput;
    case 1: return ptOutput;
    case 2: return ptInputOutput;
    case 3: return ptResult;
    default: return ptUnknown;
  }
}

std::string Quoted(std::string_view text) { return "'" + std::string(text) + "'"; }

// The server's date and time text, 17 digits "yyyymmddhhnnsszzz"; a date
// alone comes as its first 8, a time alone as its last 9. Raises
// EConvertError for a group that is not a number or out of range.
TDateTime ReturnedDateTime(TFieldType type, std::string_view value) {
  std::string text(value);
  if (type == ftDate) text += "000000000";
  if (type == ftTime) text = "00000000" + text;
  auto group = [&](size_t at, size_t size) {
    return StrToInt(at < text.size() ? std::string_view(text).substr(at, size)
                                     : std::string_view());
  };
  TDateTime result = 0;
  if (type != ftTime) result += EncodeDate(group(0, 4), group(4, 2), group(6, 2));
  if (type != ftDate) result += EncodeTime(group(8, 2), group(10, 2), group(12, 2), group(14, 3));
  return result;
}

}  // namespace

void TTokenBuffer::Append(std::string_view bytes) {
  if (pos_ == buf_.size()) {
    buf_.clear();
    pos_ = 0;
  } else if (pos_ >= kCompactAt && pos_ * 2 >= buf_.size()) {
    buf_.erase(0, pos_);
    pos_ = 0;
  }
  buf_.append(bytes);
}

bool TTokenBuffer::NextToken(std::string_view& token) {
  const char* begin = buf_.data() + pos_;
  const void* semi = std::memchr(begin, ';', buf_.size() - pos_);
  if (semi == nullptr) return false;
  const size_t length = static_cast<size_t>(static_cast<const char*>(semi) - begin);
  token = std::string_view(begin, length);
  pos_ += length + 1;
  return true;
}

bool TTokenBuffer::NextValue(size_t size, std::string_view& value) {
  if (buf_.size() - pos_ <= size) return false;
  value = std::string_view(buf_.data() + pos_, size);
  pos_ += size + 1;
  return true;
}

TParamListParser::TParamListParser(int32_t count) : count_(count) {
  assert(count >= 0);
  if (count_ == 0) final_ = prComplete;
}

TParseResult TParamListParser::Fail(std::string message) {
  error_ = sBadParamList + message;
  final_ = prError;
  return final_;
}

TParseResult TParamListParser::Parse() {
  std::string_view token;
  while (final_ == prNeedMore && buffer_.NextToken(token)) {
    auto number = [&] { return IntToStr(static_cast<int64_t>(params_.size()) + 1); };
    switch (token_) {
      case 0:
        if (!ReadType(token, current_.DataType))
          return Fail("the type of parameter " + number() + " is " + Quoted(token));
        break;
      case 1:
        current_.Name.assign(token);
        break;
      case 2:
        try {
          current_.Direction = DirectionOf(StrToInt(token));
        } catch (const EConvertError&) {
          return Fail("the direction of parameter " + number() + " is " + Quoted(token));
        }
        break;
      default:
        params_.push_back(std::move(current_));
        current_ = TProcParamDesc();
        if (static_cast<int32_t>(params_.size()) == count_) final_ = prComplete;
        break;
    }
    token_ = (token_ + 1) % 4;
  }
  return final_;
}

TReturnedParamParser::TReturnedParamParser(int32_t count) : count_(count) {
  assert(count >= 0);
  if (count_ == 0) final_ = prComplete;
}

TParseResult TReturnedParamParser::Fail(std::string message) {
  error_ = sBadReturned + message;
  final_ = prError;
  return final_;
}

bool TReturnedParamParser::Describe(std::string_view token) {
  switch (token_) {
    case 0:
      if (!ReadType(token, current_.DataType)) {
        Fail("the type of parameter " + IntToStr(static_cast<int64_t>(params_.size()) + 1) +
             " is " + Quoted(token));
        return false;
      }
      break;
    case 1:
      current_.Name.assign(token);
      break;
    case 2:
      break;
    default:
      params_.push_back(std::move(current_));
      current_ = TReturnedParam();
      break;
  }
  token_ = (token_ + 1) % 4;
  return true;
}

TParseResult TReturnedParamParser::Parse() {
  while (final_ == prNeedMore) {
    std::string_view token;
    if (static_cast<int32_t>(params_.size()) < count_) {
      if (!buffer_.NextToken(token)) break;
      if (!Describe(token)) break;
      continue;
    }
    if (length_ < 0) {
      if (!buffer_.NextToken(token)) break;
      if (token == "EOF") {
        final_ = prComplete;
        break;
      }
      length_ = WireLength(token);
      if (length_ < 0 || length_ > kMaxDataLength)
        return Fail("the length of value " + IntToStr(static_cast<int64_t>(valued_) + 1) +
                    " is " + Quoted(token));
    }
    std::string_view value;
    if (!buffer_.NextValue(static_cast<size_t>(length_), value)) break;
    TReturnedParam& param = params_[valued_];
    param.HasValue = true;
    param.Value.assign(value);
    length_ = -1;
    if (++valued_ == params_.size()) final_ = prComplete;
  }
  return final_;
}

bool StoreReturnedValue(TParam& param, std::string_view value) {
  const TFieldType type = param.DataType();
  try {
    switch (type) {
      case ftSmallint: case ftInteger: case ftWord:
        param.SetAsInteger(StrToInt(value));
        break;
      case ftBoolean:
        param.SetAsBoolean(value == "T");
        break;
      case ftFloat:
        param.SetAsFloat(StrToFloat(value));
        break;
      case ftDate:
        param.SetAsDate(ReturnedDateTime(type, value));
        break;
      case ftTime:
        param.SetAsTime(ReturnedDateTime(type, value));
        break;
      case ftDateTime:
        param.SetAsDateTime(ReturnedDateTime(type, value));
        break;
      case ftBlob: case ftGraphic:
        param.SetAsBlob(std::string(value));
        break;
      case ftMemo: case ftFmtMemo:
        param.SetAsMemo(std::string(value));
        break;
      default:
        param.SetAsString(std::string(value));
        break;
    }
  } catch (const EConvertError&) {
    return false;
  }
  param.SetDataType(type);
  return true;
}

}  // namespace orv
