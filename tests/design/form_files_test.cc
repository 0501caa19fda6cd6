// Form files of the package's components: every published property written
// and read back, defaults left out, "ParamData" with typed values,
// references in any order, files on disk, and a failed load that leaves
// nothing behind. Nothing here reaches a server.
#include "design/form_files.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>

#include "dataset/message_log.h"
#include "dataset/orv_query.h"
#include "dataset/orv_stored_proc.h"
#include "dataset/orv_table.h"
#include "host/data_module.h"
#include "rdb/orv_rdb.h"

namespace orv {
namespace {

const char kExample[] =
    "object Data: TDataModule\n"
    "  object OrvRDB1: TOrvRDB\n"
    "    Host = 'dbhost'\n"
    "    Port = 7050\n"
    "    ServerType = svUNIX\n"
    "  end\n"
    "  object Query1: TOrvQuery\n"
    "    Database = OrvRDB1\n"
    "    SQL.Strings = (\n"
    "      'select * from T'\n"
    "      'where A = :A')\n"
    "    ParamData = <\n"
    "      item\n"
    "        DataType = ftString\n"
    "        Name = 'A'\n"
    "        ParamType = ptInput\n"
    "        Value = 'x'\n"
    "      end>\n"
    "  end\n"
    "end\n";

template <class C>
C* Find(TComponent* root, const char* name) {
  return dynamic_cast<C*>(root->FindComponent(name));
}

class FormFilesTest : public ::testing::Test {
 protected:
  testing::MessageLog log_;
  TComponent app_{nullptr};
};

TEST_F(FormFilesTest, LoadsTheExampleAndWritesItBackUnchanged) {
  TComponent* data = LoadForm(kExample, &app_);
  auto* rdb = Find<TOrvRDB>(data, "OrvRDB1");
  auto* query = Find<TOrvQuery>(data, "Query1");
  ASSERT_TRUE(rdb && query);
  EXPECT_EQ(rdb->Host(), "dbhost");
  EXPECT_EQ(rdb->Port(), 7050);
  EXPECT_EQ(query->Database(), rdb);
  EXPECT_EQ(query->Text(), "select * from T\r\nwhere A = @A\r\n");
  EXPECT_EQ(query->ParamByName("A")->AsString(), "x");
  EXPECT_EQ(SaveForm(*data), kExample);
}

TEST_F(FormFilesTest, LeavesDefaultsOut) {
  TDataModule data(nullptr);
  data.SetName("Data");
  (new TOrvRDB(&data))->SetName("OrvRDB1");
  (new TOrvQuery(&data))->SetName("Query1");
  (new TOrvTable(&data))->SetName("Table1");
  EXPECT_EQ(SaveForm(data),
            "object Data: TDataModule\n"
            "  object OrvRDB1: TOrvRDB\n"
            "    Port = 0\n"
            "    ServerType = svUNIX\n"
            "  end\n"
            "  object Query1: TOrvQuery\n"
            "    ParamData = <>\n"
            "  end\n"
            "  object Table1: TOrvTable\n"
            "    ParamData = <>\n"
            "  end\n"
            "end\n");
}

TEST_F(FormFilesTest, KeepsEveryPublishedPropertyAndEvent) {
  // Every property and event away from its default, in the order written.
  const char* const kNotifyEvents[] = {
      "BeforeOpen",  "AfterOpen",    "BeforeClose", "AfterClose",   "BeforeInsert", "AfterInsert",
      "BeforeEdit",  "AfterEdit",    "BeforePost",  "AfterPost",    "BeforeCancel", "AfterCancel",
      "BeforeDelete", "AfterDelete", "BeforeScroll", "AfterScroll", "OnCalcFields"};
  TFormHandlers handlers;
  int calls = 0;
  std::string events;
  for (const char* event : kNotifyEvents) {
    handlers.Add(std::string("Do") + event, TDataSet::TDataSetNotifyEvent([&](TDataSet*) { ++calls; }));
    events += std::string("    ") + event + " = Do" + event + "\n";
  }
  handlers.Add("DoNewRecord", TDataSet::TDataSetNotifyEvent([&](TDataSet*) { ++calls; }));
  handlers.Add("Failed", TDataSet::TDataSetErrorEvent([](TDataSet*, EDatabaseError&, TDataAction&) {}));
  handlers.Add("Accept", TDataSet::TFilterRecordEvent([](TDataSet*, bool& accept) { accept = true; }));
  const std::string text =
      "object Data: TDataModule\n"
      "  Tag = 3\n"
      "  object Rdb: TOrvRDB\n"
      "    Host = 'db1'\n"
      "    Port = 7051\n"
      "    Address = '10.0.0.2'\n"
      "    Service = 'rdb'\n"
      "    Database = 'shop'\n"
      "    ServerType = svNTServer\n"
      "    DatabaseType = dtSybase\n"
      "    DBUserId = 'u1'\n"
      "    DBPassword = 'p''w'\n"
      "    TimeOut = 2500\n"
      "  end\n"
      "  object Query: TOrvQuery\n"
      "    Tag = -1\n"
      "    BeforeOpen = DoBeforeOpen\n"
      "    Database = Rdb\n"
      "    SQL.Strings = (\n"
      "      'select '':x'' from T'\n"
      "      'where A = :A')\n"
      "    ParamCheck = False\n"
      "    ParamData = <>\n"
      "  end\n"
      "  object Table: TOrvTable\n" +
      events +
      "    OnDeleteError = Failed\n"
      "    OnEditError = Failed\n"
      "    OnNewRecord = DoNewRecord\n"
      "    OnPostError = Failed\n"
      "    OnFilterRecord = Accept\n"
      "    TableName = 'parts'\n"
      "    Database = Rdb\n"
      "    Filter = 'price > 1'\n"
      "    Filtered = True\n"
      "    AutoCalcFields = False\n"
      "    CachedUpdates = True\n"
      "    ReadOnly = True\n"
      "    IndexFieldNames = 'a;b'\n"
      "    ParamData = <>\n"
      "  end\n"
      "  object Proc: TOrvStoredProc\n"
      "    OnFilterRecord = Accept\n"
      "    Database = Rdb\n"
      "    StoredProcName = 'pay'\n"
      "    ParamData = <\n"
      "      item\n"
      "        DataType = ftFloat\n"
      "        Name = 'total'\n"
      "        ParamType = ptOutput\n"
      "      end>\n"
      "  end\n"
      "end\n";
  TComponent* data = LoadForm(text, &app_, handlers);
  EXPECT_EQ(SaveForm(*data), text);
  auto* rdb = Find<TOrvRDB>(data, "Rdb");
  auto* query = Find<TOrvQuery>(data, "Query");
  auto* table = Find<TOrvTable>(data, "Table");
  auto* proc = Find<TOrvStoredProc>(data, "Proc");
  ASSERT_TRUE(rdb && query && table && proc);
  EXPECT_EQ(proc->Database(), rdb);
  EXPECT_EQ(rdb->DatabaseType(), TDatabaseType::dtSybase);
  EXPECT_TRUE(table->ReadOnly());
  EXPECT_EQ(table->IndexFieldNames(), "a;b");
  // Without parameter checking the command text is the SQL as written.
  EXPECT_EQ(query->Text(), "select ':x' from T\r\nwhere A = :A\r\n");
  EXPECT_EQ(query->GetParamsCount(), 0);
  query->BeforeOpen(query);
  table->OnNewRecord(table);
  EXPECT_EQ(calls, 2);
}

TEST_F(FormFilesTest, KeepsTypedParameterValues) {
  TDataModule data(nullptr);
  auto* query = new TOrvQuery(&data);
  query->SetName("Q");
  TParams& params = *query->Params();
  params.CreateParam(ftString, "S", ptInput)->SetAsString("caf\xC3\xA9 'x'\r\n");
  params.CreateParam(ftInteger, "I", ptInputOutput)->SetAsInteger(-42);
  params.CreateParam(ftLargeint, "L", ptInput)->SetAsVariant(Variant(int64_t{1} << 40));
  params.CreateParam(ftFloat, "F", ptInput)->SetAsFloat(0.1);
  params.CreateParam(ftBoolean, "B", ptOutput)->SetAsBoolean(true);
  params.CreateParam(ftDate, "D", ptInput)->SetAsDate(36952.0);
  params.CreateParam(ftTime, "T", ptInput)->SetAsTime(0.5);
  params.CreateParam(ftDateTime, "DT", ptResult)->SetAsDateTime(36952.54450231481);
  params.CreateParam(ftString, "Null", ptInput)->Clear();
  params.CreateParam(ftUnknown, "Unset", ptUnknown);

  TComponent* loaded = LoadForm(SaveForm(data), &app_);
  const TParams& read = *Find<TOrvQuery>(loaded, "Q")->Params();
  EXPECT_TRUE(read.IsEqual(params));
  EXPECT_EQ(read.ParamByName("DT")->Value().VarType(), varDate);
  EXPECT_TRUE(read.ParamByName("Null")->Value().IsNull());
  EXPECT_TRUE(read.ParamByName("Unset")->Value().IsEmpty());
}

TEST_F(FormFilesTest, ResolvesAConnectionDefinedLater) {
  TComponent* data = LoadForm(
      "object Data: TDataModule\n"
      "  object Table1: TOrvTable\n"
      "    TableName = 'T'\n"
      "    Database = OrvRDB1\n"
      "  end\n"
      "  object OrvRDB1: TOrvRDB\n"
      "    Port = 1\n"
      "  end\n"
      "end\n",
      &app_);
  EXPECT_EQ(Find<TOrvTable>(data, "Table1")->Database(), Find<TOrvRDB>(data, "OrvRDB1"));
}

TEST_F(FormFilesTest, AProcedureKeepsTheFormsParametersWrittenBeforeItsName) {
  TComponent* data = LoadForm(
      "object Data: TDataModule\n"
      "  object Proc: TOrvStoredProc\n"
      "    ParamData = <\n"
      "      item\n"
      "        DataType = ftInteger\n"
      "        Name = 'who'\n"
      "        ParamType = ptInput\n"
      "      end>\n"
      "    StoredProcName = 'pay'\n"
      "  end\n"
      "end\n",
      &app_);
  auto* proc = Find<TOrvStoredProc>(data, "Proc");
  EXPECT_EQ(proc->StoredProcName(), "pay");
  EXPECT_EQ(proc->Params()->Count(), 1);
}

TEST_F(FormFilesTest, AFailedLoadOpensNothingAndLeavesNothing) {
  // The table would open at the end of loading; the unknown connection
  // name stops the load before that.
  const std::string text =
      "object Data: TDataModule\n"
      "  object OrvRDB1: TOrvRDB\n"
      "    Address = '127.0.0.1'\n"
      "    Port = 1\n"
      "  end\n"
      "  object Table1: TOrvTable\n"
      "    TableName = 'T'\n"
      "    Active = True\n"
      "    Database = OrvRDB2\n"
      "  end\n"
      "end\n";
  EXPECT_THROW(LoadForm(text, &app_), EFilerError);
  EXPECT_EQ(app_.ComponentCount(), 0);
  EXPECT_EQ(log_.Count(), 0u);
}

TEST_F(FormFilesTest, SavesAndLoadsFilesNamingThemInErrors) {
  char dir[] = "/tmp/orv-form-XXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);
  const std::string path = std::string(dir) + "/shop.form";
  TComponent* data = LoadForm(kExample, &app_);
  SaveFormFile(path, *data);
  SaveFormFile(path, *data);  // replaces it
  std::unique_ptr<TComponent> again(LoadFormFile(path, nullptr));
  EXPECT_EQ(SaveForm(*again), kExample);

  std::ofstream(path) << "object Data: TDataModule\n  Port = 'x'\nend\n";
  try {
    LoadFormFile(path, nullptr);
    ADD_FAILURE() << "loaded";
  } catch (const EFilerError& e) {
    EXPECT_EQ(std::string(e.what()), path + ": Line 2, column 3: Unknown property Port of TDataModule");
  }
  unlink(path.c_str());
  EXPECT_THROW(LoadFormFile(path, nullptr), EFilerError);
  try {
    LoadFormFile(dir, nullptr);
    ADD_FAILURE() << "a directory loaded";
  } catch (const EFilerError& e) {
    EXPECT_EQ(std::string(e.what()), std::string(dir) + ": cannot read: Is a directory");
  }
  rmdir(dir);
}

}  // namespace
}  // namespace orv
