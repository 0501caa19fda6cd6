// TWriter: a form tree from components.
#include <cassert>

#include "host/component.h"
#include "host/filer.h"

namespace orv {

TFormObject TWriter::WriteRoot(TComponent& root) { return WriteObject(root); }

TFormObject TWriter::WriteObject(TComponent& component) {
  TFormObject form;
  form.name = component.Name();
  form.class_name = component.ClassName();
  try {
    form.properties = WriteProperties(component, form.class_name);
  } catch (const EFilerError& e) {
    const std::string shown = form.name.empty() ? form.class_name : form.name;
    throw EFilerError({}, shown + "." + e.Text());
  }
  for (TComponent* child : component.StoredChildren()) form.children.push_back(WriteObject(*child));
  return form;
}

std::vector<TFormProperty> TWriter::WriteProperties(TPersistent& object,
                                                    const std::string& class_name) {
  const TClassInfo* info = Classes().Find(class_name);
  if (info == nullptr) throw EFilerError({}, "class " + class_name + " is not registered");
  std::vector<TFormProperty> properties;
  for (const TPropInfo* published : info->Properties()) {
    if (!published->IsStored(object)) continue;
    try {
      properties.push_back({{}, published->StoredName(), published->Write(object, *this)});
    } catch (const EFilerError& e) {
      throw EFilerError({}, published->Name() + ": " + e.Text());
    }
  }
  std::vector<TFormProperty>* outer = defined_;
  defined_ = &properties;
  object.DefineProperties(this);
  defined_ = outer;
  return properties;
}

void TWriter::DefineProperty(const std::string& name, const TReaderProc&, const TWriterProc& write,
                             bool has_data) {
  if (defined_ == nullptr || !has_data) return;
  TFormProperty property;
  property.name = name;
  std::vector<TFormProperty>* into = defined_;
  TFormValue* outer = value_;
  value_ = &property.value;
  try {
    write(*this);
  } catch (const EFilerError& e) {
    throw EFilerError({}, name + ": " + e.Text());
  }
  value_ = outer;
  into->push_back(std::move(property));
}

void TWriter::WriteCollection(const std::vector<TPersistent*>& items) {
  assert(value_ != nullptr && "WriteCollection belongs inside a DefineProperty writer");
  TFormValue* into = value_;
  std::vector<TFormItem> written;
  for (TPersistent* item : items) written.push_back({{}, WriteProperties(*item, item->ClassName())});
  *into = TFormValue::Collection(std::move(written));
}

std::string TWriter::ReferenceName(const TComponent& from, const TComponent& target) const {
  std::string path = target.Name();
  for (const TComponent* step = &target; !path.empty();) {
    if (FindComponentPath(from, path) == &target) return path;
    step = step->Owner();
    if (step == nullptr || step->Name().empty()) break;
    path = step->Name() + "." + path;
  }
  throw EFilerError({}, target.Name().empty()
                            ? "the component referred to has no name"
                            : target.Name() + " cannot be named from " + from.Name());
}

std::string WriteForm(TComponent& root, const TClassRegistry& classes) {
  TWriter writer(classes);
  return FormatForm(writer.WriteRoot(root));
}

}  // namespace orv
