#include <gtest/gtest.h>

#include "dataset_fixture.h"

namespace orv::testing {
namespace {

TEST(DataSetObservers, SourceAndLinksHearStateScrollsAndFieldChanges) {
  TMemoryDataSet ds;
  FillNumbered(ds, 4);
  TDataSource source(nullptr);
  std::vector<std::string> heard;
  source.OnStateChange = [&](TDataSource* s) { heard.push_back("state " + std::to_string(s->State())); };
  source.OnDataChange = [&](TDataSource*, TField* f) {
    heard.push_back(f ? "data " + f->FieldName() : "data");
  };
  source.SetDataSet(&ds);
  RecordingLink link;
  link.SetDataSource(&source);
  ds.Open();
  EXPECT_EQ(link.log, (std::vector<std::string>{"active"}));
  EXPECT_EQ(heard, (std::vector<std::string>{"state 1", "data"}));

  link.log.clear();
  heard.clear();
  ds.Next();
  ds.Edit();
  ds.FieldByName("NAME")->SetAsString("new");
  EXPECT_EQ(link.log, (std::vector<std::string>{"scrolled 1", "editing", "record",
                                                "record NAME"}));
  EXPECT_EQ(heard, (std::vector<std::string>{"data", "state 2", "data", "data NAME"}));

  // Field OnChange fires as the dataset reports the change.
  int changes = 0;
  ds.FieldByName("ID")->OnChange = [&](TField*) { ++changes; };
  ds.FieldByName("ID")->SetAsInteger(12);
  EXPECT_EQ(changes, 1);
  ds.Post();

  // While controls are disabled nothing is passed on; enabling sends one
  // change.
  link.log.clear();
  ds.DisableControls();
  ds.First();
  ds.Next();
  ds.Next();
  EXPECT_TRUE(link.log.empty());
  ds.EnableControls();
  EXPECT_EQ(link.log, (std::vector<std::string>{"changed"}));

  // AutoEdit lets the source start the edit; a disabled source goes quiet.
  source.Edit();
  EXPECT_EQ(ds.State(), dsEdit);
  ds.Cancel();
  source.SetEnabled(false);
  EXPECT_EQ(link.log.back(), "inactive");
  link.log.clear();
  ds.Next();
  EXPECT_TRUE(link.log.empty());
  source.SetEnabled(true);
  ds.Close();
  EXPECT_EQ(link.log.back(), "inactive");
}

TEST(DataSetObservers, WhicheverDiesFirstDetaches) {
  auto ds = std::make_unique<TMemoryDataSet>();
  FillNumbered(*ds, 2);
  TDataSource source(nullptr);
  source.SetDataSet(ds.get());
  {
    RecordingLink link;
    link.SetBufferCount(5);
    link.SetDataSource(&source);
    ds->Open();
    EXPECT_EQ(ds->BufferCount(), 5);
  }
  EXPECT_EQ(ds->BufferCount(), 1);  // the link's room is given back
  RecordingLink survivor;
  survivor.SetDataSource(&source);
  ds.reset();
  EXPECT_EQ(source.DataSet(), nullptr);
  EXPECT_EQ(source.State(), dsInactive);
  EXPECT_FALSE(survivor.Active());
}

TEST(DataSetObservers, SetKeyStateRedirectsNothingByItself) {
  TMemoryDataSet ds;
  FillNumbered(ds, 3);
  ds.Open();
  ds.Next();
  TRecordBuffer active = ds.ActiveBuffer();
  const auto posts = std::count(ds.calls.begin(), ds.calls.end(), "InternalPost");
  ds.SetKey();
  EXPECT_EQ(ds.State(), dsSetKey);
  EXPECT_EQ(ds.ActiveBuffer(), active);
  // The field reads the record the dataset chooses: still the active one.
  EXPECT_EQ(ds.FieldByName("ID")->AsInteger(), 1);
  ds.FieldByName("ID")->SetAsInteger(77);
  EXPECT_EQ(ds.FieldByName("ID")->AsInteger(), 77);
  EXPECT_FALSE(ds.Modified());  // key entry is not an edit
  ds.Post();
  EXPECT_EQ(ds.State(), dsBrowse);
  EXPECT_EQ(std::count(ds.calls.begin(), ds.calls.end(), "InternalPost"), posts);
  ds.Refresh();
  EXPECT_EQ(ds.FieldByName("ID")->AsInteger(), 1);  // the stored row never changed
}

}  // namespace
}  // namespace orv::testing
