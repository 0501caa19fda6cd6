// The command line's defaults are the server's first guards: it listens on
// loopback only and bounds how long a request or a waiting client may take.
#include "server/options.h"

#include <gtest/gtest.h>

namespace orv::server {
namespace {

TEST(ServerOptionsTest, DefaultsKeepTheServerToThisMachine) {
  std::string error;
  auto defaults = ParseOptions({}, &error);
  ASSERT_TRUE(defaults.has_value()) << error;
  EXPECT_EQ(defaults->address, "127.0.0.1");
  EXPECT_EQ(defaults->request_timeout_seconds, 30);
  EXPECT_EQ(defaults->slot_wait_ms, 2000);
  EXPECT_FALSE(defaults->allow_attach);
  auto wide = ParseOptions({"--listen", "0.0.0.0:7051"}, &error);
  ASSERT_TRUE(wide.has_value()) << error;
  EXPECT_EQ(wide->address, "0.0.0.0");
  EXPECT_EQ(wide->port, 7051);
}

}  // namespace
}  // namespace orv::server
