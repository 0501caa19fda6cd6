// The form-file reader on arbitrary text, with the package's classes: it
// either loads or raises EFilerError, and a form it loaded saves to a text
// that loads back to the same text. "Active" properties are taken out
// before loading, so no input makes a dataset reach for a server.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "design/form_files.h"
#include "host/dataset.h"
#include "host/forms.h"
#include "host/sysutils.h"

namespace {

void DropActive(orv::TFormObject& object) {
  std::erase_if(object.properties, [](const orv::TFormProperty& p) {
    return orv::SameText(p.name, "Active");
  });
  for (orv::TFormObject& child : object.children) DropActive(child);
}

const orv::TFormHandlers& Handlers() {
  static const orv::TFormHandlers handlers = [] {
    orv::TFormHandlers h;
    h.Add("Notify", orv::TDataSet::TDataSetNotifyEvent([](orv::TDataSet*) {}));
    h.Add("Filter", orv::TDataSet::TFilterRecordEvent([](orv::TDataSet*, bool&) {}));
    h.Add("Failed", orv::TDataSet::TDataSetErrorEvent(
                        [](orv::TDataSet*, orv::EDatabaseError&, orv::TDataAction&) {}));
    return h;
  }();
  return handlers;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  orv::SetMessageBoxHandler([](const std::string&, const std::string&, unsigned) { return orv::IDOK; });
  orv::TFormObject form;
  try {
    form = orv::ParseForm(std::string_view(reinterpret_cast<const char*>(data), size));
  } catch (const orv::EParserError&) {
    return 0;
  }
  DropActive(form);
  std::unique_ptr<orv::TComponent> root;
  try {
    orv::TReader reader(orv::OrvFormClasses(), Handlers());
    root.reset(reader.ReadRoot(form, nullptr));
  } catch (const orv::EFilerError&) {
    return 0;
  }
  const std::string saved = orv::SaveForm(*root);
  std::unique_ptr<orv::TComponent> again(orv::LoadForm(saved, nullptr, Handlers()));
  if (orv::SaveForm(*again) != saved) std::abort();
  return 0;
}
