#include <gtest/gtest.h>

#include <thread>

#include "fake_owner.h"
#include "host/datetime.h"
#include "resultset/dataset_exception.h"

namespace orv {
namespace {

using test::FakeOwner;

// NAME (text, 10) and N (integer, 4), one row per (name, number).
std::string Reply(const std::vector<std::pair<std::string, std::string>>& rows,
                  bool end = true) {
  std::string reply = "0;NAME;10;0;8;N;4;0;";
  for (const auto& [name, n] : rows)
    reply += std::to_string(name.size()) + ";" + name + ";" +
             std::to_string(n.size()) + ";" + n + ";";
  return end ? reply + "EOF;" : reply;
}

const std::string kName(1, '\0');
const std::string kN(1, '\1');
Variant Key(Variant v) { return VarArrayOf({std::move(v)}); }

TEST(StreamNavigation, MovesAndReadsTheCurrentRow) {
  FakeOwner empty;
  empty.Push(Reply({}));
  ASSERT_TRUE(empty.Read(2));
  empty.stream.First();
  empty.stream.Last();
  empty.stream.Next();
  EXPECT_EQ(empty.stream.Tell(), -1);
  EXPECT_EQ(empty.stream.Fields(0), "");
  EXPECT_FALSE(empty.stream.GotoKey(kN, Key(1), true));

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
  s.Next();
  EXPECT_TRUE(s.Eof());
  EXPECT_EQ(s.Tell(), 2);
  EXPECT_EQ(Screen().Cursor(), crHourGlass);  // put back after each Next
  Screen().SetCursor(crDefault);
  s.Prior();
  EXPECT_EQ(s.SeekState(), ssMid);
  s.Last();
  EXPECT_EQ(s.Tell(), 2);
  EXPECT_TRUE(s.Eof());
  try {
    s.FieldByName("name");
    FAIL();
  } catch (const EOrvDataSetException& e) {
    EXPECT_EQ(e.Message(), "\"name\" field not found!");
  }
  try {
    s.Fields(2);
    FAIL();
  } catch (const EOrvDataSetException& e) {
    EXPECT_EQ(e.Message(), "2 field not found...");
  }
}

TEST(StreamSearch, LocateStartsAfterTheCurrentRow) {
  FakeOwner owner;
  owner.Push(Reply({{"Smith", "1"}, {"smith", "2"}, {"Smithers", "3"}, {"Smith", "4"}}));
  ASSERT_TRUE(owner.Read(2));
  TOrvRDBStream& s = owner.stream;
  EXPECT_TRUE(s.Locate(kName, Key("Smith"), loNone));
  EXPECT_EQ(s.Tell(), 0);  // CurRow -1 starts at row 0
  EXPECT_TRUE(s.Locate(kName, Key("Smith"), loNone));
  EXPECT_EQ(s.Tell(), 3);  // never the current row itself
  EXPECT_FALSE(s.Locate(kName, Key("Smith"), loNone));
  EXPECT_EQ(s.Tell(), 3);
  s.SetCurRow(0);
  EXPECT_TRUE(s.Locate(kName, Key("SMITH"), loCaseInsensitive));
  EXPECT_EQ(s.Tell(), 1);
  s.SetCurRow(-1);
  EXPECT_FALSE(s.Locate(kName, Key("Smithersx"), loPartialKey));
  EXPECT_TRUE(s.Locate(kName, Key("Sm"), loPartialKey));
  EXPECT_EQ(s.Tell(), 0);
  EXPECT_TRUE(s.Locate(kName + kN, VarArrayOf({Variant("Smith"), Variant(4)}), loNone));
  EXPECT_EQ(s.Tell(), 3);
  s.SetCurRow(-1);
  EXPECT_TRUE(s.Locate(kN, Variant(3), loNone));  // a single value, a single key
  EXPECT_EQ(s.Tell(), 2);
  EXPECT_THROW(s.Locate(kName + kN, Key("x"), loNone), EOrvDataSetException);
}

TEST(StreamSearch, GotoKeyNearestOnNumbersAndTexts) {
  FakeOwner owner;
  owner.Push(Reply({{"apple", "10"}, {"banana", "20"}, {"cherry", "30"}}));
  ASSERT_TRUE(owner.Read(2));
  TOrvRDBStream& s = owner.stream;
  EXPECT_TRUE(s.GotoKey(kN, Key(25), true));
  EXPECT_EQ(s.Tell(), 2);
  s.SetCurRow(0);
  EXPECT_TRUE(s.GotoKey(kN, Key(35), true));
  EXPECT_EQ(s.Tell(), 2);
  s.SetCurRow(0);
  EXPECT_FALSE(s.GotoKey(kN, Key(25), false));
  EXPECT_EQ(s.Tell(), 0);
  EXPECT_TRUE(s.GotoKey(kN, Key("20.0"), false));
  EXPECT_EQ(s.Tell(), 1);
  s.SetCurRow(0);
  EXPECT_TRUE(s.GotoKey(kName, Key("b"), true));
  EXPECT_EQ(s.Tell(), 1);
  EXPECT_FALSE(s.GotoKey(kName, Key("Cherry"), false));
  EXPECT_FALSE(s.GotoKey("", VarArrayOf({}), true));
  EXPECT_THROW(s.GotoKey(kN, Key("1-2"), false), EConvertError);

  FakeOwner two;  // "1,5" counts 0; the second key starts at the first's row
  two.Push(Reply({{"a", "1,5"}, {"a", "2"}, {"b", "1"}, {"b", "3"}}));
  ASSERT_TRUE(two.Read(2));
  EXPECT_TRUE(two.stream.GotoKey(kN, Key(0), false));
  EXPECT_EQ(two.stream.Tell(), 0);
  EXPECT_TRUE(two.stream.GotoKey(kName + kN, VarArrayOf({Variant("b"), Variant(2)}), true));
  EXPECT_EQ(two.stream.Tell(), 3);
}

TEST(StreamSearch, DateAndBooleanKeysMatchTheStoredText) {
  FakeOwner owner;  // B (bit) and D (date-time), as the server sends them
  owner.Push("11;B;1;0;12;D;17;0;1;T;17;20010220000000000;1;F;17;20010330123456789;EOF;");
  ASSERT_TRUE(owner.Read(2));
  TOrvRDBStream& s = owner.stream;
  const std::string kB(1, '\0');
  const std::string kD(1, '\1');
  const TDateTime later = EncodeDate(2001, 3, 30) + EncodeTime(12, 34, 56, 789);
  EXPECT_TRUE(s.Locate(kB, Key(false), loNone));
  EXPECT_EQ(s.Tell(), 1);
  s.SetCurRow(-1);
  EXPECT_TRUE(s.Locate(kD, Key(Variant::FromDateTime(later)), loNone));
  EXPECT_EQ(s.Tell(), 1);
  EXPECT_TRUE(s.GotoKey(kD, Key(Variant::FromDateTime(EncodeDate(2001, 2, 20))), false));
  EXPECT_EQ(s.Tell(), 0);
  EXPECT_TRUE(s.GotoKey(kD, Key(Variant::FromDateTime(EncodeDate(2001, 3, 1))), true));
  EXPECT_EQ(s.Tell(), 1);
  // A text key stays the text it is: the stored form matches, others not.
  s.SetCurRow(-1);
  EXPECT_TRUE(s.Locate(kB, Key("T"), loNone));
  EXPECT_FALSE(s.Locate(kD, Key("2001-03-30"), loNone));
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
  s.Next();  // waits for row 1
  EXPECT_EQ(s.Fields(0), "b");
  EXPECT_FALSE(s.Eof());
  s.Next();  // waits for the end marker: there is no row 2
  EXPECT_EQ(s.Tell(), 1);
  EXPECT_TRUE(s.Eof());
  feeder.join();
  reader.join();
}

}  // namespace
}  // namespace orv
