#include "server/pg_backend.h"

#include <libpq-fe.h>

#include <algorithm>
#include <cstring>
#include <optional>

#include "server/generated_statement.h"
#include "server/pg_rows.h"
#include "server/value_text.h"

namespace orv::server {

namespace {

constexpr unsigned kByteaOid = 17;
constexpr unsigned kTidOid = 27;
constexpr const char* kLostTransaction =
    "the connection to PostgreSQL broke inside the transaction, which was rolled back";

using Result = PgResultPtr;

std::string Trimmed(const char* text) {
  std::string s = text ? text : "";
  while (!s.empty() && (s.back() == '\n' || s.back() == ' ')) s.pop_back();
  return s;
}

// Statements whose row count is a count of changed rows ("SELECT 3" and
// "CREATE TABLE AS" counts are rows read).
bool ChangesRows(const PGresult* r) {
  const char* status = PQcmdStatus(const_cast<PGresult*>(r));
  for (const char* word : {"INSERT ", "UPDATE ", "DELETE ", "MERGE "}) {
    if (std::strncmp(status, word, std::strlen(word)) == 0) return true;
  }
  return false;
}

Outcome NoTransaction() {
  return Outcome::Error(-1, "WARNING:  25P01: there is no transaction in progress");
}

}  // namespace

void PgResultCloser::operator()(pg_result* r) const { PQclear(r); }


std::unique_ptr<PgBackend> PgBackend::Connect(const std::string& conninfo, std::string* error) {
  // Defaults first: the conninfo, expanded in place of dbname, overrides them.
  const char* keys[] = {"connect_timeout", "keepalives", "keepalives_idle",
                        "keepalives_interval", "keepalives_count", "application_name",
                        "dbname", nullptr};
  const char* values[] = {"10", "1", "30", "10", "3", "rdbserver", conninfo.c_str(), nullptr};
  PGconn* conn = PQconnectdbParams(keys, values, 1);
  if (conn == nullptr) {
    *error = "out of memory";
    return nullptr;
  }
  std::unique_ptr<PgBackend> backend(new PgBackend(conn));
  if (PQstatus(conn) != CONNECTION_OK) {
    *error = Trimmed(PQerrorMessage(conn));
    return nullptr;
  }
  if (Outcome o = backend->Setup(); !o.ok()) {
    *error = o.message;
    return nullptr;
  }
  return backend;
}

PgBackend::PgBackend(pg_conn* conn) : conn_(conn) {}

PgBackend::~PgBackend() {
  {
    std::lock_guard<std::mutex> lock(cancel_mu_);
    if (cancel_) PQfreeCancel(cancel_);
    cancel_ = nullptr;
  }
  // Closing the connection rolls back whatever transaction it had open.
  PQfinish(conn_);
}

Outcome PgBackend::Setup() {
  RenewCancel();
  if (PQsetClientEncoding(conn_, "UTF8") != 0) return ConnectionError();
  return Command("SET DateStyle = ISO; SET bytea_output = hex; SET extra_float_digits = 1");
}

void PgBackend::RenewCancel() {
  std::lock_guard<std::mutex> lock(cancel_mu_);
  if (cancel_) PQfreeCancel(cancel_);
  cancel_ = PQgetCancel(conn_);
}

void PgBackend::Interrupt() {
  interrupted_.store(true);
  CancelRunning();
}

void PgBackend::CancelRunning() {
  // A cancel request is a connection of its own to PostgreSQL: none for a
  // connection that runs nothing.
  if (!running_.load()) return;
  std::lock_guard<std::mutex> lock(cancel_mu_);
  char error[256];
  if (cancel_) PQcancel(cancel_, error, sizeof error);
}

Outcome PgBackend::ConnectionError() const {
  return Outcome::Error(-1, Trimmed(PQerrorMessage(conn_)));
}

Outcome PgBackend::ResultError(const pg_result* result) const {
  if (result == nullptr) return ConnectionError();
  const char* sqlstate = PQresultErrorField(result, PG_DIAG_SQLSTATE);
  const char* primary = PQresultErrorField(result, PG_DIAG_MESSAGE_PRIMARY);
  if (sqlstate == nullptr || primary == nullptr) {
    std::string text = Trimmed(PQresultErrorMessage(result));
    return Outcome::Error(-1, text.empty() ? Trimmed(PQerrorMessage(conn_)) : text);
  }
  const char* severity = PQresultErrorField(result, PG_DIAG_SEVERITY);
  std::string text = std::string(severity ? severity : "ERROR") + ":  " + sqlstate + ": " + primary;
  if (const char* detail = PQresultErrorField(result, PG_DIAG_MESSAGE_DETAIL)) {
    text += std::string("\nDETAIL:  ") + detail;
  }
  if (const char* hint = PQresultErrorField(result, PG_DIAG_MESSAGE_HINT)) {
    text += std::string("\nHINT:  ") + hint;
  }
  return Outcome::Error(-1, text);
}

Outcome PgBackend::RefuseCopy(bool copy_in) {
  if (copy_in) {
    PQputCopyEnd(conn_, "COPY from the client is not supported");
  } else {
    char* row = nullptr;
    while (PQgetCopyData(conn_, &row, 0) > 0) PQfreemem(row);
  }
  return Outcome::Error(-1, "COPY to or from the client is not supported");
}

Outcome PgBackend::Command(const char* sql) {
  Result r(PQexec(conn_, sql));
  ExecStatusType status = r ? PQresultStatus(r.get()) : PGRES_FATAL_ERROR;
  if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) return ResultError(r.get());
  return {};
}

