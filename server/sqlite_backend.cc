#include "server/sqlite_backend.h"

#include <sqlite3.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstring>
#include <thread>

#include "server/generated_statement.h"
#include "server/sqlite_procedure.h"
#include "server/sqlite_rows.h"
#include "server/value_text.h"

namespace orv::server {

namespace {

// Statements whose changed-row count is meaningful; for the others (DDL,
// SELECT) sqlite3_changes() still holds the count of an earlier statement.
bool ChangesRows(sqlite3_stmt* stmt) {
  if (sqlite3_stmt_readonly(stmt)) return false;
  const char* sql = sqlite3_sql(stmt);
  while (*sql) {
    if (std::isspace(static_cast<unsigned char>(*sql))) {
      ++sql;
    } else if (sql[0] == '-' && sql[1] == '-') {
      while (*sql && *sql != '\n') ++sql;
    } else if (sql[0] == '/' && sql[1] == '*') {
      const char* end = std::strstr(sql + 2, "*/");
      sql = end ? end + 2 : sql + std::strlen(sql);
    } else {
      break;
    }
  }
  for (const char* word : {"INSERT", "UPDATE", "DELETE", "REPLACE", "WITH"}) {
    if (sqlite3_strnicmp(sql, word, static_cast<int>(std::strlen(word))) == 0) return true;
  }
  return false;
}

}  // namespace

int SqliteBackend::BindValue(sqlite3_stmt* stmt, int i, const ParamValue& value) {
  switch (value.kind) {
    case ParamValue::Kind::kNull:
      return sqlite3_bind_null(stmt, i);
    case ParamValue::Kind::kInteger:
      return sqlite3_bind_int64(stmt, i, value.integer);
    case ParamValue::Kind::kReal:
      return sqlite3_bind_double(stmt, i, value.real);
    case ParamValue::Kind::kText:
      return sqlite3_bind_text64(stmt, i, value.text.data(), value.text.size(), SQLITE_TRANSIENT,
                                 SQLITE_UTF8);
    case ParamValue::Kind::kBlob:
      return sqlite3_bind_blob64(stmt, i, value.text.data(), value.text.size(),
                                 SQLITE_TRANSIENT);
  }
  return SQLITE_MISUSE;
}

ParamValue SqliteBackend::ColumnValue(sqlite3_stmt* stmt, int c) {
  ParamValue v;
  switch (sqlite3_column_type(stmt, c)) {
    case SQLITE_INTEGER:
      v.kind = ParamValue::Kind::kInteger;
      v.integer = sqlite3_column_int64(stmt, c);
      break;
    case SQLITE_FLOAT:
      v.kind = ParamValue::Kind::kReal;
      v.real = sqlite3_column_double(stmt, c);
      break;
    case SQLITE_TEXT:
      v.kind = ParamValue::Kind::kText;
      v.text.assign(reinterpret_cast<const char*>(sqlite3_column_text(stmt, c)),
                    static_cast<std::size_t>(sqlite3_column_bytes(stmt, c)));
      break;
    case SQLITE_BLOB:
      v.kind = ParamValue::Kind::kBlob;
      v.text.assign(static_cast<const char*>(sqlite3_column_blob(stmt, c)),
                    static_cast<std::size_t>(sqlite3_column_bytes(stmt, c)));
      break;
    default:
      break;
  }
  return v;
}

std::unique_ptr<SqliteBackend> SqliteBackend::Connect(const std::string& path,
                                                      int busy_timeout_ms, std::string* error,
                                                      bool allow_attach) {
  sqlite3* db = nullptr;
  // One thread uses the connection (sqlite3_interrupt may come from any),
  // so SQLite need not lock it around every call: a result's values are
  // read by several calls each.
  int rc = sqlite3_open_v2(path.c_str(), &db,
                           SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
                           nullptr);
  if (rc != SQLITE_OK) {
    *error = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
    sqlite3_close_v2(db);
    return nullptr;
  }
  sqlite3_extended_result_codes(db, 0);
  std::unique_ptr<SqliteBackend> backend(new SqliteBackend(db, busy_timeout_ms, allow_attach));
  backend->guard_.Install(db);
  sqlite3_busy_handler(db, &SqliteBackend::OnBusy, backend.get());
  return backend;
}

bool SqliteBackend::Prepare(const std::string& path, std::string* error) {
  auto backend = Connect(path, 5000, error);
  if (!backend) return false;
  Outcome o = backend->Run("PRAGMA journal_mode=WAL");
  if (!o.ok()) *error = o.message;
  return o.ok();
}

SqliteBackend::SqliteBackend(sqlite3* db, int busy_timeout_ms, bool allow_attach)
    : db_(db), guard_(allow_attach), busy_timeout_ms_(busy_timeout_ms) {}

SqliteBackend::~SqliteBackend() {
  if (!sqlite3_get_autocommit(db_)) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
  sqlite3_close_v2(db_);
}

int SqliteBackend::OnBusy(void* self, int attempts) {
  auto* b = static_cast<SqliteBackend*>(self);
  auto now = std::chrono::steady_clock::now();
  if (attempts == 0) b->busy_since_ = now;
  if (b->interrupted_.load()) return 0;
  if (now - b->busy_since_ >= std::chrono::milliseconds(b->busy_timeout_ms_)) return 0;
  std::this_thread::sleep_for(std::chrono::milliseconds(std::min(attempts + 1, 10)));
  return 1;
}

void SqliteBackend::Interrupt() {
  interrupted_.store(true);
  sqlite3_interrupt(db_);
}

Outcome SqliteBackend::Error() {
  // A refusal always fails the statement; its text says more than SQLite's.
  std::string refusal = guard_.TakeRefusal();
  if (!refusal.empty()) return Outcome::Error(-SQLITE_AUTH, refusal);
  return Outcome::Error(-sqlite3_errcode(db_), sqlite3_errmsg(db_));
}

Outcome SqliteBackend::Run(const char* sql) {
  if (sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) != SQLITE_OK) return Error();
  return {};
}

