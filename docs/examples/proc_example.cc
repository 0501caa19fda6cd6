// Stored procedures: define two on the server, call one for its output
// parameters, open one that returns rows, and list the procedures.
//
//   proc_example [PORT]   (an rdbserver listening on 127.0.0.1:PORT)
#include <cstdio>
#include <cstdlib>
#include <string>

#include "design/orvclient.h"

using namespace orv;

int main(int argc, char** argv) {
  const int port = argc > 1 ? std::atoi(argv[1]) : 7050;
  std::string last_error;
  SetMessageBoxHandler([&](const std::string& text, const std::string& caption, unsigned) {
    std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
    last_error = text;
    return IDOK;
  });

  TComponent form(nullptr);
  auto* rdb = new TOrvRDB(&form);
  rdb->SetAddress("127.0.0.1");
  rdb->SetPort(port);

  // rdbserver keeps procedures of its own, defined with a statement it
  // recognises (see docs/server.md).
  auto* query = new TOrvQuery(&form);
  query->SetDatabase(rdb);
  for (const char* sql : {
           "create table if not exists ledger (id integer primary key, name text, bal real)",
           "insert or replace into ledger values (1, 'ann', 10.5), (2, 'bob', 99)",
           "DROP PROCEDURE IF EXISTS pay",
           "CREATE PROCEDURE pay (IN who INTEGER, INOUT amount REAL, OUT total REAL) AS BEGIN "
           "UPDATE ledger SET bal = bal + :amount WHERE id = :who; "
           "SET :total = SELECT bal FROM ledger WHERE id = :who; END",
           "DROP PROCEDURE IF EXISTS rich",
           "CREATE PROCEDURE rich (OUT n INTEGER, minimum REAL) AS BEGIN "
           "SELECT id, name FROM ledger WHERE bal >= :minimum ORDER BY id; "
           "SET :n = SELECT count(*) FROM ledger WHERE bal >= :minimum; END"}) {
    query->SQL()->SetText(sql);
    query->ExecSQL();
    if (query->RowsAffected() < 0) return 1;
  }

  // Naming the procedure fetches its parameters: names, types, directions.
  auto* proc = new TOrvStoredProc(&form);
  proc->SetDatabase(rdb);
  try {
    proc->SetProcName("pay");
  } catch (const Exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
  proc->ParamByName("who")->SetAsInteger(1);
  proc->ParamByName("amount")->SetAsFloat(5);
  proc->ExecProc();  // no rows: the outputs come back into Params
  if (!last_error.empty()) return 1;
  std::printf("total %.2f\n", proc->ParamByName("total")->AsFloat());

  // A procedure that returns rows opens like a query; its outputs are in
  // Params once Open returns.
  proc->SetProcName("rich");
  proc->ParamByName("minimum")->SetAsFloat(12);
  proc->Open();
  if (!proc->Active()) return 1;
  for (proc->First(); !proc->Eof(); proc->Next())
    std::printf("%s\n", proc->FieldByName("name")->AsString().c_str());
  std::printf("%d rich\n", proc->ParamByName("n")->AsInteger());
  proc->Close();

  // The procedures the connection reaches, owner first.
  TStringList names;
  proc->GetTableNames("P", &names);
  for (int i = 0; i < names.Count(); ++i) std::printf("%s\n", names.Strings(i).c_str());
  return 0;
}
