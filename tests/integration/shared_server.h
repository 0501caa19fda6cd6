// Test suites whose tests share one rdbserver per backend (port 0; a
// temporary SQLite file, or a fresh database on the test PostgreSQL
// cluster), started by the first test that needs it and stopped after the
// suite's last test. The server must exit cleanly: under the sanitizer
// builds that also means it reported nothing.
//
// A suite runs on SQLite; deriving it from OnEachBackend<Fixture> and
// instantiating it with ORV_ON_EACH_BACKEND runs every test on both. When no
// PostgreSQL can be started at all the PostgreSQL runs are skipped with a
// loud message; when scripts/test started a cluster (ORV_PG_CONNINFO), a
// failure to use it fails the test.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <memory>
#include <string>

#include "support/pg_cluster.h"
#include "support/rdbserver_process.h"

namespace orv::test {

enum class BackendKind { kSqlite, kPostgres };

class SharedServerTest : public ::testing::Test {
 protected:
  void SetUp() override { Serve(backend()); }
  static void TearDownTestSuite() {
    for (auto& [kind, s] : servers_) {
      if (s.process) {
        EXPECT_EQ(s.process->Stop(), 0);
      }
    }
    servers_.clear();
    server_ = nullptr;
  }

  virtual BackendKind backend() const { return BackendKind::kSqlite; }
  static bool postgres() { return current_ == BackendKind::kPostgres; }

  // Makes server_ the suite's server on `kind`, starting it on first use.
  static void Serve(BackendKind kind) {
    current_ = kind;
    Served& s = servers_[kind];
    if (!s.process) {
      std::vector<std::string> args;
      if (kind == BackendKind::kPostgres) {
        PgCluster* cluster = PgCluster::Get();
        if (cluster == nullptr) {
          if (std::getenv("ORV_PG_CONNINFO")) FAIL() << PgCluster::Unavailable();
          GTEST_SKIP() << "\n*** PostgreSQL IS NOT AVAILABLE; THIS TEST DID NOT RUN ON IT ***\n"
                       << PgCluster::Unavailable();
        }
        s.database = std::make_unique<PgDatabase>(cluster);
        ASSERT_TRUE(s.database->ok()) << s.database->error();
        args = {"--postgres", s.database->conninfo()};
      }
      s.process = std::make_unique<RdbServerProcess>(ORV_RDBSERVER_PATH, args);
    }
    server_ = s.process.get();
    ASSERT_TRUE(server_->ok()) << server_->error();
  }

  // conninfo of the suite's PostgreSQL database, once a test has used it.
  static std::string PgConninfo() {
    auto it = servers_.find(BackendKind::kPostgres);
    return it != servers_.end() && it->second.database ? it->second.database->conninfo() : "";
  }

  static inline RdbServerProcess* server_ = nullptr;

 private:
  struct Served {
    std::unique_ptr<PgDatabase> database;
    std::unique_ptr<RdbServerProcess> process;
  };
  static inline BackendKind current_ = BackendKind::kSqlite;
  static inline std::map<BackendKind, Served> servers_;
};

// Fixture run once per backend (see ORV_ON_EACH_BACKEND).
template <typename Fixture>
class OnEachBackend : public Fixture, public ::testing::WithParamInterface<BackendKind> {
 protected:
  BackendKind backend() const override { return this->GetParam(); }
};

inline std::string BackendName(const ::testing::TestParamInfo<BackendKind>& info) {
  return info.param == BackendKind::kSqlite ? "Sqlite" : "Postgres";
}

#define ORV_ON_EACH_BACKEND(Suite)                                                   \
  INSTANTIATE_TEST_SUITE_P(, Suite,                                                  \
                           ::testing::Values(::orv::test::BackendKind::kSqlite,      \
                                             ::orv::test::BackendKind::kPostgres),   \
                           ::orv::test::BackendName)

}  // namespace orv::test
