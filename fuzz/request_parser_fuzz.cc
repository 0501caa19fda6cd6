// The server's request parser on arbitrary client bytes, fed in pieces of
// every size: requests, request errors and fatal errors only, and every
// parameter value handed to the value decoder of its type.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "server/request_parser.h"
#include "server/value_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const size_t piece = data[0] == 0 ? size : data[0];
  const char* bytes = reinterpret_cast<const char*>(data) + 1;
  const size_t length = size - 1;
  orv::server::RequestParser parser(1 << 20);
  for (size_t at = 0; at < length;) {
    const size_t take = std::min(piece, length - at);
    parser.Feed(bytes + at, take);
    at += take;
    for (;;) {
      orv::server::Request request;
      auto result = parser.Next(&request);
      if (result.status == orv::server::RequestParser::Status::kNeedMore) break;
      if (result.status == orv::server::RequestParser::Status::kError) {
        if (result.error.empty()) std::abort();
        if (result.fatal) return 0;
        continue;
      }
      for (const auto& p : request.params) {
        std::string error;
        if (!orv::server::DecodeParam(p.type_code, p.value, &error) && error.empty())
          std::abort();
      }
    }
  }
  return 0;
}
