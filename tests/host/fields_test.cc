#include <gtest/gtest.h>

#include <cmath>

#include "host/blobslot.h"
#include "host/datetime.h"
#include "host/streams.h"
#include "memory_dataset.h"

namespace orv::testing {
namespace {

// One column of every field type, one row of nulls to edit.
class FieldConversions : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::vector<std::pair<const char*, TFieldType>> columns = {
        {"S", ftString},      {"SI", ftSmallint}, {"I", ftInteger},   {"W", ftWord},
        {"B", ftBoolean},     {"F", ftFloat},     {"C", ftCurrency},  {"D", ftDate},
        {"T", ftTime},        {"DT", ftDateTime}, {"BY", ftBytes},    {"VB", ftVarBytes},
        {"BL", ftBlob},       {"M", ftMemo},      {"G", ftGraphic}};
    for (const auto& [name, type] : columns) {
      const bool sized = type == ftString || type == ftBytes || type == ftVarBytes;
      ds.AddColumn(name, type, sized ? 6 : (IsBlobType(type) ? kBlobSlotSize : 0));
    }
    ds.AddRow(std::vector<TMemoryDataSet::Cell>(columns.size()));
    ds.Open();
    ds.Edit();
  }
  TField* F(const char* name) { return ds.FieldByName(name); }

  TMemoryDataSet ds;
};

TEST_F(FieldConversions, NullsReadAsEmptyValuesOfEveryType) {
  EXPECT_EQ(F("S")->DataSize(), 7);
  EXPECT_EQ(F("SI")->DataSize(), 2);
  EXPECT_EQ(F("B")->DataSize(), 1);
  EXPECT_EQ(F("D")->DataSize(), 4);
  EXPECT_EQ(F("DT")->DataSize(), 8);
  EXPECT_EQ(F("VB")->DataSize(), 8);
  EXPECT_EQ(F("BL")->Size(), kBlobSlotSize);
  for (int i = 0; i < ds.FieldCount(); ++i) {
    TField* field = ds.Fields()->GetField(i);
    SCOPED_TRACE(field->FieldName());
    EXPECT_EQ(field->FieldNo(), i + 1);
    EXPECT_TRUE(field->IsNull());
    EXPECT_EQ(field->AsString(), "");
    EXPECT_TRUE(field->AsVariant().IsNull());
  }
  EXPECT_EQ(F("I")->AsInteger(), 0);
  EXPECT_EQ(F("F")->AsFloat(), 0.0);
  EXPECT_FALSE(F("B")->AsBoolean());
}

TEST_F(FieldConversions, NumbersAndBooleans) {
  F("SI")->SetAsString("-32768");
  EXPECT_EQ(F("SI")->AsInteger(), -32768);
  EXPECT_THROW(F("SI")->SetAsInteger(40000), EDatabaseError);
  EXPECT_EQ(F("SI")->AsInteger(), -32768);  // the refused value left no trace
  F("W")->SetAsInteger(65535);
  EXPECT_EQ(F("W")->AsString(), "65535");
  EXPECT_THROW(F("W")->SetAsInteger(-1), EDatabaseError);
  F("I")->SetAsFloat(2.6);
  EXPECT_EQ(F("I")->AsInteger(), 3);
  EXPECT_EQ(F("I")->AsVariant().AsInteger(), 3);
  EXPECT_THROW(F("I")->SetAsString("12x"), EConvertError);
  EXPECT_THROW(F("I")->AsDateTime(), EDatabaseError);  // no such conversion
  F("I")->SetAsString("");
  EXPECT_TRUE(F("I")->IsNull());

  F("F")->SetAsString("1.5e3");
  EXPECT_DOUBLE_EQ(F("F")->AsFloat(), 1500.0);
  EXPECT_EQ(F("F")->AsString(), "1500");
  EXPECT_EQ(F("F")->AsInteger(), 1500);
  F("C")->SetAsVariant(Variant(12.25));
  EXPECT_EQ(F("C")->AsString(), "12.25");

  F("B")->SetAsString("true");
  EXPECT_TRUE(F("B")->AsBoolean());
  EXPECT_EQ(F("B")->AsString(), "True");
  F("B")->SetAsString("F");
  EXPECT_EQ(F("B")->AsString(), "False");
  EXPECT_FALSE(F("B")->IsNull());
  EXPECT_THROW(F("B")->SetAsString("maybe"), EConvertError);
  F("B")->SetAsVariant(Variant(true));
  EXPECT_EQ(F("B")->AsInteger(), 1);

  F("S")->SetAsString("longer than six");
  EXPECT_EQ(F("S")->AsString(), "longer");
  F("S")->SetAsInteger(42);
  EXPECT_EQ(F("S")->AsInteger(), 42);
  F("S")->SetAsBoolean(true);
  EXPECT_TRUE(F("S")->AsBoolean());
}

