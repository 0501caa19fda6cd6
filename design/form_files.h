// Form files of the package: the registry of every class a form may name
// (TDataModule, TOrvRDB, TOrvQuery, TOrvTable, TOrvStoredProc and the
// parameter items), and loading and saving forms with it.
//
//   TFormHandlers handlers;
//   handlers.Add("Query1FilterRecord", TDataSet::TFilterRecordEvent(...));
//   TComponent* data = LoadFormFile("shop.form", &app, handlers);
//   auto* query = static_cast<TOrvQuery*>(data->FindComponent("Query1"));
//
// Loading creates the file's root object owned by `owner` (nullptr: the
// caller owns it) and returns it; every failure raises EFilerError, naming
// the file, line and column, and leaves nothing of the form behind. Saving
// writes `root`, its published properties and every component it owns,
// nested; the file is replaced only once the whole text is ready and
// written.
//
// The registry is built on first use (thread-safe) and never changes; the
// functions belong to the thread that owns the components.
#pragma once

#include <string>
#include <string_view>

#include "../host/component.h"
#include "../host/filer.h"
#include "../host/form_handlers.h"
#include "../host/published.h"

#pragma GCC visibility push(default)
namespace orv {

const TClassRegistry& OrvFormClasses();

TComponent* LoadFormFile(const std::string& path, TComponent* owner,
                         const TFormHandlers& handlers = {});
TComponent* LoadForm(std::string_view text, TComponent* owner, const TFormHandlers& handlers = {});

void SaveFormFile(const std::string& path, TComponent& root);
std::string SaveForm(TComponent& root);

}  // namespace orv
#pragma GCC visibility pop
