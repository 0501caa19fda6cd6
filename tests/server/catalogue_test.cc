#include "server/catalogue.h"

#include <gtest/gtest.h>

namespace orv::server {
namespace {

using Kind = CatalogueQuery::Kind;

TEST(CatalogueTest, RecognisesThePackagesTextsOnly) {
  const std::string params =
      "select c.name, t.usertype from syscolumns c, systypes t where c.usertype = t.usertype "
      "and c.id = object_id ('dbo.P') and c.number = 1";
  auto q = RecogniseCatalogue(params + "\r\n");
  ASSERT_TRUE(q.has_value());
  EXPECT_EQ(q->kind, Kind::kProcedureParams);
  EXPECT_EQ(q->procedure, "dbo.P");

  q = RecogniseCatalogue(
      "select owner, object_name from sys.all_objects where object_type in ('TABLE', 'VIEW') "
      "and owner != 'SYS'\r\n");
  ASSERT_TRUE(q.has_value());
  EXPECT_EQ(q->kind, Kind::kTables);
  q = RecogniseCatalogue(
      "select owner, object_name from sys.all_objects where object_type in ('PROCEDURE', "
      "'FUNCTION', 'PACKAGE' )");
  ASSERT_TRUE(q.has_value());
  EXPECT_EQ(q->kind, Kind::kProcedures);

  EXPECT_FALSE(RecogniseCatalogue("select name from sysobjects"));
  EXPECT_FALSE(RecogniseCatalogue("SELECT user_name (uid), name from sysobjects where type = 'P'"));
}

TEST(CatalogueTest, DropsTheOwnerBeforeAStarOnly) {
  const std::pair<const char*, const char*> cases[] = {
      {"select main.T.*, ROWID from main.T\r\n", "select T.*, ROWID from main.T\r\n"},
      {"SELECT MAIN.\"my \"\"t\".*, ROWID from main.\"my \"\"t\"",
       "SELECT \"my \"\"t\".*, ROWID from main.\"my \"\"t\""},
      {"select main.T.a from main.T", "select main.T.a from main.T"},
      {"select maint.T.* from T", "select maint.T.* from T"},
      {"select * from main.T", "select * from main.T"},
  };
  for (const auto& [given, wanted] : cases) EXPECT_EQ(WithoutStarOwner(given, "main"), wanted);
}

}  // namespace
}  // namespace orv::server
