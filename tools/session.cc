#include "tools/session.h"


#include <cstdio>
#include <utility>

#include "dataset/orv_query.h"
#include "host/sysutils.h"
#include "tools/row_printer.h"
#include "tools/script.h"
#include "tools/timing.h"

namespace orv::orvsql {

void Session::Messages::Add(const std::string& text) {
  std::lock_guard<std::mutex> lock(mu_);
  texts_.push_back(text);
}

std::vector<std::string> Session::Messages::Take() {
  std::lock_guard<std::mutex> lock(mu_);
  return std::exchange(texts_, {});
}

Session::Session(const Options& options)
    : options_(options),
      rdb_(nullptr),
      messages_(std::make_shared<Messages>()),
      progress_(Progress::Wanted(options.quiet)),
      output_(options.csv),
      timer_(options.statement_timeout_s) {
  rdb_.SetHost(options.host);
  rdb_.SetAddress(options.address);
  rdb_.SetPort(options.port);
  rdb_.SetService(options.service);
  rdb_.SetDatabase(options.database);
  rdb_.SetDBUserId(options.user);
  rdb_.SetDBPassword(options.password);
  rdb_.SetDatabaseType(options.sybase ? dtSybase : dtOracle);
  rdb_.SetServerType(options.nt_server ? svNTServer : svUNIX);
  rdb_.SetTimeOut(options.timeout_ms);
  std::shared_ptr<Messages> messages = messages_;
  previous_handler_ = SetMessageBoxHandler(
      [messages](const std::string& text, const std::string&, unsigned) {
        messages->Add(text);
        return IDOK;
      });
}

Session::~Session() { SetMessageBoxHandler(std::move(previous_handler_)); }

bool Session::Reachable(std::string& error) {
  try {
    int socket = rdb_.Connect();
    if (socket < 0) {
      error = "cannot connect to server";
      return false;
    }
    rdb_.Disconnect(socket);
    return true;
  } catch (const std::exception& e) {
    error = e.what();
    return false;
  }
}

std::vector<std::string> Session::UnusedParams(const std::vector<std::string>& statements) {
  std::vector<std::string> unused;
  for (const ParamSpec& spec : options_.params) {
    bool used = false;
    for (const std::string& sql : statements) {
      TParams params;
      TOrvDataSet::ParseSQL(sql, &params);
      used = used || params.FindParam(spec.name) != nullptr;
    }
    if (!used) unused.push_back(spec.name);
  }
  return unused;
}

void Session::ApplyParams(TOrvQuery& query) {
  TParams& params = *query.Params();
  for (int i = 0; i < params.Count(); ++i) {
    TParam& param = *params.Items(i);
    // The last --param of a name wins; a name may stand twice in a text.
    for (const ParamSpec& spec : options_.params)
      if (SameText(param.Name(), spec.name)) SetParam(param, spec);
  }
}

bool Session::Run(const std::string& sql) {
  return Guard([&] {
    if (TransactionCommand command = TransactionCommandOf(sql);
        command != TransactionCommand::kNone) {
      RunTransactionCommand(command);
      return true;
    }
    TOrvQuery query(nullptr);
    query.SetDatabase(&rdb_);
    query.SQL()->SetText(sql);
    ApplyParams(query);
    return IsQuery(sql) && !options_.exec ? RunQuery(query) : RunExec(query);
  });
}

bool Session::Guard(const std::function<bool()>& body) {
  messages_->Take();
  std::vector<std::string> errors;
  bool ok = false;
  timer_.Arm();
  try {
    ok = body();
  } catch (const std::exception& e) {
    errors.push_back(e.what());
  }
  timer_.Disarm();
  progress_.Finish();
  output_.Flush();
  for (std::string& text : messages_->Take()) errors.push_back(std::move(text));
  if (std::string failed = output_.TakeWriteError(); !failed.empty())
    errors.push_back(std::move(failed));
  return Report(std::move(errors)) && ok;
}

bool Session::RunQuery(TOrvQuery& query) {
  StatementClock clock;
  clock.Start();
  if (options_.paged) {
    query.OpenPart(options_.page_start, options_.page_count);
  } else {
    query.Open();
  }
  if (!query.Active()) {
    std::vector<std::string> errors = messages_->Take();
    if (errors.empty()) errors.push_back("the statement returned no result set");
    return Report(std::move(errors));
  }
  RowPrinter printer(query, output_);
  printer.Header();
  output_.Flush();

  progress_.Start();
  int64_t rows = 0;
  for (; !query.Eof(); query.Next()) {
    clock.FirstRow();
    printer.Row(++rows);
    progress_.Update(rows);
    output_.MaybeFlush();
  }
  progress_.Finish();
  query.Close();
  // A reply that broke off shows its message while the rows arrive.
  std::vector<std::string> errors = messages_->Take();
  if (!errors.empty()) return Report(std::move(errors));
  printer.Footer(rows);
  if (timing_) output_.Note(clock.Text(rows, true));
  return true;
}

void Session::RunTransactionCommand(TransactionCommand command) {
  const char* done = "";
  switch (command) {
    case TransactionCommand::kBegin:
      rdb_.StartTransaction();
      done = "transaction started";
      break;
    case TransactionCommand::kCommit:
      rdb_.Commit();
      done = "committed";
      break;
    case TransactionCommand::kRollback:
      rdb_.Rollback();
      done = "rolled back";
      break;
    case TransactionCommand::kNone:
      return;
  }
  output_.Status(done);
}

bool Session::RunExec(TOrvQuery& query) {
  StatementClock clock;
  clock.Start();
  query.ExecSQL();
  std::vector<std::string> errors = messages_->Take();
  if (errors.empty() && query.RowsAffected() < 0)
    errors.push_back("the statement did not complete");
  if (!errors.empty()) return Report(std::move(errors));
  // The statement may have made or dropped tables or procedures: the names
  // completion offers are asked for again.
  rdb_.TableNameCache().Clear();
  rdb_.ProcNameCache().Clear();
  const int rows = query.RowsAffected();
  output_.Status(std::to_string(rows) + (rows == 1 ? " row affected" : " rows affected"));
  if (timing_) output_.Note(clock.Text(rows, false));
  return true;
}

bool Session::Report(std::vector<std::string> errors) {
  if (errors.empty()) return true;
  output_.Flush();
  for (const std::string& text : errors) std::fprintf(stderr, "orvsql: %s\n", text.c_str());
  std::fflush(stderr);
  return false;
}

}  // namespace orv::orvsql
