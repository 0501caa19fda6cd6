// The published-property registry: which classes a form file may name, how
// to create them, and the properties and events each one publishes, in the
// order they are written.
//
// A TClassInfo lists a class's own published properties; its parent's come
// first (TComponent's Tag before everything else). Each TPropInfo knows its
// value kind (host/published_props.h builds them), its default and its
// stored rule: a property at its default is not written, an "always
// stored" one always is. What a class stores beyond its published
// properties it defines itself through TPersistent::DefineProperties.
//
// A TClassRegistry is filled once, at start-up, by one thread and only read
// afterwards: any number of readers and writers may then share it.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "form_tree.h"

#pragma GCC visibility push(default)
namespace orv {

class TComponent;
class TPersistent;
class TReader;
class TWriter;

// One published property of a class: its name, its stored rule, and how
// its value goes to and from a form value. Owned by its TClassInfo;
// immutable, so any thread may use it.
class TPropInfo {
 public:
  explicit TPropInfo(std::string name) : name_(std::move(name)) {}
  virtual ~TPropInfo() = default;
  TPropInfo(const TPropInfo&) = delete;
  TPropInfo& operator=(const TPropInfo&) = delete;

  const std::string& Name() const { return name_; }
  // The name it is written under: Name(), or Name() + ".Strings" for a
  // string list.
  virtual std::string StoredName() const { return name_; }
  // False when the value is the default and need not be written.
  virtual bool IsStored(const TPersistent& object) const = 0;
  virtual TFormValue Write(const TPersistent& object, TWriter& writer) const = 0;
  // Takes `value` into `object`; raises EFilerError at the value's place
  // when it is of the wrong kind.
  virtual void Read(TPersistent& object, const TFormValue& value, TReader& reader) const = 0;

 private:
  std::string name_;
};

// Refuses a value of the wrong kind, at its place:
// "Wrong value for <property>: <expected> expected".
[[noreturn]] void WrongValue(const TFormValue& value, const TPropInfo& property,
                             const std::string& expected);

// A class a form may name: its parent, its factory and its own published
// properties (owned). Owned by its TClassRegistry.
class TClassInfo {
 public:
  // Makes a new component of the class with that owner.
  using TFactory = std::function<TComponent*(TComponent* owner)>;

  // An empty factory marks a class that is never created by name: an
  // abstract class, or one whose objects only occur as collection items.
  TClassInfo(std::string name, const TClassInfo* parent, TFactory factory);

  const std::string& Name() const { return name_; }
  const TClassInfo* Parent() const { return parent_; }
  bool CanCreate() const { return static_cast<bool>(factory_); }
  TComponent* Create(TComponent* owner) const { return factory_(owner); }

  TClassInfo& Add(std::unique_ptr<TPropInfo> property);
  // The inherited properties, then the class's own, each in the order added.
  std::vector<const TPropInfo*> Properties() const;
  // By Name() or StoredName(), ASCII case ignored; nullptr when unknown.
  const TPropInfo* FindProperty(std::string_view name) const;

 private:
  std::string name_;
  const TClassInfo* parent_;
  TFactory factory_;
  std::vector<std::unique_ptr<TPropInfo>> properties_;
};

// The classes form files may name, each owned here; see the top of this
// file for which threads may use it.
class TClassRegistry {
 public:
  // Registers a class below `parent` (empty for a root class), which must
  // be registered already. A name registered twice or an unknown parent
  // raises EFilerError.
  TClassInfo& Register(const std::string& name, std::string_view parent,
                       TClassInfo::TFactory factory = {});
  // A component class created as `new C(owner)`.
  template <class C>
  TClassInfo& RegisterComponent(const std::string& name, std::string_view parent) {
    return Register(name, parent, [](TComponent* owner) -> TComponent* { return new C(owner); });
  }
  // ASCII case ignored; nullptr when unknown.
  const TClassInfo* Find(std::string_view name) const;

 private:
  std::vector<std::unique_ptr<TClassInfo>> classes_;
};

}  // namespace orv
#pragma GCC visibility pop
