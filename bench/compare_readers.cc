#include "bench/compare_readers.h"

#include <libpq-fe.h>
#include <sqlite3.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <string_view>
#include <vector>

#include "design/orvclient.h"

namespace orv::bench {

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::time_point from) {
  return std::chrono::duration<double, std::milli>(Clock::now() - from).count();
}

long StatusKiB(int pid, const char* key) {
  std::ifstream status(pid ? "/proc/" + std::to_string(pid) + "/status" : "/proc/self/status");
  std::string line;
  const std::string prefix = std::string(key) + ":";
  while (std::getline(status, line))
    if (line.rfind(prefix, 0) == 0) return std::stol(line.substr(prefix.size()));
  return 0;
}

void Fail(Measure* m, const std::string& text) {
  std::snprintf(m->error, sizeof m->error, "%s", text.c_str());
}

// What every reader does with a value: take its text and look at its bytes.
struct Touch {
  std::int64_t bytes = 0;
  unsigned sum = 0;
  void operator()(std::string_view text) {
    bytes += static_cast<std::int64_t>(text.size());
    if (!text.empty()) sum += static_cast<unsigned char>(text.front());
  }
};

}  // namespace

long PeakKiB(int pid) { return StatusKiB(pid, "VmHWM"); }
long ResidentKiB(int pid) { return StatusKiB(pid, "VmRSS"); }

void ResetPeak(int pid) {
  std::ofstream(pid ? "/proc/" + std::to_string(pid) + "/clear_refs" : "/proc/self/clear_refs")
      << "5";
}

Measure ReadOrv(int port, const std::string& sql, bool walk) {
  Measure m;
  SetMessageBoxHandler([&m](const std::string& text, const std::string&, unsigned) {
    if (!m.error[0]) Fail(&m, text);
    return IDOK;
  });
  TOrvRDB rdb(nullptr);
  rdb.SetAddress("127.0.0.1");
  rdb.SetPort(port);
  TOrvQuery query(nullptr);
  query.SetDatabase(&rdb);
  query.SQL()->SetText(sql);
  ResetPeak();
  const long base = ResidentKiB();
  Touch touch;
  const auto start = Clock::now();
  query.Open();
  if (!query.Active()) {
    if (!m.error[0]) Fail(&m, "the query did not open");
    return m;
  }
  std::vector<TField*> fields;
  for (int i = 0; i < query.FieldCount(); ++i) fields.push_back(query.Fields()->GetField(i));
  for (TField* f : fields) touch(f->AsString());
  m.first_ms = Ms(start);
  auto walk_all = [&] {
    std::int64_t rows = 0;
    for (query.First(); !query.Eof(); query.Next()) {
      for (TField* f : fields) touch(f->AsString());
      ++rows;
    }
    return rows;
  };
  if (walk) {
    m.rows = walk_all();
    m.total_ms = Ms(start);
    const auto again = Clock::now();
    walk_all();
    m.walk_ms = Ms(again);
  } else {
    query.WaitTerminate();
    m.all_ms = m.total_ms = Ms(start);
    m.rows = query.ResultStream()->RowCount();
  }
  m.client_mib = static_cast<double>(PeakKiB() - base) / 1024;
  m.bytes = touch.bytes;
  query.Close();
  return m;
}

Measure ReadPqExec(const std::string& conninfo, const std::string& sql) {
  Measure m;
  PGconn* conn = PQconnectdb(conninfo.c_str());
  if (PQstatus(conn) != CONNECTION_OK) {
    Fail(&m, PQerrorMessage(conn));
    PQfinish(conn);
    return m;
  }
  ResetPeak();
  const long base = ResidentKiB();
  Touch touch;
  const auto start = Clock::now();
  PGresult* r = PQexec(conn, sql.c_str());
  m.first_ms = m.all_ms = Ms(start);
  if (PQresultStatus(r) != PGRES_TUPLES_OK) {
    Fail(&m, PQresultErrorMessage(r));
  } else {
    const int rows = PQntuples(r), cols = PQnfields(r);
    for (int t = 0; t < rows; ++t)
      for (int c = 0; c < cols; ++c) touch({PQgetvalue(r, t, c), static_cast<size_t>(PQgetlength(r, t, c))});
    m.rows = rows;
  }
  m.total_ms = Ms(start);
  m.client_mib = static_cast<double>(PeakKiB() - base) / 1024;
  m.bytes = touch.bytes;
  PQclear(r);
  PQfinish(conn);
  return m;
}

Measure ReadPqSingleRow(const std::string& conninfo, const std::string& sql) {
  Measure m;
  PGconn* conn = PQconnectdb(conninfo.c_str());
  if (PQstatus(conn) != CONNECTION_OK) {
    Fail(&m, PQerrorMessage(conn));
    PQfinish(conn);
    return m;
  }
  ResetPeak();
  const long base = ResidentKiB();
  Touch touch;
  const auto start = Clock::now();
  PQsendQuery(conn, sql.c_str());
  PQsetSingleRowMode(conn);
  while (PGresult* r = PQgetResult(conn)) {
    const ExecStatusType status = PQresultStatus(r);
    if (status == PGRES_SINGLE_TUPLE) {
      for (int c = 0; c < PQnfields(r); ++c)
        touch({PQgetvalue(r, 0, c), static_cast<size_t>(PQgetlength(r, 0, c))});
      if (m.rows++ == 0) m.first_ms = Ms(start);
    } else if (status != PGRES_TUPLES_OK) {
      Fail(&m, PQresultErrorMessage(r));
    }
    PQclear(r);
  }
  m.total_ms = Ms(start);
  m.client_mib = static_cast<double>(PeakKiB() - base) / 1024;
  m.bytes = touch.bytes;
  PQfinish(conn);
  return m;
}

Measure ReadSqlite(const std::string& path, const std::string& sql) {
  Measure m;
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
    Fail(&m, sqlite3_errmsg(db));
    sqlite3_close(db);
    return m;
  }
  ResetPeak();
  const long base = ResidentKiB();
  Touch touch;
  const auto start = Clock::now();
  sqlite3_stmt* stmt = nullptr;
  sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr);
  int rc;
  while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
    for (int c = 0; c < sqlite3_column_count(stmt); ++c) {
      const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, c));
      touch({text ? text : "", static_cast<size_t>(sqlite3_column_bytes(stmt, c))});
    }
    if (m.rows++ == 0) m.first_ms = Ms(start);
  }
  if (rc != SQLITE_DONE) Fail(&m, sqlite3_errmsg(db));
  sqlite3_finalize(stmt);
  m.total_ms = Ms(start);
  m.client_mib = static_cast<double>(PeakKiB() - base) / 1024;
  m.bytes = touch.bytes;
  sqlite3_close(db);
  return m;
}

}  // namespace orv::bench
