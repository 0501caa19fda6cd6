#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "dataset_fixture.h"

namespace orv::testing {
namespace {

int Id(TDataSet& ds) { return ds.FieldByName("ID")->AsInteger(); }

class DataSetEdit : public ::testing::Test {
 protected:
  void SetUp() override {
    FillNumbered(ds, 5);
    auto log = [this](const char* name) {
      return [this, name](TDataSet*) { events.push_back(name); };
    };
    ds.BeforeInsert = log("BeforeInsert");
    ds.AfterInsert = log("AfterInsert");
    ds.BeforeEdit = log("BeforeEdit");
    ds.AfterEdit = log("AfterEdit");
    ds.BeforePost = log("BeforePost");
    ds.AfterPost = log("AfterPost");
    ds.BeforeCancel = log("BeforeCancel");
    ds.AfterCancel = log("AfterCancel");
    ds.BeforeDelete = log("BeforeDelete");
    ds.AfterDelete = log("AfterDelete");
    ds.BeforeScroll = log("BeforeScroll");
    ds.AfterScroll = log("AfterScroll");
    ds.OnNewRecord = log("OnNewRecord");
    ds.Open();
    events.clear();
  }
  std::vector<int> Ids() {
    std::vector<int> ids;
    for (const auto& row : ds.Rows()) {
      int32_t id;
      std::memcpy(&id, row.cells[0].native.data(), 4);
      ids.push_back(id);
    }
    return ids;
  }

