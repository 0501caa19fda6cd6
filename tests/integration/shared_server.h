// A test suite whose tests share one rdbserver (port 0, a temporary
// database), started before the suite's first test and stopped after its
// last. The server must exit cleanly: under the sanitizer builds that also
// means it reported nothing.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "support/rdbserver_process.h"

namespace orv::test {

class SharedServerTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    server_ = std::make_unique<RdbServerProcess>(ORV_RDBSERVER_PATH);
    ASSERT_TRUE(server_->ok()) << server_->error();
  }
  static void TearDownTestSuite() {
    EXPECT_EQ(server_->Stop(), 0);
    server_.reset();
  }

  static inline std::unique_ptr<RdbServerProcess> server_;
};

}  // namespace orv::test
