#include <gtest/gtest.h>

#include "dataset_fixture.h"

namespace orv::testing {
namespace {

int Id(TDataSet& ds) { return ds.FieldByName("ID")->AsInteger(); }

TEST(DataSetNavigation, WalksForwardAndBackPastTheWindow) {
  TMemoryDataSet ds;
  FillNumbered(ds, 10);
  TDataSource source(nullptr);
  source.SetDataSet(&ds);
  RecordingLink link;
  link.SetBufferCount(3);
  link.SetDataSource(&source);
  ds.Open();
  EXPECT_EQ(ds.BufferCount(), 3);
  EXPECT_TRUE(ds.Bof());
  EXPECT_FALSE(ds.Eof());
  EXPECT_EQ(link.RecordCount(), 3);

  std::vector<int> seen;
  while (!ds.Eof()) {
    seen.push_back(Id(ds));
    EXPECT_GE(link.ActiveRecord(), 0);
    EXPECT_LT(link.ActiveRecord(), 3);
    ds.Next();
  }
  EXPECT_EQ(seen, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
  EXPECT_EQ(Id(ds), 9);  // Eof leaves the last record active

  seen.clear();
  ds.Last();
  EXPECT_TRUE(ds.Eof());
  while (!ds.Bof()) {
    seen.push_back(Id(ds));
    ds.Prior();
  }
  EXPECT_EQ(seen, (std::vector<int>{9, 8, 7, 6, 5, 4, 3, 2, 1, 0}));

  EXPECT_EQ(ds.MoveBy(4), 4);
  EXPECT_EQ(Id(ds), 4);
  EXPECT_EQ(ds.MoveBy(-100), -4);
  EXPECT_TRUE(ds.Bof());
  EXPECT_EQ(ds.MoveBy(100), 9);
  EXPECT_TRUE(ds.Eof());
  EXPECT_EQ(ds.MoveBy(1), 0);

  // A growing link window refills the ring around the active record.
  ds.First();
  ds.MoveBy(5);
  link.SetBufferCount(6);
  EXPECT_EQ(ds.BufferCount(), 6);
  EXPECT_EQ(ds.WindowRecordCount(), 6);
  EXPECT_EQ(Id(ds), 5);

  // Going to a bookmark centres its record in the window where it can.
  ds.MoveBy(2);
  TBookmark seven = ds.GetBookmark();
  ds.MoveBy(2);
  TBookmark nine = ds.GetBookmark();
  ds.First();
  ds.GotoBookmark(seven);
  EXPECT_EQ(Id(ds), 7);
  // Two records before it, then the window fills after, then before.
  EXPECT_EQ(ds.ActiveRecord(), 3);
  EXPECT_EQ(ds.WindowRecordCount(), 6);
  ds.GotoBookmark(nine);
  EXPECT_EQ(ds.ActiveRecord(), 5);  // nothing after it: the window fills before
  EXPECT_EQ(ds.WindowRecordCount(), 6);
  ds.FreeBookmark(seven);
  ds.FreeBookmark(nine);
  ds.Close();
  EXPECT_EQ(ds.BufferCount(), 0);
}

TEST(DataSetNavigation, EmptyAndSingleRowData) {
  TMemoryDataSet empty;
  FillNumbered(empty, 0);
  empty.Open();
  EXPECT_TRUE(empty.IsEmpty());
  EXPECT_TRUE(empty.Bof());
  EXPECT_TRUE(empty.Eof());
  EXPECT_EQ(empty.MoveBy(1), 0);
  empty.Last();
  EXPECT_TRUE(empty.Bof() && empty.Eof());
  EXPECT_EQ(empty.RecordCount(), 0);
  EXPECT_TRUE(empty.FieldByName("ID")->IsNull());
  EXPECT_THROW(empty.Delete(), EDatabaseError);

  TMemoryDataSet one;
  FillNumbered(one, 1);
  one.Open();
  EXPECT_FALSE(one.IsEmpty());
  EXPECT_TRUE(one.Bof());
  one.Next();
  EXPECT_TRUE(one.Eof());
  EXPECT_FALSE(one.Bof());
  one.Prior();
  EXPECT_TRUE(one.Bof());
  EXPECT_EQ(Id(one), 0);
}

TEST(DataSetNavigation, OpenCloseEventsAndInactiveErrors) {
  TMemoryDataSet ds;
  FillNumbered(ds, 2);
  std::vector<std::string> events;
  ds.BeforeOpen = [&](TDataSet*) { events.push_back("BeforeOpen"); };
  ds.AfterOpen = [&](TDataSet* d) {
    events.push_back("AfterOpen " + std::to_string(d->State()));
  };
  ds.AfterScroll = [&](TDataSet*) { events.push_back("AfterScroll"); };
  ds.BeforeClose = [&](TDataSet*) { events.push_back("BeforeClose"); };
  ds.AfterClose = [&](TDataSet* d) {
    events.push_back("AfterClose " + std::to_string(d->State()));
  };
  EXPECT_THROW(ds.First(), EDatabaseError);
  EXPECT_THROW(ds.RecordCount(), EDatabaseError);
  ds.Open();
  EXPECT_THROW(ds.FieldDefs()->Items(2), EDatabaseError);
  EXPECT_EQ(ds.FieldDefs()->IndexOf("name"), 1);
  EXPECT_EQ(ds.FieldDefs()->IndexOf("missing"), -1);
  ds.Close();
  EXPECT_EQ(events, (std::vector<std::string>{"BeforeOpen", "AfterOpen 1", "AfterScroll",
                                              "BeforeClose", "AfterClose 0"}));
  EXPECT_EQ(ds.FieldCount(), 0);  // default fields go with the close
  EXPECT_EQ(ds.BlobTable().Count(), 0u);
}

}  // namespace
}  // namespace orv::testing
