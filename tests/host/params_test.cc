#include <gtest/gtest.h>

#include "host/datetime.h"
#include "host/params.h"

namespace orv {
namespace {

TEST(Params, TypedSettersSetTheDataType) {
  TParams params;
  TParam* p = params.CreateParam(ftUnknown, "P", ptInput);
  EXPECT_TRUE(p->IsNull());
  EXPECT_FALSE(p->Bound());
  p->SetAsString("12");
  EXPECT_EQ(p->DataType(), ftString);
  EXPECT_EQ(p->AsInteger(), 12);
  p->SetAsInteger(7);
  EXPECT_EQ(p->DataType(), ftInteger);
  EXPECT_EQ(p->AsString(), "7");
  p->SetAsSmallInt(3);
  EXPECT_EQ(p->DataType(), ftSmallint);
  p->SetAsFloat(2.5);
  EXPECT_EQ(p->DataType(), ftFloat);
  EXPECT_EQ(p->AsString(), "2.5");
  p->SetAsCurrency(1.25);
  EXPECT_EQ(p->DataType(), ftCurrency);
  p->SetAsBoolean(true);
  EXPECT_EQ(p->DataType(), ftBoolean);
  EXPECT_EQ(p->AsString(), "True");
  p->SetAsBoolean(false);
  EXPECT_EQ(p->AsString(), "False");
  const TDateTime when = EncodeDate(2001, 3, 2) + EncodeTime(13, 4, 5, 0);
  p->SetAsDate(EncodeDate(2001, 3, 2));
  EXPECT_EQ(p->DataType(), ftDate);
  p->SetAsTime(EncodeTime(13, 4, 5, 0));
  EXPECT_EQ(p->DataType(), ftTime);
  p->SetAsDateTime(when);
  EXPECT_EQ(p->DataType(), ftDateTime);
  EXPECT_DOUBLE_EQ(p->AsDateTime(), when);
  p->SetAsMemo("memo");
  EXPECT_EQ(p->DataType(), ftMemo);
  p->SetAsBlob(std::string("b\0b", 3));
  EXPECT_EQ(p->DataType(), ftBlob);
  EXPECT_EQ(p->AsBlob(), std::string("b\0b", 3));

  // Clearing keeps the type; a null reads as empty values.
  p->Clear();
  EXPECT_TRUE(p->IsNull());
  EXPECT_EQ(p->DataType(), ftBlob);
  EXPECT_EQ(p->AsString(), "");
  EXPECT_EQ(p->AsInteger(), 0);
  EXPECT_TRUE(p->Bound());

  // A variant sets the type only while it is unknown.
  TParam* v = params.CreateParam(ftUnknown, "V", ptInput);
  v->SetAsVariant(Variant(3.5));
  EXPECT_EQ(v->DataType(), ftFloat);
  v->SetAsVariant(Variant(std::string("x")));
  EXPECT_EQ(v->DataType(), ftFloat);
  EXPECT_EQ(v->AsString(), "x");
}

TEST(Params, LookupCopyAndOwnership) {
  TParams params;
  params.CreateParam(ftString, "Name", ptInput)->SetAsString("a");
  params.CreateParam(ftInteger, "Id", ptInputOutput)->SetAsInteger(1);
  params.CreateParam(ftInteger, "Result", ptResult);
  EXPECT_EQ(params.Count(), 3);
  EXPECT_EQ(params.ParamByName("id")->AsInteger(), 1);
  EXPECT_EQ(params.FindParam("nope"), nullptr);
  try {
    params.ParamByName("nope");
    ADD_FAILURE();
  } catch (const EDatabaseError& e) {
    EXPECT_EQ(e.Message(), "Parameter 'nope' not found");
  }
  EXPECT_THROW(params.Items(3), EDatabaseError);

  TParams copy;
  copy.Assign(&params);
  EXPECT_TRUE(copy.IsEqual(params));
  EXPECT_EQ(copy.Items(1)->ParamType(), ptInputOutput);
  copy.ParamByName("Name")->SetAsString("b");
  EXPECT_FALSE(copy.IsEqual(params));
  EXPECT_EQ(params.ParamByName("Name")->AsString(), "a");

  TParams values;
  values.CreateParam(ftUnknown, "NAME", ptInput)->SetAsString("c");
  values.CreateParam(ftUnknown, "Other", ptInput)->SetAsInteger(9);
  params.CreateParam(ftUnknown, "name", ptInput)->SetAsString("stale");
  params.AssignValues(values);
  EXPECT_EQ(params.Items(0)->AsString(), "c");
  EXPECT_EQ(params.Items(3)->AsString(), "c");  // every namesake, not the first only
  EXPECT_EQ(params.Count(), 4);

  auto* own = new TParam(nullptr, ptOutput);
  own->SetName("Own");
  params.AddParam(own);
  EXPECT_EQ(own->Collection(), &params);
  params.RemoveParam(own);
  EXPECT_EQ(params.FindParam("Own"), nullptr);
  std::unique_ptr<TParam> back(own);
  EXPECT_EQ(back->Collection(), nullptr);
}

}  // namespace
}  // namespace orv
