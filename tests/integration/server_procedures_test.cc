// Stored procedures through the real rdbserver, byte for byte: PARAM,
// PROCEXEC in the block and the bare form, PROCOPEN with its second result
// line in a frame of its own, failures that leave nothing behind. The same
// procedures are written in SQLite's procedure language and as PostgreSQL's
// own, and answer alike.
#include <string>
#include <vector>

#include "integration/server_fixture.h"

namespace orv::test {
namespace {

using P = FrameClient;
using Frames = std::vector<std::string>;

class ServerProceduresTest : public OnEachBackend<ServerTest> {
 protected:
  void SetUp() override {
    OnEachBackend::SetUp();
    if (IsSkipped() || HasFatalFailure() || defined_[postgres()]) return;
    defined_[postgres()] = true;
    const std::vector<std::string> sqlite = {
        "create table ledger (id integer primary key, name text, bal real)",
        "CREATE PROCEDURE pay (IN who INTEGER, INOUT amount REAL, OUT total REAL, OUT nm TEXT)\n"
        "AS BEGIN\n"
        "  UPDATE ledger SET bal = bal + :amount WHERE id = :who;\n"
        "  SET :total, :nm = SELECT bal, name FROM ledger WHERE id = :who;\n"
        "  SET :amount = SELECT :amount * 2;\n"
        "END;",
        "CREATE PROCEDURE twice (RESULT Result INTEGER, x INTEGER) AS BEGIN "
        "SET :Result = SELECT :x * 2; END",
        "CREATE PROCEDURE rich (minimum REAL) AS BEGIN "
        "SELECT id, name FROM ledger WHERE bal >= :minimum ORDER BY id; END",
        "CREATE PROCEDURE spoil (who INTEGER) AS BEGIN UPDATE ledger SET bal = -1 WHERE id = :who; "
        "INSERT INTO ledger (id) VALUES (:who); END",
        "CREATE PROCEDURE rich_count (OUT n INTEGER, minimum REAL) AS BEGIN "
        "SELECT name FROM ledger WHERE bal >= :minimum ORDER BY id; "
        "SET :n = SELECT count(*) FROM ledger WHERE bal >= :minimum; END"};
    const std::vector<std::string> pg = {
        "create table ledger (id integer primary key, name text, bal double precision)",
        "CREATE PROCEDURE pay (IN who integer, INOUT amount double precision, "
        "OUT total double precision, OUT nm text) LANGUAGE plpgsql AS $$ BEGIN "
        "UPDATE ledger SET bal = bal + amount WHERE id = who; "
        "SELECT bal, name INTO total, nm FROM ledger WHERE id = who; "
        "amount := amount * 2; END $$",
        "CREATE FUNCTION twice (x integer) RETURNS integer LANGUAGE sql AS 'select x * 2'",
        "CREATE FUNCTION rich (minimum double precision) RETURNS TABLE (id integer, name text) "
        "LANGUAGE sql AS 'select id, name from ledger where bal >= minimum order by id'",
        "CREATE PROCEDURE spoil (who integer) LANGUAGE plpgsql AS $$ BEGIN "
        "UPDATE ledger SET bal = -1 WHERE id = who; INSERT INTO ledger (id) VALUES (who); END $$"};
    for (const std::string& sql : postgres() ? pg : sqlite) Exec(sql);
    Exec("insert into ledger values (1, 'ann', 10.5), (2, 'bob', 20), (3, 'cy', 30)");
  }

  // The frames a client reads for a procedure request: the result line and,
  // when it succeeded, the result set of a PROCOPEN up to its end marker,
  // the second result line, and the returned parameters.
  static Frames Call(FrameClient& c, const std::string& command, const std::string& text,
                     const std::string& block = "", int count = 0) {
    Frames frames;
    auto line = c.Request(command, text, block, count);
    if (!line) return {"no reply"};
    frames.push_back(std::to_string(line->code) + ";" + line->text);
    if (line->code < 0) return frames;
    if (command == "PROCOPEN") {
      std::string rows;
      while (rows.size() < 4 || rows.compare(rows.size() - 4, 4, "EOF;") != 0) {
        auto frame = c.ReadFrame();
        if (!frame) return frames;
        rows += *frame;
      }
      frames.push_back(rows);
      frames.push_back(c.ReadFrame().value_or("no second result line"));
    }
    if (command != "PARAM" || line->code > 0)
      frames.push_back(c.ReadFrame().value_or("no parameters"));
    return frames;
  }
  static Frames Call(const std::string& command, const std::string& text,
                     const std::string& block = "", int count = 0) {
    FrameClient c;
    EXPECT_TRUE(c.Connect(port()));
    return Call(c, command, text, block, count);
  }

