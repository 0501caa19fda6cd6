// The form designer's side of component registration: palette pages with
// the component classes on them, and property editors for property types.
//
// A package's Register entry points call RegisterComponents and
// RegisterPropertyEditor; a designer, or a tool that wants what a designer
// would offer, reads the registrations back and creates the editor for a
// property of the components it edits. No designer runs here, so the
// registrations go into one process-wide table, in the order they were
// made. A class registered again keeps its first place; for a property the
// latest matching editor registration wins.
//
// Threads: the registration table is guarded by a lock of its own, so any
// thread may register and look up. A property editor belongs to the thread
// that created it, as do the components it edits.
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#pragma GCC visibility push(default)
namespace orv {

class TComponent;

enum TPropertyAttribute : uint8_t {
  paValueList, paSubProperties, paDialog, paMultiSelect, paAutoUpdate, paSortList,
  paReadOnly, paRevertable
};

// A set of TPropertyAttribute values; bit n stands for ordinal n.
class TPropertyAttributes {
 public:
  constexpr TPropertyAttributes() = default;
  constexpr TPropertyAttributes(std::initializer_list<TPropertyAttribute> attributes) {
    for (TPropertyAttribute a : attributes) bits_ = static_cast<uint8_t>(bits_ | (1u << a));
  }
  constexpr bool Contains(TPropertyAttribute a) const { return (bits_ >> a) & 1u; }
  constexpr uint8_t Bits() const { return bits_; }
  friend constexpr bool operator==(TPropertyAttributes, TPropertyAttributes) = default;

 private:
  uint8_t bits_ = 0;
};

// A component class as the designer knows it: its name and how to make one.
struct TComponentClass {
  std::string Name;
  std::function<TComponent*(TComponent* owner)> Create;
};

// The class of C, made as `new C(owner)`.
template <class C>
TComponentClass ComponentClass(std::string name) {
  return {std::move(name), [](TComponent* owner) -> TComponent* { return new C(owner); }};
}

// One property of a component class, as an editor reaches it: its name,
// the name of its type, and how to read and write it as text.
struct TPropertyInfo {
  std::string Name;
  std::string TypeName;
  std::function<std::string(const TComponent&)> Get;
  std::function<void(TComponent&, const std::string&)> Set;
};

// Edits one property of the components selected in the designer.
class TPropertyEditor {
 public:
  // The text the editor offers, one value per call.
  using TGetStrProc = std::function<void(const std::string& value)>;

  TPropertyEditor(std::vector<TComponent*> components, TPropertyInfo property);
  virtual ~TPropertyEditor() = default;
  TPropertyEditor(const TPropertyEditor&) = delete;
  TPropertyEditor& operator=(const TPropertyEditor&) = delete;

  int PropCount() const { return static_cast<int>(components_.size()); }
  // Raises EComponentError "List index out of bounds (i)" outside them.
  TComponent* GetComponent(int index) const;
  const TPropertyInfo& Property() const { return property_; }

  // What the designer may do with the property: revert it, by default.
  virtual TPropertyAttributes GetAttributes();
  // The value of the first component, and a new value for all of them;
  // the base editor shows nothing and changes nothing.
  virtual std::string GetValue();
  virtual void SetValue(const std::string& value);
  // The values of a drop-down list; none by default.
  virtual void GetValues(const TGetStrProc& proc);

 private:
  std::vector<TComponent*> components_;  // not owned
  TPropertyInfo property_;
};

// The editor of a property kept as text.
class TStringProperty : public TPropertyEditor {
 public:
  using TPropertyEditor::TPropertyEditor;
  // Editable for several components at once, and revertable.
  TPropertyAttributes GetAttributes() override;
  std::string GetValue() override;
  void SetValue(const std::string& value) override;
};

// Makes an editor for a property of the components given.
using TPropertyEditorClass = std::function<std::unique_ptr<TPropertyEditor>(
    std::vector<TComponent*> components, TPropertyInfo property)>;

template <class E>
TPropertyEditorClass PropertyEditorClass() {
  return [](std::vector<TComponent*> components, TPropertyInfo property) {
    return std::unique_ptr<TPropertyEditor>(new E(std::move(components), std::move(property)));
  };
}

// Puts `classes` on the palette page `page`, in order.
void RegisterComponents(const std::string& page, const std::vector<TComponentClass>& classes);
// `editor` edits every property of type `property_type` of the class named
// `component_class` (empty: of every class) named `property_name` (empty:
// whatever its name).
void RegisterPropertyEditor(const std::string& property_type, const std::string& component_class,
                            const std::string& property_name, TPropertyEditorClass editor);

struct TComponentRegistration {
  std::string Page;
  TComponentClass Class;
};

// Every registered class with its page, in the order of registration.
std::vector<TComponentRegistration> RegisteredComponents();
// The registration of the class named `name` (ASCII case ignored).
std::optional<TComponentRegistration> FindComponentClass(std::string_view name);
// The editor registered for that property; an empty function when none is.
TPropertyEditorClass FindPropertyEditor(std::string_view property_type,
                                        std::string_view component_class,
                                        std::string_view property_name);

}  // namespace orv
#pragma GCC visibility pop
