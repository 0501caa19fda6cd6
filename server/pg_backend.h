// PgBackend runs requests on one PostgreSQL connection of its own (libpq),
// opened with the client connection and closed with it.
//
// Sessions: client_encoding UTF8, DateStyle ISO and hex bytea output, so
// values convert to the wire forms of pg_types.h; TCP keepalives, so a
// PostgreSQL host that vanishes fails the request in about a minute instead
// of leaving it waiting. A connection found broken at the start of a request
// is opened again; when it broke inside a user transaction, every request
// but ROLLBACK (and COMMIT, which fails) says so until the client ends the
// transaction, since its changes are gone.
//
// Requests: placeholders are rewritten to $n (pg_sql.h) and values bound as
// text of unknown type, so PostgreSQL infers each from its use (bytea goes as
// binary). Inside a user transaction every request runs under a savepoint,
// so a failed one undoes only itself and the transaction goes on, as on
// SQLite (PostgreSQL would otherwise refuse the rest of the transaction).
// A several-statement EXEC runs in a transaction (or that savepoint) of its
// own: all or nothing. OPEN fetches in single-row mode; see pg_rows.h for
// when rows stream and when they are held.
//
// Stored procedures are PostgreSQL's own procedures and functions
// (pg_procs.cc): PARAM lists their arguments, PROCEXEC runs them with CALL
// or SELECT, PROCOPEN reads the rows of a set-returning function; the
// catalogue lists come from pg_catalog, with schemas as owners.
//
// Errors pass through as PostgreSQL words them, with severity and SQLSTATE:
// "ERROR:  42P01: relation \"x\" does not exist", plus DETAIL and HINT lines.
//
// Owns the PGconn and its cancel handle. Used by one connection thread;
// Interrupt() may be called from any thread.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <string>

#include "server/backend.h"
#include "server/pg_sql.h"
#include "server/value_text.h"

struct pg_conn;
struct pg_cancel;
struct pg_result;

namespace orv::server {

struct PgResultCloser {
  void operator()(pg_result* result) const;
};
using PgResultPtr = std::unique_ptr<pg_result, PgResultCloser>;

class PgBackend : public Backend {
 public:
  // Largest result held in memory when its widths are not known up front.
  static constexpr std::size_t kMaxResultBytes = std::size_t{1} << 30;
  // Rows held back before a result whose widths are known starts to stream;
  // smaller results are described by their values, like SQLite's.
  static constexpr std::size_t kHoldBytes = std::size_t{1} << 20;

  // Connects with a libpq conninfo string or URI (empty: the PG* environment
  // variables alone). On failure returns nothing and sets *error.
  static std::unique_ptr<PgBackend> Connect(const std::string& conninfo, std::string* error);

  ~PgBackend() override;
  PgBackend(const PgBackend&) = delete;
  PgBackend& operator=(const PgBackend&) = delete;

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
  // Marks a statement as running from its sending until its last result.
  class RunningMark {
   public:
    explicit RunningMark(std::atomic<bool>* flag) : flag_(flag) { flag_->store(true); }
    ~RunningMark() { flag_->store(false); }
    RunningMark(const RunningMark&) = delete;
    RunningMark& operator=(const RunningMark&) = delete;

   private:
    std::atomic<bool>* flag_;
  };
  // A procedure or function found by name (pg_procs.cc).
  struct PgProc {
    std::string qualified;          // schema.name, quoted where PostgreSQL needs it
    bool procedure = false;         // CALL; otherwise a function
    bool returns_set = false;
    std::vector<ProcParam> params;  // as PARAM lists them
    std::vector<unsigned> types;    // each parameter's type
    std::vector<bool> variadic;
  };
  using Rows = std::vector<std::vector<std::string>>;
  // The rows of a small query, all values as text (NULL as empty).
  Outcome Query(const char* sql, const std::vector<std::string>& values, Rows* rows);
  // *found false when no procedure or function has that name.
  Outcome FindProc(const std::string& name, PgProc* proc, bool* found);
  Outcome FindProcOrFail(const std::string& name, PgProc* proc);
  Outcome CallFound(const PgProc& proc, const ProcCall& call,
                    const std::vector<ParamEntry>& params, OpenReply* rows,
                    std::vector<ReturnedParam>* returned);
  Outcome ListCatalogue(const CatalogueQuery& query, OpenReply* reply);
  // Parameter values of one statement, for libpq.
  struct Bound {
    std::vector<std::string> texts;
    std::vector<char> nulls;
    std::vector<int> formats;
    std::vector<unsigned> types;
    // Appends a value; `written` is the client's own text of it, if any.
    void Add(const ParamValue& value, const std::string* written);
  };
  class GeneratedRows;
  // ApplyGenerated on this connection's rows (pg_generated.cc).
  Outcome ApplyGeneratedRows(const GeneratedStatement& statement, std::int64_t* changed);
  explicit PgBackend(pg_conn* conn);

  Outcome Setup();
  void RenewCancel();
  // Asks PostgreSQL to cancel the statement running now, if any.
  void CancelRunning();
  // Reconnects a broken connection; fails while a lost transaction is open.
  Outcome Ready();
  Outcome ConnectionError() const;
  Outcome ResultError(const pg_result* result) const;
  Outcome Command(const char* sql);
  // COPY has no place in the protocol: a COPY FROM STDIN is ended with an
  // error, the rows of a COPY TO STDOUT are read and dropped, so the
  // connection stays in step.
  Outcome RefuseCopy(bool copy_in);
  // Notes a broken connection inside a user transaction; passes outcome on.
  Outcome Failed(Outcome outcome, bool in_transaction);
  Outcome Bind(const PgStatement& statement, const std::vector<ParamEntry>& params,
               Bound* bound) const;
  bool Send(const PgStatement& statement, const Bound& bound);
  Outcome ExecOne(const PgStatement& statement, const std::vector<ParamEntry>& params,
                  std::int64_t* changed);
  Outcome ExecBound(const PgStatement& statement, const Bound& bound, std::int64_t* changed);
  // `addressed`: the last column is the row address, sent as text.
  Outcome Fetch(const PgStatement& statement, const Bound& bound, RowWindow window,
                bool addressed, OpenReply* reply);
  // OPENPART of a query that only reads: through a cursor.
  Outcome FetchWindow(const PgStatement& statement, const Bound& bound, RowWindow window,
                      bool addressed, OpenReply* reply);
  // The row address of `table`'s rows as an SQL expression: its primary
  // key (a row of the key's columns when there are several), which stays
  // valid when the row is updated, or ctid for a table without one.
  Outcome RowAddress(const std::string& table, std::string* expression);
  // Runs body under the request savepoint inside a user transaction.
  template <typename Body>
  Outcome Guarded(Body body);
  // Runs body in a transaction of its own outside a user transaction; inside
  // one, Guarded's savepoint already makes a request all or nothing.
  template <typename Body>
  Outcome Atomic(Body body);

  pg_conn* conn_;
  bool lost_transaction_ = false;  // the connection broke inside a user transaction
  std::atomic<bool> interrupted_{false};
  std::atomic<bool> running_{false};  // a statement's results are being read
  std::mutex cancel_mu_;
  pg_cancel* cancel_ = nullptr;  // protected by cancel_mu_
};

}  // namespace orv::server
