#include "host/variant.h"

#include <gtest/gtest.h>

namespace orv {
namespace {

TEST(Variant, KindsAndTypeCodes) {
  EXPECT_TRUE(Variant().IsEmpty());
  EXPECT_TRUE(VarIsNull(Variant::Null()));
  EXPECT_EQ(Variant(true).VarType(), varBoolean);
  EXPECT_EQ(Variant(int16_t{5}).VarType(), varInteger);
  EXPECT_EQ(Variant(5u).VarType(), varInt64);
  EXPECT_EQ(Variant(int64_t{5}).VarType(), varInt64);
  EXPECT_EQ(Variant(2.5).VarType(), varDouble);
  EXPECT_EQ(Variant("x").VarType(), varString);
  EXPECT_EQ(Variant::FromDateTime(1).VarType(), varDate);
  Variant a = VarArrayOf({1, "two", Variant::Null()});
  EXPECT_EQ(a.VarType(), varArray | varVariant);
  EXPECT_EQ(a.ArrayHighBound(), 2);
  EXPECT_EQ(a[1].AsString(), "two");
  a[0] = 10;
  EXPECT_EQ(a[0].AsInteger(), 10);
  EXPECT_THROW(a[3], EVariantError);
  EXPECT_THROW(a[-1], EVariantError);
  EXPECT_THROW(Variant(1).ArrayHighBound(), EVariantError);
  EXPECT_THROW(Variant(1).ArrayLowBound(), EVariantError);
}

TEST(Variant, ArraysAreValuesFilledByIndex) {
  Variant keys = VarArrayCreate(2);
  ASSERT_TRUE(VarIsArray(keys));
  EXPECT_EQ(keys.ArrayLowBound(), 0);
  EXPECT_EQ(keys.ArrayHighBound(), 1);
  EXPECT_TRUE(keys[1].IsEmpty());
  keys[1] = "b";
  const Variant copy = keys;
  keys[1] = VarArrayOf({1});  // an element may itself be an array
  EXPECT_EQ(copy[1].AsString(), "b");
  EXPECT_EQ(keys[1][0].AsInteger(), 1);
  EXPECT_EQ(VarArrayCreate(0).ArrayHighBound(), -1);
  EXPECT_THROW(VarArrayCreate(-1), EVariantError);
  EXPECT_FALSE(VarIsArray(Variant("a")));
}

TEST(Variant, ToString) {
  EXPECT_EQ(Variant().AsString(), "");
  EXPECT_EQ(Variant(true).AsString(), "True");
  EXPECT_EQ(Variant(-7).AsString(), "-7");
  EXPECT_EQ(Variant(1e-7).AsString(), "1E-7");
  EXPECT_EQ(Variant(std::string("a\0b", 3)).AsString(), std::string("a\0b", 3));
  TDateTime d = EncodeDate(2000, 1, 2);
  EXPECT_EQ(Variant::FromDateTime(d).AsString(), "2000-01-02");
  EXPECT_EQ(Variant::FromDateTime(d + 0.5).AsString(), "2000-01-02 12:00:00");
  EXPECT_EQ(Variant::FromDateTime(0.5).AsString(), "12:00:00");
  try {
    Variant::Null().AsString();
    FAIL();
  } catch (const EVariantError& e) {
    EXPECT_EQ(e.Message(), "Could not convert variant of type (Null) into type (String)");
  }
}

TEST(Variant, NumericConversions) {
  EXPECT_EQ(Variant(2.5).AsInteger(), 2);
  EXPECT_EQ(Variant(3.5).AsInteger(), 4);
  EXPECT_EQ(Variant(" 42").AsInteger(), 42);
  EXPECT_EQ(Variant("1.5E3").AsInt64(), 1500);
  EXPECT_DOUBLE_EQ(Variant("1E-7").AsFloat(), 1e-7);
  EXPECT_THROW(Variant(int64_t{1} << 40).AsInteger(), EVariantError);
  EXPECT_THROW(Variant("abc").AsInteger(), EVariantError);
  EXPECT_THROW(Variant(1e300).AsInt64(), EVariantError);
  EXPECT_TRUE(Variant("true").AsBoolean());
  EXPECT_FALSE(Variant(0).AsBoolean());
  EXPECT_THROW(Variant("maybe").AsBoolean(), EVariantError);
  TDateTime d = EncodeDate(2000, 1, 2) + 0.5;
  EXPECT_DOUBLE_EQ(Variant(Variant::FromDateTime(d).AsString()).AsDateTime(), d);
  EXPECT_THROW(Variant("2000-13-01").AsDateTime(), EVariantError);
}

TEST(Variant, Equality) {
  EXPECT_EQ(Variant(1), Variant(int64_t{1}));
  EXPECT_EQ(Variant(1), Variant(1.0));
  EXPECT_NE(Variant(1), Variant("1"));
  EXPECT_NE(Variant(true), Variant(1));
  EXPECT_EQ(Variant::Null(), Variant::Null());
  EXPECT_NE(Variant(), Variant::Null());
  EXPECT_EQ(VarArrayOf({1, "a"}), VarArrayOf({1.0, "a"}));
  EXPECT_NE(VarArrayOf({1, "a"}), VarArrayOf({1, "A"}));
}

}  // namespace
}  // namespace orv
