// Backend is the database behind the server: one object per client
// connection, holding that connection's own database session and its
// transaction state. The session layer speaks only to this interface, so
// another database can stand behind the same protocol.
//
// All members but Interrupt() are called by the connection's thread;
// Interrupt() may be called from any thread while the object lives.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "server/catalogue.h"
#include "server/open_reply.h"
#include "server/proc_call.h"
#include "server/request_parser.h"

namespace orv::server {

struct GeneratedStatement;

// Result of a backend call: ok, or a negative code and the database's own
// message.
struct Outcome {
  int code = 0;
  std::string message;
  bool ok() const { return code >= 0; }
  static Outcome Error(int code, std::string message) {
    return {code < 0 ? code : -1, std::move(message)};
  }
};

// Rows first .. first + count - 1 of a result, counting from 1; count < 0
// means every row from first on.
struct RowWindow {
  std::int64_t first = 1;
  std::int64_t count = -1;
};

class Backend {
 public:
  virtual ~Backend() = default;

  virtual Outcome Begin() = 0;
  virtual Outcome Commit() = 0;
  virtual Outcome Rollback() = 0;
  virtual bool InTransaction() = 0;

  // Runs one statement that may return rows and writes the reply to *reply.
  // A failure returned before reply->started() becomes the result line; one
  // returned after it means the reply is broken.
  virtual Outcome Open(const std::string& sql, const std::vector<ParamEntry>& params,
                       RowWindow window, OpenReply* reply) = 0;
  // Runs every statement of sql in one transaction; *changed receives the
  // number of rows they changed.
  virtual Outcome Exec(const std::string& sql, const std::vector<ParamEntry>& params,
                       std::int64_t* changed) = 0;

  // Carries out a statement that a table dataset generated for a posted
  // change, by the rules of generated_statement.h, all or nothing (inside
  // the user's transaction, as a part of it that is undone on failure);
  // *changed receives the rows changed.
  virtual Outcome ExecGenerated(const GeneratedStatement& statement, std::int64_t* changed) = 0;

  // PARAM: the parameters of procedure `name`, in the order it takes them.
  virtual Outcome ProcParams(const std::string& name, std::vector<ProcParam>* params) = 0;
  // PROCEXEC (rows null) or PROCOPEN: runs the call all or nothing (inside
  // the user's transaction, as a part of it that is undone on failure).
  // PROCOPEN's rows go to *rows as an open's do; *returned receives the
  // values of the OUT, INOUT and RESULT parameters.
  virtual Outcome Call(const ProcCall& call, const std::vector<ParamEntry>& params,
                       OpenReply* rows, std::vector<ReturnedParam>* returned) = 0;
  // Answers a catalogue query from the database's own catalogue, as an open.
  virtual Outcome Catalogue(const CatalogueQuery& query, OpenReply* reply) = 0;

  // Makes a running statement stop soon with an error.
  virtual void Interrupt() = 0;
};

}  // namespace orv::server