Outcome SqliteBackend::Begin() { return Run("BEGIN IMMEDIATE"); }
Outcome SqliteBackend::Commit() { return Run("COMMIT"); }
Outcome SqliteBackend::Rollback() { return Run("ROLLBACK"); }
bool SqliteBackend::InTransaction() { return !sqlite3_get_autocommit(db_); }

void SqliteBackend::StmtCloser::operator()(sqlite3_stmt* stmt) const { sqlite3_finalize(stmt); }

Outcome SqliteBackend::PrepareNext(const char** tail, const char* end, Stmt* stmt) {
  stmt->reset();
  const char* next = nullptr;
  sqlite3_stmt* raw = nullptr;
  int rc = sqlite3_prepare_v2(db_, *tail, static_cast<int>(end - *tail), &raw, &next);
  stmt->reset(raw);
  if (rc != SQLITE_OK) return Error();
  *tail = next ? next : end;
  return {};
}

Outcome SqliteBackend::PrepareFirst(const std::string& sql, const char** tail, Stmt* stmt) {
  *tail = sql.data();
  if (Outcome o = PrepareNext(tail, sql.data() + sql.size(), stmt); !o.ok()) return o;
  if (!*stmt) return Outcome::Error(-1, "no SQL statement to run");
  return {};
}

bool SqliteBackend::MoreStatements(const char* tail, const char* end) {
  sqlite3_stmt* stmt = nullptr;
  int rc = sqlite3_prepare_v2(db_, tail, static_cast<int>(end - tail), &stmt, nullptr);
  sqlite3_finalize(stmt);
  return rc != SQLITE_OK || stmt != nullptr;
}

Outcome SqliteBackend::Bind(sqlite3_stmt* stmt, const std::vector<ParamEntry>& params) {
  int count = sqlite3_bind_parameter_count(stmt);
  for (int i = 1; i <= count; ++i) {
    const char* name = sqlite3_bind_parameter_name(stmt, i);
    const ParamEntry* entry = nullptr;
    if (name == nullptr || name[0] == '?') {
      if (static_cast<std::size_t>(i) <= params.size()) entry = &params[i - 1];
    } else {
      entry = FindParam(params, name);
    }
    std::string label = name ? std::string(name) : std::string("?").append(std::to_string(i));
    if (entry == nullptr) return Outcome::Error(-1, "no value given for parameter " + label);
    std::string error;
    auto value = DecodeParam(entry->type_code, entry->value, &error);
    if (!value) return Outcome::Error(-1, "parameter " + label + ": " + error);
    if (BindValue(stmt, i, *value) != SQLITE_OK) return Error();
  }
  return {};
}

