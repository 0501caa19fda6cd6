#include "dataset/orv_table.h"

namespace orv {
namespace {

// "A;B;" gives "A,B": every ";" becomes ",", and a trailing one goes.
std::string OrderingList(const std::string& names) {
  std::string list = names;
  for (char& c : list)
    if (c == ';') c = ',';
  if (!list.empty() && list.back() == ',') list.pop_back();
  return list;
}

}  // namespace

TOrvTable::TOrvTable(TComponent* owner) : TOrvDataSet(owner) {}

TOrvTable::~TOrvTable() {
  if (Active()) TOrvDataSet::SetActive(false);
}

void TOrvTable::SetActive(bool value) {
  // Kept for Loaded, which comes back here with TableName and Database read.
  if (ComponentState() & csLoading) {
    TOrvDataSet::SetActive(value);
    return;
  }
  if (value == Active() || TableName().empty() || Database() == nullptr) return;
  const bool sybase = Database()->DatabaseType() == dtSybase;
  const std::string& table = TableName();
  TStrings* sql = SQL();
  sql->Clear();
  sql->Add(sybase ? "select * from " + table : "select " + table + ".*, ROWID from " + table);
  if (Filtered() && !Filter().empty()) sql->Add("where " + Filter());
  const std::string order = IndexFieldNames();
  if (!order.empty()) sql->Add(" order by " + OrderingList(order));
  SetCommandText(sql->Text());
  SetHideRowId(!sybase);
  TOrvDataSet::SetActive(value);
}

void TOrvTable::SetReadOnly(bool value) {
  CheckInactive();
  TDataSet::SetReadOnly(value);
}

std::string TOrvTable::IndexFieldNames() const {
  return index_by_names_ ? index_field_names_ : std::string();
}

void TOrvTable::SetIndexFieldNames(const std::string& value) {
  if (value != index_field_names_) SetIndex(value, !value.empty());
}

void TOrvTable::SetIndex(const std::string& names, bool by_names) {
  index_field_names_ = names;
  index_by_names_ = by_names;
  if (Active()) {
    Close();
    Open();
  }
}

void TOrvTable::SetKey() { SetKeyBuffer(index_field_names_, true); }

void TOrvTable::EditKey() { SetKeyBuffer(index_field_names_, false); }

bool TOrvTable::GotoKey() {
  GetRecordCount();  // the search covers the whole result
  return GotoKeyBuffer(false);
}

void TOrvTable::GotoNearest() {
  GetRecordCount();
  GotoKeyBuffer(true);
}

}  // namespace orv
