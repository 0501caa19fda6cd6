// Using the components: connect, run a parameterised query, loop over its
// rows, page through a large result, and change data inside a transaction.
//
//   usage_example [PORT]   (an rdbserver listening on 127.0.0.1:PORT)
#include <cstdio>
#include <cstdlib>
#include <string>

#include <orvclient/orvclient.h>

using namespace orv;

int main(int argc, char** argv) {
  const int port = argc > 1 ? std::atoi(argv[1]) : 7050;

  // Errors of opening and executing are shown as message boxes captioned
  // "Error"; an application without a screen installs its own handler.
  std::string last_error;
  SetMessageBoxHandler([&](const std::string& text, const std::string& caption, unsigned) {
    std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
    last_error = text;
    return IDOK;
  });

  // The connection settings. Nothing connects yet: every request opens a
  // connection of its own and closes it when the reply is complete.
  TComponent form(nullptr);
  auto* rdb = new TOrvRDB(&form);
  rdb->SetAddress("127.0.0.1");
  rdb->SetPort(port);

  auto* query = new TOrvQuery(&form);
  query->SetDatabase(rdb);

  // Executing a statement: RowsAffected is -1 when it did not run.
  query->SQL()->SetText("create table if not exists items (id integer, name varchar(30), "
                        "price real, added datetime)");
  query->ExecSQL();
  if (query->RowsAffected() < 0) return 1;

  query->SQL()->SetText("insert into items values (:id, :name, :price, :added)");
  for (int i = 1; i <= 250; ++i) {
    query->ParamByName("id")->SetAsInteger(i);
    query->ParamByName("name")->SetAsString("item " + std::to_string(i));
    query->ParamByName("price")->SetAsFloat(i * 0.5);
    query->ParamByName("added")->SetAsDateTime(EncodeDate(2024, 1, 1) + i);
    query->ExecSQL();
  }

  // A parameterised query. Open returns as soon as the column descriptions
  // have arrived; the rows keep arriving while we read the first ones.
  query->SQL()->SetText("select id, name, price, added from items where price >= :least order by id");
  query->ParamByName("least")->SetAsFloat(100.0);
  query->Open();
  if (!query->Active()) return 1;  // the reason went to the message box
  for (query->First(); !query->Eof(); query->Next()) {
    if (query->FieldByName("id")->AsInteger() % 50 != 0) continue;
    std::printf("%d %s %.2f %s\n", query->FieldByName("id")->AsInteger(),
                query->FieldByName("name")->AsString().c_str(),
                query->FieldByName("price")->AsFloat(),
                query->FieldByName("added")->AsString().c_str());
  }
  // Reading past the rows of a result whose transfer failed raises, and
  // ResultIncomplete() tells so; this one arrived whole.
  std::printf("%d rows, complete: %s\n", query->RecordCount(),
              query->ResultIncomplete() ? "no" : "yes");
  query->Close();

  // Paging: each part is another open of QueryRow rows from QueryStartRow
  // (the first row of the result is row 1).
  query->SQL()->SetText("select id from items order by id");
  for (int start = 1; start <= 250; start += 100) {
    query->OpenPart(start, 100);
    std::printf("part from %d: %d rows\n", start, query->RecordCount());
    query->Close();
  }

  // A transaction: every dataset's request runs on its one connection until
  // Commit or Rollback.
  rdb->StartTransaction();
  query->SQL()->SetText("delete from items where id > 200");
  query->ExecSQL();
  std::printf("deleted %d rows, rolled back\n", query->RowsAffected());
  rdb->Rollback();

  query->SQL()->SetText("drop table items");
  query->ExecSQL();
  return last_error.empty() ? 0 : 1;
}