Outcome PgBackend::Ready() {
  if (interrupted_.load()) return Outcome::Error(-1, "the server is stopping");
  if (PQstatus(conn_) == CONNECTION_BAD) {
    PQreset(conn_);
    if (PQstatus(conn_) != CONNECTION_OK) {
      return Outcome::Error(-1, "no connection to PostgreSQL: " + Trimmed(PQerrorMessage(conn_)));
    }
    if (Outcome o = Setup(); !o.ok()) return o;
  }
  if (lost_transaction_) {
    return Outcome::Error(-1, std::string(kLostTransaction) + "; end it with ROLLBACK");
  }
  return {};
}

bool PgBackend::InTransaction() {
  PGTransactionStatusType s = PQtransactionStatus(conn_);
  return lost_transaction_ || s == PQTRANS_INTRANS || s == PQTRANS_INERROR || s == PQTRANS_ACTIVE;
}

Outcome PgBackend::Failed(Outcome outcome, bool in_transaction) {
  if (in_transaction && PQstatus(conn_) == CONNECTION_BAD) lost_transaction_ = true;
  return outcome;
}

Outcome PgBackend::Begin() {
  if (Outcome o = Ready(); !o.ok()) return o;
  if (InTransaction()) {
    return Outcome::Error(-1, "WARNING:  25001: there is already a transaction in progress");
  }
  return Command("BEGIN");
}

Outcome PgBackend::Commit() {
  if (lost_transaction_) {
    lost_transaction_ = false;
    return Outcome::Error(-1, kLostTransaction);
  }
  if (Outcome o = Ready(); !o.ok()) return o;
  if (!InTransaction()) return NoTransaction();
  Result r(PQexec(conn_, "COMMIT"));
  if (!r || PQresultStatus(r.get()) != PGRES_COMMAND_OK) return ResultError(r.get());
  // A transaction that failed ends in a rollback, which COMMIT reports so.
  if (std::strcmp(PQcmdStatus(r.get()), "ROLLBACK") == 0) {
    return Outcome::Error(-1, "ERROR:  25P02: the transaction had failed; COMMIT rolled it back");
  }
  return {};
}

