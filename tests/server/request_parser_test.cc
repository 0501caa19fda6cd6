#include "server/request_parser.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace orv::server {
namespace {

using Status = RequestParser::Status;

std::string Frame(std::string_view payload) {
  char header[8];
  std::snprintf(header, sizeof header, "%04zu", payload.size());
  return std::string(header, 4) + std::string(payload);
}

// Frames a message as the client does: 4092-byte frames, then the rest.
std::string Message(std::string_view m) {
  std::string out;
  while (m.size() >= 4092) {
    out += Frame(m.substr(0, 4092));
    m.remove_prefix(4092);
  }
  if (!m.empty()) out += Frame(m);
  return out;
}

std::string Entry(const std::string& name, int type, const std::string& value) {
  return "I;" + name + ";" + std::to_string(type) + ";" + std::to_string(value.size()) + ";" +
         value + ";";
}

// Everything the parser yields for the given bytes, fed in pieces of `step`.
std::vector<RequestParser::Result> Parse(const std::string& bytes, std::size_t step,
                                         std::vector<Request>* requests) {
  RequestParser parser(1 << 20);
  std::vector<RequestParser::Result> results;
  for (std::size_t i = 0; i < bytes.size(); i += step) {
    parser.Feed(bytes.data() + i, std::min(step, bytes.size() - i));
    for (;;) {
      Request r;
      auto result = parser.Next(&r);
      if (result.status == Status::kNeedMore) break;
      results.push_back(result);
      if (result.status == Status::kRequest) requests->push_back(std::move(r));
      if (result.fatal) return results;
    }
  }
  return results;
}

TEST(RequestParserTest, ReassemblesRequestsHoweverTheBytesArrive) {
  std::string long_sql = "select '" + std::string(5000, 'x') + "'";
  std::string value("a;b\0c", 5);
  std::string stream = Message("OPENPART;3;4;2;\nselect :a, @b") +
                       Message(Entry(":a", 8, "12") + Entry("@b", 5, value)) +
                       Message("TRAN;;;0;\n") + Message("EXEC;;;0;\n" + long_sql) +
                       Message("CONNECT;u;p;x;db;\n") + Message("CLOSE;;;0;\n");
  for (std::size_t step : {std::size_t{1}, std::size_t{7}, stream.size()}) {
    std::vector<Request> reqs;
    auto results = Parse(stream, step, &reqs);
    ASSERT_EQ(reqs.size(), 5u) << "step " << step;
    EXPECT_EQ(reqs[0].command, "OPENPART");
    EXPECT_EQ(reqs[0].field2, "3");
    EXPECT_EQ(reqs[0].field3, "4");
    EXPECT_EQ(reqs[0].text, "select :a, @b");
    ASSERT_EQ(reqs[0].params.size(), 2u);
    EXPECT_EQ(reqs[0].params[0].name, ":a");
    EXPECT_EQ(reqs[0].params[0].type_code, 8);
    EXPECT_EQ(reqs[0].params[0].value, "12");
    EXPECT_EQ(reqs[0].params[1].value, value);
    EXPECT_EQ(reqs[1].command, "TRAN");
    EXPECT_EQ(reqs[2].text, long_sql);
    EXPECT_EQ(reqs[3].command, "CONNECT");
    EXPECT_EQ(reqs[4].command, "CLOSE");
  }
}

TEST(RequestParserTest, BlockEndsByItsCountEvenOnAFullFrame) {
  // One entry of exactly 4092 bytes: no shorter frame follows it.
  std::string head = Entry(":v", 0, "");
  std::string block = Entry(":v", 0, std::string(4092 - head.size() - 3, 'v'));
  ASSERT_EQ(block.size(), 4092u);
  // The first frame ends between the value and its ';'.
  std::string split = Entry(":v", 0, std::string(4092 - head.size() - 2, 's'));
  // A name of the longest token length.
  std::string long_name = Entry(std::string(4096, 'n'), 8, "1");
  std::vector<Request> reqs;
  auto results = Parse(Message("EXEC;;;1;\nx") + Frame(block) + Message("EXEC;;;1;\nx") +
                           Message(split) + Message("EXEC;;;1;\nx") + Message(long_name) +
                           Message("TRAN;;;0;\n"),
                       100, &reqs);
  ASSERT_EQ(reqs.size(), 4u);
  EXPECT_EQ(reqs[0].params.at(0).value.size(), 4092 - head.size() - 3);
  EXPECT_EQ(reqs[1].params.at(0).value, std::string(4092 - head.size() - 2, 's'));
  EXPECT_EQ(reqs[2].params.at(0).name.size(), 4096u);
  EXPECT_EQ(reqs[3].command, "TRAN");
}

TEST(RequestParserTest, RequestErrorsKeepTheStreamInStep) {
  std::string next = Message("TRAN;;;0;\n");
  struct Case {
    std::string bytes;
    const char* error;
  } cases[] = {
      {Message("OPEN;;;2;\nx") + Message(Entry(":a", 8, "1")), "fewer than its count 2"},
      {Message("OPEN;;;1;\nx") + Message(Entry(":a", 8, "1") + Entry(":b", 8, "2")),
       "more entries"},
      {Message("OPEN;;;1;\nx") + Message("I;:a;8;5;1;"), "fewer than its count 1"},
      {Message("OPEN;;;1;\nx") + Message("I;:a;8;-1;1;"), "not valid"},
      {Message("OPEN;;;1;\nx") + Message("I;:a;eight;1;1;"), "type code"},
      {Message("OPEN;;;1;\nx") + Message("I;:a;8;1;12;"), "not followed by ';'"},
      {Message("OPEN;;;1;\nx") + Message(Entry(std::string(4097, 'n'), 8, "1")), "malformed"},
      // A bad entry in the first of two frames: the rest is still consumed.
      {Message("OPEN;;;1;\nx") + Message("IO;:a;8;1;1;" + std::string(5000, ' ')), "direction"},
      {Frame(""), "empty command message"},
  };
  for (const Case& c : cases) {
    std::vector<Request> reqs;
    auto results = Parse(c.bytes + next, 3, &reqs);
    ASSERT_EQ(results.size(), 2u) << c.error;
    EXPECT_EQ(results[0].status, Status::kError);
    EXPECT_FALSE(results[0].fatal);
    EXPECT_NE(results[0].error.find(c.error), std::string::npos) << results[0].error;
    ASSERT_EQ(reqs.size(), 1u) << c.error;
    EXPECT_EQ(reqs[0].command, "TRAN");
  }
}

TEST(RequestParserTest, LostFramingIsFatal) {
  const char* cases[][2] = {
      {"00x5hello", "four decimal digits"},
      {"0011OPEN;;0;\nab", "malformed"},    // three fields
      {"0010OPEN;;;x;\n", "parameter count"},
  };
  for (auto& c : cases) {
    std::vector<Request> reqs;
    auto results = Parse(std::string(c[0]) + Message("TRAN;;;0;\n"), 1, &reqs);
    ASSERT_EQ(results.size(), 1u) << c[0];
    EXPECT_TRUE(results[0].fatal);
    EXPECT_NE(results[0].error.find(c[1]), std::string::npos) << results[0].error;
    EXPECT_TRUE(reqs.empty());
  }

  // Over the size limit: refused as soon as the frame that crosses it is seen.
  RequestParser parser(10000);
  std::string big = Message("EXEC;;;0;\n" + std::string(20000, ' '));
  parser.Feed(big.data(), big.size());
  Request r;
  auto result = parser.Next(&r);
  EXPECT_EQ(result.status, Status::kError);
  EXPECT_TRUE(result.fatal);
  EXPECT_NE(result.error.find("size limit"), std::string::npos);
  parser.Feed("0010TRAN;;;0;\n", 14);
  EXPECT_TRUE(parser.Next(&r).fatal);  // stays refused
}

}  // namespace
}  // namespace orv::server
