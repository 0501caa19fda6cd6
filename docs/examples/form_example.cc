// Configuring the components from a form file: load docs/examples/shop.form,
// open its query, and save the form again.
//
//   form_example FORM [PORT]   (an rdbserver listening on 127.0.0.1:PORT)
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "design/orvclient.h"

using namespace orv;

int main(int argc, char** argv) {
  if (argc < 2) return 2;

  // Handlers the form names, registered before it is loaded.
  TFormHandlers handlers;
  handlers.Add("CheapOpened", TDataSet::TDataSetNotifyEvent([](TDataSet* dataset) {
                 std::printf("%s is open\n", dataset->Name().c_str());
               }));

  std::unique_ptr<TComponent> shop;
  try {
    shop.reset(LoadFormFile(argv[1], nullptr, handlers));
  } catch (const EFilerError& e) {
    std::fprintf(stderr, "%s\n", e.what());  // "shop.form: Line 9, column 5: ..."
    return 1;
  }
  auto* rdb = static_cast<TOrvRDB*>(shop->FindComponent("Rdb"));
  auto* cheap = static_cast<TOrvQuery*>(shop->FindComponent("Cheap"));
  if (argc > 2) rdb->SetPort(std::atoi(argv[2]));

  // A few rows for the form's query, through a query made in code.
  TOrvQuery setup(nullptr);
  setup.SetDatabase(rdb);
  for (const char* sql : {"create table items (id integer, name varchar(30), price real)",
                          "insert into items values (1, 'washer', 0.05)",
                          "insert into items values (2, 'hinge', 12.5)"}) {
    setup.SQL()->SetText(sql);
    setup.ExecSQL();
    if (setup.RowsAffected() < 0) return 1;
  }

  cheap->Open();
  if (!cheap->Active()) return 1;  // the reason went to the message box
  for (cheap->First(); !cheap->Eof(); cheap->Next())
    std::printf("%d %s\n", cheap->FieldByName("id")->AsInteger(),
                cheap->FieldByName("name")->AsString().c_str());
  cheap->Close();
  setup.SQL()->SetText("drop table items");
  setup.ExecSQL();

  // Everything the form holds, the port just set included, written back.
  std::fputs(SaveForm(*shop).c_str(), stdout);
  return 0;
}
