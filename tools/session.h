// A session of orvsql: one TOrvRDB set from the command line, and the
// statements run through a TOrvQuery each, their results written to
// standard output as they arrive.
//
// Failures reach the session two ways: as exceptions from the components,
// and as message boxes the package shows (an open that failed, a reply that
// broke off while its rows were arriving, possibly on the reader thread).
// The session installs a message-box handler for its lifetime that collects
// those texts; any message shown while a statement runs or while its rows
// arrive means that statement failed.
//
// The statements "begin", "commit" and "rollback" run the connection's own
// transaction commands; until the commit or rollback every statement runs
// inside that one server transaction.
//
// Each statement runs under the --statement-timeout timer.
//
// Owns the connection component, the handler and the timer. Used by the
// main thread; the handler alone may be called from a reader thread.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "host/forms.h"
#include "rdb/orv_rdb.h"
#include "tools/options.h"
#include "tools/progress.h"
#include "tools/script.h"
#include "tools/statement_timer.h"

namespace orv {
class TOrvQuery;
}

namespace orv::orvsql {

class Session {
 public:
  explicit Session(const Options& options);
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  // Opens and closes one connection; false with `error` set when the server
  // cannot be reached.
  bool Reachable(std::string& error);

  // The --param names that none of `statements` has.
  std::vector<std::string> UnusedParams(const std::vector<std::string>& statements);

  // Runs one statement and writes its result. False when it failed; the
  // error has then been written to standard error.
  bool Run(const std::string& sql);

 private:
  // Collects what the package shows in message boxes.
  class Messages {
   public:
    void Add(const std::string& text);
    std::vector<std::string> Take();

   private:
    std::mutex mu_;
    std::vector<std::string> texts_;  // protected by mu_
  };

  void ApplyParams(TOrvQuery& query);
  bool RunQuery(TOrvQuery& query);
  bool RunExec(TOrvQuery& query);
  // Raises what the connection raises.
  void RunTransactionCommand(TransactionCommand command);
  // Writes out `out_` and empties it.
  void Flush();
  // Writes the texts of failures to standard error; true when there were
  // none.
  bool Report(std::vector<std::string> errors);

  const Options& options_;
  TOrvRDB rdb_;
  std::shared_ptr<Messages> messages_;
  TMessageBoxHandler previous_handler_;
  Progress progress_;
  std::string out_;  // output not yet written
  StatementTimer timer_;
};

}  // namespace orv::orvsql
