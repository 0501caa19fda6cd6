#include "rdb/frame.h"

#include <gtest/gtest.h>

#include <string>

#include "rdb/orv_rdb.h"

namespace orv {
namespace {

TEST(Frame, EncodesTheLengthAsFourDigitsAndKeepsBinaryPayloads) {
  EXPECT_EQ(EncodeFrame("hello"), "0005hello");
  EXPECT_EQ(EncodeFrame(""), "0000");
  std::string binary("a\0b\r\n", 5);
  EXPECT_EQ(EncodeFrame(binary), "0005" + binary);
  std::string full(kMaxFramePayload, 'x');
  EXPECT_EQ(EncodeFrame(full), "4092" + full);

  EXPECT_EQ(FramedSize(0), 0u);
  EXPECT_EQ(FramedSize(5), 9u);
  EXPECT_EQ(FramedSize(4092), 4096u);
  EXPECT_EQ(FramedSize(4093), 4101u);
  EXPECT_EQ(FramedSize(8184), 8192u);
}

TEST(Frame, ReaderAssemblesPiecesAndStopsAtTheFrameEnd) {
  TFrameReader reader;
  EXPECT_EQ(reader.Missing(), 4u);
  // Header split 1+3, payload split 2+3, the next frame's bytes left alone.
  EXPECT_EQ(reader.Feed("0"), 1u);
  EXPECT_EQ(reader.Missing(), 3u);
  EXPECT_EQ(reader.Feed("005he"), 5u);
  EXPECT_FALSE(reader.Complete());
  EXPECT_EQ(reader.Missing(), 3u);
  EXPECT_EQ(reader.Feed("llo0003abc"), 3u);
  ASSERT_TRUE(reader.Complete());
  EXPECT_EQ(reader.Missing(), 0u);
  EXPECT_EQ(reader.TakePayload(), "hello");

  // The reader starts over after a payload was taken.
  EXPECT_EQ(reader.Feed("0003abc"), 7u);
  EXPECT_EQ(reader.TakePayload(), "abc");

  // An empty frame is complete after its header.
  EXPECT_EQ(reader.Feed("0000rest"), 4u);
  EXPECT_EQ(reader.TakePayload(), "");

  // Byte by byte through Space/Commit, as the socket reader drives it.
  const std::string wire("0004a\0bc", 8);
  for (char c : wire) {
    *reader.Space() = c;
    reader.Commit(1);
  }
  EXPECT_EQ(reader.TakePayload(), std::string("a\0bc", 4));
}

TEST(Frame, AHeaderOtherThanFourDigitsIsAProtocolError) {
  for (std::string header : {"00x5", "    ", "+087", "0x57", " 087", "-001", "12\x01" "4"}) {
    TFrameReader reader;
    try {
      reader.Feed(header + "hello");
      ADD_FAILURE() << header << " was taken";
    } catch (const EOrvRDBException& e) {
      const std::string shown = header == "12\x01" "4" ? "12\\x014" : header;
      EXPECT_EQ(e.Message(),
                "RDBServer Error: Frame header '" + shown + "' is not four decimal digits");
    }
  }
}

std::string ResultError(TOrvRDB& rdb, const std::string& reply) {
  try {
    rdb.GetResult(reply);
  } catch (const EOrvRDBException& e) {
    return e.Message();
  }
  return "(no error)";
}

TEST(Frame, ResultLineGivesTheCodeOrRaisesTheServerText) {
  TOrvRDB rdb(nullptr);
  EXPECT_EQ(rdb.GetResult("  0;word\n"), 0);
  EXPECT_EQ(rdb.GetResult("17;rows"), 17);
  EXPECT_EQ(rdb.GetResult("3;"), 3);
  EXPECT_EQ(ResultError(rdb, "-1;"), "");
  EXPECT_EQ(ResultError(rdb, "-2;a;b"), "a;b");
  EXPECT_EQ(ResultError(rdb, "-9;table missing\nat line 1\r\n"),
            "table missing\nat line 1");
  EXPECT_EQ(ResultError(rdb, "12"), sResultFormatError);
  EXPECT_EQ(ResultError(rdb, ";text"), sResultFormatError);
  EXPECT_EQ(ResultError(rdb, "x1;text"), sResultFormatError);
  EXPECT_EQ(ResultError(rdb, ""), sResultFormatError);
}

}  // namespace
}  // namespace orv
