#include "tools/options.h"

#include "tools/shell.h"

#include <gtest/gtest.h>

#include <cstring>

namespace orv::orvsql {
namespace {

ParseResult Parse(std::vector<std::string> args) { return ParseCommandLine(args); }

TEST(OrvsqlOptions, DefaultsAndSourcesInOrder) {
  ParseResult r = Parse({"-c", "select 1", "-f", "a.sql", "-c", "delete from t"});
  ASSERT_TRUE(r.options) << r.error;
  const Options& o = *r.options;
  EXPECT_EQ(o.host, "127.0.0.1");
  EXPECT_EQ(o.port, 7050);
  EXPECT_EQ(o.timeout_ms, 1000);
  EXPECT_EQ(o.statement_timeout_s, 0);
  EXPECT_FALSE(o.sybase);
  EXPECT_FALSE(o.nt_server);
  ASSERT_EQ(o.sources.size(), 3u);
  EXPECT_EQ(o.sources[1].kind, Source::kFile);
  EXPECT_EQ(o.sources[1].text, "a.sql");
  EXPECT_EQ(o.sources[2].text, "delete from t");

  // An address alone must not be hidden behind a default host name.
  r = Parse({"--address", "127.0.0.2", "--port=7100", "--server-type", "nt",
             "--database-type=sybase", "--timeout", "250", "--page", "11:5", "--csv", "--exec",
             "--statement-timeout", "0.25"});
  ASSERT_TRUE(r.options) << r.error;
  EXPECT_EQ(r.options->host, "");
  EXPECT_EQ(r.options->address, "127.0.0.2");
  EXPECT_EQ(r.options->port, 7100);
  EXPECT_TRUE(r.options->nt_server);
  EXPECT_TRUE(r.options->sybase);
  EXPECT_EQ(r.options->timeout_ms, 250);
  EXPECT_TRUE(r.options->paged);
  EXPECT_EQ(r.options->page_start, 11);
  EXPECT_EQ(r.options->page_count, 5);
  EXPECT_TRUE(r.options->csv && r.options->exec && !r.options->quiet);
  EXPECT_DOUBLE_EQ(r.options->statement_timeout_s, 0.25);
}

TEST(OrvsqlOptions, UsageErrorsNameTheProblem) {
  const std::vector<std::vector<std::string>> bad = {
      {"--bogus"},          {"-c"},
      {"--port", "0"},      {"--port", "70x"},
      {"--page", "0:10"},   {"--page", "5"},
      {"--page", "1:-1"},   {"--timeout", "-5"},
      {"--database-type", "db2"}, {"--server-type", "vms"},
      {"--csv=yes"},        {"--param", "novalue"},
      {"--param", "=5"},    {"--param", "n:decimal=5"},
      {"--param", "n:integer=99999999999"}, {"--param", "n:integer="},
      {"--param", "n:float=1.5x"}, {"--param", "n:boolean=yes"},
      {"--param", "n:date=2024-02-30"}, {"--param", "n:time=24:00:00"},
      {"--param", "n:datetime=2024-01-01"}, {"--statement-timeout", "-1"},
      {"--statement-timeout", "1e3"}, {"--statement-timeout", "soon"},
      {"--open"}, {"--proc", "p", "-c", "select 1"}, {"--proc", "p", "--page", "1:2"},
      {"--proc="}, {"--dataset", "D"}, {"--form", "f", "--proc", "p"}};
  for (const auto& args : bad) {
    ParseResult r = Parse(args);
    EXPECT_FALSE(r.options) << args[0];
    EXPECT_FALSE(r.error.empty()) << args[0];
  }
  EXPECT_NE(Parse({"--frobnicate"}).error.find("--frobnicate"), std::string::npos);
}

TEST(OrvsqlOptions, TypedParameters) {
  ParseResult r = Parse({"--param", "name=a=b", "--param", "n:integer=-42", "--param",
                         ":f:FLOAT=2.5e3", "--param", "b:boolean=TRUE", "--param",
                         "d:date=2024-02-29", "--param", "t:time=13:45:07.250", "--param",
                         "dt:datetime=1999-12-31 23:59:59", "--param", "m:memo=x;y"});
  ASSERT_TRUE(r.options) << r.error;
  const auto& p = r.options->params;
  ASSERT_EQ(p.size(), 8u);
  EXPECT_EQ(p[0].kind, ParamKind::kString);
  EXPECT_EQ(p[0].text, "a=b");  // only the first "=" ends the name
  EXPECT_EQ(p[1].integer, -42);
  EXPECT_EQ(p[2].name, "f");
  EXPECT_DOUBLE_EQ(p[2].number, 2500);
  EXPECT_TRUE(p[3].boolean);
  EXPECT_EQ(FormatDateTime("yyyy-mm-dd hh:nn:ss", p[4].moment), "2024-02-29 00:00:00");
  EXPECT_EQ(FormatDateTime("hh:nn:ss.zzz", p[5].moment), "13:45:07.250");
  EXPECT_EQ(FormatDateTime("yyyy-mm-dd hh:nn:ss", p[6].moment), "1999-12-31 23:59:59");
  EXPECT_EQ(p[7].kind, ParamKind::kMemo);
  EXPECT_EQ(p[7].text, "x;y");
}

TEST(OrvsqlOptions, HelpDocumentsEveryOptionAndCommand) {
  ParseResult r = Parse({"--help", "--version"});
  ASSERT_TRUE(r.options);
  EXPECT_TRUE(r.options->help && r.options->version);
  const std::string help = HelpText(Shell::CommandHelp(true));
  for (const char* option :
       {"--host", "--address", "--port", "--service", "--database ", "--user", "--password",
        "--database-type", "--server-type", "--timeout", "--statement-timeout", "-c SQL", "-f FILE", "--param",
        "NAME:TYPE=VALUE", "--page", "--exec", "--proc NAME", "--open", "--csv", "--quiet", "--version"})
    EXPECT_NE(help.find(option), std::string::npos) << option;
  for (const std::string& command : Shell::CommandNames())
    EXPECT_NE(help.find("  " + command + " "), std::string::npos) << command;
  for (size_t start = 0, end; (end = help.find('\n', start)) != std::string::npos; start = end + 1)
    EXPECT_LE(end - start, 79u) << help.substr(start, end - start);
}

}  // namespace
}  // namespace orv::orvsql
