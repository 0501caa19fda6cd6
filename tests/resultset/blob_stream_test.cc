#include "resultset/blob_stream.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "host/blobfield.h"
#include "host/forms.h"
#include "fake_owner.h"

namespace orv {
namespace {

// A dataset that only records the data events it is told about.
class EventDataSet : public TDataSet {
 public:
  EventDataSet() : TDataSet(nullptr) {}
  void DataEvent(TDataEvent event, intptr_t info) override {
    events.emplace_back(event, info);
    if (fail) throw Exception("refresh failed");
  }
  std::vector<std::pair<TDataEvent, intptr_t>> events;
  bool fail = false;

 protected:
  TRecordBuffer AllocRecordBuffer() override { return nullptr; }
  void FreeRecordBuffer(TRecordBuffer&) override {}
  TGetResult GetRecord(TRecordBuffer, TGetMode, bool) override { return grEOF; }
  void GetBookmarkData(TRecordBuffer, void*) override {}
  void SetBookmarkData(TRecordBuffer, const void*) override {}
  TBookmarkFlag GetBookmarkFlag(TRecordBuffer) override { return bfCurrent; }
  void SetBookmarkFlag(TRecordBuffer, TBookmarkFlag) override {}
  void InternalOpen() override {}
  void InternalClose() override {}
  bool IsCursorOpen() override { return false; }
  void InternalInitFieldDefs() override {}
  void InternalFirst() override {}
  void InternalLast() override {}
  void InternalGotoBookmark(const void*) override {}
  void InternalSetToRecord(TRecordBuffer) override {}
  void InternalInitRecord(TRecordBuffer) override {}
  void InternalAddRecord(TRecordBuffer, bool) override {}
  void InternalDelete() override {}
  void InternalPost() override {}
};

// A record buffer with one blob slot at offset 4, over a table.
struct Record {
  explicit Record(std::shared_ptr<const std::string> value = nullptr) {
    inf.Offset = 4;
    inf.FieldType = ftBlob;
    inf.Size = kBlobColumnSize;
    TBlobSlot slot;
    if (value) {
      slot.length = static_cast<int32_t>(value->size());
      slot.handle = table.Share(std::move(value));
    }
    WriteBlobSlot(buffer + 4, slot);
  }
  TBlobSlot Slot() const { return ReadBlobSlot(buffer + 4); }
  std::string Value() const {
    const TBlobSlot slot = Slot();
    const std::string* v = table.Value(slot.handle);
    return v == nullptr ? std::string() : v->substr(0, slot.length);
  }
  std::unique_ptr<TZozudBlobStream> Stream(TBlobStreamMode mode, TField* field = nullptr,
                                           TDataSet* data_set = nullptr) {
    return std::make_unique<TZozudBlobStream>(field, &inf, mode, buffer, data_set, &table);
  }
  TFieldInf inf;
  TBlobValueTable table;
  char buffer[16] = {};
};

TEST(BlobStream, ReadsWithinTheValueWhereverThePosition) {
  auto stored = std::make_shared<const std::string>("0123456789");
  Record rec(stored);
  auto s = rec.Stream(bmRead);
  s->SetSize(10);
  EXPECT_EQ(s->Seek(0, soFromEnd), 10);
  EXPECT_EQ(s->Size(), 10);
  char out[16] = {};
  s->Seek(8, soFromBeginning);
  EXPECT_EQ(s->Read(out, 4), 2);
  EXPECT_EQ(std::string(out, 2), "89");
  EXPECT_EQ(s->Seek(5, soFromEnd), 5);
  EXPECT_EQ(s->Seek(-5, soFromEnd), 15);
  EXPECT_EQ(s->Read(out, 4), 0);
  EXPECT_EQ(s->Seek(-20, soFromCurrent), -5);
  EXPECT_EQ(s->Read(out, 4), 0);
  EXPECT_THROW(s->Read(out, -1), Exception);
  EXPECT_THROW(s->Seek(0, static_cast<TSeekOrigin>(3)), Exception);
}

TEST(BlobStream, WritesGiveTheSlotItsOwnBlock) {
  auto stored = std::make_shared<const std::string>("abcdef");
  Record rec(stored);
  const uint32_t shared_handle = rec.Slot().handle;
  {
    auto s = rec.Stream(bmRead);
    s->Seek(2, soFromBeginning);
    EXPECT_EQ(s->Write("XY", 2), 2);
    EXPECT_TRUE(s->Modified());
  }
  EXPECT_EQ(*stored, "abcdef");  // the stored row is untouched
  EXPECT_NE(rec.Slot().handle, shared_handle);
  EXPECT_EQ(rec.Value(), "abXYef");

  // Past the end: the value grows, the gap is zeros; before the start:
  // nothing is written.
  auto s = rec.Stream(bmReadWrite);
  s->Seek(8, soFromBeginning);
  EXPECT_EQ(s->Write("Z", 1), 1);
  EXPECT_EQ(rec.Value(), std::string("abXYef\0\0Z", 9));
  s->Seek(-2, soFromBeginning);
  EXPECT_EQ(s->Write("QQQQ", 4), 0);
  EXPECT_EQ(rec.Value(), std::string("abXYef\0\0Z", 9));
  s->Seek(0, soFromBeginning);
  EXPECT_EQ(s->Write("1", 1), 1);
  EXPECT_EQ(rec.Slot().length, 9);  // a write never shortens
}

TEST(BlobStream, WriteModeStartsEmptyAndNotifiesOnDestruction) {
  Application().SetTitle("App");
  std::vector<std::string> shown;
  TMessageBoxHandler previous = SetMessageBoxHandler(
      [&shown](const std::string& text, const std::string&, unsigned) {
        shown.push_back(text);
        return IDOK;
      });
  EventDataSet data_set;
  TBlobField field(nullptr);
  Record rec;
  {
    auto s = rec.Stream(bmWrite, &field, &data_set);
    EXPECT_EQ(s->Write("hello", 5), 5);
    EXPECT_EQ(s->Write("abc", 3), 3);
    EXPECT_EQ(s->Seek(0, soFromEnd), 0);  // Size never set
  }
  EXPECT_EQ(rec.Value(), "helloabc");
  EXPECT_TRUE(field.Modified());
  ASSERT_EQ(data_set.events.size(), 1u);
  EXPECT_EQ(data_set.events[0].first, deFieldChange);
  EXPECT_EQ(data_set.events[0].second, reinterpret_cast<intptr_t>(&field));

  rec.Stream(bmRead, &field, &data_set)->Seek(0, soFromBeginning);
  EXPECT_EQ(data_set.events.size(), 1u);  // no write, no notice

  data_set.fail = true;
  {
    auto s = rec.Stream(bmWrite, &field, &data_set);
    s->Write("x", 1);
  }
  EXPECT_EQ(shown, std::vector<std::string>{"refresh failed"});
  SetMessageBoxHandler(previous);
}

TEST(BlobStream, StreamHandsOutOneSharedValuePerStoredValue) {
  test::FakeOwner owner;
  owner.Push("5;IMG;0;0;0;A;1;0;3;xyz;1;a;0;;1;b;EOF;");
  ASSERT_TRUE(owner.Read(2));
  TOrvRDBStream& s = owner.stream;
  TCompactStrings& blobs = *s.Lists(1);
  auto first = s.BlobValue(0, 0);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first.get(), &blobs.Get(0));  // the stored bytes, not a copy
  EXPECT_EQ(s.BlobValue(0, 0), first);
  EXPECT_EQ(*s.BlobValue(0, 1), "");
  EXPECT_EQ(s.BlobValue(1, 0), nullptr);
  // The shared value moves with its item and outlives its replacement.
  blobs.Insert(0, "ins");
  EXPECT_EQ(s.BlobValue(0, 1), first);
  EXPECT_EQ(blobs.IndexOf("XYZ"), 1);
  blobs.Delete(0);
  blobs.Put(0, "new");
  EXPECT_EQ(*s.BlobValue(0, 0), "new");
  EXPECT_EQ(*first, "xyz");
}

}  // namespace
}  // namespace orv
