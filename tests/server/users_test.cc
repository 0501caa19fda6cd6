#include "server/users.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace orv::server {
namespace {

// The lowest count a file may hold keeps these tests fast.
constexpr int kFast = 1000;

TEST(UserTableTest, EntriesVerifyOnlyTheirOwnPassword) {
  std::string error;
  const std::string alice = UserTable::HashEntry("alice", "s3cret:;x", kFast, &error);
  const std::string bob = UserTable::HashEntry("bob", "", kFast, &error);
  ASSERT_FALSE(alice.empty()) << error;
  EXPECT_EQ(alice.rfind("alice:pbkdf2-sha256:1000:", 0), 0u) << alice;
  // A fresh salt each time: the same password never gives the same line.
  EXPECT_NE(alice, UserTable::HashEntry("alice", "s3cret:;x", kFast, &error));

  auto table = UserTable::Parse("# accounts\n\n" + alice + "\r\n" + bob + "\n", &error);
  ASSERT_TRUE(table.has_value()) << error;
  EXPECT_EQ(table->size(), 2u);
  EXPECT_TRUE(table->Verify("alice", "s3cret:;x"));
  EXPECT_TRUE(table->Verify("bob", ""));
  EXPECT_FALSE(table->Verify("alice", "s3cret:;"));
  EXPECT_FALSE(table->Verify("alice", ""));
  EXPECT_FALSE(table->Verify("Alice", "s3cret:;x"));
  EXPECT_FALSE(table->Verify("carol", "s3cret:;x"));
  EXPECT_FALSE(UserTable().Verify("alice", "s3cret:;x"));
}

TEST(UserTableTest, MalformedFilesAndNamesAreRefused) {
  std::string error;
  const std::string good = UserTable::HashEntry("u", "p", kFast, &error);
  const std::string spec = good.substr(2);  // "pbkdf2-sha256:..."
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"u", "line 1: expected"},
      {"u:" + spec + ":extra", "line 1: expected"},
      {"u:scrypt" + spec.substr(13), "line 1: expected"},
      {"u:pbkdf2-sha256:999" + spec.substr(18), "line 1: expected"},  // too few rounds
      {"u:" + spec.substr(0, spec.size() - 2), "line 1: expected"},   // short hash
      {"u:" + spec.substr(0, spec.size() - 1) + "g", "line 1: expected"},
      {":" + spec, "line 1: expected"},
      {"#\n" + good + "\n" + good, "line 3: user 'u' is listed twice"},
  };
  for (const auto& [text, message] : cases) {
    error.clear();
    EXPECT_FALSE(UserTable::Parse(text, &error).has_value()) << text;
    EXPECT_EQ(error.rfind(message, 0), 0u) << text << " -> " << error;
  }
  for (const std::string name : {"", "a:b", "a;b", "a\nb"}) {
    EXPECT_EQ(UserTable::HashEntry(name, "p", kFast, &error), "") << name;
  }
  EXPECT_EQ(UserTable::HashEntry("u", "p", 10, &error), "");
  EXPECT_FALSE(UserTable::Load("/nonexistent/users", &error).has_value());
  EXPECT_EQ(error, "cannot read /nonexistent/users");
}

}  // namespace
}  // namespace orv::server