Outcome PgBackend::Rollback() {
  if (lost_transaction_) {
    lost_transaction_ = false;
    return {};
  }
  if (Outcome o = Ready(); !o.ok()) return o;
  if (!InTransaction()) return NoTransaction();
  return Command("ROLLBACK");
}

void PgBackend::Bound::Add(const ParamValue& value, const std::string* written) {
  texts.emplace_back();
  nulls.push_back(value.kind == ParamValue::Kind::kNull);
  formats.push_back(0);
  types.push_back(0);  // unknown: PostgreSQL infers the type from the use
  std::string& text = texts.back();
  switch (value.kind) {
    case ParamValue::Kind::kNull:
      break;
    case ParamValue::Kind::kInteger:
      text = std::to_string(value.integer);
      break;
    case ParamValue::Kind::kReal:
      // As the client wrote it when there is such a text; it read as a double.
      text = written ? *written : FormatReal(value.real, ResultTable::kFloatWidth);
      break;
    case ParamValue::Kind::kText:
      text = value.text;
      break;
    case ParamValue::Kind::kBlob:
      text = value.text;
      formats.back() = 1;
      types.back() = kByteaOid;
      break;
  }
}

Outcome PgBackend::Bind(const PgStatement& statement, const std::vector<ParamEntry>& params,
                        Bound* bound) const {
  for (std::size_t k = 0; k < statement.slots.size(); ++k) {
    const std::string& name = statement.slots[k];
    const ParamEntry* entry = nullptr;
    if (name.empty()) {
      if (k < params.size()) entry = &params[k];
    } else {
      entry = FindParam(params, name);
    }
    std::string label = name.empty() ? "$" + std::to_string(k + 1) : name;
    if (entry == nullptr) return Outcome::Error(-1, "no value given for parameter " + label);
    std::string error;
    auto value = DecodeParam(entry->type_code, entry->value, &error);
    if (!value) return Outcome::Error(-1, "parameter " + label + ": " + error);
    bound->Add(*value, &entry->value);
  }
  return {};
}

bool PgBackend::Send(const PgStatement& statement, const Bound& bound) {
  std::vector<const char*> values;
  std::vector<int> lengths;
  for (std::size_t k = 0; k < bound.texts.size(); ++k) {
    values.push_back(bound.nulls[k] ? nullptr : bound.texts[k].c_str());
    lengths.push_back(static_cast<int>(bound.texts[k].size()));
  }
  return PQsendQueryParams(conn_, statement.text.c_str(), static_cast<int>(values.size()),
                           bound.types.data(), values.data(), lengths.data(),
                           bound.formats.data(), 0) == 1;
}

template <typename Body>
Outcome PgBackend::Guarded(Body body) {
  if (Outcome o = Ready(); !o.ok()) return o;
  bool in_transaction = InTransaction();
  if (!in_transaction) return Failed(body(), false);
  if (Outcome o = Command("SAVEPOINT orv_request"); !o.ok()) return Failed(o, true);
  Outcome result = body();
  if (result.ok()) result = Command("RELEASE SAVEPOINT orv_request");
  if (!result.ok() && PQstatus(conn_) == CONNECTION_OK) {
    Command("ROLLBACK TO SAVEPOINT orv_request");
    Command("RELEASE SAVEPOINT orv_request");
  }
  return Failed(result, true);
}

template <typename Body>
Outcome PgBackend::Atomic(Body body) {
  bool own = !InTransaction();
  if (own) {
    if (Outcome o = Command("BEGIN"); !o.ok()) return o;
  }
  Outcome result = body();
  if (own && result.ok()) result = Command("COMMIT");
  if (own && !result.ok() && PQstatus(conn_) == CONNECTION_OK) Command("ROLLBACK");
  return result;
}

Outcome PgBackend::ExecOne(const PgStatement& statement, const std::vector<ParamEntry>& params,
                           std::int64_t* changed) {
  Bound bound;
  if (Outcome o = Bind(statement, params, &bound); !o.ok()) return o;
  return ExecBound(statement, bound, changed);
}

