// SqliteBackend runs requests on one SQLite connection of its own.
//
// Concurrency between connections: the database is in WAL mode, so readers
// never wait for writers. Writers take the write lock up front (a user
// transaction begins with BEGIN IMMEDIATE; a several-statement EXEC runs in
// BEGIN IMMEDIATE or a savepoint; a single statement takes it as it starts),
// and a writer that finds the lock held waits in the busy handler for up to
// busy_timeout_ms, so concurrent writers queue instead of failing with
// "database is locked".
//
// Stored procedures are the backend's own (sqlite_procedure.h), kept in the
// table orv_procedures of the database, which the table list leaves out.
//
// Owns the sqlite3 handle. Used by one connection thread; Interrupt() may be
// called from any thread.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "server/backend.h"
#include "server/result_table.h"
#include "server/sqlite_guard.h"
#include "server/sqlite_procedure.h"
#include "server/value_text.h"

struct sqlite3;
struct sqlite3_stmt;

namespace orv::server {

class SqliteBackend : public Backend {
 public:
  // Opens (creating if needed) the database at path. On failure returns
  // nothing and sets *error.
  // With allow_attach false, statements cannot reach other files (SqliteGuard).
  static std::unique_ptr<SqliteBackend> Connect(const std::string& path, int busy_timeout_ms,
                                                std::string* error, bool allow_attach = false);
  // Puts the database file in WAL mode; done once before serving.
  static bool Prepare(const std::string& path, std::string* error);

  ~SqliteBackend() override;
  SqliteBackend(const SqliteBackend&) = delete;
  SqliteBackend& operator=(const SqliteBackend&) = delete;

  Outcome Begin() override;
  Outcome Commit() override;
  Outcome Rollback() override;
  bool InTransaction() override;
  Outcome Open(const std::string& sql, const std::vector<ParamEntry>& params, RowWindow window,
               OpenReply* reply) override;
  Outcome Exec(const std::string& sql, const std::vector<ParamEntry>& params,
               std::int64_t* changed) override;
  Outcome ExecGenerated(const GeneratedStatement& statement, std::int64_t* changed) override;
  Outcome ProcParams(const std::string& name, std::vector<ProcParam>* params) override;
  Outcome Call(const ProcCall& call, const std::vector<ParamEntry>& params, OpenReply* rows,
               std::vector<ReturnedParam>* returned) override;
  Outcome Catalogue(const CatalogueQuery& query, OpenReply* reply) override;
  void Interrupt() override;

 private:
  class GeneratedRows;
  using Row = std::vector<ParamValue>;

  static int BindValue(sqlite3_stmt* stmt, int i, const ParamValue& value);
  static ParamValue ColumnValue(sqlite3_stmt* stmt, int c);

  SqliteBackend(sqlite3* db, int busy_timeout_ms, bool allow_attach);

  static int OnBusy(void* self, int attempts);
  Outcome Error();
  Outcome Run(const char* sql);
  Outcome Bind(sqlite3_stmt* stmt, const std::vector<ParamEntry>& params);
  struct StmtCloser {
    void operator()(sqlite3_stmt* stmt) const;
  };
  using Stmt = std::unique_ptr<sqlite3_stmt, StmtCloser>;

  // Prepares the first statement of [*tail, end); *stmt is null when only
  // blanks or comments are left. Advances *tail past it.
  Outcome PrepareNext(const char** tail, const char* end, Stmt* stmt);
  // The same for the first statement of `sql`, which must hold one.
  Outcome PrepareFirst(const std::string& sql, const char** tail, Stmt* stmt);
  bool MoreStatements(const char* tail, const char* end);
  Outcome ExecOne(sqlite3_stmt* stmt, const std::vector<ParamEntry>& params,
                  std::int64_t* changed);
  // The descriptions SQLite gives of a prepared statement's columns, column
  // `address` (or none, -1) standing for the row address.
  static std::vector<ColumnDecl> Columns(sqlite3_stmt* stmt, int address);
  // Reads the rows of a prepared, bound statement into *out: only those of
  // `window`; column `address` (or none, -1) is the row address.
  Outcome Materialise(sqlite3_stmt* stmt, int address, RowWindow window,
                      std::unique_ptr<ResultTable>* out);

  // Stored procedures (sqlite_procs.cc; the language is sqlite_procedure.h).
  // CREATE PROCEDURE and DROP PROCEDURE, all or nothing.
  Outcome DefineProc(const std::string& sql);
  // The stored definition of the procedure `written` names; *found false
  // when there is none.
  Outcome LoadProc(const std::string& written, ProcDefinition* definition, bool* found);
  // Runs one statement of a body with the procedure's current values bound;
  // a SET assigns to them, and with `rows` the statement's rows replace
  // *rows when it gives any.
  Outcome RunStep(const ProcDefinition& definition, const ProcStep& step, Row* values,
                  std::unique_ptr<ResultTable>* rows);
  // Runs `sql` (one statement) with `values` bound in order; its rows go to
  // *rows when given.
  Outcome Query(const std::string& sql, const Row& values, std::vector<Row>* rows);

  // Runs `body` all or nothing: in a transaction of its own, or in a
  // savepoint inside the user's. *changed is 0 when it failed.
  Outcome Atomically(const std::function<Outcome()>& body, std::int64_t* changed);

  sqlite3* db_;
  SqliteGuard guard_;
  int busy_timeout_ms_;
  std::atomic<bool> interrupted_{false};
  std::chrono::steady_clock::time_point busy_since_;  // start of the current wait
};

}  // namespace orv::server
