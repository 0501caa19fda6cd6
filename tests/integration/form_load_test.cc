// A form file whose table and query say Active = True, loaded against the
// real rdbserver: each opens once, after the whole form is read.
#include <gtest/gtest.h>

#include <memory>
#include <string>

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
  // Counts the connections and frames the form's datasets send.
  FaultProxy proxy(server_->port());
  ASSERT_GT(proxy.Port(), 0);
  TFormHandlers handlers;
  int opened = 0;
  handlers.Add("CountOpen", TDataSet::TDataSetNotifyEvent([&](TDataSet*) { ++opened; }));
  // The datasets name the connection before the file defines it.
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
      "  object Rdb: TOrvRDB\n"
      "    Address = '127.0.0.1'\n"
      "    Port = " + std::to_string(proxy.Port()) + "\n"
      "    ServerType = svUNIX\n"
      "  end\n"
      "end\n";
  std::unique_ptr<TComponent> shop(LoadForm(form, nullptr, handlers));
  auto* parts = dynamic_cast<TOrvTable*>(shop->FindComponent("Parts"));
  auto* named = dynamic_cast<TOrvQuery*>(shop->FindComponent("Named"));
  ASSERT_TRUE(parts && named);
  ASSERT_TRUE(parts->Active() && named->Active()) << log_.Texts();
  EXPECT_EQ(opened, 2);
  EXPECT_EQ(parts->RecordCount(), 2);
  EXPECT_EQ(parts->FieldByName("name")->AsString(), "bolt");
  EXPECT_EQ(named->RecordCount(), 1);
  EXPECT_EQ(named->FieldByName("name")->AsString(), "nut");
  shop.reset();
  ASSERT_TRUE(proxy.WaitIdle());
  // A connection each: the table's OPEN and CLOSE; the query's OPEN, its
  // parameter block and CLOSE.
  EXPECT_EQ(proxy.Accepted(), 2);
  EXPECT_EQ(proxy.EndedFrames(FaultProxy::Direction::kToServer), 5);
  EXPECT_EQ(log_.Count(), 0u) << log_.Texts();
}

}  // namespace
}  // namespace orv::test
