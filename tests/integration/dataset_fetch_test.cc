// A large result streams in while the application already reads it.
#include <gtest/gtest.h>

#include <chrono>

#include "host/thread.h"
#include "integration/dataset_fixture.h"

namespace orv::test {
namespace {

class DataSetFetch : public OnEachBackend<DataSetServerTest> {
 protected:
  static constexpr int kRows = 200000;
  void SetUp() override {
    OnEachBackend::SetUp();
    if (IsSkipped() || HasFatalFailure() || filled_[postgres()]) return;
    filled_[postgres()] = true;
    Exec("create table big (n integer, t varchar(20))");
    Exec("insert into big select x, 'text ' || x from " +
         std::string(postgres() ? "generate_series(1, 200000) x"
                                : "(with recursive c(x) as (select 1 union all select x + 1 "
                                  "from c where x < 200000) select x from c)"));
  }
  static inline bool filled_[2] = {false, false};
};
ORV_ON_EACH_BACKEND(DataSetFetch);

TEST_P(DataSetFetch, OpenReturnsWhileRowsArriveAndTheWalkGetsThemAll) {
  TOrvQuery q(nullptr);
  q.SetDatabase(&rdb_);
  q.SQL()->SetText("select n, t from big order by n");
  q.Open();
  ASSERT_TRUE(q.Active()) << log_.Texts();
  const int at_open = q.ResultStream()->RowCount();
  EXPECT_LT(at_open, kRows / 2);
  EXPECT_EQ(q.FieldByName("n")->AsInteger(), 1);
  int expected = 1;
  for (; !q.Eof(); q.Next()) {
    if (q.FieldByName("n")->AsInteger() != expected) {
      ADD_FAILURE() << "row " << expected << " reads " << q.FieldByName("n")->AsInteger();
      break;
    }
    ++expected;
  }
  EXPECT_EQ(expected, kRows + 1);
  EXPECT_EQ(q.RecordCount(), kRows);
  q.Last();
  EXPECT_EQ(q.FieldByName("t")->AsString(), "text 200000");
  EXPECT_FALSE(q.ResultIncomplete());
  q.Close();
  EXPECT_EQ(log_.Count(), 0u) << log_.Texts();
}

TEST_P(DataSetFetch, CloseInTheMiddleOfTheFetchLeavesNothingRunning) {
  TOrvQuery q(nullptr);
  q.SetDatabase(&rdb_);
  q.SQL()->SetText("select n, t from big");
  for (int round = 0; round < 3; ++round) {
    q.Open();
    ASSERT_TRUE(q.Active()) << log_.Texts();
    q.MoveBy(100 * round);
    auto start = std::chrono::steady_clock::now();
    q.Close();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    EXPECT_EQ(q.ResultState(), kResultComplete);
    EXPECT_EQ(q.ConnectionHandle(), -1);
  }
  EXPECT_TRUE(TThread::WaitForRunningThreads(0));
  // A query destroyed while its rows arrive stops its reader too.
  {
    TOrvQuery gone(nullptr);
    gone.SetDatabase(&rdb_);
    gone.SQL()->SetText("select n, t from big");
    gone.Open();
    ASSERT_TRUE(gone.Active());
  }
  EXPECT_TRUE(TThread::WaitForRunningThreads(0));
  EXPECT_EQ(log_.Count(), 0u) << log_.Texts();
}

}  // namespace
}  // namespace orv::test
