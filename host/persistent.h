// TPersistent: the root of the host's assignable objects.
//
// `Assign` copies another object's state into this one; a class that knows
// how to copy from a source overrides `Assign`, a class that knows how to
// copy itself into a destination overrides `AssignTo`. When neither side
// knows, `AssignTo` raises `EConvertError` naming both classes.
//
// Not thread-safe; an object belongs to the thread that uses it.
#pragma once

#include <string>

namespace orv {

class TPersistent {
 public:
  TPersistent() = default;
  TPersistent(const TPersistent&) = delete;
  TPersistent& operator=(const TPersistent&) = delete;
  virtual ~TPersistent() = default;

  // Copies `source` into this object; the default asks `source` to do it.
  virtual void Assign(const TPersistent* source);

  // The class name shown in assignment errors ("TPersistent" by default).
  virtual std::string ClassName() const { return "TPersistent"; }

 protected:
  // Copies this object into `dest`; the default raises EConvertError.
  virtual void AssignTo(TPersistent* dest) const;
};

}  // namespace orv