  static inline bool defined_[2] = {false, false};
};
ORV_ON_EACH_BACKEND(ServerProceduresTest);

TEST_P(ServerProceduresTest, ParamListsTypesAndDirections) {
  EXPECT_EQ(Call("PARAM", "pay"),
            (Frames{"4;OK", "8;who;0;11;10;amount;2;24;10;total;1;24;18;nm;1;255;"}));
  EXPECT_EQ(Call("PARAM", postgres() ? "public.twice" : "main.twice"),
            (Frames{"2;OK", "8;Result;3;11;8;x;0;11;"}));
  EXPECT_EQ(Call("PARAM", "nope")[0].substr(0, 3), "-1;");
}

TEST_P(ServerProceduresTest, ExecReturnsOutputsInTheBlockAndTheBareForm) {
  // Oracle behind a UNIX server: placeholders by position, names back with ':'.
  EXPECT_EQ(Call("PROCEXEC", "BEGIN pay(:W,:A,:T,:N); END;",
                 P::Param(":W", kInt, "1") + P::Param(":A", kFloat, "5") +
                     P::Param(":T", kFloat, "", 'O') + P::Param(":N", 0, "", 'O'),
                 4),
            (Frames{"3;OK", "10;:A;2;2;10;:T;1;4;18;:N;1;3;2;10;4;15.5;3;ann;"}));
  // Everyone else: the name alone, entries by the parameters' names, which
  // go back as the client spelt them.
  EXPECT_EQ(Call("PROCEXEC", "pay", P::Param("who", kInt, "1") + P::Param("Amount", kFloat, "1.5"),
                 2),
            (Frames{"3;OK", "10;Amount;2;1;10;total;1;2;18;nm;1;3;1;3;2;17;3;ann;"}));
  EXPECT_EQ(Call("PROCEXEC", "BEGIN :R := twice(:X); END;",
                 P::Param(":R", kInt, "", 'O') + P::Param(":X", kInt, "21"), 2),
            (Frames{"1;OK", "8;:R;3;2;2;42;"}));
  EXPECT_EQ(Call("PROCEXEC", "twice", P::Param("x", kInt, "4"), 1),
            (Frames{"1;OK", "8;Result;3;1;1;8;"}));
  // A NULL output travels as no value: described last, behind "EOF".
  EXPECT_EQ(Call("PROCEXEC", "pay", P::Param("who", kInt, "9") + P::Param("amount", kFloat, "1"),
                 2),
            (Frames{"3;OK", "10;amount;2;1;10;total;1;0;18;nm;1;0;1;2;EOF;"}));
}

TEST_P(ServerProceduresTest, OpenGivesRowsThenASecondResultLineInAFrameOfItsOwn) {
  const std::string rows = "8;id;11;0;18;name;255;0;1;3;2;cy;EOF;";
  EXPECT_EQ(Call("PROCOPEN", "BEGIN rich(:M); END;", P::Param(":M", kFloat, "25"), 1),
            (Frames{"2;OK", rows, "0;OK", "EOF;"}));
  EXPECT_EQ(Call("PROCOPEN", "rich", P::Param("minimum", kFloat, "25"), 1),
            (Frames{"2;OK", rows, "0;OK", "EOF;"}));
  EXPECT_EQ(Call("PROCOPEN", "twice", P::Param("x", kInt, "4"), 1)[0].substr(0, 3), "-1;");
  if (postgres()) return;  // a set-returning function's outputs are its columns
  EXPECT_EQ(Call("PROCOPEN", "rich_count", P::Param("minimum", kFloat, "25"), 1),
            (Frames{"1;OK", "18;name;255;0;2;cy;EOF;", "1;OK", "8;n;1;1;1;1;"}));
}

TEST_P(ServerProceduresTest, FailuresLeaveNoTraceAndTheConnectionServing) {
  FrameClient c;
  ASSERT_TRUE(c.Connect(port()));
  const std::string spoil = P::Param("who", kInt, "2");
  Frames failed = Call(c, "PROCEXEC", "spoil", spoil, 1);
  ASSERT_EQ(failed.size(), 1u);
  EXPECT_NE(failed[0].find(postgres() ? "ERROR:  23505: duplicate key" : "UNIQUE constraint"),
            std::string::npos)
      << failed[0];
  EXPECT_NE(Call(c, "PROCEXEC", "unknown_proc")[0].find("no procedure"), std::string::npos);
  EXPECT_NE(Call(c, "PROCEXEC", "BEGIN twice(:X); END;", P::Param(":X", kInt, "1"), 1)[0].find(
                "returns a result"),
            std::string::npos);
  EXPECT_NE(Call(c, "PROCEXEC", "BEGIN :R := twice; END;")[0].find("takes 1 parameter; the call gives 0"),
            std::string::npos);
  EXPECT_NE(Call(c, "PROCEXEC", "pay drop")[0].find("not a procedure call"), std::string::npos);

  // Inside a user transaction a failed call undoes only itself.
  EXPECT_EQ(c.Request("TRAN", "")->code, 0);
  EXPECT_EQ(Call(c, "PROCEXEC", "pay", P::Param("who", kInt, "2") + P::Param("amount", kFloat, "1"),
                 2)[0],
            "3;OK");
  EXPECT_EQ(Call(c, "PROCEXEC", "spoil", spoil, 1).size(), 1u);
  EXPECT_EQ(c.Request("COMMIT", "")->code, 0);
  EXPECT_EQ(Value("select bal from ledger where id = 2"), "21");
}

TEST_P(ServerProceduresTest, RequestsSplitAnywhereAreReassembled) {
  const std::string block = P::Param("x", kInt, "17");
  const std::string command = "PROCEXEC;;;1;\ntwice";
  const std::string bytes = "00" + std::to_string(command.size()) + command + "00" +
                            std::to_string(block.size()) + block;
  FrameClient c;
  ASSERT_TRUE(c.Connect(port()));
  for (std::size_t at = 0; at < bytes.size(); at += 3) ASSERT_TRUE(c.SendRaw(bytes.substr(at, 3)));
  EXPECT_EQ(c.ReadFrame(), "1;OK");
  EXPECT_EQ(c.ReadFrame(), "8;Result;3;2;2;34;");
}

}  // namespace
}  // namespace orv::test
