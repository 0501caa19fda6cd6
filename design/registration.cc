#include "design/registration.h"

#include "dataset/orv_query.h"
#include "dataset/orv_stored_proc.h"
#include "dataset/orv_table.h"
#include "design/object_name_property.h"
#include "rdb/orv_rdb.h"

namespace orv {

namespace orvrdb {
void Register() { RegisterComponents(kOrvClientPage, {ComponentClass<TOrvRDB>("TOrvRDB")}); }
}  // namespace orvrdb

namespace orvdataset {
void Register() {
  RegisterComponents(kOrvClientPage, {ComponentClass<TOrvTable>("TOrvTable"),
                                      ComponentClass<TOrvQuery>("TOrvQuery"),
                                      ComponentClass<TOrvStoredProc>("TOrvStoredProc")});
  RegisterPropertyEditor("TTableName", "", "", PropertyEditorClass<TOrvRDBObjectNameProperty>());
  RegisterPropertyEditor("TStordProcName", "", "",
                         PropertyEditorClass<TOrvRDBObjectNameProperty>());
}
}  // namespace orvdataset

TPropertyInfo TableNameProperty() {
  return {"TableName", "TTableName",
          [](const TComponent& c) { return dynamic_cast<const TOrvDataSet&>(c).TableName(); },
          [](TComponent& c, const std::string& value) {
            dynamic_cast<TOrvDataSet&>(c).SetTableName(value);
          }};
}

TPropertyInfo StoredProcNameProperty() {
  return {"StoredProcName", "TStordProcName",
          [](const TComponent& c) {
            return dynamic_cast<const TOrvStoredProc&>(c).StoredProcName();
          },
          [](TComponent& c, const std::string& value) {
            dynamic_cast<TOrvStoredProc&>(c).SetProcName(value);
          }};
}

}  // namespace orv
