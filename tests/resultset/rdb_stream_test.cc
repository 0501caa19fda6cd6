#include "resultset/rdb_stream.h"

#include <gtest/gtest.h>

#include "fake_owner.h"
#include "rdb/orv_rdb.h"
#include "resultset/dataset_exception.h"

namespace orv {
namespace {

using test::FakeOwner;
using test::RowTexts;

const std::string kExample = "0;NAME;10;0;8;ID;4;0;5;Smith;2;42;0;;1;7;EOF;";

TEST(RDBStream, ReadsTheExampleInFramesOfEverySize) {
  const std::vector<std::string> rows = {"Smith      42   ", "           7    "};
  for (size_t piece = 1; piece <= kExample.size(); ++piece) {
    FakeOwner owner;
    owner.PushCut(kExample, piece);
    ASSERT_TRUE(owner.Read(2)) << piece;
    EXPECT_EQ(RowTexts(owner.stream), rows) << piece;
    EXPECT_EQ(owner.stream.EndRowCount(), 2);
    EXPECT_EQ(owner.Disconnected(), std::vector<int32_t>{7});
    EXPECT_EQ(owner.handle.load(), -1);
  }
  FakeOwner owner;
  owner.Push(kExample);
  ASSERT_TRUE(owner.Read(2));
  TOrvRDBStream& s = owner.stream;
  EXPECT_EQ(s.RowWidth(), 16);
  EXPECT_EQ(s.GetItems(1)->Size, 5);
  EXPECT_EQ(s.GetItems(1)->Offset, 11);
  EXPECT_EQ(s.GetItems(1)->FieldType, ftInteger);
  EXPECT_EQ(s.GetFieldValue(0, 1), "");
  EXPECT_EQ(s.GetFieldValue(1, 0), "42");
  EXPECT_EQ(s.GetFieldValue(0, 2), "");
  EXPECT_THROW(s.GetItems(2), EOrvDataSetException);

  TFieldInfList layout;
  EXPECT_EQ(DecodeLayout(s, layout), 16);
  s.ClearFieldInf();
  ASSERT_EQ(layout.size(), 2u);
  EXPECT_EQ(layout[0]->Name, "NAME");  // a copy, not the stream's records
  EXPECT_EQ(s.RowCount(), 0);
  EXPECT_EQ(s.Tell(), -1);
  EXPECT_EQ(s.Lists(0), nullptr);
}

TEST(RDBStream, ZeroColumnsBlobsMemosAndOddNames) {
  FakeOwner empty;
  empty.Push("EOF;");
  EXPECT_TRUE(empty.Read(0));
  EXPECT_EQ(empty.stream.Lists(0), nullptr);
  EXPECT_TRUE(empty.stream.EndSeen());

  const std::string name(70, 'n');
  FakeOwner owner;
  owner.Push("5;IMG;100;0;0;;3;0;4;" + name + ";2;0;10;F;10;0;");
  static const char kRows[] = "4;a;b\0;2;xy;3;c;d;3;1.5;0;;0;;0;;0;;EOF;";
  owner.Push(std::string(kRows, sizeof kRows - 1));
  ASSERT_TRUE(owner.Read(4));
  TOrvRDBStream& s = owner.stream;
  EXPECT_EQ(s.GetItems(0)->Size, 9);
  EXPECT_EQ(s.GetItems(0)->BlobIndex, 1);
  EXPECT_EQ(s.GetItems(1)->Name, " ");
  EXPECT_EQ(s.GetItems(2)->FieldType, ftMemo);
  EXPECT_EQ(s.GetItems(2)->Name, name.substr(0, 60));
  EXPECT_EQ(s.GetItems(2)->BlobIndex, 2);
  EXPECT_EQ(s.GetItems(3)->Size, 12);
  EXPECT_EQ(RowTexts(s)[0], std::string(9, ' ') + "xy  " + std::string(9, ' ') +
                                "1.5" + std::string(9, ' '));
  EXPECT_EQ(s.GetFieldValue(0, 0), std::string("a;b\0", 4));
  EXPECT_EQ(s.GetFieldValue(2, 0), "c;d");
  EXPECT_EQ(s.Lists(2)->Count(), 2);
}

TEST(RDBStream, ValuesLongerThanTheirColumnShowsFailTheRead) {
  // A string column shows its declared length, a float one more.
  FakeOwner owner;
  owner.Push("0;A;2;0;10;F;2;0;2;ab;3;-15;2;xy;4;-1.5;EOF;");
  EXPECT_FALSE(owner.Read(2));
  EXPECT_EQ(RowTexts(owner.stream), std::vector<std::string>{"ab -15 "});
  EXPECT_EQ(owner.Messages(),
            std::vector<std::string>{"The result is incomplete: the value of column(2) in "
                                     "row 2 is 4 bytes long, more than the column's 3"});
  EXPECT_FALSE(owner.stream.EndSeen());

  FakeOwner zero;
  zero.Push("0;A;0;0;0;;3;abc;EOF;");
  EXPECT_FALSE(zero.Read(1));
  EXPECT_EQ(zero.stream.RowCount(), 1);
  EXPECT_EQ(zero.Messages().size(), 1u);
}

TEST(RDBStream, AResultStoresAtMostOneGibibyte) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  GTEST_SKIP() << "a gigabyte under a sanitizer's allocator costs too much for one check";
#endif
  // Padding makes a row as wide as its declared lengths: three columns of
  // the widest length claim 48 MiB a row for nine bytes on the wire.
  const std::string column = "0;A;" + std::to_string(kMaxDeclaredLength) + ";0;";
  std::string reply = column + column + column;
  for (int i = 0; i < 30; ++i) reply += "0;;0;;0;;";
  FakeOwner owner;
  owner.Push(reply + "EOF;");
  EXPECT_FALSE(owner.Read(3));
  EXPECT_EQ(owner.Messages(), std::vector<std::string>{sResultTooLarge});
  const int64_t row_width = 3 * (int64_t{kMaxDeclaredLength} + 1);
  EXPECT_EQ(owner.stream.RowCount(), kMaxStoredBytes / row_width);  // the rows that fit stay
}

TEST(RDBStream, SkippedDescriptionsAndEndMarkerInARow) {
  FakeOwner owner;
  owner.Push("0;A;3;0;4;M;0;0;1;a;1;m;EOF;");
  ASSERT_TRUE(owner.Read(2));
  owner.Push("whatever;x;1;0;q;w;e;r;1;b;2;mm;1;c;EOF;");
  EXPECT_FALSE(owner.Read(2, false));
  TOrvRDBStream& s = owner.stream;
  EXPECT_EQ(s.FieldCount(), 2);
  EXPECT_EQ(s.RowCount(), 2);
  EXPECT_EQ(s.GetFieldValue(1, 1), "mm");
  EXPECT_EQ(s.Lists(1)->Count(), 2);  // the dropped row left no blob behind
  EXPECT_EQ(owner.Disconnected().size(), 2u);
  EXPECT_EQ(owner.Messages(), std::vector<std::string>{
                                  "The result is incomplete: the end marker came inside row 3"});
}

TEST(RDBStream, StopReadingEndsAtTheNextTokenWithoutDisconnecting) {
  FakeOwner owner;
  owner.Push("0;A;3;0;");
  owner.Push("1;a;1;b;");
  owner.stop_after_frames = 2;
  EXPECT_FALSE(owner.Read(1));
  EXPECT_EQ(owner.stream.RowCount(), 0);
  EXPECT_FALSE(owner.stream.EndSeen());
  EXPECT_TRUE(owner.Disconnected().empty());
}

TEST(RDBStream, ReceiveAndProtocolErrorsReachTheUser) {
  FakeOwner broken;
  broken.Push("0;A;3;0;1;a;");
  broken.Push("!Read error 104, Connection reset by peer");
  EXPECT_FALSE(broken.Read(1));
  EXPECT_EQ(broken.stream.RowCount(), 1);
  EXPECT_EQ(broken.Messages(),
            std::vector<std::string>{"Read error 104, Connection reset by peer"});
  EXPECT_EQ(broken.Flags(), unsigned{MB_ICONERROR | MB_TASKMODAL});
  EXPECT_EQ(broken.Disconnected().size(), 1u);

  // An empty frame inside the reply breaks it off; it is never its end.
  FakeOwner empty;
  empty.Push("0;A;3;0;1;a;");
  empty.Push("");
  EXPECT_FALSE(empty.Read(1));
  EXPECT_EQ(empty.stream.RowCount(), 1);
  EXPECT_EQ(empty.Messages(), std::vector<std::string>{sReplyBrokenOff});

  // Descriptions cut short: the layout's width covers what was described.
  FakeOwner cut;
  cut.Push("12;d;17;0;5;e;4;0;");
  cut.Push("!Connection closed");
  EXPECT_FALSE(cut.Read(3));
  TFieldInfList layout;
  EXPECT_EQ(DecodeLayout(cut.stream, layout), 18 + 9);
  EXPECT_EQ(layout.size(), 2u);

  FakeOwner down;
  down.Push("!Connection refused");
  EXPECT_FALSE(down.Read(1));
  EXPECT_EQ(down.Messages().size(), 1u);

  FakeOwner bad;
  bad.Push("0;A;3;0;1;a;-4;");
  EXPECT_FALSE(bad.Read(1));
  EXPECT_EQ(bad.stream.RowCount(), 1);
  EXPECT_FALSE(bad.stream.EndSeen());
  EXPECT_EQ(bad.Messages(), std::vector<std::string>{"data of column(1) is not valid!"});
  EXPECT_TRUE(bad.Disconnected().empty());

  FakeOwner huge;
  EXPECT_FALSE(huge.Read(kMaxColumns + 1));
  EXPECT_EQ(huge.Messages(), std::vector<std::string>{"column count 65536 is not valid!"});
}

TEST(RDBStream, KeepsTheConnectionForProceduresAndTransactions) {
  FakeOwner proc;
  proc.kind = skOpenProc;
  proc.Push("EOF;");
  EXPECT_TRUE(proc.Read(0));
  FakeOwner tran;
  tran.in_transaction = true;
  tran.Push("EOF;");
  EXPECT_TRUE(tran.Read(0));
  EXPECT_TRUE(proc.Disconnected().empty());
  EXPECT_TRUE(tran.Disconnected().empty());
  EXPECT_EQ(tran.handle.load(), 7);

  std::string keys;
  AppendKeyColumn(keys, 0);
  AppendKeyColumn(keys, 255);
  EXPECT_EQ(keys, std::string("\x00\xff", 2));
  EXPECT_THROW(AppendKeyColumn(keys, 256), EOrvDataSetException);
}

}  // namespace
}  // namespace orv
