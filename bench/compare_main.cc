// bench_compare: the package against the databases' own client libraries on
// the same rows, in one run, so that a busy machine weighs on every reader
// alike and the ratios stay meaningful.
//
// It builds one data set (rows x integer, a 20-character text in a
// varchar(24) column, float, date-time, integer; and a copy whose text column
// is undeclared text) in an SQLite file and, unless --no-postgres, in a
// PostgreSQL database (ORV_PG_CONNINFO, or a throwaway cluster of
// scripts/pg-cluster), starts rdbserver on each, and then reads the whole
// result with every reader, each in a process of its own, --repeat times in
// turn. It prints one table per data set: the medians of the repeats.
//
//   bench_compare [--rows N] [--repeat K] [--variant varchar|text|both] [--no-postgres]
#include <libpq-fe.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "bench/compare_readers.h"
#include "support/pg_cluster.h"
#include "support/rdbserver_process.h"

namespace orv::bench {
namespace {

struct Options {
  long rows = 1000000;
  int repeat = 3;
  bool varchar = true, text = true, postgres = true;
};

struct Reader {
  std::string name;
  int server_pid;  // whose memory counts as the server's; 0 for none
  std::function<Measure()> run;
};

struct Row {
  std::string name;
  std::vector<Measure> runs;
  std::vector<double> server_mib;
};

bool ParseOptions(int argc, char** argv, Options* o) {
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    auto next = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
    if (a == "--rows" && next()) {
      o->rows = std::atol(argv[i]);
    } else if (a == "--repeat" && next()) {
      o->repeat = std::max(1, std::atoi(argv[i]));
    } else if (a == "--variant" && next()) {
      std::string v = argv[i];
      o->varchar = v == "varchar" || v == "both";
      o->text = v == "text" || v == "both";
    } else if (a == "--no-postgres") {
      o->postgres = false;
    } else {
      std::fprintf(stderr,
                   "usage: bench_compare [--rows N] [--repeat K] [--variant varchar|text|both] "
                   "[--no-postgres]\n");
      return false;
    }
  }
  return o->rows > 0;
}

std::string Machine() {
  std::ifstream cpu("/proc/cpuinfo");
  std::string line, model;
  int cores = 0;
  while (std::getline(cpu, line)) {
    if (line.rfind("model name", 0) == 0 && model.empty()) model = line.substr(line.find(':') + 2);
    if (line.rfind("processor", 0) == 0) ++cores;
  }
  return model + ", " + std::to_string(cores) + " cores";
}

std::string LoadAverage() {
  std::ifstream f("/proc/loadavg");
  std::string one, five, fifteen;
  f >> one >> five >> fifteen;
  return one + " " + five + " " + fifteen;
}

bool SqliteData(const std::string& path, long rows) {
  sqlite3* db = nullptr;
  sqlite3_open(path.c_str(), &db);
  const std::string fill =
      " select n, printf('customer %011d', n), n * 1.25, "
      "datetime('2001-01-01', '+' || (n % 10000) || ' minutes'), n % 97 from c;";
  const std::string sql =
      "pragma journal_mode=wal;"
      "create table rows(id integer, name varchar(24), amount real, created datetime, "
      "grp integer);"
      "create table text_rows(id integer, name text, amount real, created datetime, "
      "grp integer);"
      "with recursive c(n) as (select 1 union all select n + 1 from c where n < " +
      std::to_string(rows) + ") insert into rows" + fill +
      "insert into text_rows select * from rows;";
  char* error = nullptr;
  const bool ok = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error) == SQLITE_OK;
  if (!ok) std::fprintf(stderr, "sqlite: %s\n", error);
  sqlite3_free(error);
  sqlite3_close(db);
  return ok;
}

bool PgData(const std::string& conninfo, long rows) {
  PGconn* conn = PQconnectdb(conninfo.c_str());
  const std::string sql =
      "create table rows(id integer, name varchar(24), amount double precision, "
      "created timestamp, grp integer);"
      "insert into rows select n, 'customer ' || lpad(n::text, 11, '0'), n * 1.25, "
      "timestamp '2001-01-01' + (n % 10000) * interval '1 minute', n % 97 "
      "from generate_series(1, " + std::to_string(rows) + ") n;"
      "create table text_rows as select id, name::text as name, amount, created, grp from rows;";
  bool ok = true;
  for (const std::string& statement : {sql, std::string("vacuum analyze")}) {
    PGresult* r = PQexec(conn, statement.c_str());
    if (ok && PQresultStatus(r) != PGRES_COMMAND_OK) {
      std::fprintf(stderr, "postgres: %s", PQresultErrorMessage(r));
      ok = false;
    }
    PQclear(r);
  }
  PQfinish(conn);
  return ok;
}

