// Filtering, Locate, record counts and key search end to end against the
// real rdbserver: all of them work on the rows received, never asking the
// server again except when an open runs the statement anew.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "dataset/orv_table.h"
#include "host/datetime.h"
#include "integration/dataset_fixture.h"

namespace orv::test {
namespace {

using Strings = std::vector<std::string>;

class DataSetSearchTest : public DataSetServerTest {
 protected:
  void SetUp() override {
    DataSetServerTest::SetUp();
    if (IsSkipped() || HasFatalFailure() || filled_) return;
    filled_ = true;
    Exec("create table tenk (n integer)");
    Exec("insert into tenk with recursive c(x) as (select 1 union all select x + 1 "
         "from c where x < 10000) select x from c");
    Exec("create table people (name varchar(12), city varchar(12), n integer)");
    Exec("insert into people values ('Smith', 'Oban', 1), ('smith', 'Perth', 2), "
         "('Smithers', 'Oban', 3), ('Jones', 'Ayr', 4), ('Smith', 'Perth', 5)");
    // Every column ascends with the rows, so each ordering gives them alike.
    Exec("create table keyed (i integer, f real, d datetime, s varchar(10))");
    Exec("insert into keyed values (10, 1.5, '2001-01-10', 'apple'), "
         "(20, 2.5, '2001-02-20', 'banana'), (30, 3.5, '2001-03-30', 'cherry')");
  }

  void Open(TOrvDataSet& d, const std::string& sql) {
    d.SetDatabase(&rdb_);
    d.SQL()->SetText(sql);
    d.Open();
    ASSERT_TRUE(d.Active()) << log_.Texts();
  }
  void OpenTable(TOrvTable& t, const std::string& name, const std::string& order) {
    t.SetDatabase(&rdb_);
    t.SetTableName(name);
    t.SetIndexFieldNames(order);
    t.Open();
    ASSERT_TRUE(t.Active()) << log_.Texts();
  }
  // Records the scroll events with the value of `field` at each.
  void TraceScrolls(TDataSet& d, const std::string& field) {
    d.BeforeScroll = [this, field](TDataSet* s) {
      scrolls_.push_back("before " + s->FieldByName(field)->AsString());
    };
    d.AfterScroll = [this, field](TDataSet* s) {
      scrolls_.push_back("after " + s->FieldByName(field)->AsString());
    };
  }

