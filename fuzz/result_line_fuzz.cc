// The two readers of a result line, the connection's and the dataset's, on
// arbitrary text: a code or a clean refusal, nothing else.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "dataset/orv_query.h"
#include "host/exceptions.h"
#include "rdb/orv_rdb.h"

namespace {

class ResultReader : public orv::TOrvQuery {
 public:
  ResultReader() : orv::TOrvQuery(nullptr) {}
  using orv::TOrvDataSet::GetResult;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string line(reinterpret_cast<const char*>(data), size);
  static orv::TOrvRDB rdb(nullptr);
  static ResultReader dataset;
  try {
    if (rdb.GetResult(line) < 0) std::abort();
  } catch (const orv::Exception&) {
  }
  try {
    if (dataset.GetResult(line) < 0) std::abort();
  } catch (const orv::Exception&) {
  }
  return 0;
}
