// The registration table the package's Register entry points fill, and the
// object-name editor found through it, against a scripted server.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "dataset/message_log.h"
#include "dataset/orv_stored_proc.h"
#include "dataset/orv_table.h"
#include "design/registration.h"
#include "host/sysutils.h"
#include "rdb/orv_rdb.h"
#include "tests/support/scripted_peer.h"

namespace orv {
namespace {

using testing::Column;
using testing::PeerScript;
using testing::ScriptedPeer;
using testing::SplitFrames;
using testing::Value;

class RegistrationTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    // Registering twice changes nothing.
    for (int i = 0; i < 2; ++i) {
      orvrdb::Register();
      orvdataset::Register();
    }
  }
};

TEST_F(RegistrationTest, FourComponentsOnThePaletteInOrder) {
  std::vector<std::string> names;
  for (const TComponentRegistration& r : RegisteredComponents()) {
    EXPECT_EQ(r.Page, "OrvClient");
    names.push_back(r.Class.Name);
  }
  EXPECT_EQ(names, (std::vector<std::string>{"TOrvRDB", "TOrvTable", "TOrvQuery", "TOrvStoredProc"}));
  TComponent form(nullptr);
  for (const std::string& name : names) {
    auto found = FindComponentClass(UpperCase(name));
    ASSERT_TRUE(found.has_value()) << name;
    TComponent* made = found->Class.Create(&form);
    EXPECT_EQ(made->ClassName(), name);
    EXPECT_EQ(made->Owner(), &form);
  }
  EXPECT_FALSE(FindComponentClass("TOrvDataSet").has_value());
}

TEST_F(RegistrationTest, TheObjectNameEditorListsNamesOfItsKind) {
  ScriptedPeer peer;
  auto names = [](const std::string& owner, const std::string& a, const std::string& b) {
    return PeerScript()
        .ReadFrames(1)
        .WriteFrame("2;OK")
        .WriteFrame(Column(18, "O", 10) + Column(18, "N", 10) + Value(owner) + Value(a) +
                    Value(owner) + Value(b) + "EOF;")
        .ReadFrames(1);
  };
  peer.Add(names("dbo", "t2", "t1"));
  peer.Add(names("dbo", "p2", "p1"));
  testing::MessageLog log;
  TOrvRDB rdb(nullptr);
  rdb.SetAddress("127.0.0.1");
  rdb.SetPort(peer.Port());
  rdb.SetDatabaseType(dtSybase);
  TOrvTable table(nullptr);
  table.SetDatabase(&rdb);
  TOrvStoredProc proc(nullptr);
  proc.SetDatabase(&rdb);
  TOrvTable unbound(nullptr);

  auto values = [](TComponent* component, const TPropertyInfo& property) {
    TPropertyEditorClass editor_class =
        FindPropertyEditor(property.TypeName, component->ClassName(), property.Name);
    EXPECT_TRUE(editor_class);
    std::unique_ptr<TPropertyEditor> editor = editor_class({component}, property);
    EXPECT_EQ(editor->GetAttributes().Bits(), 0xA9);
    std::vector<std::string> got;
    editor->GetValues([&](const std::string& v) { got.push_back(v); });
    return got;
  };
  EXPECT_EQ(values(&table, TableNameProperty()), (std::vector<std::string>{"dbo.t2", "dbo.t1"}));
  EXPECT_EQ(values(&proc, StoredProcNameProperty()), (std::vector<std::string>{"dbo.p2", "dbo.p1"}));
  // A procedure's editor on a table name still lists procedures: from the
  // cache now. A dataset without a connection lists nothing.
  EXPECT_EQ(values(&proc, TableNameProperty()), (std::vector<std::string>{"dbo.p2", "dbo.p1"}));
  EXPECT_TRUE(values(&unbound, TableNameProperty()).empty());
  ASSERT_TRUE(peer.WaitEnded(1));
  EXPECT_NE(SplitFrames(peer.Received(0))[0].find("type in ('U', 'V')"), std::string::npos);
  EXPECT_NE(SplitFrames(peer.Received(1))[0].find("type = 'P'"), std::string::npos);
  EXPECT_EQ(peer.Accepted(), 2);

  // The editor reads and writes the property as text, for every component.
  TOrvTable other(nullptr);
  auto editor = FindPropertyEditor("TTableName", "", "")({&table, &other}, TableNameProperty());
  editor->SetValue("parts");
  EXPECT_EQ(other.TableName(), "parts");
  EXPECT_EQ(editor->GetValue(), "parts");
  EXPECT_FALSE(FindPropertyEditor("TIndexName", "TOrvTable", "IndexName"));
}

}  // namespace
}  // namespace orv
