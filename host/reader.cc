// TReader: components from a form tree, and the name look-up shared with
// the writer.
#include <cassert>
#include <memory>

#include "host/component.h"
#include "host/filer.h"
#include "host/sysutils.h"

namespace orv {

void TFormHandlers::CheckEntry(const std::string& name, bool assigned) {
  if (!IsValidIdent(name)) throw Exception("'" + name + "' is not a valid handler name");
  if (!assigned) throw Exception("Handler " + name + " is empty");
}

TComponent* FindComponentPath(const TComponent& from, std::string_view path) {
  const size_t dot = path.find('.');
  const std::string_view first = path.substr(0, dot);
  for (const TComponent* scope = from.Owner(); scope != nullptr; scope = scope->Owner()) {
    TComponent* found = scope->FindComponent(first);
    if (found == nullptr) continue;
    std::string_view rest = dot == std::string_view::npos ? std::string_view() : path.substr(dot + 1);
    while (found != nullptr && !rest.empty()) {
      const size_t next = rest.find('.');
      found = found->FindComponent(rest.substr(0, next));
      rest = next == std::string_view::npos ? std::string_view() : rest.substr(next + 1);
    }
    return found;
  }
  return nullptr;
}

TComponent* TReader::ReadRoot(const TFormObject& form, TComponent* owner) {
  fixups_.clear();
  std::unique_ptr<TComponent> root(Create(form, owner));
  ReadObject(*root, form);
  ResolveFixups();
  root->EndLoading();
  return root.release();
}

TComponent* TReader::Create(const TFormObject& form, TComponent* owner) {
  const TClassInfo* info = Classes().Find(form.class_name);
  if (info == nullptr) throw EFilerError(form.pos, "Unknown class " + form.class_name);
  if (!info->CanCreate()) throw EFilerError(form.pos, "Class " + form.class_name + " cannot be created");
  std::unique_ptr<TComponent> component(info->Create(owner));
  component->BeginLoading();
  try {
    component->SetName(form.name);
  } catch (const EComponentError& e) {
    throw EFilerError(form.pos, e.Message());
  }
  return component.release();
}

void TReader::ReadObject(TComponent& component, const TFormObject& form) {
  const TClassInfo& info = *Classes().Find(form.class_name);
  for (const TFormProperty& property : form.properties) ReadProperty(component, info, property);
  for (const TFormObject& child : form.children) ReadObject(*Create(child, &component), child);
}

void TReader::ReadProperties(TPersistent& object, const std::vector<TFormProperty>& properties) {
  if (properties.empty()) return;
  const TClassInfo& info = ClassOf(object, properties.front().pos);
  for (const TFormProperty& property : properties) ReadProperty(object, info, property);
}

void TReader::ReadProperty(TPersistent& object, const TClassInfo& info,
                           const TFormProperty& property) {
  try {
    if (const TPropInfo* published = info.FindProperty(property.name)) {
      published->Read(object, property.value, *this);
      return;
    }
    // Not published: perhaps a property the object defines itself. Items
    // of a collection it reads may ask again, so the question is nested.
    const TFormProperty* outer = defining_;
    const bool outer_defined = defined_;
    defining_ = &property;
    defined_ = false;
    object.DefineProperties(this);
    const bool found = defined_;
    defining_ = outer;
    defined_ = outer_defined;
    if (!found) throw EFilerError(property.pos, "Unknown property " + property.name + " of " + info.Name());
  } catch (const EFilerError&) {
    throw;
  } catch (const Exception& e) {
    // A setter refused the value: say which property, and where.
    throw EFilerError(property.pos, property.name + ": " + e.Message());
  }
}

void TReader::DefineProperty(const std::string& name, const TReaderProc& read, const TWriterProc&,
                             bool) {
  if (defining_ == nullptr || defined_ || !SameText(name, defining_->name)) return;
  defined_ = true;
  read(*this);
}

void TReader::ReadCollection(const std::function<TPersistent*()>& add) {
  assert(defining_ != nullptr && "ReadCollection belongs inside a DefineProperty reader");
  const TFormProperty& property = *defining_;
  if (property.value.kind != TFormValueKind::kCollection)
    throw EFilerError(property.value.pos,
                      "Wrong value for " + property.name + ": a collection expected");
  for (const TFormItem& item : property.value.collection) {
    TPersistent* object = add();
    ClassOf(*object, item.pos);
    ReadProperties(*object, item.properties);
  }
}

void TReader::AddFixup(TComponent& from, const TFormValue& name,
                       std::function<void(TComponent*)> apply) {
  fixups_.push_back({&from, name, std::move(apply)});
}

void TReader::ResolveFixups() {
  for (const Fixup& fixup : fixups_) {
    TComponent* found = FindComponentPath(*fixup.from, fixup.name.text);
    if (found == nullptr) throw EFilerError(fixup.name.pos, "Component " + fixup.name.text + " not found");
    try {
      fixup.apply(found);
    } catch (const EFilerError&) {
      throw;
    } catch (const Exception& e) {
      throw EFilerError(fixup.name.pos, e.Message());
    }
  }
  fixups_.clear();
}

const TClassInfo& TReader::ClassOf(const TPersistent& object, TFormPos pos) const {
  const TClassInfo* info = Classes().Find(object.ClassName());
  if (info == nullptr) throw EFilerError(pos, "Class " + object.ClassName() + " is not registered");
  return *info;
}

TComponent* ReadForm(std::string_view text, TComponent* owner, const TClassRegistry& classes,
                     const TFormHandlers& handlers) {
  TReader reader(classes, handlers);
  return reader.ReadRoot(ParseForm(text), owner);
}

}  // namespace orv
