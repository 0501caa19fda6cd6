// Blob and memo fields of an open query: whole values through the host's
// blob fields, edits that stay in the record buffer, and streams that read
// and write at odd positions without leaving the value.
#include <gtest/gtest.h>

#include "dataset/scripted_query.h"
#include "host/blobfield.h"

namespace orv {
namespace {

using testing::Column;
using testing::Value;

const std::string kImage("\0;1;\0\xff;", 7);
const std::string kMemo("line;one\0two;", 13);

class BlobFieldTest : public testing::ScriptedQueryTest {
 protected:
  void SetUp() override {
    const std::string reply = Column(5, "B", 16) + Column(4, "M", 16) + Column(8, "I", 11) +
                              Value(kImage) + Value(kMemo) + Value("1") +
                              Value("") + Value("") + Value("2") + "EOF;";
    OpenWith(3, reply);
    ASSERT_TRUE(query_.Active()) << log_.Texts();
    query_.WaitTerminate();
  }
  TBlobField* F(const char* name) { return static_cast<TBlobField*>(query_.FieldByName(name)); }
  std::string Stored(int column) { return query_.ResultStream()->GetFieldValue(column, 0); }
  static std::string ReadAll(TStream& stream, int64_t count) {
    std::string bytes(static_cast<size_t>(count), '?');
    bytes.resize(static_cast<size_t>(stream.Read(bytes.data(), count)));
    return bytes;
  }

};

TEST_F(BlobFieldTest, ValuesWithSeparatorsAndNulBytesReadWhole) {
  ASSERT_EQ(F("B")->DataType(), ftBlob);
  ASSERT_EQ(F("M")->DataType(), ftMemo);
  TStringStream image, memo;
  F("B")->SaveToStream(image);
  F("M")->SaveToStream(memo);
  EXPECT_EQ(image.DataString(), kImage);
  EXPECT_EQ(memo.DataString(), kMemo);
  EXPECT_EQ(F("M")->AsString(), kMemo);
  EXPECT_EQ(F("B")->BlobSize(), 7);
  EXPECT_FALSE(F("B")->IsNull());
  // A read stream is only read: no change event, nothing modified.
  int changes = 0;
  F("B")->OnChange = [&](TField*) { ++changes; };
  query_.CreateBlobStream(F("B"), bmRead).reset();
  EXPECT_EQ(changes, 0);
  EXPECT_FALSE(F("B")->Modified());
  query_.Next();
  EXPECT_TRUE(F("B")->IsNull());
  EXPECT_EQ(F("M")->AsString(), "");
  query_.Prior();
  EXPECT_EQ(F("B")->AsString(), kImage);
}

TEST_F(BlobFieldTest, EditChangesTheRecordButNeverTheStoredRow) {
  // Outside an edit a write stream is refused and changes nothing.
  EXPECT_THROW(query_.CreateBlobStream(F("B"), bmWrite), EDatabaseError);
  EXPECT_THROW(query_.CreateBlobStream(F("M"), bmReadWrite), EDatabaseError);
  EXPECT_EQ(F("B")->AsString(), kImage);

  int changes = 0;
  F("B")->OnChange = [&](TField*) { ++changes; };
  query_.Edit();
  const std::string loaded("n\0;w", 4);
  TStringStream source("skip" + loaded);
  source.SetPosition(4);
  F("B")->LoadFromStream(source);
  EXPECT_EQ(F("B")->AsString(), loaded);
  EXPECT_TRUE(F("B")->Modified());
  EXPECT_EQ(changes, 1);
  // A write stream starts empty: the shorter value is not the old one's head.
  F("M")->SetAsString("ab");
  EXPECT_EQ(F("M")->AsString(), "ab");
  EXPECT_EQ(Stored(0), kImage);
  EXPECT_EQ(Stored(1), kMemo);

  query_.Cancel();
  EXPECT_EQ(F("B")->AsString(), kImage);
  EXPECT_EQ(F("M")->AsString(), kMemo);
  EXPECT_FALSE(F("B")->Modified());

  // A refused post leaves the stored row as the server sent it.
  query_.Edit();
  F("M")->Clear();
  EXPECT_TRUE(F("M")->IsNull());
  query_.Post();
  EXPECT_EQ(log_.Count(), 1u);
  query_.Refresh();
  EXPECT_EQ(F("M")->AsString(), kMemo);
  EXPECT_EQ(Stored(1), kMemo);
}

TEST_F(BlobFieldTest, RecordsShareStoredValuesAndRewritesReleaseTheirBlocks) {
  // Stream, record buffer and this copy hold the one stored value.
  EXPECT_GE(query_.ResultStream()->BlobValue(0, 0).use_count(), 3);
  query_.Edit();
  // Enough rewrites for the blob table to release blocks several times; the
  // values the buffers hold stay.
  for (int i = 0; i < 300; ++i) F("M")->SetAsString("v" + std::to_string(i));
  EXPECT_EQ(F("M")->AsString(), "v299");
  EXPECT_EQ(F("B")->AsString(), kImage);
  query_.Cancel();
  EXPECT_EQ(F("M")->AsString(), kMemo);
  query_.Next();
  query_.Prior();
  EXPECT_EQ(F("B")->AsString(), kImage);
}

TEST_F(BlobFieldTest, OddPositionsStayInsideTheValue) {
  auto reader = query_.CreateBlobStream(F("B"), bmRead);
  EXPECT_EQ(reader->Size(), 7);
  EXPECT_EQ(reader->Seek(5, soFromBeginning), 5);
  EXPECT_EQ(ReadAll(*reader, 10), kImage.substr(5));
  EXPECT_EQ(reader->Seek(-3, soFromEnd), 10);
  EXPECT_EQ(ReadAll(*reader, 4), "");
  EXPECT_EQ(reader->Seek(-20, soFromCurrent), -10);
  EXPECT_EQ(ReadAll(*reader, 4), "");
  reader.reset();

  query_.Edit();
  {
    auto stream = query_.CreateBlobStream(F("B"), bmReadWrite);
    stream->Seek(-2, soFromBeginning);
    EXPECT_EQ(stream->Write("xy", 2), 0);
    stream->Seek(1, soFromBeginning);
    EXPECT_EQ(stream->Write("AB", 2), 2);
    stream->Seek(9, soFromBeginning);
    EXPECT_EQ(stream->Write("Z", 1), 1);
    stream->Seek(2, soFromBeginning);
    EXPECT_EQ(ReadAll(*stream, 3), std::string("B;\0", 3));
  }
  std::string expected = kImage;
  expected.replace(1, 2, "AB");
  expected += std::string(2, '\0') + "Z";
  EXPECT_EQ(F("B")->AsString(), expected);
  EXPECT_EQ(Stored(0), kImage);
  query_.Cancel();
  EXPECT_EQ(F("B")->AsString(), kImage);
}

}  // namespace
}  // namespace orv
