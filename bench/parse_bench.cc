// Parsing a result-set reply from memory: the wire parser alone, and the
// whole result stream (parser, row texts, lists) as the reader fills it;
// then searching the filled stream.
// Rows of five columns (text, integer, float, date-time, text), cut into
// frames of 4092 bytes as the server sends them.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "resultset/rdb_stream.h"
#include "resultset/reply_parser.h"

namespace orv {
namespace {

struct Reply {
  std::vector<std::string> frames;
  int64_t bytes = 0;
};

const Reply& MakeReply(int rows) {
  static std::vector<std::pair<int, Reply>> cache;
  for (const auto& [n, reply] : cache)
    if (n == rows) return reply;
  std::string text = "0;NAME;20;0;8;ID;10;0;10;AMOUNT;15;0;12;STAMP;17;0;0;CODE;8;0;";
  auto field = [&text](const std::string& v) {
    text += std::to_string(v.size());
    text += ';';
    text += v;
    text += ';';
  };
  for (int i = 0; i < rows; ++i) {
    field("customer " + std::to_string(i % 9973));
    field(std::to_string(i));
    field(std::to_string(i % 100000) + ".25");
    field("20240131120000000");
    field("C" + std::to_string(i % 1000));
  }
  text += "EOF;";
  Reply reply;
  reply.bytes = static_cast<int64_t>(text.size());
  for (size_t at = 0; at < text.size(); at += 4092) reply.frames.push_back(text.substr(at, 4092));
  cache.emplace_back(rows, std::move(reply));
  return cache.back().second;
}

class CountingSink : public TReplySink {
 public:
  bool Stopped() override { return false; }
  void ColumnRead(const TColumnDesc&) override {}
  void ColumnsRead() override {}
  void FieldRead(int32_t, std::string_view value) override { bytes += value.size(); }
  void RowRead() override { ++rows; }
  int64_t rows = 0;
  int64_t bytes = 0;
};

void BM_ParseReply(benchmark::State& state) {
  const Reply& reply = MakeReply(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    TReplyParser parser(5, true);
    CountingSink sink;
    for (const std::string& frame : reply.frames) {
      parser.Append(frame);
      parser.Parse(sink);
    }
    benchmark::DoNotOptimize(sink.rows);
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
  state.SetBytesProcessed(state.iterations() * reply.bytes);
}

// Hands the prepared frames to the stream one Receive at a time.
class MemoryOwner : public TOrvResultOwner {
 public:
  explicit MemoryOwner(const Reply& reply) : reply_(reply) {}
  std::string ReceiveFrame(int32_t) override {
    return next_ < reply_.frames.size() ? reply_.frames[next_++] : std::string();
  }
  void DisconnectSocket(int32_t) override {}
  bool InUserTransaction() override { return true; }
  bool StopReading() const override { return false; }
  uint8_t ResultState() const override { return state_; }
  void SetResultState(uint8_t state) override { state_ = state; }
  TSQLKind SQLKind() const override { return skOpen; }
  int32_t ConnectionHandle() const override { return 1; }
  void SetConnectionHandle(int32_t) override {}
  void WaitTerminate() override {}

 private:
  const Reply& reply_;
  size_t next_ = 0;
  uint8_t state_ = kResultComplete;
};

void BM_FillStream(benchmark::State& state) {
  const Reply& reply = MakeReply(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    state.PauseTiming();
    auto stream = std::make_unique<TOrvRDBStream>();
    MemoryOwner owner(reply);
    stream->SetDataSet(&owner);
    stream->SetCols(5);
    state.ResumeTiming();
    bool ok = stream->SetFieldInf(true);
    benchmark::DoNotOptimize(ok);
    state.PauseTiming();
    if (!ok || stream->RowCount() != state.range(0)) state.SkipWithError("bad parse");
    stream.reset();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
  state.SetBytesProcessed(state.iterations() * reply.bytes);
}

// The searches over a filled stream, each for the last row, so that every
// row is read: Locate on NAME and ID, case-insensitive (every compared
// value is upper-cased), and the nearest key search on the numeric ID.
void BM_Search(benchmark::State& state, bool key_search) {
  const int rows = static_cast<int>(state.range(0));
  MemoryOwner owner(MakeReply(rows));
  TOrvRDBStream stream;
  stream.SetDataSet(&owner);
  stream.SetCols(5);
  if (!stream.SetFieldInf(true)) state.SkipWithError("bad parse");
  const std::string last = std::to_string(rows - 1);
  const Variant keys = VarArrayOf({"CUSTOMER " + std::to_string((rows - 1) % 9973), last});
  for (auto _ : state) {
    stream.SetCurRow(-1);
    const bool found = key_search ? stream.GotoKey(std::string(1, '\1'), VarArrayOf({last}), true)
                                  : stream.Locate(std::string("\0\1", 2), keys, loCaseInsensitive);
    if (!found || stream.Tell() != rows - 1) state.SkipWithError("not found");
  }
  state.SetItemsProcessed(state.iterations() * rows);
}

BENCHMARK(BM_ParseReply)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FillStream)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Search, Locate, false)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Search, GotoKey, true)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace orv

BENCHMARK_MAIN();
