// orvsql's catalogue lists and procedure calls against a real rdbserver of
// its own (so the lists hold exactly what the suite made): \dt and \df,
// \call and \callopen at the prompt, --proc with --param and --open.
#include <gtest/gtest.h>

#include "integration/orvsql_process.h"
#include "integration/shared_server.h"

namespace orv::test {
namespace {

class OrvsqlProcTest : public SharedServerTest {
 protected:
  void SetUp() override {
    SharedServerTest::SetUp();
    if (made_) return;
    made_ = true;
    Ok({"-c", "create table ledger (id integer primary key, name varchar(10), bal real)", "-c",
        "insert into ledger values (1, 'ann', 10.5), (2, 'bob', 20), (3, 'cy', 30)", "-c",
        "create view rich_v as select name from ledger where bal > 15", "-c",
        "CREATE PROCEDURE pay (IN who INTEGER, INOUT amount REAL, OUT total REAL, OUT nm TEXT) "
        "AS BEGIN UPDATE ledger SET bal = bal + :amount WHERE id = :who; "
        "SET :total, :nm = SELECT bal, name FROM ledger WHERE id = :who; END",
        "-c",
        "CREATE PROCEDURE rich_count (OUT n INTEGER, minimum REAL) AS BEGIN "
        "SELECT name FROM ledger WHERE bal >= :minimum ORDER BY id; "
        "SET :n = SELECT count(*) FROM ledger WHERE bal >= :minimum; END"});
  }
  static OrvsqlResult Run(std::vector<std::string> args, const std::string& input = "") {
    args.insert(args.begin(), {"--port", std::to_string(server_->port()), "--quiet"});
    return RunOrvsql(args, input);
  }
  static std::string Ok(std::vector<std::string> args, const std::string& input = "") {
    OrvsqlResult r = Run(std::move(args), input);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    return r.out;
  }
  static inline bool made_ = false;
};

TEST_F(OrvsqlProcTest, ListsShowWhatTheCatalogueHoldsNow) {
  EXPECT_EQ(Ok({}, "\\dt\n\\df\ncreate table extra (n integer);\n\\dt\n"),
            "Tables and views\nname\n-----------\nmain.ledger\nmain.rich_v\n(2 rows)\n"
            "Procedures and functions\nname\n---------------\nmain.pay\nmain.rich_count\n(2 rows)\n"
            "0 rows affected\n"
            "Tables and views\nname\n-----------\nmain.extra\nmain.ledger\nmain.rich_v\n(3 rows)\n");
  OrvsqlResult r = Run({"-c", "\\dt ledger"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "orvsql: \\dt takes no arguments\n");
  // At the prompt the tab key completes the names the lists hold.
  r = RunOrvsqlOnTerminal({"--port", std::to_string(server_->port()), "--quiet"},
                          "select name from led\twhere id = 2;\n\\callopen rich_c\t99\n\\q\n");
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_NE(r.out.find("bob\r\n(1 row)"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("(0 rows)\r\nn\r\n-\r\n0\r\n"), std::string::npos) << r.out;
}

TEST_F(OrvsqlProcTest, CallsFillInputsInOrderAndPrintTheOutputs) {
  EXPECT_EQ(Ok({}, "\\call pay 1 5.5\n\\callopen rich_count 20\n"),
            "amount | total | nm\n"
            "-------+-------+----\n"
            "   5.5 |    16 | ann\n"
            "(1 row)\n"
            "name\n"
            "-----------\n"
            "bob\n"
            "cy\n"
            "(2 rows)\n"
            "n\n"
            "-\n"
            "2\n"
            "(1 row)\n");
  // By name from the command line, in CSV; a text that is not of the
  // parameter's type, a missing value, too many arguments and an unknown
  // name or procedure are refused before anything changes.
  EXPECT_EQ(Ok({"--csv", "--proc", "pay", "--param", "amount=-5.5", "--param", "who=1"}),
            "amount,total,nm\n-5.5,10.5,ann\n");
  EXPECT_EQ(Ok({"--csv", "--proc", "rich_count", "--open", "--param", "minimum=25"}),
            "name\ncy\nn\n1\n");
  const struct {
    std::vector<std::string> args;
    std::string err;
  } kRefused[] = {
      {{"--proc", "pay", "--param", "who=x", "--param", "amount=1"},
       "parameter who: 'x' is not a 32-bit integer"},
      {{"--proc", "pay", "--param", "who=1"}, "pay wants a value for amount"},
      {{"--proc", "pay", "--param", "total=1"}, "pay has no input parameter total"},
      {{"-c", "\\call pay 1 2 3"}, "pay takes 2 arguments, not 3"},
      {{"-c", "\\call nope"}, "no procedure named nope"},
      {{"-c", "\\call pay 1 'x"}, "the text 'x has no closing quote"},
  };
  for (const auto& c : kRefused) {
    OrvsqlResult r = Run(c.args);
    EXPECT_EQ(r.status, 1) << c.err;
    EXPECT_EQ(r.err, "orvsql: " + c.err + "\n");
  }
  EXPECT_EQ(Ok({"--csv", "-c", "select bal from ledger where id = 1"}), "bal\n10.5\n");
}

}  // namespace
}  // namespace orv::test