TEST_F(FieldConversions, DatesTimesAndBinary) {
  const TDateTime when = EncodeDate(2001, 3, 2) + EncodeTime(13, 4, 5, 0);
  F("DT")->SetAsDateTime(when);
  EXPECT_EQ(F("DT")->AsString(), "2001-03-02 13:04:05");
  double msecs = 0;
  ASSERT_TRUE(F("DT")->GetData(&msecs));
  EXPECT_DOUBLE_EQ(msecs, TimeStampToMSecs(DateTimeToTimeStamp(when)));

  F("D")->SetAsDateTime(when);
  int32_t day = 0;
  ASSERT_TRUE(F("D")->GetData(&day));
  EXPECT_EQ(day, DateTimeToTimeStamp(when).Date);
  EXPECT_EQ(F("D")->AsString(), "2001-03-02");
  EXPECT_DOUBLE_EQ(F("D")->AsDateTime(), EncodeDate(2001, 3, 2));

  F("T")->SetAsString("13:04:05");
  int32_t ms = 0;
  ASSERT_TRUE(F("T")->GetData(&ms));
  EXPECT_EQ(ms, (13 * 3600 + 4 * 60 + 5) * 1000);
  EXPECT_EQ(F("T")->AsString(), "13:04:05");

  F("DT")->SetAsString("1999-12-31 23:59:59.500");
  EXPECT_EQ(FormatDateTime("yyyy-mm-dd hh:nn:ss.zzz", F("DT")->AsDateTime()),
            "1999-12-31 23:59:59.500");
  EXPECT_THROW(F("DT")->SetAsString("31/12/1999"), EConvertError);
  EXPECT_TRUE(F("DT")->AsVariant().VarType() == varDate);

  const std::string bytes("a\0b", 3);
  F("BY")->SetAsString(bytes);
  EXPECT_EQ(F("BY")->AsString(), std::string("a\0b\0\0\0", 6));
  F("VB")->SetAsString(bytes);
  EXPECT_EQ(F("VB")->AsString(), bytes);
  EXPECT_THROW(F("VB")->SetAsString("seven!!"), EConvertError);
}

TEST_F(FieldConversions, BlobsThroughStreamsAndSlots) {
  auto* memo = static_cast<TBlobField*>(F("M"));
  const std::string text("line\0two", 8);
  memo->SetAsString(text);
  EXPECT_TRUE(memo->Modified());
  EXPECT_EQ(memo->AsString(), text);
  EXPECT_EQ(memo->BlobSize(), 8);
  TStringStream out("");
  memo->SaveToStream(out);
  EXPECT_EQ(out.DataString(), text);
  TStringStream in("picture");
  static_cast<TBlobField*>(F("G"))->LoadFromStream(in);
  ds.Post();
  EXPECT_FALSE(memo->Modified());
  EXPECT_EQ(memo->AsString(), text);
  EXPECT_EQ(F("G")->AsString(), "picture");
  EXPECT_TRUE(F("BL")->IsNull());

  // Writing through a slot never changes the stored value it shares.
  ds.Edit();
  F("G")->SetAsString("new");
  ds.Cancel();
  EXPECT_EQ(F("G")->AsString(), "picture");
  ds.Edit();
  memo->Clear();
  EXPECT_TRUE(memo->IsNull());
  ds.Post();
  EXPECT_TRUE(memo->IsNull());
}

