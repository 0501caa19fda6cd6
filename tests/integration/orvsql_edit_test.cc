// orvsql's backslash commands against a real rdbserver, driven through
// standard input: editing a table with cached updates (commit, a
// conflict, cancel, leaving with changes waiting), searching it, and the
// display commands.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "integration/orvsql_process.h"
#include "integration/shared_server.h"

namespace orv::test {
namespace {

class OrvsqlEditTest : public SharedServerTest {
 protected:
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
  // A fresh table `name` holding (1, bolt), (2, nut), (3, washer).
  static void MakeParts(const std::string& name) {
    Ok({"-c", "create table " + name + " (id integer primary key, name varchar(16))", "-c",
        "insert into " + name + " values (1, 'bolt'), (2, 'nut'), (3, 'washer')"});
  }
  static std::string Rows(const std::string& table) {
    return Ok({"--csv", "-c", "select id, name from " + table + " order by id"});
  }
};

TEST_F(OrvsqlEditTest, ChangesWaitForCommitAndReachTheServerTogether) {
  MakeParts("p1");
  EXPECT_EQ(Ok({}, "\\edit p1 ORDER BY id\n"
                   "\\update 2 name='Rock and Roll'\n"
                   "\\insert id=9 name=NULL\n"
                   "\\delete 1\n"
                   "\\show\n"
                   "\\commit\n"),
            "# |          id | name\n"
            "--+-------------+------------------\n"
            "1 |           1 | bolt\n"
            "2 |           2 | nut\n"
            "3 |           3 | washer\n"
            "(3 rows)\n"
            "row 2 updated; 1 change pending\n"
            "row 4 inserted; 2 changes pending\n"
            "row 1 deleted; 3 changes pending\n"
            "# |          id | name\n"
            "--+-------------+------------------\n"
            "1 |           2 | Rock and Roll\n"
            "2 |           3 | washer\n"
            "3 |           9 |\n"
            "(3 rows)\n"
            "3 changes committed\n");
  EXPECT_EQ(Rows("p1"), "id,name\n2,Rock and Roll\n3,washer\n9,\n");

  // The same from a script, with a WHERE condition. At the prompt a
  // command that fails changes nothing and the session goes on.
  char path[] = "/tmp/orvsql-edit-XXXXXX";
  int fd = ::mkstemp(path);
  ASSERT_GE(fd, 0);
  const std::string script = "\\edit p1 WHERE id > 2 ORDER BY id\n\\update 1 name=ten\n\\commit\n";
  ASSERT_EQ(::write(fd, script.data(), script.size()), static_cast<ssize_t>(script.size()));
  ::close(fd);
  EXPECT_EQ(Ok({"--csv", "-f", path}), "#,id,name\n1,3,washer\n2,9,\n");
  ::unlink(path);
  EXPECT_EQ(Rows("p1"), "id,name\n2,Rock and Roll\n3,ten\n9,\n");
  OrvsqlResult r = Run({"--csv"}, "\\edit p1\n\\update 1 id=x\n\\update 5 id=1\n\\update 1 no=1\n"
                                  "\\show\n");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "#,id,name\n1,2,Rock and Roll\n2,3,ten\n3,9,\n#,id,name\n1,2,Rock and Roll\n"
                   "2,3,ten\n3,9,\n");
  EXPECT_EQ(r.err,
            "orvsql: 'x' is not a valid integer value\n"
            "orvsql: there is no row '5': p1 has 3 rows\n"
            "orvsql: p1 has no field no\n");
}

TEST_F(OrvsqlEditTest, AConflictOrACancelPutsTheRowsBackAsFetched) {
  MakeParts("p2");
  // The plain UPDATE runs on a connection of its own, as another user's.
  OrvsqlResult r = Run({"--csv"}, "\\edit p2 ORDER BY id\n"
                                  "\\delete 3\n"
                                  "\\update 1 name=mine\n"
                                  "update p2 set name = 'theirs' where id = 1;\n"
                                  "\\commit\n"
                                  "\\show\n");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "#,id,name\n1,1,bolt\n2,2,nut\n3,3,washer\n#,id,name\n1,1,bolt\n2,2,nut\n"
                   "3,3,washer\n");
  EXPECT_EQ(r.err,
            "orvsql: Record not found or changed by another user.\n"
            "orvsql: nothing was committed; the rows are back as fetched (\\edit again to read "
            "them anew)\n");
  EXPECT_EQ(Rows("p2"), "id,name\n1,theirs\n2,nut\n3,washer\n");

