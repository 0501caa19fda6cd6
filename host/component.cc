#include "host/component.h"

#include <algorithm>
#include <cassert>

#include "host/sysutils.h"

namespace orv {
namespace {

void Erase(std::vector<TComponent*>& list, TComponent* item) {
  auto it = std::find(list.begin(), list.end(), item);
  if (it != list.end()) list.erase(it);
}

}  // namespace

TComponent::TComponent(TComponent* owner) {
  if (owner != nullptr) owner->InsertComponent(this);
}

TComponent::~TComponent() {
  Destroying();
  // Each partner is unlinked before it hears, so a partner that deletes
  // something in its Notification never meets this one again.
  while (!free_notifies_.empty()) {
    TComponent* partner = free_notifies_.back();
    free_notifies_.pop_back();
    partner->DropFreeNotify(this);
    partner->Notification(this, opRemove);
  }
  DestroyComponents();
  if (owner_ != nullptr) owner_->RemoveComponent(this);
  assert(owner_ == nullptr && components_.empty() && free_notifies_.empty());
}

void TComponent::SetName(const std::string& name) {
  if (name == name_) return;
  if (!name.empty() && !IsValidIdent(name)) {
    throw EComponentError("'" + name + "' is not a valid component name");
  }
  if (owner_ != nullptr) owner_->CheckUniqueName(name, this);
  name_ = name;
}

void TComponent::CheckUniqueName(std::string_view name,
                                 const TComponent* except) const {
  if (name.empty()) return;
  for (const TComponent* c : components_) {
    if (c != except && SameText(c->name_, name)) {
      throw EComponentError("A component named " + std::string(name) +
                            " already exists");
    }
  }
}

TComponent* TComponent::Components(int index) const {
  if (index < 0 || index >= ComponentCount()) {
    throw EComponentError("List index out of bounds (" +
                          std::to_string(index) + ")");
  }
  return components_[static_cast<size_t>(index)];
}

TComponent* TComponent::FindComponent(std::string_view name) const {
  if (name.empty()) return nullptr;
  for (TComponent* c : components_) {
    if (SameText(c->name_, name)) return c;
  }
  return nullptr;
}

void TComponent::InsertComponent(TComponent* component) {
  assert(component != nullptr && component != this);
  if (component->owner_ == this) return;
  CheckUniqueName(component->name_, component);
  if (component->owner_ != nullptr) {
    component->owner_->RemoveComponent(component);
  }
  components_.push_back(component);
  component->owner_ = this;
  if (state_ & csDesigning) component->SetDesigning(true);
  Notification(component, opInsert);
}

void TComponent::RemoveComponent(TComponent* component) {
  if (component == nullptr || component->owner_ != this) return;
  // Unlinked first: the component may be inside its own destructor, and
  // the news goes only to the components that stay.
  Erase(components_, component);
  component->owner_ = nullptr;
  Notification(component, opRemove);
}

void TComponent::SetDesigning(bool value) {
  if (value) {
    state_.Include(csDesigning);
  } else {
    state_.Exclude(csDesigning);
  }
  for (TComponent* c : components_) c->SetDesigning(value);
}

void TComponent::FreeNotification(TComponent* component) {
  if (component == nullptr || component == this) return;
  if (owner_ != nullptr && component->owner_ == owner_) return;
  if (std::find(free_notifies_.begin(), free_notifies_.end(), component) ==
      free_notifies_.end()) {
    free_notifies_.push_back(component);
    component->free_notifies_.push_back(this);
  }
}

void TComponent::RemoveFreeNotification(TComponent* component) {
  if (component == nullptr) return;
  DropFreeNotify(component);
  component->DropFreeNotify(this);
}

void TComponent::DropFreeNotify(TComponent* component) {
  Erase(free_notifies_, component);
}

void TComponent::Notification(TComponent* component, TOperation operation) {
  if (operation == opRemove) RemoveFreeNotification(component);
  // By index: a receiver may delete an owned component as it hears.
  for (size_t i = 0; i < components_.size(); ++i) {
    components_[i]->Notification(component, operation);
  }
}

void TComponent::Loaded() { state_.Exclude(csLoading); }

void TComponent::BeginLoading() {
  state_.Include(csLoading);
  state_.Include(csReading);
  for (TComponent* c : components_) c->BeginLoading();
}

void TComponent::EndLoading() {
  ClearReading();
  RunLoaded();
}

void TComponent::ClearReading() {
  state_.Exclude(csReading);
  for (TComponent* c : components_) c->ClearReading();
}

void TComponent::RunLoaded() {
  Loaded();
  for (size_t i = 0; i < components_.size(); ++i) components_[i]->RunLoaded();
}

void TComponent::Destroying() {
  if (state_ & csDestroying) return;
  state_.Include(csDestroying);
  for (TComponent* c : components_) c->Destroying();
}

void TComponent::DestroyComponents() {
  while (!components_.empty()) {
    // The child's destructor takes it out of components_ and tells the
    // remaining ones.
    delete components_.back();
  }
}

}  // namespace orv
