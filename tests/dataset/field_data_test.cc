// Field values of an open query: reading every type from slot texts,
// writing them back in edit state, and the refusals.
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "dataset/field_text.h"
#include "dataset/scripted_query.h"
#include "host/datetime.h"
#include "host/sysutils.h"

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

// AsString of the ordinary fields is read straight from the slot where that
// is certain; whatever the slot holds, it must give what converting through
// the native value gives, or fail as that fails.
class FieldTextTest : public testing::ScriptedQueryTest {};

TEST_F(FieldTextTest, AsStringIsWhatTheNativeValueGives) {
  const std::vector<std::vector<std::string>> rows = {
      // integer, smallint, float, date-time, boolean
      {"42", "32767", "1.25", "20010302130405000", "T"},
      {"-7", "32768", "-0.5", "00010101000000000", "F"},
      {"0", "-32768", "0", "99991231235959999", "t"},
      {"-0", "-32769", "-0", "20000229120000000", ""},
      {"007", "65535", "1000000000000000", "2001030213040500", "x"},
      {"2147483647", "-0", "100000000000000", "18000101120000000", "T"},
      {"2147483648", "00", "0.0001", "20010230000000000", "T"},
      {"-2147483649", "", "0.00001", "20010302;", "T"},
      {"+5", "5", "1.50", "", "T"},
      {"12abc", "7", "007", "2001-03-02 13:04:", "T"},
      {"99999999999", "1", "1e5", "20011302130405000", "T"},
      {"-2147483648", "2", "123456789012345", "20010302240000000", "T"},
      {"", "3", "0.1234567890123456", "18991230000000000", "T"},
      {"1", "4", "99999999999999.9", "20010302130460000", "T"},
      {"10", "-1", ".5", "19000101000000001", "T"},
      {"-10", "0", "-12345.678", "20240229235959999", "T"},
  };
  std::string reply =
      Column(8, "I", 11) + Column(7, "SM", 6) + Column(10, "F", 24) + Column(12, "D", 17) +
      Column(11, "B", 1);
  for (const auto& row : rows)
    for (const std::string& value : row) reply += Value(value);
  OpenWith(5, reply + "EOF;");
  ASSERT_TRUE(query_.Active()) << log_.Texts();
  auto native = [](TField* f) -> std::string {
    if (f->IsNull()) return "";
    switch (f->DataType()) {
      case ftFloat: return FloatToStr(f->AsFloat());
      case ftDateTime: return FormatDateTime("yyyy-mm-dd hh:nn:ss", f->AsDateTime());
      case ftBoolean: return f->AsBoolean() ? "True" : "False";
      default: return IntToStr(f->AsInteger());
    }
  };
  auto read = [](const std::function<std::string()>& text) {
    try {
      return text();
    } catch (const EConvertError& e) {
      return "raised " + e.Message();
    }
  };
  for (const char separator : {'.', ','}) {
    SetDecimalSeparator(separator);
    size_t n = 0;
    for (query_.First(); !query_.Eof(); query_.Next(), ++n) {
      for (int i = 0; i < query_.FieldCount(); ++i) {
        TField* f = query_.Fields()->GetField(i);
        EXPECT_EQ(read([f] { return f->AsString(); }), read([&] { return native(f); }))
            << f->FieldName() << " of '" << rows[n][static_cast<size_t>(i)] << "', separator "
            << separator;
      }
    }
    EXPECT_EQ(n, rows.size());
  }
  SetDecimalSeparator('.');
  std::string text;
  ASSERT_TRUE(DateTimeSlotText("20010302130405000", ftDate, text));
  EXPECT_EQ(text, "2001-03-02");
  ASSERT_TRUE(DateTimeSlotText("20010302130405000", ftTime, text));
  EXPECT_EQ(text, "13:04:05");
}

}  // namespace
}  // namespace orv
