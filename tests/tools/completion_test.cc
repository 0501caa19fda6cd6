#include "tools/completion.h"

#include <gtest/gtest.h>

#include "dataset/orv_query.h"
#include "rdb/orv_rdb.h"
#include "support/rdbserver_process.h"
#include "tools/shell.h"

namespace orv::orvsql {
namespace {

using Names = std::vector<std::string>;

TEST(OrvsqlCompletion, ABackslashWordAtTheStartCompletesToCommands) {
  EXPECT_EQ(Completions("", "\\ed"), Names{"\\edit"});
  EXPECT_EQ(Completions("  ", "\\q"), (Names{"\\quit", "\\q"}));
  EXPECT_EQ(Completions("", "\\"), Shell::CommandNames());
  EXPECT_EQ(Completions("select ", "\\e"), Names{});
  EXPECT_EQ(Completions("", "ed"), Names{});
}

TEST(OrvsqlCompletion, TableAndProcedureNamesWhereTheyBelong) {
  const NameSource names = [](bool tables) {
    return tables ? Names{"main.orders", "main.owners", "other.orders"} : Names{"main.pay"};
  };
  const struct {
    const char* before;
    const char* word;
    Names want;
  } kCases[] = {
      {"select * FROM ", "o", {"orders", "owners"}},
      {"insert into ", "ord", {"orders"}},
      {"select * from a join ", "main.o", {"main.orders", "main.owners"}},
      {"\\edit ", "", {"orders", "owners"}},
      {"\\call ", "p", {"pay"}},
      {"\\callopen  ", "", {"pay"}},
      {"select * from orders where ", "o", {}},  // not a place for a name
      {"\\edit orders ", "o", {}},               // only the first argument
      {"\\show ", "", {}},
      {"select * from", "o", {}},                // the keyword itself
  };
  for (const auto& c : kCases)
    EXPECT_EQ(Completions(c.before, c.word, names), c.want) << c.before << "|" << c.word;
}

TEST(OrvsqlCompletion, EditorNamesAreWhatTheRegisteredEditorLists) {
  test::RdbServerProcess server(ORV_RDBSERVER_PATH);
  ASSERT_TRUE(server.ok()) << server.error();
  TOrvRDB rdb(nullptr);
  rdb.SetAddress("127.0.0.1");
  rdb.SetPort(server.port());
  TOrvQuery make(nullptr);
  make.SetDatabase(&rdb);
  for (const char* sql : {"create table stock (n integer)",
                          "CREATE PROCEDURE noop (OUT b TEXT) AS BEGIN SET :b = SELECT 'x'; END"}) {
    make.SQL()->SetText(sql);
    make.ExecSQL();
    ASSERT_EQ(make.RowsAffected(), 0) << sql;
  }
  EXPECT_EQ(EditorNames(rdb, true), Names{"main.stock"});
  EXPECT_EQ(EditorNames(rdb, false), Names{"main.noop"});
  // The names stay cached on the connection: a stopped server still
  // completes, and a fresh connection offers nothing rather than failing.
  EXPECT_EQ(server.Stop(), 0);
  EXPECT_EQ(EditorNames(rdb, true), Names{"main.stock"});
  TOrvRDB gone(nullptr);
  gone.SetAddress("127.0.0.1");
  gone.SetPort(server.port());
  gone.SetTimeOut(TOrvRDB::kMinTimeOut);
  EXPECT_EQ(EditorNames(gone, true), Names{});
}

}  // namespace
}  // namespace orv::orvsql