  EXPECT_EQ(Ok({}, "\\edit p2 ORDER BY id\n\\update 2 name=x\n\\delete 1\n\\insert id=4\n"
                   "\\cancel\n\\show\n\\commit\n"),
            "# |          id | name\n"
            "--+-------------+------------------\n"
            "1 |           1 | theirs\n"
            "2 |           2 | nut\n"
            "3 |           3 | washer\n"
            "(3 rows)\n"
            "row 2 updated; 1 change pending\n"
            "row 1 deleted; 2 changes pending\n"
            "row 3 inserted; 3 changes pending\n"
            "3 changes cancelled; the rows are back as fetched\n"
            "# |          id | name\n"
            "--+-------------+------------------\n"
            "1 |           1 | theirs\n"
            "2 |           2 | nut\n"
            "3 |           3 | washer\n"
            "(3 rows)\n"
            "nothing to commit\n");
}

TEST_F(OrvsqlEditTest, LeavingWithoutATerminalCancelsWaitingChangesAndSaysSo) {
  MakeParts("p3");
  const std::string edits = "\\edit p3\n\\update 1 name=gone\n\\delete 2\n";
  for (const std::string& end : {std::string("\\quit\n\\commit\n"), std::string("exit\n"),
                                 std::string()}) {
    OrvsqlResult r = Run({"--csv"}, edits + end);
    EXPECT_EQ(r.status, 1) << end;
    EXPECT_EQ(r.err, "orvsql: 2 uncommitted changes to p3 cancelled\n") << end;
  }
  OrvsqlResult r = Run({"--csv", "-c", "\\edit p3", "-c", "\\delete 1"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "orvsql: 1 uncommitted change to p3 cancelled\n");
  // Another \edit is refused while changes wait.
  r = Run({"--csv"}, edits + "\\edit p1\n\\cancel\n\\quit\n");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "orvsql: the 2 changes to p3 are not committed: \\commit or \\cancel them "
                   "first\n");
  EXPECT_EQ(Rows("p3"), "id,name\n1,bolt\n2,nut\n3,washer\n");
}

TEST_F(OrvsqlEditTest, OnATerminalLeavingAsksBeforeDroppingChanges) {
  MakeParts("p4");
  const std::vector<std::string> args = {"--port", std::to_string(server_->port()), "--quiet"};
  // "n" keeps the session, and the change is committed after all.
  OrvsqlResult r = RunOrvsqlOnTerminal(
      args, "\\edit p4\n\\update 1 name=kept\n\\quit\nn\n\\commit\n\\quit\n");
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_NE(r.out.find("Drop the 1 uncommitted change to p4? [y/N] "), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("1 change committed"), std::string::npos) << r.out;
  // "y" drops it.
  r = RunOrvsqlOnTerminal(args, "\\edit p4\n\\update 1 name=dropped\n\\quit\ny\n");
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_NE(r.out.find("Drop the 1 uncommitted change to p4? [y/N] "), std::string::npos) << r.out;
  // The input ending at the question cancels, as without a terminal.
  r = RunOrvsqlOnTerminal(args, "\\edit p4\n\\update 1 name=dropped\n\\quit\n\x04");
  EXPECT_EQ(r.status, 1) << r.out;
  EXPECT_NE(r.out.find("orvsql: 1 uncommitted change to p4 cancelled"), std::string::npos) << r.out;
  EXPECT_EQ(Rows("p4"), "id,name\n1,kept\n2,nut\n3,washer\n");
}

TEST_F(OrvsqlEditTest, FindAndKeySearchTheWholeTable) {
  Ok({"-c", "create table s (id integer, name varchar(12))", "-c",
      "insert into s values (10, 'Tea'), (20, 'Coffee'), (30, 'tea leaves'), (40, 'Cocoa')"});
  EXPECT_EQ(Ok({"--csv"}, "\\edit s ORDER BY id\n"
                          "\\find name=Tea\n"           // row 1 is current: not searched
                          "\\find -i -p name=TEA\n"     // row 3
                          "\\find -i -p name=TEA\n"     // nothing after row 3
                          "\\key id=20\n"
                          "\\key id=25\n"
                          "\\key -n id=25\n"
                          "\\key -n id=99\n"),
            "#,id,name\n1,10,Tea\n2,20,Coffee\n3,30,tea leaves\n4,40,Cocoa\n"
            "#,id,name\n3,30,tea leaves\n"
            "#,id,name\n2,20,Coffee\n"
            "#,id,name\n3,30,tea leaves\n"
            "#,id,name\n4,40,Cocoa\n");
  EXPECT_EQ(Ok({}, "\\edit s ORDER BY id\n\\key id=25\n\\find name=Cocoa\n\\find name=Tea\n"),
            "# |          id | name\n"
            "--+-------------+--------------\n"
            "1 |          10 | Tea\n"
            "2 |          20 | Coffee\n"
            "3 |          30 | tea leaves\n"
            "4 |          40 | Cocoa\n"
            "(4 rows)\n"
            "no row holds that key\n"
            "# |          id | name\n"
            "--+-------------+--------------\n"
            "4 |          40 | Cocoa\n"
            "(1 row)\n"
            "no row after row 4 matches\n");
  OrvsqlResult r = Run({}, "\\find name=x\n\\edit s\n\\key id=1\n\\find nope=1\n");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err,
            "orvsql: no table is being edited: \\edit TABLE first\n"
            "orvsql: \\key searches by the ORDER BY fields of \\edit, and s was opened without "
            "ORDER BY\n"
            "orvsql: s has no field nope\n");
}

