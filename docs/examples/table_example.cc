// Editing a table: open it by name, find rows with Locate and a key search,
// post changes one by one, then batch them as cached updates, commit or
// cancel them, and meet a conflict.
//
//   table_example [PORT]   (an rdbserver listening on 127.0.0.1:PORT)
#include <cstdio>
#include <cstdlib>
#include <string>

#include <orvclient/orvclient.h>

using namespace orv;

namespace {

void Show(TOrvTable* table) {
  for (table->First(); !table->Eof(); table->Next())
    std::printf("  %d %s %.2f\n", table->FieldByName("id")->AsInteger(),
                table->FieldByName("name")->AsString().c_str(),
                table->FieldByName("price")->AsFloat());
}

}  // namespace

int main(int argc, char** argv) {
  const int port = argc > 1 ? std::atoi(argv[1]) : 7050;
  SetMessageBoxHandler([](const std::string& text, const std::string& caption, unsigned) {
    std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
    return IDOK;
  });

  TComponent form(nullptr);
  auto* rdb = new TOrvRDB(&form);
  rdb->SetAddress("127.0.0.1");
  rdb->SetPort(port);
  auto* query = new TOrvQuery(&form);
  query->SetDatabase(rdb);
  query->SQL()->SetText("create table if not exists parts (id integer, name varchar(20), "
                        "price real)");
  query->ExecSQL();
  query->SQL()->SetText("insert into parts values (1, 'bolt', 0.1), (2, 'nut', 0.05)");
  query->ExecSQL();

  // A table opened by name. On Oracle (the default DatabaseType) each row
  // also brings its ROWID, which addresses the row and stays hidden.
  auto* table = new TOrvTable(&form);
  table->SetDatabase(rdb);
  table->SetTableName("parts");
  table->SetIndexFieldNames("id");
  table->Open();
  if (!table->Active()) return 1;  // the reason went to the message box

  // Searches work on the rows received so far and never wait for more:
  // RecordCount waits for the whole result first. Locate moves to the first
  // row after the active one whose fields (names separated by ";") hold the
  // values; loCaseInsensitive and loPartialKey loosen the comparison.
  table->RecordCount();
  if (table->Locate("name", VarArrayOf({"NU"}), loCaseInsensitive | loPartialKey))
    std::printf("located: %d %s\n", table->FieldByName("id")->AsInteger(),
                table->FieldByName("name")->AsString().c_str());
  // A key search on the IndexFieldNames fields: SetKey starts key entry
  // (State() is dsSetKey and field writes fill the key), GotoKey searches
  // (it waits for the whole result itself) and ends key entry. GotoNearest
  // stops at the first row at or above the key.
  table->SetKey();
  table->FieldByName("id")->SetAsInteger(2);
  if (table->GotoKey()) std::printf("key 2: %s\n", table->FieldByName("name")->AsString().c_str());
  table->SetKey();
  table->FieldByName("id")->SetAsInteger(0);
  table->GotoNearest();
  std::printf("nearest to 0: %d\n", table->FieldByName("id")->AsInteger());

  // Without CachedUpdates every Post and Delete reaches the server at once,
  // in a transaction of its own; a failure raises and puts the row back.
  table->Edit();
  table->FieldByName("price")->SetAsFloat(0.12);
  table->Post();
  table->Append();
  table->FieldByName("id")->SetAsInteger(3);
  table->FieldByName("name")->SetAsString("washer");
  table->FieldByName("price")->SetAsFloat(0.02);
  table->Post();
  std::printf("posted at once:\n");
  Show(table);

  // With CachedUpdates the changes show at once but wait for
  // CommitUpdates (one transaction: all of them or none) or CancelUpdates
  // (the rows as fetched come back).
  table->SetCachedUpdates(true);
  table->First();
  table->Delete();
  table->Edit();
  table->FieldByName("name")->SetAsString("hex nut");
  table->Post();
  std::printf("pending, then cancelled:\n");
  Show(table);
  table->CancelUpdates();
  Show(table);

  table->First();
  table->Edit();
  table->FieldByName("price")->SetAsFloat(0.15);
  table->Post();

  // Someone else changes the same row before the batch goes.
  query->SQL()->SetText("update parts set price = 0.2 where id = 1");
  query->ExecSQL();
  try {
    table->CommitUpdates();
  } catch (const EOrvDataSetException& e) {
    // "Record not found or changed by another user.": nothing of the batch
    // reached the server, and the rows are back as fetched.
    std::printf("commit failed: %s\n", e.what());
  }
  table->Close();
  table->Open();  // read the rows again, with the other user's change
  std::printf("after re-reading:\n");
  Show(table);

  query->SQL()->SetText("drop table parts");
  query->ExecSQL();
  return 0;
}
