// TFieldDef and TFieldDefs: the descriptions of a dataset's columns.
//
// A dataset fills its FieldDefs in `InternalInitFieldDefs`, one definition
// per column in column order; the framework makes the default fields from
// them (`CreateFields`) and binds fields to them by name (`BindFields`).
// Definitions are kept in the order they were made; `IndexOf` answers -1 for
// a name that is not there.
//
// TFieldDefs owns its definitions. A definition made with an owner list is
// adopted by it (the package writes `new TFieldDef(FieldDefs(), ...)`).
// Both belong to their dataset's thread.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "db.h"
#include "persistent.h"

#pragma GCC visibility push(default)
namespace orv {

class TDataSet;
class TField;
class TFieldDefs;

class TFieldDef : public TPersistent {
 public:
  // Makes a definition; a non-null `owner` adopts it at the end of its list.
  TFieldDef(TFieldDefs* owner, std::string name, TFieldType data_type, int size,
            bool required, int field_no);

  const std::string& Name() const { return name_; }
  TFieldType DataType() const { return data_type_; }
  int Size() const { return size_; }
  bool Required() const { return required_; }
  int FieldNo() const { return field_no_; }
  int Precision() const { return precision_; }
  void SetPrecision(int value) { precision_ = value; }
  // Position in the owner's list, -1 without an owner.
  int Index() const;

  // Makes the field object of this definition's type, named after it and
  // owned by `owner`, and attaches it to `dataset`.
  TField* CreateField(TComponent* owner, TDataSet* dataset) const;

  void Assign(const TPersistent* source) override;
  std::string ClassName() const override { return "TFieldDef"; }

 private:
  TFieldDefs* owner_;
  std::string name_;
  TFieldType data_type_;
  int size_;
  bool required_;
  int field_no_;
  int precision_ = 0;
};

class TFieldDefs : public TPersistent {
 public:
  explicit TFieldDefs(TDataSet* dataset = nullptr) : dataset_(dataset) {}

  TDataSet* DataSet() const { return dataset_; }
  int Count() const { return static_cast<int>(items_.size()); }
  // Raises EDatabaseError for an index outside the list.
  TFieldDef* Items(int index) const;
  TFieldDef* operator[](int index) const { return Items(index); }

  // Adds a definition; its field number is its 1-based position.
  TFieldDef* Add(std::string name, TFieldType data_type, int size = 0, bool required = false);
  void Clear();
  // Position of the definition named `name` (case-insensitive), or -1.
  int IndexOf(std::string_view name) const;
  TFieldDef* Find(std::string_view name) const;  // raises SFieldNotFound

  // False once the definitions may no longer describe the open result
  // (set by a property change); the dataset rebuilds them when it opens.
  bool Updated() const { return updated_; }
  void SetUpdated(bool value) { updated_ = value; }

  void Assign(const TPersistent* source) override;
  std::string ClassName() const override { return "TFieldDefs"; }

 private:
  friend class TFieldDef;
  void Adopt(TFieldDef* def) { items_.emplace_back(def); }

  TDataSet* dataset_;
  std::vector<std::unique_ptr<TFieldDef>> items_;
  bool updated_ = false;
};

}  // namespace orv
#pragma GCC visibility pop