Outcome PgBackend::ExecBound(const PgStatement& statement, const Bound& bound,
                             std::int64_t* changed) {
  RunningMark running(&running_);
  if (!Send(statement, bound)) return ConnectionError();
  // Rows a statement returns are read one at a time and dropped, so even a
  // large SELECT sent as EXEC costs no memory.
  PQsetSingleRowMode(conn_);
  Outcome outcome;
  // Every result is read, so the connection is ready for the next request.
  while (Result r{PQgetResult(conn_)}) {
    ExecStatusType status = PQresultStatus(r.get());
    if (status == PGRES_SINGLE_TUPLE) continue;
    if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK) {
      if (outcome.ok() && ChangesRows(r.get())) *changed += std::atoll(PQcmdTuples(r.get()));
    } else if (status == PGRES_COPY_IN || status == PGRES_COPY_OUT) {
      outcome = RefuseCopy(status == PGRES_COPY_IN);
    } else if (outcome.ok()) {
      outcome = ResultError(r.get());
    }
  }
  if (outcome.ok() && PQstatus(conn_) == CONNECTION_BAD) return ConnectionError();
  return outcome;
}

Outcome PgBackend::Exec(const std::string& sql, const std::vector<ParamEntry>& params,
                        std::int64_t* changed) {
  *changed = 0;
  std::vector<PgStatement> statements = PgStatements(sql);
  if (statements.empty()) return Outcome::Error(-1, "no SQL statement to run");
  return Guarded([&]() -> Outcome {
    if (statements.size() == 1) return ExecOne(statements[0], params, changed);
    // Several statements: all or none (inside a user transaction the
    // request savepoint already makes it so).
    Outcome result = Atomic([&] {
      Outcome r;
      for (const PgStatement& statement : statements) {
        if (r = ExecOne(statement, params, changed); !r.ok()) break;
      }
      return r;
    });
    if (!result.ok()) *changed = 0;
    return result;
  });
}

Outcome PgBackend::Open(const std::string& sql, const std::vector<ParamEntry>& params,
                        RowWindow window, OpenReply* reply) {
  std::vector<PgStatement> statements = PgStatements(sql);
  if (statements.empty()) return Outcome::Error(-1, "no SQL statement to run");
  if (statements.size() > 1) {
    return Outcome::Error(-1, "OPEN runs one statement; the text holds more than one");
  }
  Bound bound;
  if (Outcome o = Bind(statements[0], params, &bound); !o.ok()) return o;
  return Guarded([&]() -> Outcome {
    // A table dataset's select ends in ROWID: PostgreSQL's row address
    // stands in for it, named ROWID.
    PgStatement& statement = statements[0];
    std::size_t begin = 0, end = 0;
    std::string table, address;
    bool addressed = SelectsRowAddress(sql) &&
                     PgLastSelectItem(statement.text, &begin, &end, &table);
    if (addressed) {
      if (Outcome o = RowAddress(table, &address); !o.ok()) return o;
      statement.text.replace(begin, end - begin, address + " AS \"ROWID\"");
    }
    if (window.count >= 0 && PgReadsOnly(statement.text)) {
      return FetchWindow(statement, bound, window, addressed, reply);
    }
    return Fetch(statement, bound, window, addressed, reply);
  });
}

