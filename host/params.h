// TParam and TParams: the parameters of a statement or procedure call.
//
// A parameter has a name, a data type, a direction (TParamType) and a
// Variant value. Setting the value through a typed setter also sets the
// data type (SetAsString makes a string parameter, SetAsInteger an integer
// one, and so on); SetAsVariant derives it only while it is still
// ftUnknown. A cleared parameter is null and keeps its type.
//
// TParams owns its parameters and keeps them in order; `ParamByName`
// raises EDatabaseError for a name it does not hold. Both belong to the
// thread that uses them.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "datetime.h"
#include "db.h"
#include "persistent.h"
#include "variant.h"

#pragma GCC visibility push(default)
namespace orv {

class TField;
class TParams;

class TParam : public TPersistent {
 public:
  explicit TParam(TParams* owner = nullptr, TParamType param_type = ptUnknown);

  TParams* Collection() const { return owner_; }
  const std::string& Name() const { return name_; }
  void SetName(std::string name) { name_ = std::move(name); }
  TFieldType DataType() const { return data_type_; }
  void SetDataType(TFieldType type) { data_type_ = type; }
  TParamType ParamType() const { return param_type_; }
  void SetParamType(TParamType type) { param_type_ = type; }
  // True once a value was given (cleared parameters stay bound).
  bool Bound() const { return bound_; }
  void SetBound(bool value) { bound_ = value; }

  bool IsNull() const { return value_.IsNull() || value_.IsEmpty(); }
  void Clear();

  // Readers convert the value; a null value reads as "", 0, false or 0.0.
  // A boolean reads as "True" / "False".
  std::string AsString() const;
  int AsInteger() const;
  double AsFloat() const;
  bool AsBoolean() const;
  TDateTime AsDateTime() const;
  TDateTime AsDate() const { return AsDateTime(); }
  TDateTime AsTime() const { return AsDateTime(); }
  std::string AsMemo() const { return AsString(); }
  std::string AsBlob() const { return AsString(); }
  const Variant& AsVariant() const { return value_; }
  const Variant& Value() const { return value_; }

  void SetAsString(const std::string& value) { Set(ftString, Variant(value)); }
  void SetAsInteger(int value) { Set(ftInteger, Variant(value)); }
  void SetAsSmallInt(int value) { Set(ftSmallint, Variant(value)); }
  void SetAsWord(int value) { Set(ftWord, Variant(value)); }
  void SetAsFloat(double value) { Set(ftFloat, Variant(value)); }
  void SetAsCurrency(double value) { Set(ftCurrency, Variant(value)); }
  void SetAsBoolean(bool value) { Set(ftBoolean, Variant(value)); }
  void SetAsDate(TDateTime value) { Set(ftDate, Variant::FromDateTime(value)); }
  void SetAsTime(TDateTime value) { Set(ftTime, Variant::FromDateTime(value)); }
  void SetAsDateTime(TDateTime value) { Set(ftDateTime, Variant::FromDateTime(value)); }
  void SetAsMemo(const std::string& value) { Set(ftMemo, Variant(value)); }
  void SetAsBlob(const std::string& value) { Set(ftBlob, Variant(value)); }
  void SetAsVariant(const Variant& value);
  void SetValue(const Variant& value) { SetAsVariant(value); }

  // Takes the field's name, type and value.
  void AssignField(const TField* field);
  // Copies name, types, direction and value of another parameter.
  void Assign(const TPersistent* source) override;
  std::string ClassName() const override { return "TParam"; }

 private:
  friend class TParams;
  void Set(TFieldType type, Variant value);

  TParams* owner_;
  std::string name_;
  TFieldType data_type_ = ftUnknown;
  TParamType param_type_;
  Variant value_;
  bool bound_ = false;
};

class TParams : public TPersistent {
 public:
  // `owner` is the object the list belongs to (a dataset); not owned.
  explicit TParams(TPersistent* owner = nullptr) : owner_(owner) {}

  TPersistent* Owner() const { return owner_; }
  int Count() const { return static_cast<int>(items_.size()); }
  // Raises EDatabaseError for an index outside the list.
  TParam* Items(int index) const;
  TParam* operator[](int index) const { return Items(index); }

  // Adds a new parameter at the end.
  TParam* CreateParam(TFieldType data_type, std::string name, TParamType param_type);
  // Takes ownership of `param` and adds it at the end.
  void AddParam(TParam* param);
  // Gives `param` back to the caller.
  void RemoveParam(TParam* param);
  void Clear() { items_.clear(); }

  // Case-insensitive look-ups; ParamByName raises SParameterNotFound.
  TParam* FindParam(std::string_view name) const;
  TParam* ParamByName(std::string_view name) const;

  // Copies the values (and types) of the same-named parameters of `source`.
  void AssignValues(const TParams& source);
  // Makes this list a copy of `source`.
  void Assign(const TPersistent* source) override;
  bool IsEqual(const TParams& other) const;
  std::string ClassName() const override { return "TParams"; }

 private:
  TPersistent* owner_;
  std::vector<std::unique_ptr<TParam>> items_;
};

}  // namespace orv
#pragma GCC visibility pop
