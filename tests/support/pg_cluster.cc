#include "support/pg_cluster.h"

#include <libpq-fe.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace orv::test {

namespace {

std::string g_unavailable;

// Runs a command through the shell; its standard output, without the final
// line feed. False when it fails.
bool Capture(const std::string& command, std::string* out) {
  FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) return false;
  char buf[512];
  std::size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, pipe)) > 0) out->append(buf, n);
  int status = ::pclose(pipe);
  while (!out->empty() && out->back() == '\n') out->pop_back();
  return status == 0;
}

// Runs one statement on the cluster's maintenance database.
bool Admin(const std::string& conninfo, const std::string& sql, std::string* error) {
  PGconn* conn = PQconnectdb(conninfo.c_str());
  bool ok = PQstatus(conn) == CONNECTION_OK;
  if (ok) {
    PGresult* r = PQexec(conn, sql.c_str());
    ok = PQresultStatus(r) == PGRES_COMMAND_OK;
    if (!ok) *error = PQresultErrorMessage(r);
    PQclear(r);
  } else {
    *error = PQerrorMessage(conn);
  }
  PQfinish(conn);
  return ok;
}

}  // namespace

PgCluster* PgCluster::Get() {
  static std::unique_ptr<PgCluster> cluster = []() -> std::unique_ptr<PgCluster> {
    std::unique_ptr<PgCluster> c(new PgCluster);
    if (const char* env = std::getenv("ORV_PG_CONNINFO"); env && *env) {
      c->conninfo_ = env;
      return c;
    }
    if (const char* reason = std::getenv("ORV_PG_UNAVAILABLE")) {
      g_unavailable = reason;  // scripts/test tried already; no second try per test
      return nullptr;
    }
    char tmpl[] = "/tmp/orv-pg-XXXXXX";
    if (!::mkdtemp(tmpl)) {
      g_unavailable = "cannot create a folder for the PostgreSQL cluster";
      return nullptr;
    }
    c->dir_ = tmpl;
    if (!Capture(std::string(ORV_PG_CLUSTER_SCRIPT) + " start " + c->dir_ + " 2>&1",
                 &c->conninfo_)) {
      g_unavailable = "scripts/pg-cluster could not start PostgreSQL: " + c->conninfo_;
      return nullptr;  // the destructor removes what the script left
    }
    return c;
  }();
  return cluster.get();
}

const std::string& PgCluster::Unavailable() { return g_unavailable; }

PgCluster::~PgCluster() {
  if (dir_.empty()) return;
  std::string ignored;
  Capture(std::string(ORV_PG_CLUSTER_SCRIPT) + " stop " + dir_ + " 2>&1", &ignored);
}

PgDatabase::PgDatabase(PgCluster* cluster) : cluster_(cluster) {
  static std::atomic<int> counter{0};
  name_ = "orv_test_" + std::to_string(::getpid()) + "_" + std::to_string(++counter);
  if (!Admin(cluster->conninfo(), "CREATE DATABASE " + name_, &error_)) {
    if (error_.empty()) error_ = "CREATE DATABASE failed";
    name_.clear();
    return;
  }
  // A later dbname overrides the cluster's own in a conninfo string.
  conninfo_ = cluster->conninfo() + " dbname=" + name_;
}

PgDatabase::~PgDatabase() {
  if (name_.empty()) return;
  std::string ignored;
  Admin(cluster_->conninfo(), "DROP DATABASE IF EXISTS " + name_ + " WITH (FORCE)", &ignored);
}

}  // namespace orv::test