Outcome SqliteBackend::Open(const std::string& sql, const std::vector<ParamEntry>& params,
                            RowWindow window, OpenReply* reply) {
  // Catalogue entries name tables "main.T"; SQLite takes "T.*" only.
  const std::string text = WithoutStarOwner(sql, "main");
  const char* tail = nullptr;
  Stmt stmt;
  if (Outcome o = PrepareFirst(text, &tail, &stmt); !o.ok()) return o;
  if (MoreStatements(tail, text.data() + text.size())) {
    return Outcome::Error(-1, "OPEN runs one statement; the text holds more than one");
  }
  if (Outcome o = Bind(stmt.get(), params); !o.ok()) return o;
  // A table dataset's row address: SQLite names the column after an
  // INTEGER PRIMARY KEY it stands for, or "rowid"; the dataset looks for a
  // text column named exactly "ROWID".
  const int columns = sqlite3_column_count(stmt.get());
  const int address = columns > 0 && SelectsRowAddress(text) ? columns - 1 : -1;
  // A second pass must read what the first one read: outside the user's
  // transaction the first pass's read becomes a transaction of its own.
  bool own_snapshot = false;
  SqliteRows rows(stmt.get(), Columns(stmt.get(), address), address, window);
  Outcome result = rows.Send(
      reply,
      [&]() -> Outcome {
        if (InTransaction()) return {};
        own_snapshot = true;
        return Run("BEGIN");
      },
      [this] { return Error(); });
  if (own_snapshot && InTransaction()) {
    // The transaction only read; the reply stands whether it commits or not.
    if (!result.ok() || !Run("COMMIT").ok()) Run("ROLLBACK");
  }
  return result;
}

std::vector<ColumnDecl> SqliteBackend::Columns(sqlite3_stmt* stmt, int address) {
  const int columns = sqlite3_column_count(stmt);
  std::vector<ColumnDecl> decls;
  for (int c = 0; c < columns; ++c) {
    const char* name = sqlite3_column_name(stmt, c);
    const char* decl = sqlite3_column_decltype(stmt, c);
    decls.push_back({name ? name : "", decl ? decl : ""});
  }
  if (address >= 0) decls[address] = {"ROWID", "VARCHAR(20)"};
  return decls;
}

Outcome SqliteBackend::Materialise(sqlite3_stmt* stmt, int address, RowWindow window,
                                   std::unique_ptr<ResultTable>* out) {
  return SqliteRows(stmt, Columns(stmt, address), address, window).Hold(out, [this] { return Error(); });
}

Outcome SqliteBackend::ExecOne(sqlite3_stmt* stmt, const std::vector<ParamEntry>& params,
                               std::int64_t* changed) {
  if (Outcome o = Bind(stmt, params); !o.ok()) return o;
  int rc;
  while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
  }
  if (rc != SQLITE_DONE) return Error();
  if (ChangesRows(stmt)) *changed += sqlite3_changes64(db_);
  return {};
}

Outcome SqliteBackend::Exec(const std::string& sql, const std::vector<ParamEntry>& params,
                            std::int64_t* changed) {
  *changed = 0;
  if (IsProcDdl(sql)) return DefineProc(sql);
  const char* tail = nullptr;
  Stmt stmt;
  if (Outcome o = PrepareFirst(sql, &tail, &stmt); !o.ok()) return o;
  const char* end = sql.data() + sql.size();
  if (!MoreStatements(tail, end)) return ExecOne(stmt.get(), params, changed);

  // Several statements: all or none, inside the user's transaction too.
  return Atomically(
      [&] {
        Outcome result;
        while (stmt && result.ok()) {
          result = ExecOne(stmt.get(), params, changed);
          if (result.ok()) result = PrepareNext(&tail, end, &stmt);
        }
        stmt.reset();
        return result;
      },
      changed);
}

Outcome SqliteBackend::Atomically(const std::function<Outcome()>& body, std::int64_t* changed) {
  bool own = !InTransaction();
  if (Outcome o = Run(own ? "BEGIN IMMEDIATE" : "SAVEPOINT orv_exec"); !o.ok()) return o;
  Outcome result = body();
  if (result.ok()) {
    Outcome o = Run(own ? "COMMIT" : "RELEASE orv_exec");
    if (o.ok()) return result;
    result = o;
  }
  if (own) {
    if (InTransaction()) Run("ROLLBACK");
  } else {
    Run("ROLLBACK TO orv_exec");
    Run("RELEASE orv_exec");
  }
  *changed = 0;
  return result;
}

