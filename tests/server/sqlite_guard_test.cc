// Statements cannot reach files outside the server's database unless the
// server allows attaching; the refusal names what was refused.
#include "server/sqlite_backend.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "server/open_reply.h"

namespace orv::server {
namespace {

class StringSink : public ByteSink {
 public:
  void Write(std::string_view bytes) override { data.append(bytes); }
  std::string data;
};

class SqliteGuardTest : public ::testing::Test {
 protected:
  SqliteGuardTest() {
    char pattern[] = "/tmp/orv_guard_XXXXXX";
    dir_ = mkdtemp(pattern);
  }
  ~SqliteGuardTest() override { std::filesystem::remove_all(dir_); }

  std::unique_ptr<SqliteBackend> Connect(bool allow_attach) {
    std::string error;
    auto backend = SqliteBackend::Connect(dir_ + "/main.db", 1000, &error, allow_attach);
    EXPECT_NE(backend, nullptr) << error;
    return backend;
  }
  static Outcome Exec(SqliteBackend* backend, const std::string& sql) {
    std::int64_t changed = 0;
    return backend->Exec(sql, {}, &changed);
  }

  std::string dir_;
};

TEST_F(SqliteGuardTest, FileReachingStatementsAreRefused) {
  auto backend = Connect(false);
  ASSERT_TRUE(Exec(backend.get(), "create table t(a); insert into t values (1)").ok());
  const std::string other = dir_ + "/other.db";
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"attach '" + other + "' as o", "ATTACH is not allowed"},
      {"ATTACH DATABASE '" + other + "' AS o", "ATTACH is not allowed"},
      {"vacuum into '" + other + "'", "ATTACH is not allowed"},
      {"detach main", "DETACH is not allowed"},
      {"select load_extension('/tmp/x.so')", "function load_extension() is not allowed"},
      {"pragma temp_store_directory = '/tmp'", "PRAGMA temp_store_directory is not allowed"},
  };
  for (const auto& [sql, message] : cases) {
    Outcome o = Exec(backend.get(), sql);
    EXPECT_FALSE(o.ok()) << sql;
    EXPECT_EQ(o.message.rfind(message, 0), 0u) << sql << " -> " << o.message;
    StringSink sink;
    FrameWriter writer(&sink);
    OpenReply reply(&writer);
    EXPECT_FALSE(backend->Open(sql, {}, RowWindow{}, &reply).ok()) << sql;
    EXPECT_FALSE(reply.started()) << sql;
  }
  EXPECT_FALSE(std::filesystem::exists(other));
  // Ordinary work, and a plain error afterwards, are untouched.
  EXPECT_TRUE(Exec(backend.get(), "insert into t values (2)").ok());
  EXPECT_TRUE(Exec(backend.get(), "vacuum").ok());
  EXPECT_TRUE(Exec(backend.get(), "attach ':memory:' as scratch").ok());
  EXPECT_EQ(Exec(backend.get(), "select * from nowhere").message, "no such table: nowhere");
}

TEST_F(SqliteGuardTest, AllowAttachLetsAttachAndVacuumIntoThrough) {
  auto backend = Connect(true);
  const std::string other = dir_ + "/other.db";
  EXPECT_TRUE(Exec(backend.get(), "attach '" + other + "' as o; create table o.t(a)").ok());
  EXPECT_TRUE(Exec(backend.get(), "detach o").ok());
  EXPECT_TRUE(Exec(backend.get(), "vacuum into '" + dir_ + "/copy.db'").ok());
  EXPECT_TRUE(std::filesystem::exists(dir_ + "/copy.db"));
  // Loading code stays refused even then.
  EXPECT_FALSE(Exec(backend.get(), "select load_extension('/tmp/x.so')").ok());
}

}  // namespace
}  // namespace orv::server
