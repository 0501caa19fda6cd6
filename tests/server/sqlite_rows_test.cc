// Results longer than the server holds back: measured in a first pass,
// streamed in a second, described as if they had been held whole.
#include "server/sqlite_rows.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "server/open_reply.h"
#include "server/sqlite_backend.h"
#include "server/value_text.h"

namespace orv::server {
namespace {

class StringSink : public ByteSink {
 public:
  void Write(std::string_view bytes) override { data.append(bytes); }
  std::string data;
};

struct Reply {
  std::vector<std::pair<int, std::size_t>> columns;  // type code, length
  std::vector<std::vector<std::string>> rows;
  bool complete = false;
};

// Decodes frames, result line, descriptions and fields.
Reply Decode(const std::string& data) {
  std::string text;
  bool first = true;
  for (std::size_t pos = 0; pos + 4 <= data.size();) {
    const std::size_t length = std::stoul(data.substr(pos, 4));
    if (!first) text += data.substr(pos + 4, length);
    first = false;
    pos += 4 + length;
  }
  Reply r;
  std::size_t pos = 0;
  auto token = [&] {
    const std::size_t semi = text.find(';', pos);
    std::string t = text.substr(pos, semi - pos);
    pos = semi + 1;
    return t;
  };
  const int columns = std::stoi(data.substr(4, data.find(';') - 4));
  for (int c = 0; c < columns; ++c) {
    const int code = std::stoi(token());
    token();
    r.columns.emplace_back(code, std::stoul(token()));
    token();
  }
  while (pos < text.size()) {
    const std::string length = token();
    if (length == "EOF") {
      r.complete = true;
      break;
    }
    if (r.rows.empty() || r.rows.back().size() == r.columns.size()) r.rows.emplace_back();
    r.rows.back().push_back(text.substr(pos, std::stoul(length)));
    pos += std::stoul(length) + 1;
  }
  return r;
}

class SqliteRowsTest : public ::testing::Test {
 protected:
  SqliteRowsTest() {
    char pattern[] = "/tmp/orv_rows_XXXXXX";
    dir_ = mkdtemp(pattern);
    std::string error;
    EXPECT_TRUE(SqliteBackend::Prepare(Path(), &error)) << error;
    db_ = Connect();
  }
  ~SqliteRowsTest() override {
    db_.reset();
    std::filesystem::remove_all(dir_);
  }
  std::string Path() const { return dir_ + "/rows.db"; }
  std::unique_ptr<SqliteBackend> Connect() {
    std::string error;
    auto backend = SqliteBackend::Connect(Path(), 5000, &error);
    EXPECT_NE(backend, nullptr) << error;
    return backend;
  }
  static Outcome Exec(SqliteBackend* db, const std::string& sql) {
    std::int64_t changed = 0;
    return db->Exec(sql, {}, &changed);
  }
  static Reply Open(SqliteBackend* db, const std::string& sql, RowWindow window = {}) {
    StringSink sink;
    FrameWriter writer(&sink);
    OpenReply reply(&writer);
    Outcome o = db->Open(sql, {}, window, &reply);
    EXPECT_TRUE(o.ok()) << o.message;
    writer.Flush();
    return Decode(sink.data);
  }
  // `rows` rows of an integer, a varchar(5) and a date holding about 40
  // bytes each, well past what the server holds back.
  void Fill(const char* table, int rows) {
    ASSERT_TRUE(Exec(db_.get(), std::string("create table ") + table +
                                    "(n integer, v varchar(5), d datetime)")
                    .ok());
    ASSERT_TRUE(Exec(db_.get(), "with recursive c(n) as (select 1 union all select n + 1 from c "
                                "where n < " + std::to_string(rows) + ") insert into " + table +
                                    " select n, 'abc', '2001-03-02 13:04:05' from c")
                    .ok());
  }

  std::string dir_;
  std::unique_ptr<SqliteBackend> db_;
};

TEST_F(SqliteRowsTest, LongResultsAreDescribedByEveryValueAndSentWhole) {
  constexpr int kRows = 40000;
  Fill("t", kRows);
  Reply plain = Open(db_.get(), "select * from t order by n");
  ASSERT_TRUE(plain.complete);
  EXPECT_EQ(plain.rows.size(), std::size_t{kRows});
  EXPECT_EQ(plain.columns, (std::vector<std::pair<int, std::size_t>>{
                               {kStInt, 11}, {kStVarchar, 5}, {kStDateTime, 17}}));
  EXPECT_EQ(plain.rows.back(), (std::vector<std::string>{"40000", "abc", "20010302130405000"}));

  // The last row alone changes every decision; the first rows went out long
  // before it was read the second time.
  ASSERT_TRUE(Exec(db_.get(), "insert into t values (1099511627776, '" + std::string(300, 'x') +
                                  "', 'later')")
                  .ok());
  Reply odd = Open(db_.get(), "select * from t order by n");
  ASSERT_TRUE(odd.complete);
  ASSERT_EQ(odd.rows.size(), std::size_t{kRows + 1});
  EXPECT_EQ(odd.columns, (std::vector<std::pair<int, std::size_t>>{
                             {kStFloat, 24}, {kStVarchar, 300}, {kStVarchar, 255}}));
  EXPECT_EQ(odd.rows.front(), (std::vector<std::string>{"1", "abc", "2001-03-02 13:04:05"}));
  EXPECT_EQ(odd.rows.back()[0], "1099511627776");

  // Both passes keep to the window.
  Reply window = Open(db_.get(), "select n from t order by n", RowWindow{39995, 10});
  ASSERT_EQ(window.rows.size(), 7u);
  EXPECT_EQ(window.rows.front()[0], "39995");

  // A statement that writes runs once, its result held whole.
  ASSERT_TRUE(Exec(db_.get(), "create table copy(n integer, v text, d text)").ok());
  Reply returned = Open(db_.get(), "insert into copy select * from t returning n");
  EXPECT_TRUE(returned.complete);
  EXPECT_EQ(returned.rows.size(), std::size_t{kRows + 1});
  EXPECT_EQ(Open(db_.get(), "select count(*) from copy").rows.at(0).at(0),
            std::to_string(kRows + 1));
  EXPECT_FALSE(db_->InTransaction());
}

TEST_F(SqliteRowsTest, BothPassesReadOneSnapshotWhileOthersWrite) {
  Fill("t", 30000);
  // Every committed row would break a description the first pass made.
  std::atomic<bool> stop{false};
  std::thread writer([&] {
    auto other = Connect();
    while (!stop.load()) {
      Exec(other.get(), "insert into t values (1099511627776, '" + std::string(300, 'x') +
                            "', 'later')");
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
  });
  for (int k = 0; k < 5; ++k) {
    Reply r = Open(db_.get(), "select * from t");
    EXPECT_TRUE(r.complete);
    for (const auto& row : r.rows) ASSERT_LE(row[1].size(), r.columns[1].second);
  }
  stop.store(true);
  writer.join();
  EXPECT_FALSE(db_->InTransaction());
}

}  // namespace
}  // namespace orv::server