  TMemoryDataSet ds;
  std::vector<std::string> events;
};

TEST_F(DataSetEdit, EditPostAndCancel) {
  TField* name = ds.FieldByName("NAME");
  EXPECT_THROW(name->SetAsString("x"), EDatabaseError);  // browsing
  ds.Next();
  ds.Edit();
  EXPECT_EQ(ds.State(), dsEdit);
  name->SetAsString("changed");
  EXPECT_TRUE(ds.Modified());
  ds.Post();
  EXPECT_EQ(ds.State(), dsBrowse);
  EXPECT_EQ(name->AsString(), "changed");
  EXPECT_EQ(ds.Rows()[1].cells[1].native.substr(0, 7), "changed");
  EXPECT_EQ(events, (std::vector<std::string>{"BeforeScroll", "AfterScroll", "BeforeEdit",
                                              "AfterEdit", "BeforePost", "AfterPost"}));

  events.clear();
  ds.Edit();
  name->SetAsString("dropped");
  ds.Cancel();
  EXPECT_EQ(name->AsString(), "changed");
  EXPECT_EQ(Id(ds), 1);
  EXPECT_EQ(events, (std::vector<std::string>{"BeforeEdit", "AfterEdit", "BeforeCancel",
                                              "AfterCancel"}));

  // Scrolling while editing posts a modified record, cancels an unmodified one.
  ds.Edit();
  name->SetAsString("posted");
  ds.Next();
  EXPECT_EQ(ds.Rows()[1].cells[1].native.substr(0, 6), "posted");
  const auto cancels = std::count(ds.calls.begin(), ds.calls.end(), "InternalCancel");
  ds.Edit();
  ds.Prior();
  EXPECT_EQ(std::count(ds.calls.begin(), ds.calls.end(), "InternalCancel"), cancels + 1);
  EXPECT_EQ(ds.State(), dsBrowse);
}

TEST_F(DataSetEdit, InsertAppendAndDelete) {
  ds.MoveBy(2);
  events.clear();
  ds.Insert();
  EXPECT_EQ(ds.State(), dsInsert);
  EXPECT_TRUE(ds.FieldByName("ID")->IsNull());
  ds.FieldByName("ID")->SetAsInteger(100);
  ds.Post();
  EXPECT_EQ(Ids(), (std::vector<int>{0, 1, 100, 2, 3, 4}));
  EXPECT_EQ(Id(ds), 100);
  EXPECT_EQ(events, (std::vector<std::string>{"BeforeInsert", "BeforeScroll", "OnNewRecord",
                                              "AfterInsert", "AfterScroll", "BeforePost",
                                              "AfterPost"}));

  events.clear();
  ds.Insert();
  ds.FieldByName("ID")->SetAsInteger(200);
  ds.Cancel();
  EXPECT_EQ(Ids(), (std::vector<int>{0, 1, 100, 2, 3, 4}));
  EXPECT_EQ(Id(ds), 100);
  EXPECT_EQ(events, (std::vector<std::string>{"BeforeInsert", "BeforeScroll", "OnNewRecord",
                                              "AfterInsert", "AfterScroll", "BeforeCancel",
                                              "BeforeScroll", "AfterCancel", "AfterScroll"}));

  ds.Append();
  ds.FieldByName("ID")->SetAsInteger(300);
  ds.Post();
  EXPECT_EQ(Ids().back(), 300);
  EXPECT_EQ(Id(ds), 300);

  events.clear();
  ds.First();
  ds.Delete();
  EXPECT_EQ(Id(ds), 1);
  ds.Last();
  ds.Delete();  // deleting the last record lands on the one before
  EXPECT_EQ(Id(ds), 4);
  EXPECT_EQ(Ids(), (std::vector<int>{1, 100, 2, 3, 4}));
  EXPECT_EQ(ds.RecordCount(), 5);

  // Inserting into an empty dataset, then deleting everything.
  while (!ds.IsEmpty()) ds.Delete();
  EXPECT_TRUE(ds.Eof() && ds.Bof());
  ds.Edit();  // Edit on an empty dataset inserts
  EXPECT_EQ(ds.State(), dsInsert);
  ds.FieldByName("ID")->SetAsInteger(7);
  ds.Post();
  EXPECT_EQ(Ids(), (std::vector<int>{7}));
  EXPECT_FALSE(ds.IsEmpty());
}

TEST_F(DataSetEdit, ErrorEventsDecideTheOutcome) {
  ds.OnNewRecord = [](TDataSet* d) { d->FieldByName("ID")->SetAsInteger(-1); };
  ds.BeforePost = [](TDataSet* d) {
    if (d->FieldByName("ID")->AsInteger() < 0) DatabaseError("negative id");
  };
  ds.Append();
  EXPECT_EQ(ds.FieldByName("ID")->AsInteger(), -1);
  EXPECT_THROW(ds.Post(), EDatabaseError);
  EXPECT_EQ(ds.State(), dsInsert);  // a failed post keeps the edit
  ds.FieldByName("ID")->SetAsInteger(9);
  ds.Post();
  EXPECT_EQ(Ids().back(), 9);

  // A read-only dataset refuses to edit; a read-only field refuses writes.
  ds.SetReadOnly(true);
  EXPECT_THROW(ds.Edit(), EDatabaseError);
  ds.SetReadOnly(false);
  ds.FieldByName("NAME")->SetReadOnly(true);
  ds.Edit();
  try {
    ds.FieldByName("NAME")->SetAsString("x");
    ADD_FAILURE();
  } catch (const EDatabaseError& e) {
    EXPECT_NE(e.Message().find("Field 'NAME' cannot be modified"), std::string::npos);
  }
  ds.Cancel();
}

TEST_F(DataSetEdit, BookmarksSurviveEdits) {
  ds.MoveBy(3);
  TBookmark mark = ds.GetBookmark();
  ASSERT_NE(mark, nullptr);
  ds.First();
  ds.Insert();
  ds.FieldByName("ID")->SetAsInteger(50);
  ds.Post();
  ds.Delete();  // removes the inserted record again
  ds.Delete();  // and row 0
  ds.GotoBookmark(mark);
  EXPECT_EQ(Id(ds), 3);
  EXPECT_TRUE(ds.BookmarkValid(mark));

  const std::string text_mark = ds.Bookmark();
  ds.Last();
  ds.SetBookmark(text_mark);
  EXPECT_EQ(Id(ds), 3);

  ds.First();
  TBookmark first = ds.GetBookmark();
  EXPECT_LT(ds.CompareBookmarks(first, mark), 0);
  EXPECT_EQ(ds.CompareBookmarks(mark, mark), 0);
  ds.GotoBookmark(mark);
  ds.Delete();
  EXPECT_FALSE(ds.BookmarkValid(mark));
  EXPECT_THROW(ds.GotoBookmark(mark), EDatabaseError);
  ds.FreeBookmark(mark);
  ds.FreeBookmark(first);
}

TEST(DataSetCalcFields, ComputedOnFetchAndOnChange) {
  TMemoryDataSet ds;
  FillNumbered(ds, 3);
  // Persistent fields: the data fields bind by name, the calculated one
  // gets its slot in the calculated area.
  auto* id = new TIntegerField(&ds);
  id->SetFieldName("ID");
  id->SetDataSet(&ds);
  auto* twice = new TIntegerField(&ds);
  twice->SetFieldName("TWICE");
  twice->SetFieldKind(fkCalculated);
  twice->SetDataSet(&ds);
  int calculations = 0;
  ds.OnCalcFields = [&](TDataSet* d) {
    ++calculations;
    EXPECT_EQ(d->State(), dsCalcFields);
    if (!d->FieldByName("ID")->IsNull()) {
      d->FieldByName("TWICE")->SetAsInteger(d->FieldByName("ID")->AsInteger() * 2);
    }
  };
  ds.Open();
  EXPECT_FALSE(ds.DefaultFields());
  EXPECT_EQ(ds.FieldCount(), 2);  // NAME has no field
  EXPECT_EQ(twice->FieldNo(), -1);
  EXPECT_EQ(id->FieldNo(), 1);
  EXPECT_EQ(ds.CalcFieldsSize(), twice->DataSize() + 1);
  ds.Next();
  EXPECT_EQ(twice->AsInteger(), 2);

  ds.Edit();
  const int before = calculations;
  id->SetAsInteger(21);
  EXPECT_EQ(calculations, before + 1);
  EXPECT_EQ(twice->AsInteger(), 42);
  ds.SetAutoCalcFields(false);
  id->SetAsInteger(5);
  EXPECT_EQ(twice->AsInteger(), 42);  // only fetching recalculates now
  ds.Post();
  EXPECT_EQ(twice->AsInteger(), 10);
  ds.Close();
  EXPECT_EQ(ds.FieldCount(), 2);  // persistent fields stay

  // A persistent field of the wrong type is refused when binding.
  TMemoryDataSet other;
  FillNumbered(other, 1);
  TStringField wrong(nullptr);
  wrong.SetFieldName("ID");
  wrong.SetDataSet(&other);
  EXPECT_THROW(other.Open(), EDatabaseError);
  EXPECT_FALSE(other.Active());

  // A failed open leaves no default fields behind (a BCD column has no
  // field class here; ID and NAME got theirs before it failed).
  TMemoryDataSet failing;
  FillNumbered(failing, 0);
  failing.AddColumn("AMOUNT", ftBCD);
  EXPECT_THROW(failing.Open(), EDatabaseError);
  EXPECT_FALSE(failing.Active());
  EXPECT_EQ(failing.FieldCount(), 0);
}

}  // namespace
}  // namespace orv::testing
