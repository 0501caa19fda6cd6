// A form file whose table, query and stored procedure say Active = True,
// loaded against the real rdbserver: each opens once, after the whole form
// is read.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "dataset/orv_stored_proc.h"
#include "dataset/orv_table.h"
#include "design/form_files.h"
#include "integration/dataset_fixture.h"
#include "support/fault_proxy.h"

namespace orv::test {
namespace {

// Loading is the client's alone: one backend is enough.
class FormLoadTest : public DataSetServerTest {};

TEST_F(FormLoadTest, ActiveDataSetsOpenOnceEachWhenTheFormIsLoaded) {
  Exec("create table form_parts (id integer, name varchar(20))");
  Exec("insert into form_parts values (1, 'bolt')");
  Exec("insert into form_parts values (2, 'nut')");
  Exec("CREATE PROCEDURE form_named (OUT n INTEGER, least INTEGER) AS BEGIN "
       "SELECT name FROM form_parts WHERE id >= :least ORDER BY id; "
       "SET :n = SELECT count(*) FROM form_parts WHERE id >= :least; END");
  // Counts the connections and frames the form's datasets send.
  FaultProxy proxy(server_->port());
  ASSERT_GT(proxy.Port(), 0);
  TFormHandlers handlers;
  int opened = 0;
  handlers.Add("CountOpen", TDataSet::TDataSetNotifyEvent([&](TDataSet*) { ++opened; }));
  // The datasets name the connection before the file defines it; the
  // procedure's Active comes before its name.
  const std::string form =
      "object Shop: TDataModule\n"
      "  object Parts: TOrvTable\n"
      "    AfterOpen = CountOpen\n"
      "    TableName = 'form_parts'\n"
      "    Database = Rdb\n"
      "    Active = True\n"
      "    IndexFieldNames = 'id'\n"
      "  end\n"
      "  object Named: TOrvQuery\n"
      "    AfterOpen = CountOpen\n"
      "    Database = Rdb\n"
      "    SQL.Strings = (\n"
      "      'select name from form_parts where id = :id')\n"
      "    Active = True\n"
      "    ParamData = <\n"
      "      item\n"
      "        DataType = ftInteger\n"
      "        Name = 'id'\n"
      "        ParamType = ptInput\n"
      "        Value = 2\n"
      "      end>\n"
      "  end\n"
      "  object Listed: TOrvStoredProc\n"
      "    AfterOpen = CountOpen\n"
      "    Active = True\n"
      "    Database = Rdb\n"
      "    StoredProcName = 'form_named'\n"
      "    ParamData = <\n"
      "      item\n"
      "        DataType = ftInteger\n"
      "        Name = 'n'\n"
      "        ParamType = ptOutput\n"
      "      end\n"
      "      item\n"
      "        DataType = ftInteger\n"
      "        Name = 'least'\n"
      "        ParamType = ptInput\n"
      "        Value = 2\n"
      "      end>\n"
      "  end\n"
      "  object Rdb: TOrvRDB\n"
      "    Address = '127.0.0.1'\n"
      "    Port = " + std::to_string(proxy.Port()) + "\n"
      "    ServerType = svUNIX\n"
      "  end\n"
      "end\n";
  std::unique_ptr<TComponent> shop(LoadForm(form, nullptr, handlers));
  auto* parts = dynamic_cast<TOrvTable*>(shop->FindComponent("Parts"));
  auto* named = dynamic_cast<TOrvQuery*>(shop->FindComponent("Named"));
  auto* listed = dynamic_cast<TOrvStoredProc*>(shop->FindComponent("Listed"));
  ASSERT_TRUE(parts && named && listed);
  ASSERT_TRUE(parts->Active() && named->Active() && listed->Active()) << log_.Texts();
  EXPECT_EQ(opened, 3);
  EXPECT_EQ(parts->RecordCount(), 2);
  EXPECT_EQ(parts->FieldByName("name")->AsString(), "bolt");
  EXPECT_EQ(named->RecordCount(), 1);
  EXPECT_EQ(named->FieldByName("name")->AsString(), "nut");
  EXPECT_EQ(listed->RecordCount(), 1);
  EXPECT_EQ(listed->ParamByName("n")->AsInteger(), 1);
  // Saved while open: the fields that opening made are not the form's.
  const std::string saved = SaveForm(*shop);
  EXPECT_EQ(saved.find("Field\n"), std::string::npos) << saved;  // no "object X: TStringField"
  EXPECT_NE(saved.find("object Listed: TOrvStoredProc"), std::string::npos) << saved;
  shop.reset();
  ASSERT_TRUE(proxy.WaitIdle());
  // A connection each: the table's OPEN and CLOSE; the query's OPEN, its
  // parameter block and CLOSE; the procedure's call, its parameter block
  // and CLOSE, with no PARAM request: the form's ParamData is its list.
  EXPECT_EQ(proxy.Accepted(), 3);
  EXPECT_EQ(proxy.EndedFrames(FaultProxy::Direction::kToServer), 8);
  EXPECT_EQ(log_.Count(), 0u) << log_.Texts();
}

}  // namespace
}  // namespace orv::test
