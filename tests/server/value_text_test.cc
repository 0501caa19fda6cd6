#include "server/value_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <limits>

namespace orv::server {
namespace {

TEST(ValueTextTest, WireDatesBecomeIsoAndBack) {
  EXPECT_EQ(WireDateToIso("20010302130405000"), "2001-03-02 13:04:05");
  EXPECT_EQ(WireDateToIso("20010302130405120"), "2001-03-02 13:04:05.120");
  EXPECT_EQ(WireDateToIso("20010302130405"), "2001-03-02 13:04:05");
  EXPECT_EQ(WireDateToIso("20240229"), "2024-02-29");
  EXPECT_EQ(WireDateToIso("20000229"), "2000-02-29");  // every 400 years a leap year
  EXPECT_EQ(WireDateToIso("235959"), "23:59:59");
  EXPECT_EQ(WireDateToIso("235959001"), "23:59:59.001");
  for (const char* bad : {"20230229", "19000229", "20011301", "20010100", "00000101", "240000",
                          "2001030", "2001-03-02", "20010302130460000", ""}) {
    EXPECT_FALSE(WireDateToIso(bad).has_value()) << bad;
  }

  EXPECT_EQ(IsoDateToWire("2001-03-02 13:04:05"), "20010302130405000");
  EXPECT_EQ(IsoDateToWire("2001-03-02T13:04:05.5"), "20010302130405500");
  EXPECT_EQ(IsoDateToWire("2001-03-02 13:04:05.123456"), "20010302130405123");
  EXPECT_EQ(IsoDateToWire("2001-03-02 13:04"), "20010302130400000");
  EXPECT_EQ(IsoDateToWire("2001-03-02"), "20010302000000000");
  for (const char* bad : {"2001-02-30", "2001-03-02 24:00:00", "2001-03-02 13:04:05.",
                          "2001-03-02x", "13:04:05", "soon", "2001-3-2"}) {
    EXPECT_FALSE(IsoDateToWire(bad).has_value()) << bad;
  }
  // Both directions agree.
  EXPECT_EQ(IsoDateToWire(*WireDateToIso("19991231235959999")), "19991231235959999");
}

TEST(ValueTextTest, RealsReadBackExactlyAndStayPlainWhenShort) {
  EXPECT_EQ(FormatReal(0.1, 24), "0.1");
  EXPECT_EQ(FormatReal(-2.5, 24), "-2.5");
  EXPECT_EQ(FormatReal(1e20, 24), "100000000000000000000");
  EXPECT_EQ(FormatReal(1e-300, 24), "1e-300");
  for (double v : {0.1, 1.0 / 3, 6.02214076e23, 4.9e-324, std::numeric_limits<double>::max(),
                   -123456.789e-5}) {
    std::string text = FormatReal(v, 24);
    EXPECT_EQ(std::strtod(text.c_str(), nullptr), v) << text;
    EXPECT_LE(text.size(), 24u) << text;
  }
}

TEST(ValueTextTest, ParametersDecodeByTypeCode) {
  std::string error;
  auto v = DecodeParam(kStInt, "-42", &error);
  ASSERT_TRUE(v);
  EXPECT_EQ(v->kind, ParamValue::Kind::kInteger);
  EXPECT_EQ(v->integer, -42);
  v = DecodeParam(kStFloat, "2.5", &error);
  EXPECT_EQ(v->kind, ParamValue::Kind::kReal);
  EXPECT_EQ(v->real, 2.5);
  v = DecodeParam(kStFloat, "9007199254740993", &error);  // beyond 2^53: kept exact
  EXPECT_EQ(v->kind, ParamValue::Kind::kInteger);
  EXPECT_EQ(v->integer, 9007199254740993);
  EXPECT_EQ(DecodeParam(kStBit, "T", &error)->integer, 1);
  EXPECT_EQ(DecodeParam(kStBit, "0", &error)->integer, 0);
  EXPECT_EQ(DecodeParam(kStDateTime, "20010302", &error)->text, "2001-03-02");
  EXPECT_EQ(DecodeParam(kStImage, std::string("a\0b", 3), &error)->kind,
            ParamValue::Kind::kBlob);
  EXPECT_EQ(DecodeParam(kStChar, "", &error)->kind, ParamValue::Kind::kText);
  for (int code : {int{kStInt}, int{kStFloat}, int{kStBit}, int{kStDateTime}}) {
    EXPECT_EQ(DecodeParam(code, "", &error)->kind, ParamValue::Kind::kNull) << code;
  }
  for (auto [code, text] : {std::pair{int{kStInt}, "1.5"}, std::pair{int{kStInt}, " 1"},
                            std::pair{int{kStFloat}, "1,5"}, std::pair{int{kStBit}, "yes"},
                            std::pair{int{kStDateTime}, "2001"}}) {
    error.clear();
    EXPECT_FALSE(DecodeParam(code, text, &error).has_value()) << text;
    EXPECT_NE(error.find(text), std::string::npos) << error;
  }
}

}  // namespace
}  // namespace orv::server
