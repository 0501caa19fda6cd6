// TObject and TPersistent: the roots of the host's objects.
//
// `Assign` copies another object's state into this one; a class that knows
// how to copy from a source overrides `Assign`, a class that knows how to
// copy itself into a destination overrides `AssignTo`. When neither side
// knows, `AssignTo` raises `EConvertError` naming both classes.
//
// Form files store an object's published properties (host/published.h);
// what else it needs to keep, it defines in `DefineProperties`.
//
// Not thread-safe; an object belongs to the thread that uses it.
#pragma once

#include <string>

#pragma GCC visibility push(default)
namespace orv {

class TFiler;

// The common base of every object a host list can carry beside its strings.
class TObject {
 public:
  TObject() = default;
  TObject(const TObject&) = delete;
  TObject& operator=(const TObject&) = delete;
  virtual ~TObject() = default;
};

class TPersistent : public TObject {
 public:
  TPersistent() = default;

  // Copies `source` into this object; the default asks `source` to do it.
  virtual void Assign(const TPersistent* source);

  // The class name shown in assignment errors ("TPersistent" by default).
  virtual std::string ClassName() const { return "TPersistent"; }

  // Tells a form reader or writer (`filer->DefineProperty`) of the
  // properties this object stores itself; the default has none.
  virtual void DefineProperties(TFiler* filer);

 protected:
  // Copies this object into `dest`; the default raises EConvertError.
  virtual void AssignTo(TPersistent* dest) const;
};

}  // namespace orv
#pragma GCC visibility pop
