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
// Each statement, and each backslash command that reaches the server,
// runs under the --statement-timeout timer (Guard).
//
// Owns the connection component, the handler, the timer and the output.
// Used by the main thread; the handler alone may be called from a reader
// thread.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "host/forms.h"
#include "rdb/orv_rdb.h"
#include "tools/options.h"
#include "tools/output.h"
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

  // Runs `body` as Run runs a statement: under the timer, with its
  // exceptions and the message boxes shown meanwhile reported as failures
  // after the output it made. False when `body` returned false or anything
  // failed.
  bool Guard(const std::function<bool()>& body);
  // The texts of the message boxes shown since the last call.
  std::vector<std::string> TakeMessages() { return messages_->Take(); }
  // Writes the texts of failures to standard error, after the output
  // before them; true when there were none.
  bool Report(std::vector<std::string> errors);

  TOrvRDB& Rdb() { return rdb_; }
  Output& Out() { return output_; }
  Progress& RowProgress() { return progress_; }
  const Options& Settings() const { return options_; }
  // "\timing": a timing line after each statement.
  bool Timing() const { return timing_; }
  void SetTiming(bool value) { timing_ = value; }

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

  const Options& options_;
  TOrvRDB rdb_;
  std::shared_ptr<Messages> messages_;
  TMessageBoxHandler previous_handler_;
  Progress progress_;
  Output output_;
  bool timing_ = false;
  StatementTimer timer_;
};

}  // namespace orv::orvsql
