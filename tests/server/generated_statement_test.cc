#include "server/generated_statement.h"

#include <gtest/gtest.h>

#include <map>

namespace orv::server {
namespace {

ParamEntry P(const std::string& name, int code, const std::string& value) {
  return {'I', name, code, value};
}

ParamValue Int(std::int64_t v) {
  ParamValue p;
  p.kind = ParamValue::Kind::kInteger;
  p.integer = v;
  return p;
}
ParamValue Real(double v) {
  ParamValue p;
  p.kind = ParamValue::Kind::kReal;
  p.real = v;
  return p;
}
ParamValue Text(const std::string& v, ParamValue::Kind kind = ParamValue::Kind::kText) {
  ParamValue p;
  p.kind = kind;
  p.text = v;
  return p;
}

TEST(GeneratedStatementTest, RecognisesTheThreeShapesInEveryPlaceholderForm) {
  // Oracle behind a UNIX server: ROWID last, skipped in the column and Set
  // lists; a memo field has no condition.
  auto insert = Recognise("Insert Into T (A, B  ) Values (:A, :B  )",
                          {P(":A", 0, "xy"), P(":B", 4, "hello")});
  ASSERT_TRUE(insert);
  EXPECT_EQ(insert->kind, GeneratedStatement::Kind::kInsert);
  EXPECT_EQ(insert->table, "T");
  ASSERT_EQ(insert->values.size(), 2u);
  EXPECT_EQ(insert->values[1].column, "B");
  EXPECT_EQ(insert->values[1].param.value, "hello");

  auto update = Recognise("Update T Set A = :A, B = :B   Where A = :A_1 and ROWID = :ROWID_3",
                          {P(":A", 0, "n"), P(":B", 4, "m"), P(":A_1", 0, "o"),
                           P(":ROWID_3", 0, "7")});
  ASSERT_TRUE(update);
  ASSERT_EQ(update->values.size(), 2u);
  ASSERT_EQ(update->conditions.size(), 1u);
  EXPECT_EQ(update->conditions[0].param.value, "o");
  ASSERT_TRUE(update->address);
  EXPECT_EQ(update->address->param.value, "7");

  auto del = Recognise("Delete from T Where A = :A and ROWID = :RID",
                       {P(":A", 0, "o"), P(":RID", 0, "7")});
  ASSERT_TRUE(del);
  EXPECT_EQ(del->kind, GeneratedStatement::Kind::kDelete);
  EXPECT_EQ(del->address->param.value, "7");

  // Sybase ("@" in text and block) and NT (":" in text, bare names), and
  // one blank of frame padding.
  EXPECT_TRUE(Recognise("Delete from dbo.T Where A = @A and C = @C",
                        {P("@A", 0, "1"), P("@C", 8, "2")}));
  EXPECT_TRUE(Recognise("Update T Set A = :A Where A = :A_1 ", {P("A", 0, "1"), P("A_1", 0, "2")}));
  EXPECT_TRUE(Recognise("Delete from T Where A = :A and ROWID = :RID",
                        {P("A", 0, "1"), P("ROWID", 0, "2")}));

  // Anything else is ordinary SQL.
  const std::vector<ParamEntry> a{P(":A", 0, "1")};
  for (const char* text : {"Delete from T Where A = :A\r\n", "delete from T where A = :A",
                           "Delete from T Where A = :B", "Delete from T Where A = :A or 1 = 1",
                           "Delete from T Where ", "Insert Into T (A) Values (:A) ; drop table T",
                           "Update T Set A = :A Where A = :A", "Update T Set A = :A Where A = :A_0",
                           "Delete from T Where A = :A and A = :A"}) {
    EXPECT_FALSE(Recognise(text, a)) << text;
  }
  EXPECT_FALSE(Recognise("Delete from T Where A = :A", {}));
  // A ROWID is never set.
  EXPECT_FALSE(Recognise("Update T Set ROWID = :RID Where N = :N_1",
                         {P(":RID", 0, "1"), P(":N_1", 8, "1")}));
  EXPECT_FALSE(Recognise("Delete from T Where A = :A", {P(":A", 0, "1"), P(":B", 0, "2")}));
}

TEST(GeneratedStatementTest, FindsTheRowAddressColumnOfATableSelect) {
  for (const char* sql : {"select T.*, ROWID from T\r\n", "SELECT a, rowid FROM t WHERE a > 1",
                          "select T.*, ROWID from T\r\nwhere X > 1\r\n order by A\r\n"})
    EXPECT_TRUE(SelectsRowAddress(sql)) << sql;
  for (const char* sql : {"select * from T", "select rowid, a from T", "select ROWID from T",
                          "select 'x, ROWID' from T", "select f(a, ROWID) from T",
                          "update T set a = 1", "select T.*, ROWIDS from T"})
    EXPECT_FALSE(SelectsRowAddress(sql)) << sql;
}

TEST(GeneratedStatementTest, ValuesMatchAsTheClientSawThem) {
  struct Case {
    ParamValue stored;
    int code;
    std::string value;
    bool match;
  } cases[] = {
      {ParamValue(), kStChar, "", true},                     // NULL reads empty
      {Text("   "), kStChar, "", true},                      // so does a blank text
      {Text("Edinburgh "), kStChar, "Edinburgh", true},      // blanks were cut
      {Text("Edinburgh"), kStChar, "Edinburg", false},
      {Text(""), kStChar, "x", false},
      {Int(5), kStInt, "5", true},
      {Int(5), kStInt, "", false},
      {ParamValue(), kStInt, "", true},
      {Int(1), kStBit, "T", true},
      {Int(0), kStBit, "T", false},
      {Real(0.1), kStFloat, "0.1", true},
      {Real(0.1), kStFloat, "0.100000000000000006", true},  // the same double
      {Real(1e-7), kStFloat, "1E-7", true},
      {Real(123456789.125), kStFloat, "123456789.125", true},
      {Real(0.1), kStFloat, "0.2", false},
      {Int(3), kStFloat, "3", true},
      {Text("2024-01-05"), kStDateTime, "20240105000000000", true},
      {Text("2024-01-05 10:30:00.250"), kStDateTime, "20240105103000250", true},
      {Text("2024-01-05 10:30:00"), kStDateTime, "20240105103001000", false},
      {Text(" memo "), kStText, " memo ", true},          // long texts travel whole
      {Text(" memo "), kStText, "memo", false},
      {ParamValue(), kStImage, "", true},
      {Text("a\0b", ParamValue::Kind::kBlob), kStImage, std::string("a\0b", 3), false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Matches(c.stored, P(":X", c.code, c.value)), c.match)
        << "code " << c.code << " value '" << c.value << "'";
  }
}

// A table in memory: rows by key, columns by name.
class FakeTable : public GeneratedTarget {
 public:
  std::map<std::string, std::map<std::string, ParamValue>> rows;
  std::vector<std::string> last_set;

