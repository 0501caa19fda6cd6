#include "host/fielddefs.h"

#include "host/fields.h"
#include "host/sysutils.h"

namespace orv {

TFieldDef::TFieldDef(TFieldDefs* owner, std::string name, TFieldType data_type, int size,
                     bool required, int field_no)
    : owner_(owner),
      name_(std::move(name)),
      data_type_(data_type),
      size_(size),
      required_(required),
      field_no_(field_no) {
  if (owner_ != nullptr) owner_->Adopt(this);
}

int TFieldDef::Index() const {
  if (owner_ == nullptr) return -1;
  for (int i = 0; i < owner_->Count(); ++i) {
    if (owner_->Items(i) == this) return i;
  }
  return -1;
}

TField* TFieldDef::CreateField(TComponent* owner, TDataSet* dataset) const {
  TField* field = NewField(data_type_, owner);
  field->SetFieldName(name_);
  field->SetSize(size_);
  field->SetRequired(required_);
  field->SetDataSet(dataset);
  return field;
}

void TFieldDef::Assign(const TPersistent* source) {
  const auto* def = dynamic_cast<const TFieldDef*>(source);
  if (def == nullptr) return TPersistent::Assign(source);
  name_ = def->name_;
  data_type_ = def->data_type_;
  size_ = def->size_;
  required_ = def->required_;
  field_no_ = def->field_no_;
  precision_ = def->precision_;
}

TFieldDef* TFieldDefs::Items(int index) const {
  if (index < 0 || index >= Count()) {
    DatabaseError("List index out of bounds (" + std::to_string(index) + ")");
  }
  return items_[static_cast<size_t>(index)].get();
}

TFieldDef* TFieldDefs::Add(std::string name, TFieldType data_type, int size, bool required) {
  return new TFieldDef(this, std::move(name), data_type, size, required, Count() + 1);
}

void TFieldDefs::Clear() {
  items_.clear();
  updated_ = false;
}

int TFieldDefs::IndexOf(std::string_view name) const {
  for (int i = 0; i < Count(); ++i) {
    if (SameText(items_[static_cast<size_t>(i)]->Name(), name)) return i;
  }
  return -1;
}

TFieldDef* TFieldDefs::Find(std::string_view name) const {
  const int i = IndexOf(name);
  if (i < 0) DatabaseErrorFmt(SFieldNotFound, name);
  return Items(i);
}

void TFieldDefs::Assign(const TPersistent* source) {
  const auto* defs = dynamic_cast<const TFieldDefs*>(source);
  if (defs == nullptr) return TPersistent::Assign(source);
  if (defs == this) return;
  items_.clear();
  for (const auto& def : defs->items_) {
    auto* copy = new TFieldDef(this, def->Name(), def->DataType(), def->Size(), def->Required(),
                               def->FieldNo());
    copy->SetPrecision(def->Precision());
  }
  updated_ = defs->updated_;
}

}  // namespace orv
