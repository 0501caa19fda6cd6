// orv_capture_corpus OUTDIR: writes the seed corpora of the fuzz targets,
// captured from a real rdbserver (started here on a free loopback port with
// a fresh database): the exact bytes of each reply, the requests that asked
// for them, and the statements and parameter blocks inside those requests.
// Run it again after the protocol or the server's replies change:
//   build/normal/tests/orv_capture_corpus fuzz/corpus
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "rdb/frame.h"
#include "support/frame_client.h"
#include "support/rdbserver_process.h"

namespace {

using orv::test::FrameClient;
namespace fs = std::filesystem;

fs::path g_out;

void Save(const std::string& target, const std::string& name, const std::string& bytes) {
  fs::create_directories(g_out / target);
  std::ofstream(g_out / target / name, std::ios::binary) << bytes;
}

// The message framed as the client frames it.
std::string Framed(const std::string& message) {
  std::string out;
  size_t at = 0;
  do {
    const size_t take = std::min(message.size() - at, orv::kMaxFramePayload);
    out += orv::EncodeFrame(std::string_view(message).substr(at, take));
    at += take;
  } while (at < message.size());
  return out;
}

struct Case {
  std::string name;
  std::string command;  // OPEN, OPENPART, EXEC, TRAN ...
  std::string sql;
  std::vector<std::string> params;  // parameter block entries
  std::string first, count;         // OPENPART window
};

// Sends one request and records it and its whole reply.
void Capture(int port, const Case& c) {
  const std::string message = c.command + ";" + c.first + ";" + c.count + ";" +
                              std::to_string(c.params.size()) + ";\n" + c.sql;
  std::string block;
  for (const std::string& p : c.params) block += p;
  std::string request = Framed(message);
  if (!block.empty()) request += Framed(block);

  FrameClient client;
  if (!client.Connect(port) || !client.SendRaw(request)) {
    std::fprintf(stderr, "cannot send %s\n", c.name.c_str());
    return;
  }
  std::string wire, text;
  auto line = client.ReadFrame();
  if (!line) return;
  wire += orv::EncodeFrame(*line);
  const bool rows = (c.command == "OPEN" || c.command == "OPENPART") && (*line)[0] != '-';
  while (rows && (text.size() < 4 || text.compare(text.size() - 4, 4, "EOF;") != 0)) {
    auto frame = client.ReadFrame(5000);
    if (!frame) break;
    wire += orv::EncodeFrame(*frame);
    text += *frame;
  }
  const std::string cols = line->substr(0, line->find(';'));
  Save("result_line", c.name, *line);
  Save("request_parser", c.name, std::string(1, '\0') + request);
  Save("request_parser", c.name + "_cut7", std::string(1, '\7') + request);
  if (!c.sql.empty()) {
    Save("parse_sql", c.name, c.sql);
    Save("pg_sql", c.name, c.sql);
  }
  if (!c.params.empty())
    Save("param_block", c.name, std::string(1, static_cast<char>(c.params.size() - 1)) + block);
  if (rows) {
    Save("result_stream", c.name, wire);
    const char columns = static_cast<char>(std::atoi(cols.c_str()) % 32);
    Save("reply_parser", c.name, std::string{columns, '\0'} + text);
    Save("reply_parser", c.name + "_cut3", std::string{columns, '\3'} + text);
  }
}

std::string Param(const std::string& name, int type, const std::string& value) {
  return "I;" + name + ";" + std::to_string(type) + ";" + std::to_string(value.size()) + ";" +
         value + ";";
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: orv_capture_corpus OUTDIR\n");
    return 2;
  }
  g_out = argv[1];
  orv::test::RdbServerProcess server(ORV_RDBSERVER_PATH);
  if (!server.ok()) {
    std::fprintf(stderr, "%s\n", server.error().c_str());
    return 1;
  }
  const int port = server.port();
  const std::string long_text(5000, 'L');
  const std::vector<Case> cases = {
      {"create", "EXEC", "create table t (i integer, s varchar(20), f real, d datetime, "
                         "b boolean, m text, g blob)", {}, "", ""},
      {"insert", "EXEC", "insert into t values (:i, :s, :f, :d, :b, :m, :g)",
       {Param(":i", 8, "-12"), Param(":s", 0, "it's; \"x\""), Param(":f", 10, "2.5"),
        Param(":d", 12, "20010302130405000"), Param(":b", 11, "T"), Param(":m", 4, long_text),
        Param(":g", 5, std::string("a\0b;", 4))}, "", ""},
      {"insert_nulls", "EXEC", "insert into t values (:i, :s, :f, :d, :b, :m, :g)",
       {Param(":i", 8, ""), Param(":s", 0, ""), Param(":f", 10, ""), Param(":d", 12, ""),
        Param(":b", 11, ""), Param(":m", 4, ""), Param(":g", 5, "")}, "", ""},
      {"open_types", "OPEN", "select * from t order by i", {}, "", ""},
      {"open_param", "OPEN", "select s, :x as x from t where i = :i or i is null",
       {Param(":x", 0, "a;b"), Param(":i", 8, "-12")}, "", ""},
      {"open_part", "OPENPART",
       "with recursive n(k) as (select 1 union all select k + 1 from n where k < 50) "
       "select k, 'row ' || k from n", {}, "11", "20"},
      {"open_many_frames", "OPEN",
       "with recursive n(k) as (select 1 union all select k + 1 from n where k < 400) "
       "select k, printf('%.30c', 'v') as v, k * 0.5 as h from n", {}, "", ""},
      {"open_empty", "OPEN", "select * from t where 0", {}, "", ""},
      {"open_no_table", "OPEN", "select * from nowhere", {}, "", ""},
      {"exec_bad", "EXEC", "update", {}, "", ""},
      {"tran", "TRAN", "", {}, "", ""},
      {"rollback", "ROLLBACK", "", {}, "", ""},
      {"quoted_names", "OPEN",
       "select :'my name' as a, ':x' as b, 'x::y' as c, \"q:z\" as d",
       {Param(":my name", 0, "v")}, "", ""},
      // What PostgreSQL's lexer keeps whole; SQLite refuses it, which makes
      // an error reply of its own.
      {"pg_lexemes", "EXEC",
       "select $$a:b$$, $t$ @c $t$, E'\\':d', x::int, a[1:2], \"e:f\" /* :g /* :h */ */ "
       "from t where a = :a and b = @B and c = :A -- :i\n; select $2, :j",
       {Param(":a", 8, "1"), Param("@b", 0, "x")}, "", ""},
  };
  for (const Case& c : cases) Capture(port, c);
  return server.Stop() == 0 ? 0 : 1;
}
