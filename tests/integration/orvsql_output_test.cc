// orvsql against a real rdbserver: what it prints for each value type, in
// CSV and in the table, with parameters, paging and transactions.
#include <gtest/gtest.h>

#include <memory>

#include "integration/orvsql_process.h"
#include "integration/shared_server.h"

namespace orv::test {
namespace {

class OrvsqlOutputTest : public SharedServerTest {
 protected:
  // orvsql with the server's port and --quiet before `args`.
  static OrvsqlResult Run(std::vector<std::string> args, const std::string& input = "") {
    args.insert(args.begin(), {"--port", std::to_string(server_->port()), "--quiet"});
    return RunOrvsql(args, input);
  }
  // Runs `args` and expects success with nothing on standard error.
  static std::string Ok(std::vector<std::string> args, const std::string& input = "") {
    OrvsqlResult r = Run(std::move(args), input);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    return r.out;
  }

};


TEST_F(OrvsqlOutputTest, CsvShowsEveryValueTypeExactly) {
  Ok({"-c",
      "create table v (i integer, f real, b boolean, d date, dt datetime, s varchar(20), "
      "m text, p blob)"});
  // The first row's values travel as typed parameters.
  Ok({"--param", "i:integer=-2147483648", "--param", "f:float=0.1", "--param", "b:boolean=true",
      "--param", "d:date=2024-02-29", "--param", "dt:datetime=1999-12-31 23:59:59",
      "--param", "s=a,\"b\"", "--param", "m:memo=two\nlines", "-c",
      "insert into v values (:i, :f, :b, :d, :dt, :s, :m, x'00ff0a')"});
  Ok({"-c",
      "insert into v values (2147483647, 100000, 0, '1900-01-01', '2024-01-02 03:04:05.007', '', "
      "'plain', null), (0, -2.5e-7, null, null, null, null, null, null)"});
  EXPECT_EQ(Ok({"--csv", "-c", "select * from v order by rowid"}),
            "i,f,b,d,dt,s,m,p\n"
            "-2147483648,0.1,true,2024-02-29 00:00:00,1999-12-31 23:59:59,\"a,\"\"b\"\"\","
            "\"two\nlines\",\"" + std::string("\0\xff\n", 3) + "\"\n"
            "2147483647,100000,false,1900-01-01 00:00:00,2024-01-02 03:04:05.007,,plain,\n"
            "0,-0.00000025,,,,,,\n");
  // Floats that need every digit, and ones that only an exponent keeps short.
  EXPECT_EQ(Ok({"--csv", "-c", "select 0.1 + 0.2 as a, 1e300 as b, 1.0 / 3 as c"}),
            "a,b,c\n0.30000000000000004,1e+300,0.3333333333333333\n");
}

TEST_F(OrvsqlOutputTest, TableIsAlignedWithFooterAndRowCounts) {
  Ok({"-c", "create table t (id integer, name varchar(12), price real)"});
  EXPECT_EQ(Ok({"-c",
                "insert into t values (1, 'tea', 2.5), (22, 'Zoë', 10), (333, null, null)"}),
            "3 rows affected\n");
  // The name column is as wide as the field's size (the declared length
  // and its terminating zero), whatever the values.
  EXPECT_EQ(Ok({"-c", "select id, name, price from t order by id"}),
            "         id | name          |        price\n"
            "------------+---------------+-------------\n"
            "          1 | tea           |          2.5\n"
            "         22 | Zoë           |           10\n"
            "        333 |               |\n"
            "(3 rows)\n");
  // Texts wider than a screen column are cut; CSV keeps them whole.
  const std::string text(50, 'x');
  EXPECT_EQ(Ok({"-c", "select '" + text + "' as long_text"}),
            "long_text\n" + std::string(40, '-') + "\n" + std::string(37, 'x') + "...\n(1 row)\n");
  EXPECT_EQ(Ok({"--csv", "-c", "select '" + text + "' as long_text"}), "long_text\n" + text + "\n");
  // --exec runs even a SELECT without opening it; --csv prints no count.
  EXPECT_EQ(Ok({"--exec", "-c", "select * from t"}), "0 rows affected\n");
  EXPECT_EQ(Ok({"-c", "update t set price = 3 where id = 1"}), "1 row affected\n");
  EXPECT_EQ(Ok({"--csv", "-c", "update t set price = 1"}), "");
}

}  // namespace
}  // namespace orv::test

namespace orv::test {
namespace {

TEST_F(OrvsqlOutputTest, PagesParametersScriptsAndTransactions) {
  Ok({"-c", "create table n (x integer)",
      "-c", "insert into n with recursive c(v) as (select 1 union all select v + 1 from c "
            "where v < 20) select v from c"});
  // A page counts the first row as 1; a page past the end is just a header.
  EXPECT_EQ(Ok({"--csv", "--page", "3:4", "-c", "select x from n order by x"}), "x\n3\n4\n5\n6\n");
  EXPECT_EQ(Ok({"--csv", "--page", "19:5", "-c", "select x from n order by x"}), "x\n19\n20\n");
  EXPECT_EQ(Ok({"--csv", "--page", "30:5", "-c", "select x from n order by x"}), "x\n");

  // One --param reaches every statement that names it, twice in one text too.
  EXPECT_EQ(Ok({"--csv", "--param", "lo:integer=18", "-c",
                "select x from n where x >= :lo and x <= :lo + 1 order by x", "-c",
                "select count(*) as c from n where x < :lo"}),
            "x\n18\n19\nc\n17\n");

  // A script: statements may hold semicolons; ";" or "/" lines end them.
  char path[] = "/tmp/orvsql-script-XXXXXX";
  int fd = ::mkstemp(path);
  ASSERT_GE(fd, 0);
  const std::string script =
      "insert into n values (100);\ninsert into n values (101)\n/\n"
      "select count(*) as c from n where x >= 100\n;\n";
  ASSERT_EQ(::write(fd, script.data(), script.size()), static_cast<ssize_t>(script.size()));
  ::close(fd);
  EXPECT_EQ(Ok({"--csv", "-f", path}), "c\n2\n");
  ::unlink(path);

  // The interactive prompt reads standard input when it is not a terminal.
  EXPECT_EQ(Ok({"--csv"}, "select count(*)\n  as c from n;\ndelete from n\n where x >= 100 ;\n"
                          "select count(*) as c from n"),
            "c\n22\nc\n20\n");

  // Inside a transaction every statement sees the uncommitted change.
  EXPECT_EQ(Ok({"-c", "begin", "-c", "delete from n where x > 10", "-c",
                "select count(*) as c from n", "-c", "rollback"}),
            "transaction started\n10 rows affected\n          c\n-----------\n         10\n"
            "(1 row)\nrolled back\n");
  EXPECT_EQ(Ok({"--csv", "-c", "begin", "-c", "delete from n where x > 15", "-c", "commit",
                "-c", "select count(*) as c from n"}),
            "c\n15\n");
}

}  // namespace
}  // namespace orv::test
