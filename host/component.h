// TComponent: the base of every component, with ownership and notification.
//
// Ownership. A component created with an owner is deleted by that owner:
// the owner's destructor deletes its owned components, the last inserted
// first. A component created without an owner belongs to the caller (a stack
// object or a std::unique_ptr). A component deleted directly first leaves
// its owner's list, so the owner never deletes it twice.
//
// Notification. `Notification(c, opInsert/opRemove)` tells a component that
// `c` joined or is leaving. An owner hears of every component inserted into
// or removed from it, and passes the news on to each of its owned
// components. `a->FreeNotification(b)` links a and b both ways: whichever is
// deleted first tells the other with opRemove, and the link is gone before
// that call, so nobody is left holding the dead one. Components with the
// same owner already hear of each other through the owner and are not
// linked.
//
// Destruction order (~TComponent): set csDestroying here and in the owned
// components; tell every free-notification partner (opRemove); delete the
// owned components, last first; leave the owner, which then tells its
// remaining components (opRemove). A base destructor reaches only the base
// part of the dying component, so notifications always go to *other*,
// fully alive components, and a receiver may compare the pointer it gets or
// read its Name() and ComponentState(), nothing more. A derived class that
// needs csDestroying or its owned components gone while its own members are
// still alive calls `Destroying()` / `DestroyComponents()` in its
// destructor.
//
// Not thread-safe: a component and its owned components belong to one
// thread (the application's).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "exceptions.h"
#include "persistent.h"

#pragma GCC visibility push(default)
namespace orv {

// A component was misnamed or its owned list misused.
class EComponentError : public Exception {
 public:
  using Exception::Exception;
};

enum class TOperation : uint8_t { opInsert, opRemove };
using enum TOperation;

enum TComponentStateFlag : uint8_t {
  csLoading = 1 << 0,     // being loaded; Loaded() has not run yet
  csReading = 1 << 1,     // its properties are being read
  csWriting = 1 << 2,     // its properties are being written
  csDestroying = 1 << 3,  // its destructor has begun
  csDesigning = 1 << 4,   // it lives in the form designer
};

// A set of TComponentStateFlag values; `state & csDesigning` tests one.
class TComponentState {
 public:
  constexpr TComponentState() = default;
  constexpr TComponentState(TComponentStateFlag flag) : bits_(flag) {}

  constexpr bool Contains(TComponentStateFlag flag) const {
    return (bits_ & flag) != 0;
  }
  constexpr bool operator&(TComponentStateFlag flag) const {
    return Contains(flag);
  }
  constexpr bool Empty() const { return bits_ == 0; }
  void Include(TComponentStateFlag flag) { bits_ |= flag; }
  void Exclude(TComponentStateFlag flag) {
    bits_ &= static_cast<uint8_t>(~flag);
  }
  friend constexpr bool operator==(TComponentState,
                                   TComponentState) = default;

 private:
  uint8_t bits_ = 0;
};

class TComponent : public TPersistent {
 public:
  explicit TComponent(TComponent* owner);
  ~TComponent() override;

  std::string ClassName() const override { return "TComponent"; }

  TComponent* Owner() const { return owner_; }

  const std::string& Name() const { return name_; }
  // Raises EComponentError when the name is not an identifier (letters,
  // digits, '_', not starting with a digit; empty allowed) or another
  // component of the same owner has it (names compare without ASCII case).
  void SetName(const std::string& name);

  int Tag() const { return tag_; }
  void SetTag(int tag) { tag_ = tag; }

  int ComponentCount() const { return static_cast<int>(components_.size()); }
  // Raises EComponentError "List index out of bounds (i)" outside the list.
  TComponent* Components(int index) const;
  // The owned component of that name (ASCII case ignored), or nullptr.
  TComponent* FindComponent(std::string_view name) const;

  // Makes this component the owner of `component`, taking it from its
  // previous owner. Its name must be unique here (EComponentError).
  void InsertComponent(TComponent* component);
  // Gives `component` up; the caller owns it from then on.
  void RemoveComponent(TComponent* component);

  TComponentState ComponentState() const { return state_; }
  // Sets or clears csDesigning here and in every owned component.
  void SetDesigning(bool value);

  // Links this component and `component` so that whichever is deleted first
  // notifies the other (see the top of this file).
  void FreeNotification(TComponent* component);
  void RemoveFreeNotification(TComponent* component);

  // Called when loading ends; clears csLoading. Overrides call the base.
  virtual void Loaded();
  // Puts this component and its owned components into csLoading/csReading.
  void BeginLoading();
  // Clears csReading everywhere, then runs Loaded() here and then in each
  // owned component (depth first, in insertion order).
  void EndLoading();

  // The owned components a form file stores with this one, in insertion
  // order: all of them, unless a class made some for its own use.
  virtual std::vector<TComponent*> StoredChildren() const { return components_; }

  // Sets csDestroying here and in every owned component.
  void Destroying();
  // Deletes the owned components, the last inserted first.
  void DestroyComponents();

 protected:
  // `component` joined (opInsert) or is leaving (opRemove). The base drops
  // a free-notification link to a leaving component and passes the news to
  // every owned component. Overrides call the base.
  virtual void Notification(TComponent* component, TOperation operation);

 private:
  void CheckUniqueName(std::string_view name, const TComponent* except) const;
  void ClearReading();
  void RunLoaded();
  // Drops `component` from free_notifies_ only (one side of the link).
  void DropFreeNotify(TComponent* component);

  TComponent* owner_ = nullptr;
  std::string name_;
  int tag_ = 0;
  TComponentState state_;
  std::vector<TComponent*> components_;     // owned, in insertion order
  std::vector<TComponent*> free_notifies_;  // linked both ways
};

}  // namespace orv
#pragma GCC visibility pop
