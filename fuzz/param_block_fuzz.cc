// The server's parameter-block decoder: the input is the text of a block
// (after one byte giving the announced entry count), framed as a client
// frames it behind an EXEC command; every decoded value then goes through
// the value decoder of its type code.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "server/request_parser.h"
#include "server/value_text.h"

namespace {

void FeedMessage(orv::server::RequestParser& parser, const std::string& message) {
  size_t at = 0;
  do {
    const size_t take = std::min<size_t>(message.size() - at, 4092);
    char header[8];
    std::snprintf(header, sizeof header, "%04zu", take);
    parser.Feed(header, 4);
    parser.Feed(message.data() + at, take);
    at += take;
  } while (at < message.size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const int count = data[0] % 16 + 1;
  orv::server::RequestParser parser(1 << 20);
  FeedMessage(parser, "EXEC;;;" + std::to_string(count) + ";\nupdate t set a = 1");
  FeedMessage(parser, std::string(reinterpret_cast<const char*>(data) + 1, size - 1));
  orv::server::Request request;
  auto result = parser.Next(&request);
  if (result.status == orv::server::RequestParser::Status::kError && result.error.empty())
    std::abort();
  if (result.status != orv::server::RequestParser::Status::kRequest) return 0;
  if (request.params.size() != static_cast<size_t>(count)) std::abort();
  for (const auto& p : request.params) {
    std::string error;
    auto value = orv::server::DecodeParam(p.type_code, p.value, &error);
    if (!value && error.empty()) std::abort();
  }
  return 0;
}