  Strings scrolls_;
  static inline bool filled_ = false;
};

TEST_F(DataSetSearchTest, FilterHandlerRunsOnceAtOpenOverTheWholeResult) {
  TOrvQuery q(nullptr);
  q.SetOnFilterRecord([](TDataSet* d, bool& accept) {
    accept = d->FieldByName("n")->AsInteger() % 3 == 0;
  });
  q.SetFiltered(true);
  Open(q, "select n from tenk order by n");
  EXPECT_EQ(q.RecordCount(), 3333);
  EXPECT_EQ(q.FieldByName("n")->AsInteger(), 3);
  q.Next();
  EXPECT_EQ(q.FieldByName("n")->AsInteger(), 6);
  q.Last();
  EXPECT_EQ(q.FieldByName("n")->AsInteger(), 9999);

  // A new handler counts from the next open, which toggling Filtered is:
  // the statement runs again, and the rows rejected before come back.
  q.SetOnFilterRecord([](TDataSet*, bool& accept) { accept = false; });
  EXPECT_EQ(q.RecordCount(), 3333);
  q.SetFiltered(false);
  EXPECT_EQ(q.RecordCount(), 10000);
  q.SetFiltered(true);
  EXPECT_EQ(q.RecordCount(), 0);
  EXPECT_TRUE(q.IsEmpty());
  EXPECT_TRUE(q.Eof());

  // A handler that raises fails the open; the next open reads normally.
  q.SetOnFilterRecord([](TDataSet* d, bool&) {
    if (d->FieldByName("n")->AsInteger() == 9000) throw EOrvDataSetException("no 9000");
  });
  q.Close();
  EXPECT_THROW(q.Open(), EOrvDataSetException);
  EXPECT_FALSE(q.Active());
  q.SetOnFilterRecord(nullptr);
  q.Open();
  ASSERT_TRUE(q.Active()) << log_.Texts();
  EXPECT_EQ(q.RecordCount(), 10000);
  EXPECT_EQ(q.FieldByName("n")->AsInteger(), 1);
  q.Next();
  EXPECT_EQ(q.FieldByName("n")->AsInteger(), 2);
  EXPECT_EQ(log_.Count(), 0u) << log_.Texts();
}

TEST_F(DataSetSearchTest, LocateSearchesForwardFromTheRowAfterTheActiveOne) {
  TOrvQuery q(nullptr);
  Open(q, "select name, city, n from people order by n");
  ASSERT_EQ(q.RecordCount(), 5);  // Locate covers only the rows received
  struct Case {
    int from;  // n of the active record
    const char* fields;
    Variant values;
    TLocateOptions options;
    int found;  // n of the row found; 0 for none (the cursor stays)
  } cases[] = {
      {1, "name", VarArrayOf({"Smith"}), loNone, 5},
      {5, "name", VarArrayOf({"Smith"}), loNone, 0},
      {1, "name", VarArrayOf({"SMITH"}), loCaseInsensitive, 2},
      {1, "name", VarArrayOf({"smi"}), loCaseInsensitive | loPartialKey, 2},
      {2, "name", VarArrayOf({"Smi"}), loPartialKey, 3},
      {1, "name", VarArrayOf({"Smithersx"}), loPartialKey, 0},
      {1, "name; city", VarArrayOf({"Smith", "Perth"}), loNone, 5},
      {1, "CITY;n", VarArrayOf({"Oban", 3}), loNone, 3},
      {2, "", VarArrayOf({}), loNone, 3},
      {5, "", VarArrayOf({}), loNone, 0},
  };
  for (const Case& c : cases) {
    q.First();
    q.MoveBy(c.from - 1);
    scrolls_.clear();
    TraceScrolls(q, "n");
    const bool found = q.Locate(c.fields, c.values, c.options);
    const int at = c.found != 0 ? c.found : c.from;
    EXPECT_EQ(found, c.found != 0) << c.fields << " from " << c.from;
    EXPECT_EQ(q.FieldByName("n")->AsInteger(), at) << c.fields << " from " << c.from;
    EXPECT_EQ(scrolls_, (Strings{"before " + std::to_string(c.from), "after " + std::to_string(at)}));
  }
  EXPECT_EQ(log_.Count(), 0u) << log_.Texts();

  // A search that finds nothing leaves the cursor on the active record.
  q.Last();
  EXPECT_FALSE(q.Locate("name", VarArrayOf({"Jones"}), loNone));
  q.Prior();
  EXPECT_EQ(q.FieldByName("n")->AsInteger(), 4);
}

TEST_F(DataSetSearchTest, LocateReportsAnUnknownFieldAndFindsNothing) {
  TOrvQuery q(nullptr);
  Open(q, "select name, city, n from people order by n");
  q.Next();
  for (const char* fields : {"zz", "name ;city"}) {
    scrolls_.clear();
    TraceScrolls(q, "n");
    EXPECT_FALSE(q.Locate(fields, VarArrayOf({"Smith", "Perth"}), loNone));
    EXPECT_EQ(q.FieldByName("n")->AsInteger(), 2);
    EXPECT_EQ(scrolls_, (Strings{"before 2"})) << fields;  // and nothing after the box
  }
  const auto boxes = log_.Boxes();
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0].text, "ZZ is not exist");
  EXPECT_EQ(boxes[1].text, "NAME  is not exist");  // the blank stays in the name
  EXPECT_EQ(boxes[0].caption, Application().Title());
  EXPECT_EQ(boxes[0].flags, static_cast<unsigned>(MB_OK | MB_ICONSTOP | MB_TASKMODAL));

  try {
    q.Lookup("n", VarArrayOf({1}), "name");
    FAIL();
  } catch (const EOrvDataSetException& e) {
    EXPECT_EQ(e.Message(), "TOrvDataSet.Lookup not implemented");
  }
  try {
    q.FindFirst();
    FAIL();
  } catch (const EOrvDataSetException& e) {
    EXPECT_EQ(e.Message(), "TOrvDataSet.FindRecord not implemented");
  }
  q.Close();
  EXPECT_THROW(q.Locate("n", VarArrayOf({1}), loNone), EDatabaseError);
}

