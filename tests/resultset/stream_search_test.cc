#include <gtest/gtest.h>

#include <thread>

#include "fake_owner.h"
#include "host/forms.h"
#include "host/variant.h"
#include "resultset/dataset_exception.h"

namespace orv {
namespace {

using test::FakeOwner;

// NAME (text, 10) and N (integer, 4) over rows given as (name, number).
std::string Reply(const std::vector<std::pair<std::string, std::string>>& rows,
                  bool end = true) {
  std::string reply = "0;NAME;10;0;8;N;4;0;";
  for (const auto& [name, n] : rows)
    reply += std::to_string(name.size()) + ";" + name + ";" +
             std::to_string(n.size()) + ";" + n + ";";
  return end ? reply + "EOF;" : reply;
}

const std::string kKeyName(1, '\0');
const std::string kKeyN(1, '\1');

TEST(StreamNavigation, EmptyAndFinishedStreams) {
  FakeOwner owner;
  owner.Push(Reply({}));
  ASSERT_TRUE(owner.Read(2));
  TOrvRDBStream& s = owner.stream;
  s.Open();
  s.First();
  s.Last();
  s.Next();
  s.Prior();
  EXPECT_EQ(s.Tell(), -1);
  EXPECT_EQ(s.SeekState(), ssMid);
  EXPECT_EQ(s.Fields(0), "");
  EXPECT_THROW(s.FieldByName("NOPE"), EOrvDataSetException);
  EXPECT_FALSE(s.GotoKey(kKeyN, VarArrayOf({Variant(1)}), true));
  EXPECT_FALSE(s.Locate(kKeyName, VarArrayOf({Variant("x")}), loNone));
}

TEST(StreamNavigation, MovesAndReadsTheCurrentRow) {
  FakeOwner owner;
  owner.Push(Reply({{"Smith", "10"}, {"Jones", "20"}, {"Brown", "30"}}));
  ASSERT_TRUE(owner.Read(2));
  TOrvRDBStream& s = owner.stream;
  Screen().SetCursor(crHourGlass);
  s.First();
  EXPECT_TRUE(s.Bof());
  EXPECT_EQ(s.FieldByName("NAME"), "Smith");
  s.Prior();
  EXPECT_EQ(s.Tell(), 0);
  EXPECT_TRUE(s.Bof());
  s.Next();
  s.Next();
  EXPECT_EQ(s.Fields(1), "30");
  s.Next();
  EXPECT_TRUE(s.Eof());
  EXPECT_EQ(s.Tell(), 2);
  EXPECT_EQ(Screen().Cursor(), crHourGlass);  // put back after each Next
  s.Prior();
  EXPECT_EQ(s.Tell(), 1);
  EXPECT_EQ(s.SeekState(), ssMid);
  s.Last();
  EXPECT_EQ(s.Tell(), 2);
  EXPECT_TRUE(s.Eof());

  EXPECT_THROW(s.FieldByName("name"), EOrvDataSetException);
  try {
    s.FieldByName("Nope");
    FAIL();
  } catch (const EOrvDataSetException& e) {
    EXPECT_EQ(e.Message(), "\"Nope\" field not found!");
  }
  try {
    s.Fields(2);
    FAIL();
  } catch (const EOrvDataSetException& e) {
    EXPECT_EQ(e.Message(), "2 field not found...");
  }
  Screen().SetCursor(crDefault);
}

TEST(StreamSearch, LocateStartsAfterTheCurrentRow) {
  FakeOwner owner;
  owner.Push(Reply({{"Smith", "1"}, {"smith", "2"}, {"Smithers", "3"}, {"Smith", "4"}}));
  ASSERT_TRUE(owner.Read(2));
  TOrvRDBStream& s = owner.stream;
  EXPECT_TRUE(s.Locate(kKeyName, VarArrayOf({Variant("Smith")}), loNone));
  EXPECT_EQ(s.Tell(), 0);  // CurRow -1 starts at row 0
  EXPECT_TRUE(s.Locate(kKeyName, VarArrayOf({Variant("Smith")}), loNone));
  EXPECT_EQ(s.Tell(), 3);  // never the current row itself
  EXPECT_FALSE(s.Locate(kKeyName, VarArrayOf({Variant("Smith")}), loNone));
  EXPECT_EQ(s.Tell(), 3);

  s.SetCurRow(-1);
  EXPECT_TRUE(s.Locate(kKeyName, VarArrayOf({Variant("SMITH")}), loCaseInsensitive));
  EXPECT_EQ(s.Tell(), 0);
  EXPECT_TRUE(s.Locate(kKeyName, VarArrayOf({Variant("SMITH")}), loCaseInsensitive));
  EXPECT_EQ(s.Tell(), 1);
  s.SetCurRow(-1);
  EXPECT_FALSE(s.Locate(kKeyName, VarArrayOf({Variant("Smithersx")}), loPartialKey));
  EXPECT_TRUE(s.Locate(kKeyName, VarArrayOf({Variant("Sm")}), loPartialKey));
  EXPECT_EQ(s.Tell(), 0);
  // Two keys, and a single value for a single key.
  s.SetCurRow(-1);
  EXPECT_TRUE(s.Locate(kKeyName + kKeyN, VarArrayOf({Variant("Smith"), Variant(4)}), loNone));
  EXPECT_EQ(s.Tell(), 3);
  s.SetCurRow(-1);
  EXPECT_TRUE(s.Locate(kKeyN, Variant(3), loNone));
  EXPECT_EQ(s.Tell(), 2);
  EXPECT_THROW(s.Locate(kKeyName + kKeyN, VarArrayOf({Variant("x")}), loNone),
               EOrvDataSetException);
}

TEST(StreamSearch, GotoKeyNearestOnNumbersAndTexts) {
  FakeOwner owner;
  owner.Push(Reply({{"apple", "10"}, {"banana", "20"}, {"cherry", "30"}}));
  ASSERT_TRUE(owner.Read(2));
  TOrvRDBStream& s = owner.stream;
  EXPECT_TRUE(s.GotoKey(kKeyN, VarArrayOf({Variant(25)}), true));
  EXPECT_EQ(s.Tell(), 2);
  EXPECT_TRUE(s.GotoKey(kKeyN, VarArrayOf({Variant(35)}), true));
  EXPECT_EQ(s.Tell(), 2);
  s.SetCurRow(0);
  EXPECT_FALSE(s.GotoKey(kKeyN, VarArrayOf({Variant(25)}), false));
  EXPECT_EQ(s.Tell(), 0);
  EXPECT_TRUE(s.GotoKey(kKeyN, VarArrayOf({Variant("20.0")}), false));
  EXPECT_EQ(s.Tell(), 1);
  EXPECT_TRUE(s.GotoKey(kKeyName, VarArrayOf({Variant("b")}), true));
  EXPECT_EQ(s.Tell(), 1);
  EXPECT_TRUE(s.GotoKey(kKeyName, VarArrayOf({Variant("cherry")}), false));
  EXPECT_EQ(s.Tell(), 2);
  EXPECT_FALSE(s.GotoKey(kKeyName, VarArrayOf({Variant("Cherry")}), false));
  EXPECT_FALSE(s.GotoKey("", VarArrayOf({}), true));
  // A numeric-looking text that does not convert passes the error on.
  EXPECT_THROW(s.GotoKey(kKeyN, VarArrayOf({Variant("1-2")}), false), EConvertError);

  FakeOwner commas;
  commas.Push(Reply({{"a", "1,5"}, {"b", "2"}}));
  ASSERT_TRUE(commas.Read(2));
  EXPECT_TRUE(commas.stream.GotoKey(kKeyN, VarArrayOf({Variant(0)}), false));
  EXPECT_EQ(commas.stream.Tell(), 0);
  // The second key is searched from the row the first one found.
  FakeOwner two;
  two.Push(Reply({{"a", "1"}, {"a", "2"}, {"b", "1"}, {"b", "3"}}));
  ASSERT_TRUE(two.Read(2));
  EXPECT_TRUE(two.stream.GotoKey(kKeyName + kKeyN, VarArrayOf({Variant("b"), Variant(2)}), true));
  EXPECT_EQ(two.stream.Tell(), 3);
}

TEST(StreamNavigation, NextWaitsForARowStillToCome) {
  FakeOwner owner;
  owner.state.store(kResultColumnsPending);
  owner.stream.SetCols(2);
  owner.Push(Reply({{"a", "1"}}, false));
  std::thread reader([&owner] {
    owner.stream.SetFieldInf(true);
    owner.state.store(kResultComplete);
    owner.event.SetEvent();
  });
  TOrvRDBStream& s = owner.stream;
  s.First();
  ASSERT_EQ(s.Tell(), 0);
  std::thread feeder([&owner] {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    owner.Push("1;b;1;2;");
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    owner.Push("EOF;");
  });
  s.Next();  // blocks until row 1 arrives
  EXPECT_EQ(s.Tell(), 1);
  EXPECT_EQ(s.Fields(0), "b");
  EXPECT_FALSE(s.Eof());
  s.Next();  // blocks until the end marker: no row 2
  EXPECT_EQ(s.Tell(), 1);
  EXPECT_TRUE(s.Eof());
  feeder.join();
  reader.join();
}

}  // namespace
}  // namespace orv
