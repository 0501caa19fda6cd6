#include "host/sysutils.h"

#include <gtest/gtest.h>

#include <clocale>
#include <locale>
#include <string>

#include "host/exceptions.h"

namespace orv {
namespace {

TEST(SysUtils, TrimCaseAndCompare) {
  EXPECT_EQ(Trim(" \t\r\nab c\x01 "), "ab c");
  EXPECT_EQ(TrimLeft("  a "), "a ");
  EXPECT_EQ(TrimRight("  a \n"), "  a");
  EXPECT_EQ(UpperCase("abz\xe4{"), "ABZ\xe4{");
  EXPECT_EQ(LowerCase("ABZ["), "abz[");
  EXPECT_EQ(AnsiCompareText("abc", "ABC"), 0);
  EXPECT_LT(AnsiCompareText("abc", "ABD"), 0);
  EXPECT_GT(AnsiCompareText("abcd", "ABC"), 0);
  EXPECT_TRUE(SameText(std::string("a\0b", 3), std::string("A\0B", 3)));
  EXPECT_FALSE(SameText(std::string("a\0b", 3), std::string("A\0C", 3)));
}

TEST(SysUtils, IntegerConversions) {
  EXPECT_EQ(IntToStr(-9223372036854775807LL - 1), "-9223372036854775808");
  EXPECT_EQ(StrToInt("  -42"), -42);
  EXPECT_EQ(StrToInt("$FF"), 255);
  EXPECT_EQ(StrToInt64("9223372036854775807"), 9223372036854775807LL);
  EXPECT_EQ(StrToIntDef("x", 7), 7);
  for (const char* bad : {"", "12a", "1 ", "2147483648", "-", "0x"}) {
    EXPECT_THROW(StrToInt(bad), EConvertError) << bad;
  }
  try {
    StrToInt("4x");
    FAIL();
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message(), "'4x' is not a valid integer value");
  }
}

TEST(SysUtils, StrToFloatForms) {
  EXPECT_DOUBLE_EQ(StrToFloat("1E-7"), 1e-7);
  EXPECT_DOUBLE_EQ(StrToFloat(" -1.5e+3 "), -1500);
  EXPECT_DOUBLE_EQ(StrToFloat(".5"), 0.5);
  for (const char* bad : {"", "1e", "e5", "1.2.3", "inf", "nan", "0x10", "1,5", "--1"}) {
    double v = 0;
    EXPECT_FALSE(TryStrToFloat(bad, v)) << bad;
  }
  EXPECT_THROW(StrToFloat("abc"), EConvertError);
}

TEST(SysUtils, FloatToStrGeneral) {
  EXPECT_EQ(FloatToStr(0), "0");
  EXPECT_EQ(FloatToStr(-0.0), "0");
  EXPECT_EQ(FloatToStr(1.5), "1.5");
  EXPECT_EQ(FloatToStr(-123.25), "-123.25");
  EXPECT_EQ(FloatToStr(1e-7), "1E-7");
  EXPECT_EQ(FloatToStr(0.0001), "0.0001");
  EXPECT_EQ(FloatToStr(0.00001), "1E-5");
  EXPECT_EQ(FloatToStr(1e14), "100000000000000");
  EXPECT_EQ(FloatToStr(1e15), "1E15");
  EXPECT_EQ(FloatToStr(1.5e16), "1.5E16");
  EXPECT_EQ(FloatToStr(0.1 + 0.2), "0.3");
  EXPECT_EQ(FloatToStrF(1e-7, ffGeneral, 15, 3), "1E-007");
  EXPECT_EQ(FloatToStrF(9.99, ffGeneral, 2, 0), "10");
  EXPECT_EQ(FloatToStrF(0.1, ffGeneral, 18, 0), "0.1");
  EXPECT_EQ(FloatToStrF(1.0 / 3, ffGeneral, 18, 0), "0.3333333333333333");
  EXPECT_EQ(FloatToStrF(1234.5678, ffExponent, 4, 2), "1.235E+03");
  EXPECT_EQ(FloatToStrF(1234.5678, ffFixed, 15, 2), "1234.57");
  EXPECT_EQ(FloatToStrF(1234.5678, ffFixed, 3, 2), "1.23E+3");
  EXPECT_EQ(FloatToStrF(-0.001, ffFixed, 15, 2), "0.00");
  EXPECT_EQ(FloatToStrF(1234567.891, ffNumber, 15, 1), "1,234,567.9");
}

// Numbers must read and write the same whatever locale the application
// sets; only the host's own decimal separator counts.
TEST(SysUtils, NumbersIgnoreTheCLocale) {
  const std::locale saved;
  const std::string saved_c = std::setlocale(LC_ALL, nullptr);
  struct Comma : std::numpunct<char> {
    char do_decimal_point() const override { return ','; }
  };
  std::locale::global(std::locale(std::locale::classic(), new Comma));
  bool german = std::setlocale(LC_ALL, "de_DE.UTF-8") != nullptr ||
                std::setlocale(LC_ALL, "de_DE") != nullptr;
  if (!german) std::setlocale(LC_ALL, "C.UTF-8");
  EXPECT_DOUBLE_EQ(StrToFloat("1.25"), 1.25);
  EXPECT_EQ(FloatToStrF(1.25, ffGeneral, 15, 0), "1.25");
  EXPECT_EQ(Format("%f", 2.5), "2.50");
  std::locale::global(saved);
  std::setlocale(LC_ALL, saved_c.c_str());

  SetDecimalSeparator(',');
  EXPECT_DOUBLE_EQ(StrToFloat("1,25"), 1.25);
  double v = 0;
  EXPECT_FALSE(TryStrToFloat("1.25", v));
  EXPECT_EQ(FloatToStr(1.25), "1,25");
  SetDecimalSeparator('.');
}

TEST(SysUtils, FormatConversions) {
  EXPECT_EQ(Format("[%-*s]", 5, "ab"), "[ab   ]");
  EXPECT_EQ(Format("[%*s]", 5, std::string("ab")), "[   ab]");
  EXPECT_EQ(Format("%0.4d", 42), "0042");
  EXPECT_EQ(Format("%0.4d", -42), "-0042");
  EXPECT_EQ(Format("%05d|%-5d|%5d", -42, 42, 42), "-0042|42   |   42");
  EXPECT_EQ(Format("%u %x %.4x", 7u, 255, uint8_t{10}), "7 FF 000A");
  EXPECT_EQ(Format("%d %d", int64_t{-9223372036854775807LL - 1}, uint16_t{65535}),
            "-9223372036854775808 65535");
  EXPECT_EQ(Format("%.2s|%s|100%%", "abcdef", std::string_view("x")), "ab|x|100%");
  EXPECT_EQ(Format("%.3f %g %e", 1.5, 1e-7, -2.0), "1.500 1E-7 -2.00000000000000E+000");
  EXPECT_EQ(Format("%8.2f", -1.5), "   -1.50");
  EXPECT_EQ(Format("List index out of bounds (%d)", -1), "List index out of bounds (-1)");

  const std::string blob("a\0b\0", 4);
  EXPECT_EQ(Format("<%s>", blob), std::string("<a\0b\0>", 6));
  EXPECT_EQ(Format(std::string_view("%s\0%d", 5), "x", 1), std::string("x\0" "1", 3));

  for (auto call : {+[] { return Format("%d"); }, +[] { return Format("%d", "x"); },
                    +[] { return Format("%s", 1); }, +[] { return Format("%q", 1); },
                    +[] { return Format("abc %"); }}) {
    EXPECT_THROW(call(), EConvertError);
  }
}

}  // namespace
}  // namespace orv
