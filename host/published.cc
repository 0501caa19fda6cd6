#include "host/published.h"

#include <algorithm>

#include "host/sysutils.h"

namespace orv {

void WrongValue(const TFormValue& value, const TPropInfo& property, const std::string& expected) {
  throw EFilerError(value.pos, "Wrong value for " + property.Name() + ": " + expected + " expected");
}

TClassInfo::TClassInfo(std::string name, const TClassInfo* parent, TFactory factory)
    : name_(std::move(name)), parent_(parent), factory_(std::move(factory)) {}

TClassInfo& TClassInfo::Add(std::unique_ptr<TPropInfo> property) {
  properties_.push_back(std::move(property));
  return *this;
}

std::vector<const TPropInfo*> TClassInfo::Properties() const {
  std::vector<const TPropInfo*> all = parent_ ? parent_->Properties() : std::vector<const TPropInfo*>{};
  for (const auto& property : properties_) all.push_back(property.get());
  return all;
}

const TPropInfo* TClassInfo::FindProperty(std::string_view name) const {
  for (const TClassInfo* info = this; info != nullptr; info = info->parent_) {
    for (const auto& property : info->properties_) {
      if (SameText(property->Name(), name) || SameText(property->StoredName(), name))
        return property.get();
    }
  }
  return nullptr;
}

TClassInfo& TClassRegistry::Register(const std::string& name, std::string_view parent,
                                     TClassInfo::TFactory factory) {
  if (Find(name) != nullptr) throw EFilerError({}, "Class " + name + " is registered twice");
  const TClassInfo* parent_info = nullptr;
  if (!parent.empty()) {
    parent_info = Find(parent);
    if (parent_info == nullptr)
      throw EFilerError({}, "Class " + name + ": parent " + std::string(parent) + " is not registered");
  }
  classes_.push_back(std::make_unique<TClassInfo>(name, parent_info, std::move(factory)));
  return *classes_.back();
}

const TClassInfo* TClassRegistry::Find(std::string_view name) const {
  const auto found = std::find_if(classes_.begin(), classes_.end(),
                                  [name](const auto& info) { return SameText(info->Name(), name); });
  return found == classes_.end() ? nullptr : found->get();
}

}  // namespace orv