TEST_F(DataSetSearchTest, KeySearchOnIntegerFloatDateAndTextKeys) {
  struct Case {
    const char* field;
    Variant exact, between, above;  // a key of row 20, one between 20 and 30, one above all
  } cases[] = {
      {"i", 20, 25, 99},
      {"f", 2.5, 3.0, 9.5},
      {"d", Variant::FromDateTime(EncodeDate(2001, 2, 20)),
       Variant::FromDateTime(EncodeDate(2001, 3, 1)),
       Variant::FromDateTime(EncodeDate(2002, 1, 1))},
      {"s", "banana", "c", "zebra"},
  };
  for (const Case& c : cases) {
    TOrvTable t(nullptr);
    OpenTable(t, "keyed", c.field);
    auto search = [&t, &c](const Variant& key, bool nearest) {
      t.SetKey();
      EXPECT_EQ(t.State(), dsSetKey);
      t.FieldByName(c.field)->SetValue(key);
      const bool found = nearest ? (t.GotoNearest(), true) : t.GotoKey();
      EXPECT_EQ(t.State(), dsBrowse);
      return found ? t.FieldByName("i")->AsInteger() : -t.FieldByName("i")->AsInteger();
    };
    EXPECT_EQ(search(c.exact, false), 20) << c.field;
    t.First();
    EXPECT_EQ(search(c.between, false), -10) << c.field;  // not found: no move
    EXPECT_EQ(search(c.between, true), 30) << c.field;
    EXPECT_EQ(search(c.above, true), 30) << c.field;  // the last row
    t.Prior();
    EXPECT_EQ(t.FieldByName("i")->AsInteger(), 20) << c.field;
  }
  EXPECT_EQ(log_.Count(), 0u) << log_.Texts();
}

TEST_F(DataSetSearchTest, KeyFieldsComeFromIndexFieldNamesInOrder) {
  Exec("create table pairs (a varchar(4), b integer)");
  Exec("insert into pairs values ('b', 2), ('a', 3), ('b', 1), ('a', 1)");
  TOrvTable t(nullptr);
  t.SetName("Pairs");
  OpenTable(t, "pairs", "a;b");
  auto at = [&t] { return t.FieldByName("a")->AsString() + t.FieldByName("b")->AsString(); };
  auto order = [&t, &at] {
    Strings rows;
    for (t.First(); !t.Eof(); t.Next()) rows.push_back(at());
    return rows;
  };
  EXPECT_EQ(order(), (Strings{"a1", "a3", "b1", "b2"}));

  t.First();
  TraceScrolls(t, "a");  // before-scroll sees the active record, not the key
  t.SetKey();
  ASSERT_EQ(t.GetIndexFieldCount(), 2);
  EXPECT_EQ(t.GetIndexField(1)->FieldName(), "b");
  t.FieldByName("a")->SetAsString("b");
  t.FieldByName("b")->SetAsInteger(1);
  EXPECT_TRUE(t.GotoKey());
  EXPECT_EQ(at(), "b1");
  EXPECT_EQ(scrolls_, (Strings{"before a", "after b"}));
  t.EditKey();  // keeps a = 'b'
  t.FieldByName("b")->SetAsInteger(2);
  EXPECT_TRUE(t.GotoKey());
  EXPECT_EQ(at(), "b2");
  t.SetKey();  // starts empty
  t.FieldByName("b")->SetAsInteger(2);
  scrolls_.clear();
  EXPECT_FALSE(t.GotoKey());
  EXPECT_EQ(at(), "b2");
  EXPECT_EQ(scrolls_, (Strings{"before b", "after b"}));

  // A key value copied from another dataset's field.
  TOrvQuery other(nullptr);
  Open(other, "select 'a' as a, 3 as b");
  t.EditKey();
  t.SetIndexField(0, other.FieldByName("a"));
  t.SetIndexField(1, other.FieldByName("b"));
  EXPECT_TRUE(t.GotoKey());
  EXPECT_EQ(at(), "a3");

  t.SetKey();
  try {
    t.GetIndexField(2);
    FAIL();
  } catch (const EOrvDataSetException& e) {
    EXPECT_EQ(e.Message(), "Pairs: Field index out of range.");
  }
  EXPECT_EQ(t.State(), dsBrowse);  // leaving key entry
  EXPECT_THROW(t.SetIndexField(-1, nullptr), EOrvDataSetException);
  // A new ordering on an open table fetches the rows again at once.
  t.SetIndexFieldNames("b;a");
  EXPECT_EQ(order(), (Strings{"a1", "b1", "b2", "a3"}));
  t.Close();
  EXPECT_EQ(t.GetIndexFieldCount(), 0);  // its fields went with the close
  EXPECT_EQ(log_.Count(), 0u) << log_.Texts();
}

