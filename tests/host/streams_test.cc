#include "host/streams.h"

#include <gtest/gtest.h>

namespace orv {
namespace {

TEST(Streams, MemoryStreamReadWriteSeek) {
  TMemoryStream m;
  m.WriteBuffer("ab\0cd", 5);
  EXPECT_EQ(m.Size(), 5);
  EXPECT_EQ(m.Position(), 5);
  m.SetPosition(8);
  m.WriteBuffer("x", 1);
  EXPECT_EQ(std::string(m.Memory(), 9), std::string("ab\0cd\0\0\0x", 9));
  EXPECT_EQ(m.Seek(-2, soFromEnd), 7);
  char buf[8];
  EXPECT_EQ(m.Read(buf, 8), 2);
  EXPECT_EQ(m.Read(buf, 8), 0);
  EXPECT_THROW(m.ReadBuffer(buf, 1), EReadError);
  EXPECT_THROW(m.Seek(-1, soFromBeginning), EStreamError);
  m.SetSize(3);
  EXPECT_EQ(m.Position(), 3);
  m.Clear();
  EXPECT_EQ(m.Size(), 0);
}

TEST(Streams, CopyLoadSave) {
  TStringStream source(std::string("hello\0world", 11));
  TMemoryStream copy;
  EXPECT_EQ(copy.CopyFrom(source, 0), 11);
  source.SetPosition(6);
  EXPECT_EQ(copy.CopyFrom(source, 3), 3);
  EXPECT_THROW(copy.CopyFrom(source, 5), EReadError);

  TMemoryStream loaded;
  loaded.LoadFromStream(copy);
  TStringStream saved;
  loaded.SaveToStream(saved);
  EXPECT_EQ(saved.DataString().substr(0, 14), std::string("hello\0worldwor", 14));
  saved.SetPosition(6);
  EXPECT_EQ(saved.ReadString(3), "wor");
  saved.WriteString("!!");
  EXPECT_EQ(saved.DataString().substr(6, 5), "wor!!");
}

}  // namespace
}  // namespace orv
