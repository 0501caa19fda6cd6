// TOrvRDBObjectNameProperty: the designer's editor of the table-name and
// procedure-name properties (types TTableName and TStordProcName). Its
// drop-down offers the names the dataset's connection lists: the tables
// and views for a TOrvTable, the procedures and functions for any other
// dataset. The names may come from the connection's caches or from the
// server (TOrvDataSet::GetTableNames); failures pass to the caller.
//
// Belongs to the thread of the components it edits.
#pragma once

#include "../host/designer.h"

#pragma GCC visibility push(default)
namespace orv {

class TOrvRDBObjectNameProperty : public TStringProperty {
 public:
  using TStringProperty::TStringProperty;

  // A list of values, several components at once, sorted, revertable (0xA9).
  TPropertyAttributes GetAttributes() override;
  // Hands each name to `proc` in the order listed; the designer sorts.
  void GetValues(const TGetStrProc& proc) override;
};

}  // namespace orv
#pragma GCC visibility pop