TEST(BlobValueTable, SharesStoredValuesAndCopiesBeforeWriting) {
  TBlobValueTable table;
  auto stored = std::make_shared<const std::string>("stored");
  const uint32_t a = table.Share(stored);
  EXPECT_EQ(table.Share(stored), a);  // one entry however often it is copied in
  EXPECT_EQ(table.Count(), 1u);
  EXPECT_EQ(table.Share(nullptr), 0u);
  EXPECT_EQ(table.Value(0), nullptr);
  EXPECT_EQ(table.Value(99), nullptr);

  uint32_t handle = a;
  std::string* block = table.Writable(handle);
  EXPECT_NE(handle, a);
  block->append("+");
  EXPECT_EQ(*stored, "stored");
  EXPECT_EQ(*table.Value(handle), "stored+");
  EXPECT_EQ(table.Writable(handle), block);  // own blocks are written in place

  char slot[kBlobSlotSize];
  WriteBlobSlot(slot, TBlobSlot{handle, 7, 1});
  const TBlobSlot back = ReadBlobSlot(slot);
  EXPECT_EQ(back.handle, handle);
  EXPECT_EQ(back.length, 7);
  EXPECT_EQ(back.flags, 1);
  table.Clear();
  EXPECT_EQ(table.Value(handle), nullptr);
}

TEST(BlobValueTable, ReleasesWhatNoBufferHoldsAndKeepsTheRest) {
  // Three slots rewritten over and over, as buffers moving over rows and
  // edits rewriting a blob do; the scan reports what the slots hold.
  TBlobValueTable table;
  uint32_t slots[3] = {0, 0, 0};
  table.SetHandleScan([&](std::vector<uint32_t>& held) { held.insert(held.end(), slots, slots + 3); });
  auto kept = std::make_shared<const std::string>("kept");
  slots[0] = table.Share(kept);
  for (int i = 0; i < 1000; ++i) {
    slots[1] = table.Share(std::make_shared<const std::string>(std::to_string(i)));
    slots[2] = table.NewBlock();
    table.Writable(slots[2])->assign("block" + std::to_string(i));
    ASSERT_LE(table.Count(), TBlobValueTable::kSweepFloor + 2);
    ASSERT_EQ(*table.Value(slots[1]), std::to_string(i));
  }
  EXPECT_EQ(table.Value(slots[0]), kept.get());
  EXPECT_EQ(table.Share(kept), slots[0]);
  EXPECT_EQ(*table.Value(slots[2]), "block999");
  EXPECT_EQ(kept.use_count(), 2);  // released values are let go, not only forgotten
}

TEST(FieldBasics, ValidationAssignAndNames) {
  TMemoryDataSet ds;
  ds.AddColumn("N", ftInteger);
  ds.AddRow({TMemoryDataSet::Int(1)});
  TIntegerField copy(nullptr);  // a field on no dataset
  EXPECT_THROW(copy.AsInteger(), EDatabaseError);
  ds.Open();
  TField* n = ds.FieldByName("n");
  EXPECT_EQ(n->DisplayName(), "N");
  n->SetDisplayLabel("Number");
  EXPECT_EQ(n->DisplayName(), "Number");
  EXPECT_THROW(ds.FieldByName("missing"), EDatabaseError);
  EXPECT_EQ(ds.FindField("missing"), nullptr);

  int seen = 0;
  n->OnValidate = [&](TField* f) {
    seen = f->AsInteger();  // the value about to be stored
    if (seen < 0) DatabaseError("negative");
  };
  ds.Edit();
  n->SetAsInteger(5);
  EXPECT_EQ(seen, 5);
  EXPECT_THROW(n->SetAsInteger(-5), EDatabaseError);
  EXPECT_EQ(n->AsInteger(), 5);
  n->Clear();
  EXPECT_TRUE(n->IsNull());
  ds.Post();
  EXPECT_TRUE(n->IsNull());
  EXPECT_EQ(n->Index(), 0);
}

}  // namespace
}  // namespace orv::testing
