// ParseSQL on arbitrary statement text: the rewritten text never grows, and
// every parameter it lists stands in it as "@" + name.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "dataset/orv_dataset.h"
#include "host/params.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  orv::TParams params(nullptr);
  const std::string rewritten = orv::TOrvDataSet::ParseSQL(text, &params);
  if (rewritten.size() > text.size()) std::abort();
  for (int i = 0; i < params.Count(); ++i) {
    if (rewritten.find("@" + params.Items(i)->Name()) == std::string::npos) std::abort();
  }
  if (orv::TOrvDataSet::ParseSQL(text, nullptr) != rewritten) std::abort();
  return 0;
}
