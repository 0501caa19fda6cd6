// The reader of returned procedure parameters on arbitrary bytes, cut into
// pieces of every size, then each value stored by its type. Input: one byte
// of parameter count, one byte of piece size, then the reply text. The
// reply read in pieces must come out as read whole.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "dataset/param_replies.h"
#include "host/params.h"

namespace {

orv::TParseResult ParseInPieces(orv::TReturnedParamParser& parser, std::string_view reply,
                                size_t piece) {
  orv::TParseResult result = parser.Parse();
  for (size_t at = 0; at < reply.size() && result == orv::prNeedMore; at += piece) {
    parser.Append(reply.substr(at, piece));
    result = parser.Parse();
  }
  return result;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const int32_t count = data[0] % 16;
  const size_t piece = data[1] == 0 ? size : data[1];
  std::string_view reply(reinterpret_cast<const char*>(data) + 2, size - 2);

  orv::TReturnedParamParser cut(count), whole(count);
  const orv::TParseResult result = ParseInPieces(cut, reply, piece);
  if (ParseInPieces(whole, reply, reply.size() + 1) != result) std::abort();
  if (result == orv::prError && cut.ErrorMessage().empty()) std::abort();
  const auto& params = cut.Params();
  if (params.size() > static_cast<size_t>(count)) std::abort();
  if (result == orv::prComplete && params.size() != static_cast<size_t>(count)) std::abort();
  if (params.size() != whole.Params().size()) std::abort();
  bool valued = true;
  for (size_t i = 0; i < params.size(); ++i) {
    const orv::TReturnedParam& p = params[i];
    const orv::TReturnedParam& q = whole.Params()[i];
    if (p.Name != q.Name || p.DataType != q.DataType || p.HasValue != q.HasValue ||
        p.Value != q.Value)
      std::abort();
    // Values fill the parameters in order: none after the first without.
    if (p.HasValue && !valued) std::abort();
    valued = p.HasValue;
    if (!p.HasValue) continue;
    orv::TParam param(nullptr);
    param.SetDataType(p.DataType);
    param.Clear();
    const bool stored = orv::StoreReturnedValue(param, p.Value);
    if (param.DataType() != p.DataType || stored == param.IsNull()) std::abort();
  }
  return 0;
}