TEST_F(OrvsqlEditTest, DescribeExpandTimingAndOutputFile) {
  Ok({"-c", "create table d (id integer, name varchar(12), price real, at date, pic blob)"});
  EXPECT_EQ(Ok({}, "\\d d\n"),
            "Table d\n"
            "column | type     | size\n"
            "-------+----------+-----\n"
            "id     | Integer  |\n"
            "name   | String   |   13\n"
            "price  | Float    |\n"
            "at     | DateTime |\n"
            "pic    | Blob     |    9\n");
  Ok({"-c", "insert into d values (1, 'a b', 2.5, '2024-02-29', x'0102')"});
  char path[] = "/tmp/orvsql-out-XXXXXX";
  ::close(::mkstemp(path));
  EXPECT_EQ(Ok({}, "\\x\n\\o " + std::string(path) + "\nselect * from d;\n\\o\n\\x off\n"
                   "select count(*) as n from d;\n"),
            "Expanded display is on.\nExpanded display is off.\n"
            "          n\n-----------\n          1\n(1 row)\n");
  std::ifstream file(path);
  std::stringstream text;
  text << file.rdbuf();
  EXPECT_EQ(text.str(),
            "-[ RECORD 1 ]--------------\n"
            "id    | 1\nname  | a b\nprice | 2.5\nat    | 2024-02-29 00:00:00\npic   | <2 bytes>\n"
            "(1 row)\n");
  ::unlink(path);

  // Timing lines go to the console: standard error in CSV.
  OrvsqlResult r = Run({"--csv"}, "\\timing on\nselect id from d;\nupdate d set id = 2;\n");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "id\n1\n");
  EXPECT_EQ(r.err.substr(0, 37), "Timing is on.\nTime: 1 row, first row ");
  EXPECT_NE(r.err.find(" rows/s\nTime: 1 row affected, total "), std::string::npos) << r.err;

  r = Run({}, "\\o /nonexistent/dir/file\n\\nosuch\n\\x maybe\n\\?\n");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("orvsql: cannot write to '/nonexistent/dir/file': "), std::string::npos);
  EXPECT_NE(r.err.find("orvsql: unknown command \\nosuch (\\? lists the commands)\n"),
            std::string::npos);
  EXPECT_NE(r.err.find("orvsql: \\x wants on, off or nothing, not 'maybe'\n"), std::string::npos);
  EXPECT_NE(r.out.find("  \\edit TABLE [WHERE condition] [ORDER BY fields]\n"), std::string::npos);
  EXPECT_EQ(RunOrvsql({"--version"}).out.rfind("orvsql ", 0), 0u);
}

// A table saved from \edit opens again from the form on the form's own
// connection settings, unless the command line gives others; saving the
// loaded form gives the same file back.
TEST_F(OrvsqlEditTest, SavedFormOpensAgainWithItsConnection) {
  MakeParts("p9");
  char dir[] = "/tmp/orvsql-form-XXXXXX";
  ASSERT_NE(::mkdtemp(dir), nullptr);
  const std::string saved = std::string(dir) + "/a.form";
  const std::string again = std::string(dir) + "/b.form";
  Ok({"-c", "\\edit p9 WHERE id > 1 ORDER BY id", "-c", "\\save " + saved});
  auto text = [](const std::string& path) {
    std::stringstream content;
    content << std::ifstream(path).rdbuf();
    return content.str();
  };
  EXPECT_NE(text(saved).find("    TableName = 'p9'\n    Database = Rdb\n    Filter = 'id > 1'\n"),
            std::string::npos) << text(saved);

  OrvsqlResult r = RunOrvsql({"--quiet", "--csv", "--form", saved, "--dataset", "Table1", "-c",
                              "\\save " + again});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "id,name\n2,nut\n3,washer\n");
  EXPECT_EQ(text(again), text(saved));
  EXPECT_EQ(RunOrvsql({"--form", saved}, "").out, "Table1: TOrvTable\n");
  EXPECT_EQ(RunOrvsql({"--port", "1", "--form", saved}).status, 3);
  r = RunOrvsql({"--form", saved, "--dataset", "Nope"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "orvsql: the form has no dataset Nope\n");
  std::ofstream(again) << "object X: TDataModule\n  object Q: TOrvQuery\n    Colour = 1\n";
  r = RunOrvsql({"--form", again});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err.rfind("orvsql: " + again + ": Line ", 0), 0u) << r.err;
  ::unlink(saved.c_str());
  ::unlink(again.c_str());
  ::rmdir(dir);
}

}  // namespace
}  // namespace orv::test
