#include "host/designer.h"

#include <mutex>

#include "host/component.h"
#include "host/sysutils.h"

namespace orv {
namespace {

struct TEditorRegistration {
  std::string PropertyType;
  std::string ComponentClass;  // empty: every class
  std::string PropertyName;    // empty: every property
  TPropertyEditorClass Editor;
};

// The process-wide registration table.
class TRegistry {
 public:
  static TRegistry& Get() {
    static TRegistry registry;
    return registry;
  }

  std::mutex mu;
  std::vector<TComponentRegistration> components;  // protected by mu
  std::vector<TEditorRegistration> editors;        // protected by mu
};

// Names compare as the designer's identifiers do, ignoring ASCII case; an
// empty filter matches every name.
bool Matches(const std::string& filter, std::string_view name) {
  return filter.empty() || SameText(filter, name);
}

}  // namespace

TPropertyEditor::TPropertyEditor(std::vector<TComponent*> components, TPropertyInfo property)
    : components_(std::move(components)), property_(std::move(property)) {}

TComponent* TPropertyEditor::GetComponent(int index) const {
  if (index < 0 || index >= PropCount())
    throw EComponentError("List index out of bounds (" + IntToStr(index) + ")");
  return components_[static_cast<size_t>(index)];
}

TPropertyAttributes TPropertyEditor::GetAttributes() { return {paRevertable}; }

std::string TPropertyEditor::GetValue() { return std::string(); }

void TPropertyEditor::SetValue(const std::string&) {}

void TPropertyEditor::GetValues(const TGetStrProc&) {}

TPropertyAttributes TStringProperty::GetAttributes() { return {paMultiSelect, paRevertable}; }

std::string TStringProperty::GetValue() { return Property().Get(*GetComponent(0)); }

void TStringProperty::SetValue(const std::string& value) {
  for (int i = 0; i < PropCount(); ++i) Property().Set(*GetComponent(i), value);
}

void RegisterComponents(const std::string& page, const std::vector<TComponentClass>& classes) {
  TRegistry& registry = TRegistry::Get();
  std::lock_guard guard(registry.mu);
  for (const TComponentClass& c : classes) {
    bool known = false;
    for (const TComponentRegistration& r : registry.components)
      known = known || SameText(r.Class.Name, c.Name);
    if (!known) registry.components.push_back({page, c});
  }
}

void RegisterPropertyEditor(const std::string& property_type, const std::string& component_class,
                            const std::string& property_name, TPropertyEditorClass editor) {
  TRegistry& registry = TRegistry::Get();
  std::lock_guard guard(registry.mu);
  registry.editors.push_back({property_type, component_class, property_name, std::move(editor)});
}

std::vector<TComponentRegistration> RegisteredComponents() {
  TRegistry& registry = TRegistry::Get();
  std::lock_guard guard(registry.mu);
  return registry.components;
}

std::optional<TComponentRegistration> FindComponentClass(std::string_view name) {
  TRegistry& registry = TRegistry::Get();
  std::lock_guard guard(registry.mu);
  for (const TComponentRegistration& r : registry.components)
    if (SameText(r.Class.Name, name)) return r;
  return std::nullopt;
}

TPropertyEditorClass FindPropertyEditor(std::string_view property_type,
                                        std::string_view component_class,
                                        std::string_view property_name) {
  TRegistry& registry = TRegistry::Get();
  std::lock_guard guard(registry.mu);
  for (auto it = registry.editors.rbegin(); it != registry.editors.rend(); ++it) {
    if (SameText(it->PropertyType, property_type) && Matches(it->ComponentClass, component_class) &&
        Matches(it->PropertyName, property_name))
      return it->Editor;
  }
  return {};
}

}  // namespace orv
