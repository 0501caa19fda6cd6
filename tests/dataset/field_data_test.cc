// Field values of an open query: reading every type from slot texts,
// writing them back in edit state, and the refusals.
#include <gtest/gtest.h>

#include "dataset/scripted_query.h"
#include "host/datetime.h"

namespace orv {
namespace {

using testing::Column;
using testing::Value;

class FieldDataTest : public testing::ScriptedQueryTest {
 protected:
  void SetUp() override {
    const std::string reply =
        Column(8, "I", 11) + Column(18, "S", 4) + Column(10, "F", 24) + Column(12, "D", 17) +
        Column(11, "B", 1) + Column(4, "M", 20) + Column(7, "SM", 6) +
        Value("-2147483648") + Value("abcd") + Value("-1.5e3") + Value("20010302130405000") +
        Value("T") + Value("memo;text") + Value("-3") +
        Value("") + Value("") + Value("") + Value("") + Value("") + Value("") + Value("") +
        "EOF;";
    OpenWith(7, reply);
    ASSERT_TRUE(query_.Active()) << log_.Texts();
  }
  TField* F(const char* name) { return query_.FieldByName(name); }

};

TEST_F(FieldDataTest, EveryTypeReadsWithSignsAndNulls) {
  EXPECT_EQ(F("I")->AsInteger(), -2147483647 - 1);
  EXPECT_EQ(F("S")->AsString(), "abcd");
  EXPECT_DOUBLE_EQ(F("F")->AsFloat(), -1500.0);
  EXPECT_DOUBLE_EQ(F("D")->AsDateTime(), EncodeDate(2001, 3, 2) + EncodeTime(13, 4, 5, 0));
  EXPECT_TRUE(F("B")->AsBoolean());
  EXPECT_EQ(F("M")->AsString(), "memo;text");
  EXPECT_EQ(F("SM")->DataType(), ftSmallint);
  EXPECT_EQ(F("SM")->AsInteger(), -3);
  query_.Next();
  // Empty numbers, dates and booleans are null, not zero, a made-up date or
  // false; an empty string is an empty string.
  for (const char* name : {"I", "F", "D", "B", "M", "SM"}) EXPECT_TRUE(F(name)->IsNull()) << name;
  EXPECT_FALSE(F("S")->IsNull());
  EXPECT_EQ(query_.TellText(), "Tell = 1  DataBufferCount = " +
                                   std::to_string(query_.ResultStream()->RowWidth()));
}

TEST_F(FieldDataTest, EditedValuesReadBackAndOverlongOnesAreRefused) {
  query_.Edit();
  const TDateTime when = EncodeDate(1999, 12, 31) + EncodeTime(23, 59, 58, 0);
  F("D")->SetAsDateTime(when);
  EXPECT_DOUBLE_EQ(F("D")->AsDateTime(), when);
  F("I")->SetAsInteger(-77);
  EXPECT_EQ(F("I")->AsInteger(), -77);
  F("B")->SetAsBoolean(false);
  EXPECT_FALSE(F("B")->IsNull());
  EXPECT_FALSE(F("B")->AsBoolean());
  F("F")->Clear();
  EXPECT_TRUE(F("F")->IsNull());
  F("S")->SetAsString("wxyz");
  EXPECT_EQ(F("S")->AsString(), "wxyz");
  // One character more than the column holds: refused, nothing changed.
  try {
    F("S")->SetAsString("vwxyz");
    ADD_FAILURE() << "an overlong value was taken";
  } catch (const EDatabaseError& e) {
    EXPECT_NE(e.Message().find("'S'"), std::string::npos) << e.Message();
  }
  EXPECT_EQ(F("S")->AsString(), "wxyz");

  // A query's rows are read-only: the post is refused with the warning box
  // and the stored row is what the server sent.
  query_.Post();
  auto boxes = log_.Boxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "Sorry, OrvQuery didn't yet support CachedUpdates");
  EXPECT_EQ(boxes[0].caption, "Warning");
  query_.Refresh();
  EXPECT_EQ(F("S")->AsString(), "abcd");
  EXPECT_EQ(F("I")->AsInteger(), -2147483647 - 1);
  query_.Delete();
  EXPECT_EQ(log_.Count(), 2u);
  EXPECT_EQ(query_.ResultStream()->RowCount(), 2);
  EXPECT_THROW(F("S")->SetAsString("x"), EDatabaseError);
}

}  // namespace
}  // namespace orv