  Outcome ScanRows(const std::string&, const std::vector<std::string>& columns,
                   const std::string* address, const RowVisitor& visit) override {
    for (auto& [key, row] : rows) {
      if (address != nullptr && key != *address) continue;
      std::vector<ParamValue> values;
      for (const std::string& c : columns) values.push_back(row[c]);
      if (!visit(key, values)) break;
    }
    return {};
  }
  Outcome InsertRow(const std::string&, const std::vector<std::string>& columns,
                    const std::vector<ParamValue>& values, std::int64_t* changed) override {
    auto& row = rows[std::to_string(rows.size() + 100)];
    for (std::size_t i = 0; i < columns.size(); ++i) row[columns[i]] = values[i];
    *changed = 1;
    return {};
  }
  Outcome UpdateRow(const std::string&, const std::string& key,
                    const std::vector<std::string>& columns, const std::vector<ParamValue>& values,
                    std::int64_t* changed) override {
    last_set = columns;
    for (std::size_t i = 0; i < columns.size(); ++i) rows[key][columns[i]] = values[i];
    *changed = 1;
    return {};
  }
  Outcome DeleteRow(const std::string&, const std::string& key, std::int64_t* changed) override {
    *changed = static_cast<std::int64_t>(rows.erase(key));
    return {};
  }
};

TEST(GeneratedStatementTest, ChangesExactlyTheOneRowFoundAndOnlyWhatChanged) {
  FakeTable t;
  t.rows["1"] = {{"CITY", Text("Edinburgh ")}, {"N", Int(1)}, {"PIC", ParamValue()}};
  t.rows["2"] = {{"CITY", Text("Glasgow")}, {"N", ParamValue()}, {"PIC", ParamValue()}};
  std::int64_t changed = -1;

  // An update that sets the same values leaves blanks and NULLs alone.
  auto same = *Recognise("Update T Set CITY = :CITY, N = :N, PIC = :PIC Where CITY = :CITY_1 and "
                         "N = :N_2 and ROWID = :ROWID_4",
                         {P(":CITY", kStChar, "Edinburgh"), P(":N", kStInt, "1"),
                          P(":PIC", kStImage, ""), P(":CITY_1", kStChar, "Edinburgh"),
                          P(":N_2", kStInt, "1"), P(":ROWID_4", kStChar, "1")});
  ASSERT_TRUE(ApplyGenerated(same, t, &changed).ok());
  EXPECT_EQ(changed, 1);
  EXPECT_TRUE(t.last_set.empty());
  EXPECT_EQ(t.rows["1"]["CITY"].text, "Edinburgh ");

  auto change_n = *Recognise(
      "Update T Set CITY = :CITY, N = :N Where CITY = :CITY_1 and N = :N_2 and ROWID = :ROWID_4",
      {P(":CITY", kStChar, "Edinburgh"), P(":N", kStInt, "2"), P(":CITY_1", kStChar, "Edinburgh"),
       P(":N_2", kStInt, "1"), P(":ROWID_4", kStChar, "")});
  // An empty address (a row inserted in this session) finds the row by its
  // values; so does an address no row has.
  ASSERT_TRUE(ApplyGenerated(change_n, t, &changed).ok());
  EXPECT_EQ(changed, 1);
  EXPECT_EQ(t.last_set, std::vector<std::string>{"N"});
  EXPECT_EQ(t.rows["1"]["N"].integer, 2);
  EXPECT_EQ(t.rows["1"]["CITY"].text, "Edinburgh ");

  // The row changed since it was read: nothing matches, nothing changes.
  ASSERT_TRUE(ApplyGenerated(change_n, t, &changed).ok());
  EXPECT_EQ(changed, 0);

  auto del = [&](const std::string& city, const std::string& rowid) {
    return *Recognise("Delete from T Where CITY = :CITY and ROWID = :RID",
                      {P(":CITY", kStChar, city), P(":RID", kStChar, rowid)});
  };
  // An address that exists but holds another row is a conflict, not a
  // search by values.
  ASSERT_TRUE(ApplyGenerated(del("Glasgow", "1"), t, &changed).ok());
  EXPECT_EQ(changed, 0);
  ASSERT_TRUE(ApplyGenerated(del("Glasgow", "99"), t, &changed).ok());
  EXPECT_EQ(changed, 1);
  EXPECT_EQ(t.rows.count("2"), 0u);

  // Two rows fit: refused, both stay.
  t.rows["3"] = t.rows["1"];
  Outcome twice = ApplyGenerated(del("Edinburgh", ""), t, &changed);
  EXPECT_FALSE(twice.ok());
  EXPECT_EQ(twice.message, kMultipleRecords);
  EXPECT_EQ(t.rows.size(), 2u);

  // An insert binds every value by its type code.
  auto insert = *Recognise("Insert Into T (CITY, N) Values (:CITY, :N)",
                           {P(":CITY", kStChar, ""), P(":N", kStInt, "")});
  ASSERT_TRUE(ApplyGenerated(insert, t, &changed).ok());
  auto bad = *Recognise("Insert Into T (N) Values (:N)", {P(":N", kStInt, "x1")});
  EXPECT_FALSE(ApplyGenerated(bad, t, &changed).ok());
}

}  // namespace
}  // namespace orv::server
