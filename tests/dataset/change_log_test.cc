#include "dataset/change_log.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace orv {
namespace {

using Row = std::vector<std::string>;

std::string Texts(const TChangeLog& log) {
  std::string all;
  for (int32_t j = 0; j < log.Count(); ++j) all += (j ? " " : "") + log.EntryText(j);
  return all;
}

TEST(ChangeLogTest, AnInsertedRowIsFoundWhereverItMoved) {
  TChangeLog log;
  log.Reset(2);  // a row list and one blob list
  log.RowInsertedAt(2);
  log.RecordInsert(2, {"new", "blob"});
  log.RecordEdit(4, {"four", ""});
  // Rows inserted and deleted above both rows move them.
  log.RowInsertedAt(0);
  log.RecordInsert(0, {"top", ""});
  EXPECT_EQ(log.FindLive(3), 0);
  EXPECT_EQ(log.FindLive(5), 1);
  log.RecordDelete(1, {"one", ""});
  EXPECT_EQ(Texts(log), "I2 U4 I0 D1");
  EXPECT_EQ(log.FindLive(2), 0);  // not the I0 entry numbered 2 before
  EXPECT_EQ(log.FindLive(4), 1);
  EXPECT_EQ(log.FindLive(1), -1);
  log.CheckInvariants(6);
  for (int32_t k = 0; k < 2; ++k) EXPECT_EQ(log.List(k).Count(), 4);
}

TEST(ChangeLogTest, DeletingAnEditedRowAppendsItsFetchedValuesInOrder) {
  TChangeLog log;
  log.Reset(1);
  log.RecordEdit(1, {"fetched"});
  log.RowInsertedAt(0);
  log.RecordInsert(0, {"x"});
  log.RecordDelete(2, {"edited"});
  // The delete comes after the insert it followed, with the values the
  // server still holds.
  EXPECT_EQ(Texts(log), "I0 D2");
  Row values;
  TChangeLog::TEntry last = log.PopLast(&values);
  EXPECT_EQ(last.kind, TChangeKind::ckDelete);
  EXPECT_EQ(values, Row{"fetched"});

  // Deleting an inserted row keeps its insert and records the delete.
  log.RecordDelete(0, {"x"});
  EXPECT_EQ(Texts(log), "I0 D0");
  EXPECT_EQ(log.FindLive(0), -1);
  log.Clear();
  EXPECT_TRUE(log.Empty());
  EXPECT_EQ(log.Lists(), 1);
  EXPECT_EQ(log.List(0).Count(), 0);
}

}  // namespace
}  // namespace orv