// Runs `reader` in a child process; the server's memory is watched from here.
Measure RunApart(const Reader& reader, double* server_mib) {
  int fds[2];
  if (::pipe(fds) != 0) return {};
  long server_base = 0;
  if (reader.server_pid) {
    ResetPeak(reader.server_pid);
    server_base = ResidentKiB(reader.server_pid);
  }
  std::fflush(nullptr);
  const pid_t child = ::fork();
  if (child == 0) {
    ::close(fds[0]);
    Measure m = reader.run();
    (void)!::write(fds[1], &m, sizeof m);
    ::_exit(0);
  }
  ::close(fds[1]);
  Measure m;
  std::size_t got = 0;
  while (got < sizeof m) {
    ssize_t n = ::read(fds[0], reinterpret_cast<char*>(&m) + got, sizeof m - got);
    if (n <= 0) break;
    got += static_cast<std::size_t>(n);
  }
  ::close(fds[0]);
  ::waitpid(child, nullptr, 0);
  if (got != sizeof m) std::snprintf(m.error, sizeof m.error, "the reader process failed");
  *server_mib = reader.server_pid
                    ? static_cast<double>(PeakKiB(reader.server_pid) - server_base) / 1024
                    : -1;
  return m;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

template <typename Get>
double MedianOf(const Row& row, Get get) {
  std::vector<double> v;
  for (const Measure& m : row.runs) v.push_back(get(m));
  return Median(v);
}

std::string Cell(double v, const char* format = "%.0f") {
  if (v <= 0) return "-";
  char buf[32];
  std::snprintf(buf, sizeof buf, format, v);
  return buf;
}

void PrintTable(const std::vector<Row>& rows) {
  double exec_ms = 0, single_ms = 0;
  for (const Row& r : rows) {
    if (r.name == "libpq PQexec") exec_ms = MedianOf(r, [](const Measure& m) { return m.total_ms; });
    if (r.name == "libpq single-row mode")
      single_ms = MedianOf(r, [](const Measure& m) { return m.total_ms; });
  }
  std::printf(
      "| reader | first row ms | all rows in ms | total ms | first/total | walk of received ms "
      "| rows/s | client MiB | server MiB | total/PQexec | total/single-row |\n"
      "|---|---|---|---|---|---|---|---|---|---|---|\n");
  for (const Row& r : rows) {
    for (const Measure& m : r.runs)
      if (m.error[0]) std::printf("<!-- %s: %s -->\n", r.name.c_str(), m.error);
    const double first = MedianOf(r, [](const Measure& m) { return m.first_ms; });
    const double all = MedianOf(r, [](const Measure& m) { return m.all_ms; });
    const double total = MedianOf(r, [](const Measure& m) { return m.total_ms; });
    const double walk = MedianOf(r, [](const Measure& m) { return m.walk_ms; });
    const double rows_read = MedianOf(r, [](const Measure& m) { return double(m.rows); });
    const double client = MedianOf(r, [](const Measure& m) { return m.client_mib; });
    const double server = Median(r.server_mib);
    std::printf("| %s | %s | %s | %s | %s | %s | %s | %s | %s | %s | %s |\n", r.name.c_str(),
                Cell(first, first < 10 ? "%.1f" : "%.0f").c_str(), Cell(all).c_str(),
                Cell(total).c_str(), Cell(100 * first / total, "%.1f%%").c_str(),
                Cell(walk).c_str(), Cell(rows_read / total * 1000 / 1e6, "%.2f M").c_str(),
                Cell(client).c_str(), server < 0 ? "-" : Cell(std::max(server, 0.1), "%.1f").c_str(),
                exec_ms > 0 ? Cell(total / exec_ms, "%.2f").c_str() : "-",
                single_ms > 0 ? Cell(total / single_ms, "%.2f").c_str() : "-");
  }
}

int Main(int argc, char** argv) {
  Options o;
  if (!ParseOptions(argc, argv, &o)) return 2;
  std::printf("machine: %s; load average at the start: %s\n", Machine().c_str(),
              LoadAverage().c_str());

  char dir[] = "/tmp/orv-compare-XXXXXX";
  if (!::mkdtemp(dir)) return 1;
  const std::string sqlite_path = std::string(dir) + "/compare.db";
  std::fprintf(stderr, "building %ld rows in SQLite...\n", o.rows);
  if (!SqliteData(sqlite_path, o.rows)) return 1;

  std::unique_ptr<test::PgDatabase> pg;
  if (o.postgres) {
    if (test::PgCluster* cluster = test::PgCluster::Get()) {
      pg = std::make_unique<test::PgDatabase>(cluster);
      std::fprintf(stderr, "building %ld rows in PostgreSQL...\n", o.rows);
      if (!pg->ok() || !PgData(pg->conninfo(), o.rows)) pg.reset();
    }
    if (!pg) std::fprintf(stderr, "PostgreSQL left out: %s\n", test::PgCluster::Unavailable().c_str());
  }
  test::RdbServerProcess on_sqlite(ORV_RDBSERVER_PATH, {}, sqlite_path);
  std::unique_ptr<test::RdbServerProcess> on_pg;
  if (pg) on_pg = std::make_unique<test::RdbServerProcess>(
              ORV_RDBSERVER_PATH, std::vector<std::string>{"--postgres", pg->conninfo()});
  if (!on_sqlite.ok() || (on_pg && !on_pg->ok())) {
    std::fprintf(stderr, "rdbserver did not start\n");
    return 1;
  }

  for (const char* table : {"rows", "text_rows"}) {
    const bool text = std::strcmp(table, "text_rows") == 0;
    if (text ? !o.text : !o.varchar) continue;
    const std::string sql = std::string("select * from ") + table;
    std::vector<Reader> readers = {
        {"OrvClient, rdbserver on SQLite", on_sqlite.pid(),
         [&] { return ReadOrv(on_sqlite.port(), sql, true); }},
        {"OrvClient, rdbserver on SQLite, no walk", on_sqlite.pid(),
         [&] { return ReadOrv(on_sqlite.port(), sql, false); }},
    };
    if (pg) {
      const std::string conninfo = pg->conninfo();
      readers.push_back({"OrvClient, rdbserver on PostgreSQL", on_pg->pid(),
                         [&] { return ReadOrv(on_pg->port(), sql, true); }});
      readers.push_back({"OrvClient, rdbserver on PostgreSQL, no walk", on_pg->pid(),
                         [&] { return ReadOrv(on_pg->port(), sql, false); }});
      readers.push_back({"libpq PQexec", 0, [&, conninfo] { return ReadPqExec(conninfo, sql); }});
      readers.push_back({"libpq single-row mode", 0,
                         [&, conninfo] { return ReadPqSingleRow(conninfo, sql); }});
    }
    readers.push_back({"sqlite3 in-process", 0, [&] { return ReadSqlite(sqlite_path, sql); }});
    // One untimed pass of each database's own reader brings the tables into
    // the caches, so the first reader timed pays no more than the others.
    double ignored;
    for (const Reader& r : readers)
      if (r.name == "sqlite3 in-process" || r.name == "libpq single-row mode") RunApart(r, &ignored);

    std::vector<Row> rows;
    for (const Reader& r : readers) rows.push_back({r.name, {}, {}});
    for (int k = 0; k < o.repeat; ++k) {
      for (std::size_t i = 0; i < readers.size(); ++i) {
        std::fprintf(stderr, "%s, %s, run %d\n", table, readers[i].name.c_str(), k + 1);
        double server = -1;
        rows[i].runs.push_back(RunApart(readers[i], &server));
        rows[i].server_mib.push_back(server);
      }
    }
    std::printf("\n%ld rows of %s (%s), median of %d runs; load average now %s\n\n", o.rows,
                table, text ? "name text" : "name varchar(24)", o.repeat, LoadAverage().c_str());
    PrintTable(rows);
  }
  on_sqlite.Stop();
  if (on_pg) on_pg->Stop();
  for (const char* suffix : {"", "-wal", "-shm"}) std::remove((sqlite_path + suffix).c_str());
  ::rmdir(dir);
  return 0;
}

}  // namespace
}  // namespace orv::bench

int main(int argc, char** argv) { return orv::bench::Main(argc, argv); }