Outcome PgBackend::RowAddress(const std::string& table, std::string* expression) {
  // The primary key's columns in key order; none: the row's ctid.
  const char* sql =
      "SELECT quote_ident(a.attname) FROM pg_index i CROSS JOIN LATERAL "
      "unnest(i.indkey) WITH ORDINALITY AS k(attnum, n) JOIN pg_attribute a "
      "ON a.attrelid = i.indrelid AND a.attnum = k.attnum "
      "WHERE i.indrelid = to_regclass($1) AND i.indisprimary ORDER BY k.n";
  const char* values[] = {table.c_str()};
  Result r(PQexecParams(conn_, sql, 1, nullptr, values, nullptr, nullptr, 0));
  if (!r || PQresultStatus(r.get()) != PGRES_TUPLES_OK) return ResultError(r.get());
  int keys = PQntuples(r.get());
  if (keys == 0) {
    // A view has neither: its rows have no address, and posted changes find
    // them by their values.
    Result kind(PQexecParams(conn_, "SELECT relkind FROM pg_class WHERE oid = to_regclass($1)", 1,
                             nullptr, values, nullptr, nullptr, 0));
    if (!kind || PQresultStatus(kind.get()) != PGRES_TUPLES_OK) return ResultError(kind.get());
    const bool view = PQntuples(kind.get()) == 1 && PQgetvalue(kind.get(), 0, 0)[0] == 'v';
    *expression = view ? "NULL::text" : "ctid";
  } else if (keys == 1) {
    *expression = PQgetvalue(r.get(), 0, 0);
  } else {
    *expression = "row(";
    for (int k = 0; k < keys; ++k) *expression += (k ? ", " : "") + std::string(PQgetvalue(r.get(), k, 0));
    *expression += ")";
  }
  return {};
}

Outcome PgBackend::FetchWindow(const PgStatement& statement, const Bound& bound,
                               RowWindow window, bool addressed, OpenReply* reply) {
  // Through a cursor PostgreSQL computes the rows up to the window's end and
  // no more, as SQLite steps no further; a cursor lives in a transaction.
  return Atomic([&] {
    PgStatement declare{"DECLARE orv_window NO SCROLL CURSOR FOR " + statement.text,
                        statement.slots};
    std::int64_t changed = 0;
    Outcome result = ExecBound(declare, bound, &changed);
    // No rows wanted: the cursor stays before the first row, where FETCH 0
    // gives none (elsewhere it gives the current row again).
    std::int64_t skip = window.count == 0 ? 0 : std::max<std::int64_t>(window.first, 1) - 1;
    if (result.ok() && skip > 0) {
      result = Command(("MOVE FORWARD " + std::to_string(skip) + " IN orv_window").c_str());
    }
    if (result.ok()) {
      PgStatement fetch{"FETCH FORWARD " + std::to_string(window.count) + " FROM orv_window",
                        {}};
      result = Fetch(fetch, Bound{}, RowWindow{}, addressed, reply);
    }
    if (result.ok()) result = Command("CLOSE orv_window");
    return result;
  });
}

