#include "host/params.h"

#include <algorithm>

#include "host/fields.h"
#include "host/sysutils.h"

namespace orv {

namespace {

// The data type a variant's kind implies.
TFieldType VarTypeToDataType(const Variant& value) {
  switch (value.VarType()) {
    case varSmallint:
    case varByte:
      return ftSmallint;
    case varInteger:
      return ftInteger;
    case varInt64:
      return ftLargeint;
    case varSingle:
    case varDouble:
      return ftFloat;
    case varCurrency:
      return ftCurrency;
    case varDate:
      return ftDateTime;
    case varBoolean:
      return ftBoolean;
    case varString:
    case varOleStr:
      return ftString;
    default:
      return ftUnknown;
  }
}

}  // namespace

TParam::TParam(TParams* owner, TParamType param_type) : owner_(owner), param_type_(param_type) {
  if (owner_ != nullptr) owner_->AddParam(this);
}

void TParam::Set(TFieldType type, Variant value) {
  data_type_ = type;
  value_ = std::move(value);
  bound_ = true;
}

void TParam::Clear() {
  value_ = Variant::Null();
  bound_ = true;
}

void TParam::SetAsVariant(const Variant& value) {
  if (data_type_ == ftUnknown) data_type_ = VarTypeToDataType(value);
  value_ = value;
  bound_ = true;
}

std::string TParam::AsString() const { return IsNull() ? "" : value_.AsString(); }
int TParam::AsInteger() const { return IsNull() ? 0 : value_.AsInteger(); }
double TParam::AsFloat() const { return IsNull() ? 0.0 : value_.AsFloat(); }
bool TParam::AsBoolean() const { return IsNull() ? false : value_.AsBoolean(); }
TDateTime TParam::AsDateTime() const { return IsNull() ? 0.0 : value_.AsDateTime(); }

void TParam::AssignField(const TField* field) {
  name_ = field->FieldName();
  data_type_ = field->DataType();
  value_ = field->IsNull() ? Variant::Null() : field->AsVariant();
  bound_ = true;
}

void TParam::Assign(const TPersistent* source) {
  const auto* param = dynamic_cast<const TParam*>(source);
  if (param == nullptr) return TPersistent::Assign(source);
  name_ = param->name_;
  data_type_ = param->data_type_;
  param_type_ = param->param_type_;
  value_ = param->value_;
  bound_ = param->bound_;
}

TParam* TParams::Items(int index) const {
  if (index < 0 || index >= Count()) {
    DatabaseError("List index out of bounds (" + std::to_string(index) + ")");
  }
  return items_[static_cast<size_t>(index)].get();
}

TParam* TParams::CreateParam(TFieldType data_type, std::string name, TParamType param_type) {
  auto* param = new TParam(this, param_type);
  param->SetName(std::move(name));
  param->SetDataType(data_type);
  return param;
}

void TParams::AddParam(TParam* param) {
  param->owner_ = this;
  items_.emplace_back(param);
}

void TParams::RemoveParam(TParam* param) {
  const auto found = std::find_if(items_.begin(), items_.end(),
                                  [param](const auto& item) { return item.get() == param; });
  if (found == items_.end()) return;
  found->release();
  items_.erase(found);
  param->owner_ = nullptr;
}

TParam* TParams::FindParam(std::string_view name) const {
  for (const auto& param : items_) {
    if (SameText(param->Name(), name)) return param.get();
  }
  return nullptr;
}

TParam* TParams::ParamByName(std::string_view name) const {
  TParam* param = FindParam(name);
  if (param == nullptr) DatabaseErrorFmt(SParameterNotFound, name);
  return param;
}

// Walks this list, not the source: a statement naming :X twice has two
// parameters X, and both must take the value.
void TParams::AssignValues(const TParams& source) {
  for (const auto& to : items_) {
    const TParam* from = source.FindParam(to->Name());
    if (from == nullptr) continue;
    to->data_type_ = from->data_type_;
    to->value_ = from->value_;
    to->bound_ = from->bound_;
  }
}

void TParams::Assign(const TPersistent* source) {
  const auto* params = dynamic_cast<const TParams*>(source);
  if (params == nullptr) return TPersistent::Assign(source);
  if (params == this) return;
  items_.clear();
  for (const auto& from : params->items_) {
    auto* copy = new TParam(this, from->ParamType());
    copy->Assign(from.get());
  }
}

bool TParams::IsEqual(const TParams& other) const {
  if (Count() != other.Count()) return false;
  for (int i = 0; i < Count(); ++i) {
    const TParam* a = Items(i);
    const TParam* b = other.Items(i);
    if (a->Name() != b->Name() || a->DataType() != b->DataType() ||
        a->ParamType() != b->ParamType() || !(a->Value() == b->Value())) {
      return false;
    }
  }
  return true;
}

}  // namespace orv
