#include "resultset/compact_strings.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "host/exceptions.h"

namespace orv {
namespace {

TEST(CompactStrings, CapacityGrowsInTheFixedSequence) {
  TCompactStrings list;
  std::vector<int> steps;
  for (int i = 0; i < 200; ++i) {
    EXPECT_EQ(list.Add(std::to_string(i)), i);
    if (steps.empty() || steps.back() != list.Capacity()) steps.push_back(list.Capacity());
  }
  EXPECT_EQ(steps, (std::vector<int>{4, 8, 12, 28, 44, 60, 76, 95, 118, 147, 183, 228}));
  EXPECT_EQ(list.Get(199), "199");
}

TEST(CompactStrings, IndexChecksAndMessages) {
  TCompactStrings list;
  list.Add("a");
  list.Insert(1, "c");  // at Count: appends
  list.Insert(1, "b");
  list.Insert(0, "_");
  std::string all;
  for (int i = 0; i < list.Count(); ++i) all += list.Get(i);
  EXPECT_EQ(all, "_abc");
  for (int bad : {-1, 5}) {
    try {
      list.Insert(bad, "x");
      FAIL();
    } catch (const EStringListError& e) {
      EXPECT_EQ(e.Message(), "List index out of bounds (" + std::to_string(bad) + ")");
    }
  }
  EXPECT_THROW(list.Get(4), EStringListError);
  EXPECT_THROW(list.Delete(4), EStringListError);
  EXPECT_THROW(list.Put(-1, "x"), EStringListError);
  EXPECT_THROW(list.GetObject(4), EStringListError);
  EXPECT_THROW(list.PutObject(4, nullptr), EStringListError);
  EXPECT_THROW(list.SetCapacity(3), EStringListError);
  EXPECT_EQ(list.Count(), 4);
  list.Put(0, std::string("\0z", 2));
  EXPECT_EQ(list.Get(0), std::string("\0z", 2));
}

TEST(CompactStrings, DeleteClearAndObjects) {
  auto obj = std::make_unique<TCompactStrings>();
  TCompactStrings list;
  list.AddObject("ABC", obj.get());
  list.Add("abc");
  EXPECT_EQ(list.IndexOf("abc"), 0);
  EXPECT_EQ(list.IndexOf("abd"), -1);
  list.Delete(0);
  EXPECT_EQ(list.Get(0), "abc");
  EXPECT_EQ(list.GetObject(0), nullptr);
  list.PutObject(0, obj.get());
  list.Delete(0);
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(list.Capacity(), 4);  // storage kept by Delete
  list.Clear();
  EXPECT_EQ(list.Capacity(), 4);  // an empty list is left alone
  list.AddObject("x", obj.get());
  list.Clear();
  EXPECT_EQ(list.Capacity(), 0);
  EXPECT_EQ(list.IndexOf("x"), -1);
  obj->Add("still alive");  // never freed by the list
  EXPECT_EQ(obj->Count(), 1);
}

TEST(CompactStrings, RewrittenStringsKeepTheirValuesAndBoundTheStorage) {
  TCompactStrings list;
  for (int i = 0; i < 1000; ++i) list.Add(std::string(100, static_cast<char>('a' + i % 26)));
  // Rewriting every string many times over drops far more bytes than live
  // ones; a string put from a view of the list itself survives its own move.
  for (int round = 0; round < 20; ++round) {
    for (int i = 0; i < 1000; ++i) list.Put(i, list.Get((i + 1) % 1000));
    list.Put(0, std::string(100, 'z'));
  }
  list.Delete(500);
  list.Insert(10, "");
  ASSERT_EQ(list.Count(), 1000);
  EXPECT_EQ(list.Get(0), std::string(100, 'z'));
  EXPECT_EQ(list.Get(10), "");
  EXPECT_EQ(list.Get(11), std::string(100, static_cast<char>('a' + 30 % 26)));
  EXPECT_LE(list.StoredBytes(), 2 * 100 * 1000 + (64 << 10));
}

}  // namespace
}  // namespace orv
