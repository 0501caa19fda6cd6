#include "host/strings.h"

#include <gtest/gtest.h>

#include "host/exceptions.h"

namespace orv {
namespace {

TEST(StringList, ItemsObjectsAndIndexErrors) {
  TStringList list;
  TObject obj;
  EXPECT_EQ(list.Add("b"), 0);
  list.Insert(0, "a");
  EXPECT_EQ(list.AddObject("C", &obj), 2);
  list.Insert(3, "d");
  EXPECT_EQ(list.IndexOf("c"), 2);
  EXPECT_EQ(list.Objects(2), &obj);
  EXPECT_EQ(list.IndexOf("x"), -1);
  list.Delete(0);
  EXPECT_EQ(list.Strings(0), "b");
  try {
    list.Insert(5, "z");
    FAIL();
  } catch (const EStringListError& e) {
    EXPECT_EQ(e.Message(), "List index out of bounds (5)");
  }
  EXPECT_THROW(list.Get(-1), EStringListError);
  EXPECT_THROW(list.PutObject(3, nullptr), EStringListError);
  EXPECT_EQ(list.Count(), 3);
}

TEST(StringList, TextLines) {
  TStringList list;
  list.SetText("a\r\nb\nc\rd\r\n\r\ne");
  ASSERT_EQ(list.Count(), 6);
  EXPECT_EQ(list.Get(3), "d");
  EXPECT_EQ(list.Get(4), "");
  EXPECT_EQ(list.Text(), "a\r\nb\r\nc\r\nd\r\n\r\ne\r\n");
  list.SetText("x\r\n");
  EXPECT_EQ(list.Count(), 1);
  list.SetText(std::string("n\0ul", 4));
  EXPECT_EQ(list.Get(0), std::string("n\0ul", 4));
  list.SetText("");
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(list.Text(), "");
}

TEST(StringList, ChangeEventsAndAssign) {
  TStringList list;
  int changes = 0, changing = 0;
  list.OnChange = [&](TStrings* s) {
    EXPECT_EQ(s, &list);
    ++changes;
  };
  list.OnChanging = [&](TStrings*) { ++changing; };
  list.Add("a");
  list.AddObject("b", nullptr);
  EXPECT_EQ(changes, 2);
  list.BeginUpdate();
  list.BeginUpdate();
  list.Add("c");
  list.Delete(0);
  list.EndUpdate();
  EXPECT_EQ(changes, 2);
  list.EndUpdate();
  EXPECT_EQ(changes, 3);
  EXPECT_EQ(changing, 3);
  list.SetText("x\ny\nz");
  EXPECT_EQ(changes, 4);

  TStringList copy;
  TObject obj;
  copy.AddObject("old", &obj);
  list.PutObject(1, &obj);
  copy.Assign(&list);
  EXPECT_EQ(copy.Text(), "x\r\ny\r\nz\r\n");
  EXPECT_EQ(copy.Objects(1), &obj);
  TPersistent other;
  EXPECT_THROW(copy.Assign(&other), EConvertError);
}

}  // namespace
}  // namespace orv
