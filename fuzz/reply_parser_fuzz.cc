// The result-set reply parser on arbitrary bytes, cut into pieces of every
// size. Input: one byte of column count, one byte of piece size, then the
// reply text after the result line.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "resultset/reply_parser.h"

namespace {

// Checks what the parser hands out against what it promised.
class CheckingSink : public orv::TReplySink {
 public:
  explicit CheckingSink(int32_t cols) : cols_(cols) {}
  bool Stopped() override { return false; }
  void ColumnRead(const orv::TColumnDesc& c) override {
    if (c.Size < 0 || columns_ >= cols_) std::abort();
    ++columns_;
  }
  void ColumnsRead() override {}
  void FieldRead(int32_t column, std::string_view value) override {
    if (column != next_ || column >= cols_ || value.size() > orv::kMaxDataLength) std::abort();
    ++next_;
  }
  void RowRead() override {
    if (next_ != cols_) std::abort();
    next_ = 0;
  }

 private:
  const int32_t cols_;
  int32_t columns_ = 0;
  int32_t next_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const int32_t cols = data[0] % 32;
  const size_t piece = data[1] == 0 ? size : data[1];
  std::string_view reply(reinterpret_cast<const char*>(data) + 2, size - 2);
  orv::TReplyParser parser(cols, true);
  CheckingSink sink(cols);
  orv::TParseResult result = orv::prNeedMore;
  for (size_t at = 0; at < reply.size() && result == orv::prNeedMore; at += piece) {
    parser.Append(reply.substr(at, piece));
    result = parser.Parse(sink);
  }
  if (result == orv::prError && parser.ErrorMessage().empty()) std::abort();
  return 0;
}
