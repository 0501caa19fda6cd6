// PgCluster gives tests a PostgreSQL server to point rdbserver at: the one
// named by the ORV_PG_CONNINFO environment variable (scripts/test starts one
// throwaway cluster for the whole run and sets it), or else a throwaway
// cluster of the test process's own, started with scripts/pg-cluster on
// first use and stopped when the process exits. Each fixture takes a fresh,
// empty database of its own (PgDatabase), so tests running side by side
// never see each other's tables.
//
// When no PostgreSQL can be started (or ORV_PG_UNAVAILABLE says scripts/test
// could not start one), Get() returns null and Unavailable() says why; the
// caller skips its PostgreSQL tests with that message.
//
// Get() and PgDatabase are used by the test's thread.
#pragma once

#include <string>

namespace orv::test {

class PgCluster {
 public:
  static PgCluster* Get();
  static const std::string& Unavailable();

  // conninfo of the cluster's maintenance database.
  const std::string& conninfo() const { return conninfo_; }

  ~PgCluster();

 private:
  PgCluster() = default;
  std::string conninfo_;
  std::string dir_;  // the cluster's folder when this process started it
};

// An empty database on the cluster, dropped again when destroyed.
class PgDatabase {
 public:
  explicit PgDatabase(PgCluster* cluster);
  ~PgDatabase();
  PgDatabase(const PgDatabase&) = delete;
  PgDatabase& operator=(const PgDatabase&) = delete;

  bool ok() const { return error_.empty(); }
  const std::string& error() const { return error_; }
  // conninfo for rdbserver --postgres.
  const std::string& conninfo() const { return conninfo_; }

 private:
  PgCluster* cluster_;
  std::string name_;
  std::string conninfo_;
  std::string error_;
};

}  // namespace orv::test
