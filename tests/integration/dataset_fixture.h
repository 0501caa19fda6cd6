// Shared set-up of the dataset integration tests: one rdbserver per suite,
// a connection component pointed at it, and a message-box log.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "dataset/message_log.h"
#include "dataset/orv_query.h"
#include "rdb/orv_rdb.h"
#include "integration/shared_server.h"

namespace orv::test {

class DataSetServerTest : public SharedServerTest {
 protected:
  void SetUp() override {
    SharedServerTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    rdb_.SetAddress("127.0.0.1");
    rdb_.SetPort(server_->port());
  }

  // Runs `sql` through a connection and query of its own; the rows it
  // changed.
  static int Exec(const std::string& sql) {
    orv::testing::MessageLog log;
    TOrvRDB rdb(nullptr);
    rdb.SetAddress("127.0.0.1");
    rdb.SetPort(server_->port());
    TOrvQuery q(nullptr);
    q.SetDatabase(&rdb);
    q.SQL()->SetText(sql);
    q.ExecSQL();
    EXPECT_GE(q.RowsAffected(), 0) << sql << ": " << log.Texts();
    return q.RowsAffected();
  }

  orv::testing::MessageLog log_;
  TOrvRDB rdb_{nullptr};
};

}  // namespace orv::test
