#include "design/object_name_property.h"

#include "dataset/orv_table.h"
#include "host/strings.h"

namespace orv {

TPropertyAttributes TOrvRDBObjectNameProperty::GetAttributes() {
  return {paValueList, paMultiSelect, paSortList, paRevertable};
}

void TOrvRDBObjectNameProperty::GetValues(const TGetStrProc& proc) {
  auto* dataset = dynamic_cast<TOrvDataSet*>(GetComponent(0));
  if (dataset == nullptr) return;
  TStringList names;
  dataset->GetTableNames(dynamic_cast<TOrvTable*>(dataset) != nullptr ? "T" : "P", &names);
  for (int i = 0; i < names.Count(); ++i) proc(names.Strings(i));
}

}  // namespace orv
