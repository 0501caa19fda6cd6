// rdbserver on PostgreSQL: type codes and values of PostgreSQL's types,
// placeholders beside casts and dollar quotes, error texts, streamed and
// held results, a PostgreSQL connection that breaks, and several rdbserver
// processes in front of one database.
#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "integration/server_fixture.h"

namespace orv::test {
namespace {

using P = FrameClient;
enum : int { kChar = 0, kSmallInt = 7, kNumeric = 16 };

class PostgresTest : public ServerTest {
 protected:
  BackendKind backend() const override { return BackendKind::kPostgres; }
  static void ExpectServing() { EXPECT_EQ(Value("select 'alive'"), "alive"); }
};

TEST_F(PostgresTest, TypesRoundTripWithTheirCodesAndLengths) {
  Exec("create table pgtypes(i2 smallint, i4 integer, i8 bigint, n numeric(10,2), nn numeric, "
       "r real, d8 double precision, b boolean, v varchar(10), c char(3), t text, dt date, "
       "ts timestamp, tz timestamptz, by bytea, u uuid)");
  const std::string blob("a;b\0\xff", 5);
  const std::string text = "caf\xc3\xa9;\n\"q\"";
  std::string block =
      P::Param(":i2", kInt, "-32768") + P::Param(":i4", kInt, "2147483647") +
      P::Param(":i8", kFloat, "9223372036854775807") + P::Param(":n", kFloat, "-12345678.91") +
      P::Param(":nn", kFloat, "3.14159265358979323846") + P::Param(":r", kFloat, "0.1") +
      P::Param(":d8", kFloat, "1.7976931348623157e308") + P::Param(":b", kBit, "T") +
      P::Param(":v", 0, "ten chars!") + P::Param(":c", 0, "ab") + P::Param(":t", 0, text) +
      P::Param(":dt", kDateTime, "20240229") + P::Param(":ts", kDateTime, "20010302130405123") +
      P::Param(":tz", kDateTime, "20010302130405000") + P::Param(":by", kImage, blob) +
      P::Param(":u", 0, "a0eebc99-9c0b-4ef8-bb6d-6bb9bd380a11");
  EXPECT_EQ(Exec("insert into pgtypes values(:i2, :i4, :i8, :n, :nn, :r, :d8, :b, :v, :c, :t, "
                 ":dt, :ts, :tz, :by, :u)",
                 block, 16),
            1);
  // Empty values of typed parameters are nulls; nulls come back empty.
  EXPECT_EQ(Exec("insert into pgtypes(i4, b, dt) values(:i4, :b, :dt)",
                 P::Param(":i4", kInt, "") + P::Param(":b", kBit, "F") +
                     P::Param(":dt", kDateTime, ""),
                 3),
            1);

  ResultSet rs = Open("select * from pgtypes order by i2 nulls last");
  ASSERT_EQ(rs.columns.size(), 16u);
  std::vector<std::pair<int, int>> described;
  for (const ResultColumn& c : rs.columns) described.emplace_back(c.type_code, c.length);
  const std::vector<std::pair<int, int>> expected = {
      {kSmallInt, 6}, {kInt, 11}, {kFloat, 20}, {kNumeric, 13}, {kNumeric, 24},
      {kFloat, 24},   {kFloat, 24}, {kBit, 1},  {kVarchar, 10}, {kChar, 3},
      {kVarchar, 255}, {kDateTime, 17}, {kDateTime, 17}, {kDateTime, 17}, {kImage, 5},
      {kChar, 36}};
  EXPECT_EQ(described, expected);
  EXPECT_EQ(rs.columns[0].name, "i2");
  ASSERT_EQ(rs.rows.size(), 2u);
  EXPECT_EQ(rs.rows[0], (std::vector<std::string>{
                            "-32768", "2147483647", "9223372036854775807", "-12345678.91",
                            "3.14159265358979323846", "0.1", "1.7976931348623157e+308", "T",
                            "ten chars!", "ab ", text, "20240229000000000", "20010302130405123",
                            "20010302130405000", blob, "a0eebc99-9c0b-4ef8-bb6d-6bb9bd380a11"}));
  std::vector<std::string> nulls(16, "");
  nulls[7] = "F";
  EXPECT_EQ(rs.rows[1], nulls);
}

TEST_F(PostgresTest, PlaceholdersAreRewrittenOnlyOutsideQuotedText) {
  ResultSet rs = Open("select :a::int + 1 as n, '::x :y' as s, $$ :z; $$ as d, @B * 2 as m",
                      P::Param("a", kInt, "41") + P::Param("@b", kInt, "5") +
                          P::Param(":a", kInt, "99"),
                      3);
  ASSERT_EQ(rs.rows.size(), 1u);
  EXPECT_EQ(rs.rows[0], (std::vector<std::string>{"42", "::x :y", " :z; ", "10"}));
  // A function body in dollar quotes, with ':' and ';', is one statement.
  EXPECT_EQ(Exec("create function twice(x int) returns int as $body$ select x * 2; $body$ "
                 "language sql; select twice(:v)",
                 P::Param(":v", kInt, "4"), 1),
            0);
  EXPECT_EQ(Open("select twice($1)", P::Param("v", kInt, "21"), 1).rows.at(0).at(0), "42");
  ResultLine missing = Run("OPEN", "select :a, :b", P::Param(":a", kInt, "1"), 1);
  EXPECT_LT(missing.code, 0);
  EXPECT_NE(missing.text.find(":b"), std::string::npos) << missing.text;
}

TEST_F(PostgresTest, ErrorsCarryPostgresWordsAndSqlstate) {
  ResultLine missing = Run("OPEN", "select * from nowhere");
  EXPECT_EQ(missing.code, -1);
  EXPECT_EQ(missing.text, "ERROR:  42P01: relation \"nowhere\" does not exist");
  Exec("create table uniq(a integer primary key)");
  Exec("insert into uniq values(1)");
  ResultLine dup = Run("EXEC", "insert into uniq values(2); insert into uniq values(1)");
  EXPECT_EQ(dup.text,
            "ERROR:  23505: duplicate key value violates unique constraint \"uniq_pkey\"\n"
            "DETAIL:  Key (a)=(1) already exists.");
  EXPECT_EQ(Value("select count(*) from uniq"), "1");  // the list ran not at all
  // COPY to or from the client is refused; the connection stays in step.
  FrameClient c;
  ASSERT_TRUE(c.Connect(port()));
  for (const char* copy : {"copy uniq to stdout", "copy uniq from stdin"}) {
    for (const char* command : {"EXEC", "OPEN"}) {
      auto refused = c.Request(command, copy);
      ASSERT_TRUE(refused.has_value());
      EXPECT_NE(refused->text.find("COPY to or from the client is not supported"),
                std::string::npos)
          << refused->text;
    }
  }
  EXPECT_EQ(c.Open("select count(*) from uniq")->rows.at(0).at(0), "1");
}

TEST_F(PostgresTest, LargeResultsStreamWhenTheirWidthsAreKnown) {
  // Over the held-back threshold with every width known from the types: the
  // varchar(12) is described by its bound, 4 bytes a character.
  const std::string typed =
      "select n, ('v' || n)::varchar(12) as v from generate_series(1, 60000) n";
  ResultSet rs = Open(typed);
  ASSERT_EQ(rs.rows.size(), 60000u);
  EXPECT_EQ(rs.columns[1].length, 48);
  EXPECT_EQ(rs.rows[59999], (std::vector<std::string>{"60000", "v60000"}));
  // A text column has no bound: the result is held and described by values.
  rs = Open("select n, 'v' || n as v from generate_series(1, 60000) n");
  ASSERT_EQ(rs.rows.size(), 60000u);
  EXPECT_EQ(rs.columns[1].length, 255);
  // A small result is described by its values too.
  EXPECT_EQ(Open("select ('v' || n)::varchar(12) from generate_series(1, 3) n").columns[0].length,
            12);
  // Paging a streamed result.
  FrameClient c;
  ASSERT_TRUE(c.Connect(port()));
  auto part = c.Open(typed, "", 0, nullptr, 50001, 2);
  ASSERT_TRUE(part.has_value());
  ASSERT_EQ(part->rows.size(), 2u);
  EXPECT_EQ(part->rows[1][0], "50002");
  // A window of a query is read through a cursor, with its parameters, and
  // rows past the window are never computed (row 50 would fail).
  ASSERT_TRUE(c.Connect(port()));
  part = c.Open("select n, 100 / (50 - n) from generate_series(1, :m) n",
                P::Param(":m", kInt, "100"), 1, nullptr, 8, 3);
  ASSERT_TRUE(part.has_value());
  EXPECT_EQ(part->rows, (std::vector<std::vector<std::string>>{{"8", "2"}, {"9", "2"},
                                                               {"10", "2"}}));

  // A failure after rows went out ends that connection instead of a short
  // result that looks complete.
  ASSERT_TRUE(c.Connect(port()));
  EXPECT_FALSE(c.Open("select n, repeat('x', 20)::varchar(20), 1 / (60000 - n) "
                      "from generate_series(1, 80000) n")
                   .has_value());
  EXPECT_TRUE(c.WaitClosed());
  // So does a value longer than its type's bound promised.
  ASSERT_TRUE(c.Connect(port()));
  EXPECT_FALSE(c.Open("select n, repeat('x', 20)::varchar(20), case when n < 60000 then "
                      "timestamp '2001-01-01' else timestamp '10000-01-01' end from "
                      "generate_series(1, 60000) n")
                   .has_value());
  EXPECT_TRUE(c.WaitClosed());
  ExpectServing();
}

TEST_F(PostgresTest, BrokenPostgresConnectionFailsTheRequestAndRecovers) {
  Exec("create table lost(a integer)");
  FrameClient a;
  ASSERT_TRUE(a.Connect(port()));
  ASSERT_EQ(a.Request("TRAN", "")->code, 0);
  ASSERT_EQ(a.Request("EXEC", "insert into lost values(1)")->code, 1);
  Value("select count(pg_terminate_backend(pid)) from pg_stat_activity "
        "where datname = current_database() and state = 'idle in transaction'");
  auto broken = a.Request("EXEC", "insert into lost values(2)");
  ASSERT_TRUE(broken.has_value());
  EXPECT_LT(broken->code, 0);
  // The transaction is gone: said so until the client ends it.
  auto after = a.Request("OPEN", "select 1");
  EXPECT_NE(after->text.find("broke inside the transaction"), std::string::npos) << after->text;
  EXPECT_EQ(a.Request("ROLLBACK", "")->code, 0);
  EXPECT_EQ(a.Request("EXEC", "insert into lost values(3)")->code, 1);
  EXPECT_EQ(Value("select string_agg(a::text, ',') from lost"), "3");
}

TEST_F(PostgresTest, ServerProcessesShareOneDatabase) {
  Exec("create table shared(worker integer, n integer)");
  Exec("create table counter(n integer); insert into counter values(0)");
  RdbServerProcess second(ORV_RDBSERVER_PATH, {"--postgres", PgConninfo()});
  ASSERT_TRUE(second.ok()) << second.error();
  const int ports[] = {port(), second.port()};

  // Committed rows of one are seen through the other.
  FrameClient a, b;
  ASSERT_TRUE(a.Connect(ports[0]));
  ASSERT_TRUE(b.Connect(ports[1]));
  ASSERT_EQ(a.Request("TRAN", "")->code, 0);
  ASSERT_EQ(a.Request("EXEC", "insert into shared values(-1, 0)")->code, 1);
  EXPECT_EQ(b.Open("select count(*) from shared")->rows[0][0], "0");
  ASSERT_EQ(a.Request("COMMIT", "")->code, 0);
  EXPECT_EQ(b.Open("select count(*) from shared")->rows[0][0], "1");

  // Writers through both processes lose neither rows nor increments.
  constexpr int kWorkers = 4, kRounds = 20;
  std::atomic<int> failures{0};
  std::vector<std::thread> workers;
  for (int w = 0; w < kWorkers; ++w) {
    workers.emplace_back([w, &ports, &failures] {
      for (int n = 0; n < kRounds; ++n) {
        FrameClient c;
        if (!c.Connect(ports[(w + n) % 2])) {
          ++failures;
          continue;
        }
        auto t = c.Request("TRAN", "");
        auto r = c.Request("EXEC", "insert into shared values(" + std::to_string(w) + ", " +
                                       std::to_string(n) + "); update counter set n = n + 1");
        auto m = c.Request("COMMIT", "");
        if (!t || t->code != 0 || !r || r->code != 2 || !m || m->code != 0) ++failures;
      }
    });
  }
  for (auto& t : workers) t.join();
  EXPECT_EQ(failures.load(), 0);
  EXPECT_EQ(Value("select count(*) from shared where worker >= 0"),
            std::to_string(kWorkers * kRounds));
  EXPECT_EQ(Value("select n from counter"), std::to_string(kWorkers * kRounds));

  // Stopping a process rolls back its open transactions.
  ASSERT_EQ(b.Request("TRAN", "")->code, 0);
  ASSERT_EQ(b.Request("EXEC", "delete from shared")->code, 1 + kWorkers * kRounds);
  EXPECT_EQ(second.Stop(), 0);
  EXPECT_TRUE(b.WaitClosed());
  EXPECT_EQ(Value("select count(*) from shared"), std::to_string(1 + kWorkers * kRounds));
}

TEST_F(PostgresTest, StopCancelsARunningStatement) {
  RdbServerProcess other(ORV_RDBSERVER_PATH, {"--postgres", PgConninfo()});
  ASSERT_TRUE(other.ok()) << other.error();
  FrameClient c;
  ASSERT_TRUE(c.Connect(other.port()));
  ASSERT_TRUE(c.SendMessage("OPEN;;;0;\nselect pg_sleep(60)"));
  // Wait until PostgreSQL runs it, then stop the server.
  for (int i = 0; i < 500 && Value("select count(*) from pg_stat_activity where query = "
                                   "'select pg_sleep(60)'") == "0";
       ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(other.Stop(), 0);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
  EXPECT_EQ(Value("select count(*) from pg_stat_activity where query = 'select pg_sleep(60)' "
                  "and state = 'active'"),
            "0");
}

}  // namespace
}  // namespace orv::test