// The rows of generated statements, addressed by rowid.
class SqliteBackend::GeneratedRows : public GeneratedTarget {
 public:
  explicit GeneratedRows(SqliteBackend& backend) : b_(backend) {}

  Outcome ScanRows(const std::string& table, const std::vector<std::string>& columns,
                   const std::string* address, const RowVisitor& row) override {
    std::int64_t rowid = 0;
    if (address != nullptr) {
      const char* end = address->data() + address->size();
      auto [ptr, ec] = std::from_chars(address->data(), end, rowid);
      if (ec != std::errc() || ptr != end) return {};  // no row has such an address
    }
    std::string sql = "SELECT rowid";
    for (const std::string& c : columns) sql += ", " + QuoteIdentifier(c);
    sql += " FROM " + table;
    if (address != nullptr) sql += " WHERE rowid = ?1";
    Stmt stmt;
    if (Outcome o = Prepare(sql, &stmt); !o.ok()) return o;
    if (address != nullptr && sqlite3_bind_int64(stmt.get(), 1, rowid) != SQLITE_OK)
      return b_.Error();
    std::vector<ParamValue> values(columns.size());
    int rc;
    while ((rc = sqlite3_step(stmt.get())) == SQLITE_ROW) {
      for (std::size_t c = 0; c < columns.size(); ++c)
        values[c] = ColumnValue(stmt.get(), static_cast<int>(c) + 1);
      if (!row(std::to_string(sqlite3_column_int64(stmt.get(), 0)), values)) return {};
    }
    if (rc != SQLITE_DONE) return b_.Error();
    return {};
  }

  Outcome InsertRow(const std::string& table, const std::vector<std::string>& columns,
                    const std::vector<ParamValue>& values, std::int64_t* changed) override {
    std::string names, holders;
    for (std::size_t i = 0; i < columns.size(); ++i) {
      names += (i ? ", " : "") + QuoteIdentifier(columns[i]);
      holders += (i ? ", ?" : "?") + std::to_string(i + 1);
    }
    return Run("INSERT INTO " + table + " (" + names + ") VALUES (" + holders + ")", values, "",
               changed);
  }

  Outcome UpdateRow(const std::string& table, const std::string& key,
                    const std::vector<std::string>& columns,
                    const std::vector<ParamValue>& values, std::int64_t* changed) override {
    std::string sets;
    for (std::size_t i = 0; i < columns.size(); ++i)
      sets += (i ? ", " : "") + QuoteIdentifier(columns[i]) + " = ?" + std::to_string(i + 1);
    return Run("UPDATE " + table + " SET " + sets + " WHERE rowid = ?" +
                   std::to_string(columns.size() + 1),
               values, key, changed);
  }

  Outcome DeleteRow(const std::string& table, const std::string& key,
                    std::int64_t* changed) override {
    return Run("DELETE FROM " + table + " WHERE rowid = ?1", {}, key, changed);
  }

 private:
  Outcome Prepare(const std::string& sql, Stmt* stmt) {
    const char* tail = nullptr;
    return b_.PrepareFirst(sql, &tail, stmt);
  }

  // Runs `sql` with `values` bound in order and the rowid `key`, when given,
  // after them.
  Outcome Run(const std::string& sql, const std::vector<ParamValue>& values,
              const std::string& key, std::int64_t* changed) {
    Stmt stmt;
    if (Outcome o = Prepare(sql, &stmt); !o.ok()) return o;
    int i = 1;
    for (const ParamValue& v : values)
      if (BindValue(stmt.get(), i++, v) != SQLITE_OK) return b_.Error();
    if (!key.empty() && sqlite3_bind_int64(stmt.get(), i, std::stoll(key)) != SQLITE_OK)
      return b_.Error();
    if (sqlite3_step(stmt.get()) != SQLITE_DONE) return b_.Error();
    *changed = sqlite3_changes64(b_.db_);
    return {};
  }

  SqliteBackend& b_;
};

Outcome SqliteBackend::ExecGenerated(const GeneratedStatement& statement,
                                     std::int64_t* changed) {
  *changed = 0;
  GeneratedRows rows(*this);
  return Atomically([&] { return ApplyGenerated(statement, rows, changed); }, changed);
}

}  // namespace orv::server
