#include "host/fields.h"

#include <algorithm>
#include <vector>

#include "host/blobfield.h"
#include "host/dataset.h"
#include "host/field_types.h"
#include "host/sysutils.h"

namespace orv {

TField::TField(TComponent* owner) : TComponent(owner) {}

TField::~TField() {
  if (dataset_ != nullptr) dataset_->fields_.Remove(this);
}

void TField::SetDataSet(TDataSet* dataset) {
  if (dataset == dataset_) return;
  if (dataset_ != nullptr) dataset_->CheckInactive();
  if (dataset != nullptr) {
    dataset->CheckInactive();
    if (!field_name_.empty() && dataset->FindField(field_name_) != nullptr) {
      DatabaseError("Duplicate field name '" + field_name_ + "'", dataset);
    }
  }
  if (dataset_ != nullptr) dataset_->fields_.Remove(this);
  dataset_ = dataset;
  if (dataset_ != nullptr) dataset_->fields_.Add(this);
}

void TField::SetFieldKind(TFieldKind kind) {
  field_kind_ = kind;
  field_no_ = kind == fkData ? 0 : -1;
}

const std::string& TField::DisplayName() const {
  return display_label_.empty() ? field_name_ : display_label_;
}

int TField::Index() const { return dataset_ ? dataset_->fields_.IndexOf(this) : -1; }

bool TField::GetData(void* buffer) const {
  if (dataset_ == nullptr) DatabaseErrorFmt("Field '%s' has no dataset", DisplayName());
  if (validating_ != nullptr) {
    // Inside OnValidate the field reads the value about to be stored.
    if (buffer != nullptr) std::copy_n(static_cast<const char*>(validating_), DataSize(),
                                       static_cast<char*>(buffer));
    return true;
  }
  return dataset_->GetFieldData(const_cast<TField*>(this), buffer);
}

bool TField::DataSetText(std::string& text) const {
  return dataset_ != nullptr && validating_ == nullptr &&
         dataset_->GetFieldText(const_cast<TField*>(this), text);
}

void TField::SetData(const void* buffer) {
  if (dataset_ == nullptr) DatabaseErrorFmt("Field '%s' has no dataset", DisplayName());
  dataset_->SetFieldData(this, buffer);
}

void TField::Validate(const void* buffer) {
  if (!OnValidate) return;
  if (buffer == nullptr) {
    // A null value: the handler sees the field as it is.
    OnValidate(this);
    return;
  }
  validating_ = buffer;
  try {
    OnValidate(this);
  } catch (...) {
    validating_ = nullptr;
    throw;
  }
  validating_ = nullptr;
}

void TField::Change() {
  if (OnChange) OnChange(this);
}

bool TField::IsNull() const {
  // A real buffer, not nullptr: a dataset may only know a value is null
  // once it converts it.
  const auto size = static_cast<size_t>(std::max(DataSize(), 1));
  if (size <= 16) {
    char local[16];
    return !GetData(local);
  }
  std::vector<char> buffer(size);
  return !GetData(buffer.data());
}

void TField::AccessError(std::string_view type_name) const {
  DatabaseError("Cannot access field '" + DisplayName() + "' as type " + std::string(type_name));
}

void TField::InvalidValue(std::string_view value) const {
  throw EConvertError("'" + std::string(value) + "' is not a valid value for field '" +
                      DisplayName() + "'");
}

std::string TField::AsString() const { AccessError("String"); }
void TField::SetAsString(const std::string&) { AccessError("String"); }
int TField::AsInteger() const { AccessError("Integer"); }
void TField::SetAsInteger(int) { AccessError("Integer"); }
double TField::AsFloat() const { AccessError("Float"); }
void TField::SetAsFloat(double) { AccessError("Float"); }
bool TField::AsBoolean() const { AccessError("Boolean"); }
void TField::SetAsBoolean(bool) { AccessError("Boolean"); }
TDateTime TField::AsDateTime() const { AccessError("DateTime"); }
void TField::SetAsDateTime(TDateTime) { AccessError("DateTime"); }
Variant TField::AsVariant() const { AccessError("Variant"); }

void TField::SetAsVariant(const Variant& value) {
  if (value.IsNull() || value.IsEmpty()) {
    Clear();
    return;
  }
  switch (value.VarType()) {
    case varBoolean:
      SetAsBoolean(value.AsBoolean());
      break;
    case varSmallint:
    case varInteger:
    case varByte:
      SetAsInteger(value.AsInteger());
      break;
    case varInt64:
      SetAsFloat(static_cast<double>(value.AsInt64()));
      break;
    case varSingle:
    case varDouble:
    case varCurrency:
      SetAsFloat(value.AsFloat());
      break;
    case varDate:
      SetAsDateTime(value.AsDateTime());
      break;
    default:
      SetAsString(value.AsString());
      break;
  }
}

void TField::Assign(const TPersistent* source) {
  const auto* field = dynamic_cast<const TField*>(source);
  if (field == nullptr) return TComponent::Assign(source);
  if (field->IsNull()) {
    Clear();
  } else {
    SetAsVariant(field->AsVariant());
  }
}

// TFields ------------------------------------------------------------------------

TField* TFields::GetField(int index) const {
  if (index < 0 || index >= Count()) {
    DatabaseError("List index out of bounds (" + std::to_string(index) + ")", dataset_);
  }
  return items_[static_cast<size_t>(index)];
}

TField* TFields::FindField(std::string_view name) const {
  for (TField* field : items_) {
    if (SameText(field->FieldName(), name)) return field;
  }
  return nullptr;
}

TField* TFields::FieldByName(std::string_view name) const {
  TField* field = FindField(name);
  if (field == nullptr) DatabaseErrorFmt(SFieldNotFound, name, dataset_);
  return field;
}

int TFields::IndexOf(const TField* field) const {
  const auto found = std::find(items_.begin(), items_.end(), field);
  return found == items_.end() ? -1 : static_cast<int>(found - items_.begin());
}

void TFields::Remove(TField* field) {
  items_.erase(std::remove(items_.begin(), items_.end(), field), items_.end());
}

TField* NewField(TFieldType type, TComponent* owner) {
  switch (type) {
    case ftString:
    case ftFixedChar:
      return new TStringField(owner);
    case ftSmallint:
      return new TSmallintField(owner);
    case ftInteger:
      return new TIntegerField(owner);
    case ftWord:
      return new TWordField(owner);
    case ftAutoInc:
      return new TAutoIncField(owner);
    case ftLargeint:
      return new TLargeintField(owner);
    case ftBoolean:
      return new TBooleanField(owner);
    case ftFloat:
      return new TFloatField(owner);
    case ftCurrency:
      return new TCurrencyField(owner);
    case ftDate:
      return new TDateField(owner);
    case ftTime:
      return new TTimeField(owner);
    case ftDateTime:
      return new TDateTimeField(owner);
    case ftBytes:
      return new TBytesField(owner);
    case ftVarBytes:
      return new TVarBytesField(owner);
    case ftBlob:
    case ftTypedBinary:
    case ftParadoxOle:
    case ftDBaseOle:
      return new TBlobField(owner);
    case ftMemo:
    case ftFmtMemo:
      return new TMemoField(owner);
    case ftGraphic:
      return new TGraphicField(owner);
    default:
      DatabaseError("Field type " + FieldTypeName(type) + " is not supported");
  }
}

}  // namespace orv
