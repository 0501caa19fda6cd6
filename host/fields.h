// TField, the base of the field objects, and TFields, a dataset's list of
// them.
//
// A field is the typed view of one column (or one calculated value) of the
// dataset's active record. It holds no value itself: every read goes
// through the dataset's `GetFieldData` and every write through its
// `SetFieldData`, with the native buffer of the field's type — DataSize
// bytes; see the table in field_types.h. A field therefore reads whatever
// buffer the dataset chooses (the active record, a calculation buffer, a
// filter or key buffer); the framework never redirects on its own.
//
// A field made with an owner belongs to it; the dataset's default fields are
// owned by the dataset and destroyed when it closes. A field detaches itself
// from its dataset when destroyed. Fields belong to their dataset's thread.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "component.h"
#include "datetime.h"
#include "db.h"
#include "variant.h"

#pragma GCC visibility push(default)
namespace orv {

class TDataSet;

class TField : public TComponent {
 public:
  explicit TField(TComponent* owner);
  ~TField() override;

  TDataSet* DataSet() const { return dataset_; }
  // Attaches the field to `dataset` (or detaches it with nullptr); both
  // datasets must be closed.
  void SetDataSet(TDataSet* dataset);

  const std::string& FieldName() const { return field_name_; }
  void SetFieldName(std::string name) { field_name_ = std::move(name); }
  const std::string& DisplayLabel() const { return display_label_; }
  void SetDisplayLabel(std::string label) { display_label_ = std::move(label); }
  // The label when one is set, else the field name.
  const std::string& DisplayName() const;

  TFieldKind FieldKind() const { return field_kind_; }
  void SetFieldKind(TFieldKind kind);
  bool Calculated() const { return field_kind_ == fkCalculated; }
  // The 1-based column number bound by the dataset; -1 for a calculated
  // field, 0 while unbound.
  int FieldNo() const { return field_no_; }
  TFieldType DataType() const { return data_type_; }
  int Size() const { return size_; }
  virtual void SetSize(int size) { size_ = size; }
  // Bytes of the field's native buffer.
  virtual int DataSize() const { return 0; }
  // Place of a calculated field's slot in the calculated-field area.
  int Offset() const { return offset_; }
  bool ReadOnly() const { return read_only_; }
  void SetReadOnly(bool value) { read_only_ = value; }
  bool Required() const { return required_; }
  void SetRequired(bool value) { required_ = value; }
  bool Visible() const { return visible_; }
  void SetVisible(bool value) { visible_ = value; }
  // Position in the dataset's field list, -1 when detached.
  int Index() const;

  virtual bool IsNull() const;
  virtual void Clear() { SetData(nullptr); }

  virtual std::string AsString() const;
  virtual void SetAsString(const std::string& value);
  virtual int AsInteger() const;
  virtual void SetAsInteger(int value);
  virtual double AsFloat() const;
  virtual void SetAsFloat(double value);
  virtual bool AsBoolean() const;
  virtual void SetAsBoolean(bool value);
  virtual TDateTime AsDateTime() const;
  virtual void SetAsDateTime(TDateTime value);
  // Null for a null field, else the value in the field's own type.
  virtual Variant AsVariant() const;
  // A null or empty variant clears the field.
  virtual void SetAsVariant(const Variant& value);
  Variant Value() const { return AsVariant(); }
  void SetValue(const Variant& value) { SetAsVariant(value); }
  std::string Text() const { return AsString(); }
  void SetText(const std::string& value) { SetAsString(value); }

  // Reads the field's native value into `buffer` (DataSize bytes; nullptr
  // only asks whether there is a value). False for null.
  bool GetData(void* buffer) const;
  // Writes the native value in `buffer` (nullptr: null) through the
  // dataset's SetFieldData.
  void SetData(const void* buffer);
  // Runs OnValidate with `buffer` as the field's value; the dataset calls
  // it from SetFieldData before storing.
  virtual void Validate(const void* buffer);
  // Fires OnChange; the dataset calls it after the field's value changed.
  void Change();

  // Copies another field's value (null included).
  void Assign(const TPersistent* source) override;
  std::string ClassName() const override { return "TField"; }

  std::function<void(TField*)> OnChange;
  std::function<void(TField*)> OnValidate;

 protected:
  void SetDataType(TFieldType type) { data_type_ = type; }
  // Raises "Cannot access field 'X' as type Y".
  [[noreturn]] void AccessError(std::string_view type_name) const;
  // Raises "'v' is not a valid value for field 'X'".
  [[noreturn]] void InvalidValue(std::string_view value) const;
  // Drops what the field keeps about the record being edited; the dataset
  // calls it when a post or cancel ends the edit.
  virtual void FreeBuffers() {}

 private:
  friend class TDataSet;

  TDataSet* dataset_ = nullptr;
  std::string field_name_;
  std::string display_label_;
  TFieldKind field_kind_ = fkData;
  TFieldType data_type_ = ftUnknown;
  int field_no_ = 0;
  int size_ = 0;
  int offset_ = 0;
  bool read_only_ = false;
  bool required_ = false;
  bool visible_ = true;
  const void* validating_ = nullptr;  // the value under validation, if any
};

// A dataset's fields in order. Does not own them.
class TFields {
 public:
  explicit TFields(TDataSet* dataset) : dataset_(dataset) {}

  int Count() const { return static_cast<int>(items_.size()); }
  // Raises EDatabaseError for an index outside the list.
  TField* GetField(int index) const;
  TField* operator[](int index) const { return GetField(index); }
  TField* FindField(std::string_view name) const;  // case-insensitive; nullptr when absent
  TField* FieldByName(std::string_view name) const;  // raises SFieldNotFound
  int IndexOf(const TField* field) const;

 private:
  friend class TField;
  friend class TDataSet;
  void Add(TField* field) { items_.push_back(field); }
  void Remove(TField* field);

  TDataSet* dataset_;
  std::vector<TField*> items_;
};

// Makes the field object for `type`, owned by `owner`; raises
// EDatabaseError for a type that has no field class.
TField* NewField(TFieldType type, TComponent* owner);

}  // namespace orv
#pragma GCC visibility pop