TEST_F(DataSetSearchTest, KeyEntryEndsWhenTheDatasetReturnsToBrowsing) {
  Exec("create table entry (i integer, s varchar(10))");
  Exec("insert into entry values (1, 'one'), (2, 'two')");
  using Step = std::function<void(TOrvTable&)>;
  const std::vector<std::pair<const char*, Step>> enders = {
      {"Post", [](TOrvTable& t) { t.Post(); }},
      {"Cancel", [](TOrvTable& t) { t.Cancel(); }},
      {"Next", [](TOrvTable& t) { t.Next(); t.Prior(); }},
      {"Refresh", [](TOrvTable& t) { t.Refresh(); }},
      {"Locate", [](TOrvTable& t) { t.Locate("i", VarArrayOf({99}), loNone); }},
      {"Insert", [](TOrvTable& t) { t.Insert(); t.Cancel(); }},
      {"Close", [](TOrvTable& t) { t.Close(); t.Open(); }},
  };
  TOrvTable t(nullptr);
  OpenTable(t, "entry", "i");
  for (const auto& [name, ender] : enders) {
    t.SetKey();
    t.FieldByName("s")->SetAsString("key");
    ender(t);
    EXPECT_EQ(t.State(), dsBrowse) << name;
    EXPECT_EQ(t.FieldByName("s")->AsString(), "one") << name;
  }
  // Edit after an unsearched key edits the record, and the post reaches
  // the server.
  t.SetKey();
  t.Edit();
  t.FieldByName("s")->SetAsString("uno");
  t.Post();
  TOrvQuery check(nullptr);
  Open(check, "select s from entry where i = 1");
  EXPECT_EQ(check.FieldByName("s")->AsString(), "uno");

  // No key fields, or no rows: no move.
  t.SetIndexFieldNames("");
  t.Next();
  t.SetKey();
  EXPECT_EQ(t.GetIndexFieldCount(), 0);
  EXPECT_FALSE(t.GotoKey());
  t.GotoNearest();
  EXPECT_EQ(t.FieldByName("i")->AsInteger(), 2);
  TOrvTable none(nullptr);
  none.SetFilterText("i > 2");
  none.SetFiltered(true);
  OpenTable(none, "entry", "i");
  none.SetKey();
  none.FieldByName("i")->SetAsInteger(1);
  EXPECT_FALSE(none.GotoKey());
  none.GotoNearest();
  EXPECT_TRUE(none.IsEmpty());

  // A key name the fields lack, though the server could order by it.
  for (const char* order : {"lower(s)", "i,s"}) {
    t.SetIndexFieldNames(order);
    ASSERT_TRUE(t.Active()) << log_.Texts();
    t.SetKey();
    EXPECT_EQ(t.State(), dsBrowse);
  }
  const auto boxes = log_.Boxes();
  ASSERT_EQ(boxes.size(), 2u) << log_.Texts();
  EXPECT_EQ(boxes[0].text, "LOWER(S) is not exist");
  EXPECT_EQ(boxes[1].text, "I,S is not exist");
  EXPECT_EQ(boxes[0].caption, "Error");
  EXPECT_EQ(boxes[0].flags, 0x2010u);
}

}  // namespace
}  // namespace orv::test
