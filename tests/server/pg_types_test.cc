#include "server/pg_types.h"

#include <gtest/gtest.h>

#include "server/pg_rows.h"
#include "server/value_text.h"

namespace orv::server {
namespace {

using Form = PgColumnType::Form;

TEST(PgTypesTest, TypesGiveCodesAndWidthBounds) {
  struct Case {
    unsigned oid;
    int typmod;
    int code;
    std::size_t natural, bound;
  };
  const Case cases[] = {
      {16, -1, kStBit, 1, 1},             // bool
      {21, -1, kStSmallInt, 6, 6},        // int2
      {23, -1, kStInt, 11, 11},           // int4
      {20, -1, kStFloat, 20, 20},         // int8
      {701, -1, kStFloat, 24, 24},        // float8
      {1700, (10 << 16) + 2 + 4, kStNumeric, 13, 13},  // numeric(10,2)
      {1700, (2 << 16) + 0xfffd + 4, kStNumeric, 8, 8},  // numeric(2,-3): 99000
      {1700, -1, kStNumeric, 24, 0},      // numeric
      {1043, 10 + 4, kStVarchar, 10, 40}, // varchar(10): 4 bytes a character
      {1042, 3 + 4, kStChar, 3, 12},      // char(3)
      {1043, -1, kStVarchar, 255, 0},     // varchar
      {25, -1, kStVarchar, 255, 0},       // text
      {1082, -1, kStDateTime, 17, 17},    // date
      {1184, -1, kStDateTime, 17, 17},    // timestamptz
      {2950, -1, kStChar, 36, 36},        // uuid
  };
  for (const Case& c : cases) {
    PgColumnType t = PgType(c.oid, c.typmod);
    EXPECT_EQ(t.type_code, c.code) << c.oid;
    EXPECT_EQ(t.natural, c.natural) << c.oid;
    EXPECT_EQ(t.bound, c.bound) << c.oid;
  }
  EXPECT_TRUE(PgType(17, -1).known_width());  // bytea is a blob
  EXPECT_FALSE(PgType(25, -1).known_width());
}

TEST(PgTypesTest, ValuesTakeTheirWireForms) {
  struct Case {
    Form form;
    std::string text, wire;
  };
  const Case cases[] = {
      {Form::kBool, "t", "T"},
      {Form::kBool, "f", "F"},
      {Form::kDate, "2024-02-29", "20240229000000000"},
      {Form::kDate, "2001-03-02 13:04:05.123456", "20010302130405123"},
      {Form::kDate, "2001-03-02 13:04:05+01", "20010302130405000"},
      {Form::kDate, "2001-03-02 13:04:05.5-03:30", "20010302130405500"},
      {Form::kDate, "infinity", "infinity"},
      {Form::kBytea, "\\x00ff3b", std::string("\0\xff;", 3)},
      {Form::kRaw, "1e+21", "1e+21"},
  };
  for (const Case& c : cases) {
    std::string out;
    AppendPgValue(c.form, c.text, &out);
    EXPECT_EQ(out, c.wire) << c.text;
  }
}

TEST(PgTypesTest, HeldRowsAreDescribedByValuesOrByBounds) {
  PgRows rows({{"v", PgType(1043, 10 + 4)}, {"t", PgType(25, -1)}, {"b", PgType(17, -1)}});
  EXPECT_FALSE(rows.Streamable());
  rows.Add("twelve bytes");
  rows.Add(std::string(5000, 'x'));
  rows.Add("abc");
  auto complete = rows.Describe(true);
  EXPECT_EQ(complete[0].length, 12u);  // widened to the longest value
  EXPECT_EQ(complete[1].type_code, kStText);
  EXPECT_EQ(complete[2].type_code, kStImage);
  EXPECT_EQ(rows.Describe(false)[0].length, 40u);  // the type's bound

  PgRows typed({{"a;b", PgType(23, -1)}, {"b", PgType(17, -1)}});
  EXPECT_TRUE(typed.Streamable());
  EXPECT_EQ(typed.Describe(false)[0].name, "a_b");
}

}  // namespace
}  // namespace orv::server