Outcome PgBackend::Fetch(const PgStatement& statement, const Bound& bound, RowWindow window,
                         bool addressed, OpenReply* reply) {
  RunningMark running(&running_);
  if (!Send(statement, bound)) return ConnectionError();
  PQsetSingleRowMode(conn_);
  std::optional<PgRows> rows;
  Outcome failure;
  bool streaming = false;
  std::vector<ColumnOut> described;  // once streaming: what the client was told
  std::int64_t row = 0, taken = 0;
  const std::int64_t first = std::max<std::int64_t>(window.first, 1);
  std::string wire;
  auto fail = [&](Outcome o) {
    if (failure.ok()) failure = std::move(o);
  };
  // Every result is read, also after a failure or past the window, so the
  // connection is ready for the next request.
  while (Result r{PQgetResult(conn_)}) {
    ExecStatusType status = PQresultStatus(r.get());
    if (status == PGRES_COMMAND_OK && !rows) {
      rows.emplace(std::vector<PgColumn>{});
      continue;
    }
    if (status != PGRES_SINGLE_TUPLE && status != PGRES_TUPLES_OK) {
      if (status == PGRES_COPY_IN || status == PGRES_COPY_OUT) {
        fail(RefuseCopy(status == PGRES_COPY_IN));
      } else {
        fail(ResultError(r.get()));
      }
      continue;
    }
    if (!rows) {
      std::vector<PgColumn> columns;
      for (int c = 0; c < PQnfields(r.get()); ++c) {
        columns.push_back({PQfname(r.get(), c), PgType(PQftype(r.get(), c), PQfmod(r.get(), c))});
      }
      if (addressed && !columns.empty()) {
        // Sent as text; an integer key or a ctid has at most 20 characters.
        unsigned oid = PQftype(r.get(), PQnfields(r.get()) - 1);
        bool bounded = oid == 20 || oid == 21 || oid == 23 || oid == kTidOid;
        columns.back().type = {kStVarchar, 20, bounded ? std::size_t{20} : 0,
                               PgColumnType::Form::kRaw};
      }
      rows.emplace(std::move(columns));
    }
    const auto& columns = rows->columns();
    for (int t = 0; t < PQntuples(r.get()) && failure.ok(); ++t) {
      if (++row < first || (window.count >= 0 && taken >= window.count)) continue;
      ++taken;
      for (std::size_t c = 0; c < columns.size(); ++c) {
        int ci = static_cast<int>(c);
        wire.clear();
        if (!PQgetisnull(r.get(), t, ci)) {
          AppendPgValue(columns[c].type.form,
                        std::string_view(PQgetvalue(r.get(), t, ci),
                                         static_cast<std::size_t>(PQgetlength(r.get(), t, ci))),
                        &wire);
        }
        if (!streaming) {
          rows->Add(wire);
        } else if (wire.size() > described[c].length && !columns[c].type.blob()) {
          // A value the type's bound did not foresee (a date past year 9999
          // goes out as PostgreSQL prints it) would shift the client's row.
          fail(Outcome::Error(-1, "a value of column " + described[c].name + " is longer than " +
                                      std::to_string(described[c].length) + " bytes"));
          CancelRunning();
          break;
        } else {
          reply->Field(wire);
        }
      }
      if (streaming || rows->HeldBytes() < kHoldBytes) continue;
      if (rows->Streamable()) {
        described = rows->Describe(false);
        reply->Begin(described);
        rows->Drain(reply);
        streaming = true;
      } else if (rows->HeldBytes() > kMaxResultBytes) {
        fail(Outcome::Error(-1, "result is larger than " + std::to_string(kMaxResultBytes >> 20) +
                                    " MiB; fetch it in parts with OPENPART"));
        CancelRunning();
      }
    }
  }
  if (failure.ok() && PQstatus(conn_) == CONNECTION_BAD) failure = ConnectionError();
  if (!failure.ok()) return failure;
  if (!rows) rows.emplace(std::vector<PgColumn>{});
  if (!streaming) {
    reply->Begin(rows->Describe(true));
    rows->Drain(reply);
  }
  reply->End();
  return {};
}

Outcome PgBackend::ProcParams(const std::string& name, std::vector<ProcParam>* params) {
  return Guarded([&]() -> Outcome {
    PgProc proc;
    if (Outcome o = FindProcOrFail(name, &proc); !o.ok()) return o;
    *params = std::move(proc.params);
    return {};
  });
}

Outcome PgBackend::Call(const ProcCall& call, const std::vector<ParamEntry>& params,
                        OpenReply* rows, std::vector<ReturnedParam>* returned) {
  return Guarded([&]() -> Outcome {
    PgProc proc;
    if (Outcome o = FindProcOrFail(call.procedure, &proc); !o.ok()) return o;
    return CallFound(proc, call, params, rows, returned);
  });
}

Outcome PgBackend::Catalogue(const CatalogueQuery& query, OpenReply* reply) {
  return Guarded([&] { return ListCatalogue(query, reply); });
}

Outcome PgBackend::ExecGenerated(const GeneratedStatement& statement, std::int64_t* changed) {
  *changed = 0;
  return Guarded([&] {
    return Atomic([&] { return ApplyGeneratedRows(statement, changed); });
  });
}

}  // namespace orv::server
