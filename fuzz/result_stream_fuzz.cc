// The result stream filled from arbitrary wire bytes, as a reader thread
// fills it: frames are cut from the input by the client's frame reader, the
// first one is the result line that gives the column count, the rest are
// the reply. Every stored row is then read back through the field layout.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "host/exceptions.h"
#include "host/forms.h"
#include "host/syncobjs.h"
#include "rdb/frame.h"
#include "rdb/orv_rdb.h"
#include "resultset/rdb_stream.h"

namespace {

class WireOwner : public orv::TOrvResultOwner {
 public:
  explicit WireOwner(std::string_view wire) : wire_(wire) {}

  // The next frame of the input; empty (the end of the connection) once the
  // input runs out.
  std::string ReceiveFrame(int32_t) override {
    orv::TFrameReader reader;
    while (!wire_.empty()) {
      wire_.remove_prefix(reader.Feed(wire_));
      if (reader.Complete()) return reader.TakePayload();
    }
    return std::string();
  }
  void DisconnectSocket(int32_t) override {}
  bool InUserTransaction() override { return false; }
  bool StopReading() const override { return false; }
  uint8_t ResultState() const override { return state_; }
  void SetResultState(uint8_t s) override { state_ = s; }
  orv::TSQLKind SQLKind() const override { return orv::skOpen; }
  int32_t ConnectionHandle() const override { return 1; }
  void SetConnectionHandle(int32_t) override {}
  void WaitTerminate() override {}

 private:
  std::string_view wire_;
  uint8_t state_ = orv::kResultComplete;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool quiet = [] {
    orv::SetMessageBoxHandler([](const std::string&, const std::string&, unsigned) {
      return orv::IDOK;
    });
    return true;
  }();
  (void)quiet;
  WireOwner owner(std::string_view(reinterpret_cast<const char*>(data), size));
  int cols = 0;
  try {
    orv::TOrvRDB rdb(nullptr);
    cols = rdb.GetResult(owner.ReceiveFrame(1));
  } catch (const orv::Exception&) {
    return 0;
  }
  orv::TAutoResetEvent event;
  orv::TOrvRDBStream stream;
  stream.SetDataSet(&owner);
  stream.SetResultEvent(&event);
  stream.SetSocketHandle(1);
  stream.SetCols(cols);
  try {
    stream.SetFieldInf(true);
  } catch (const orv::Exception&) {
    // A malformed number ends the read; the rows stored so far stay usable.
  }
  for (int32_t r = 0; r < stream.RowCount(); ++r) {
    for (int32_t c = 0; c < stream.FieldCount(); ++c) (void)stream.GetFieldValue(c, r);
  }
  return 0;
}
