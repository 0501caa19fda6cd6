// Query execution: sending a request, reading its result line, and handing
// the rest of a result set to the background reader.
//
// The hand-over between the application's thread and the reader runs on
// three members: ResultState (0 column descriptions pending, 1 rows
// arriving, 2 complete), StopReading (set by a close, read by the reader
// between frames) and the auto-reset ResultEvent. Every wait on the event is
// without time limit and re-tests its condition after waking, so a signal
// meant for another wait does no harm; the reader signals after the column
// descriptions, after a row the application waits for, and as it ends.
//
// Inside a user transaction every request shares the connection's default
// socket and the result is read on the calling thread. A request that
// failed after it began to send, other than with a clean negative result
// line, leaves that socket out of step with the server; it is then dropped
// (ending the server's transaction) rather than reused, so no later request
// can read a stale frame as its answer.
#include <cassert>
#include <exception>
#include <system_error>

#include "dataset/orv_dataset.h"
#include "dataset/request_text.h"
#include "dataset/result_thread.h"
#include "host/forms.h"
#include "host/sysutils.h"
#include "rdb/frame.h"
#include "resultset/reply_parser.h"

namespace orv {
namespace {

// True for a well-formed result line with a negative code: the server
// answered in full and the connection is still in step.
bool IsFailureLine(const std::string& reply) {
  const std::string line = Trim(reply);
  const size_t semicolon = line.find(';');
  if (semicolon == std::string::npos) return false;
  int code = 0;
  try {
    code = StrToInt(std::string_view(line).substr(0, semicolon));
  } catch (const EConvertError&) {
    return false;
  }
  return code < 0;
}

}  // namespace

void TOrvDataSet::Open() {
  query_mode_ = TZozudQueryMode::All;
  sql_kind_.store(skOpen);
  hide_rowid_ = false;
  SetActive(true);
}

void TOrvDataSet::ExecSQL() {
  sql_kind_.store(skExec);
  hide_rowid_ = false;
  rows_affected_ = -1;
  SetActive(true);
}

void TOrvDataSet::OpenPart(int32_t start_row, int32_t row_count) {
  query_mode_ = TZozudQueryMode::Page;
  sql_kind_.store(skOpen);
  query_start_row_ = start_row;
  query_row_ = row_count;
  SetActive(true);
}

void TOrvDataSet::SetActive(bool value) {
  // While a form loads only the wish is kept, connection or not: Loaded
  // opens once, when every property and reference is in place. Opening
  // here as well would start a second request on the first one's socket.
  if (ComponentState() & csLoading) {
    TDataSet::SetActive(value);
    return;
  }
  if (Active() == value) return;
  if (value) {
    if (database_ == nullptr) {
      MessageBox(sNoDatabase, "Error", MB_ICONERROR | MB_TASKMODAL);
      return;
    }
    bool ok = false;
    try {
      ok = ExecuteQuery(true, std::string(), nullptr, &TOrvDataSet::GetSQL,
                        &TOrvDataSet::GetSQLResults);
    } catch (const std::exception& e) {
      StopReader();
      result_state_.store(kResultComplete);
      MessageBox(e.what(), "Error", MB_ICONERROR | MB_TASKMODAL);
      ok = false;
    }
    const TSQLKind kind = sql_kind_.load();
    if (!ok || (kind != skOpen && kind != skOpenProc)) return;
    stream_->Open();
    try {
      TDataSet::SetActive(true);
    } catch (...) {
      StopReader();
      ReleaseConnection();
      throw;
    }
    return;
  }
  stop_reading_.store(true);
  StopReader();
  ReleaseConnection();
  stream_->ClearFieldInf();
  change_log_.Reset(0);
  // Whatever kind was asked for last, an open cursor is closed.
  if (Active()) TDataSet::SetActive(false);
}

bool TOrvDataSet::ExecuteQuery(bool read_result, const std::string& pattern, TStrings* list,
                               TGetQueryProc get_query, TGetResultsProc get_results) {
  if (database_ == nullptr) return false;
  TCursorScope cursor(crSQLWait);
  bool result = false;
  bool out_of_step = false;
  if (database_->InTransaction()) connection_.store(database_->Connect());
  try {
    if (!database_->Connected(connection_.load())) {
      connection_.store(database_->Connect());
      // A request that cannot reach the server must not pass for one that
      // ran: the caller reports it.
      if (connection_.load() < 0) throw EOrvDataSetException(sNoConnection);
      if (!database_->WaitForData(connection_.load(), database_->TimeOut(), wtWrite)) {
        database_->Disconnect(connection_.load());
        connection_.store(-1);
        throw EOrvDataSetException(sNotReady);
      }
    }
    out_of_step = true;
    if (!(this->*get_query)(pattern)) throw EOrvDataSetException(sSendError);
    int count = 0;
    if (read_result) {
      const std::string line = database_->Receive(connection_.load());
      if (IsFailureLine(line)) out_of_step = false;
      count = GetResult(line);
    }
    if (!(this->*get_results)(count, pattern, list)) throw EOrvDataSetException(sReceiveError);
    out_of_step = false;
    result = true;
  } catch (...) {
    if (database_->InTransaction()) {
      if (out_of_step) DropOutOfStep();
    } else {
      ReleaseConnection();
    }
    throw;
  }
  return result;
}

bool TOrvDataSet::GetSQL(const std::string&) {
  const TServerType server = database_->ServerType();
  const TDatabaseType db = database_->DatabaseType();
  const TSQLKind kind = sql_kind_.load();
  const int count = CountSentParams(params_, server, db);
  const std::string message = BuildCommandMessage(kind, query_mode_, query_start_row_,
                                                  query_row_, count, StatementText());
  if (database_->Send(connection_.load(), message) !=
      static_cast<int>(FramedSize(message.size())))
    return false;
  if (count > 0) {
    const std::string block = BuildParamBlock(params_, kind, server, db);
    if (!block.empty() && database_->Send(connection_.load(), block) <
                              static_cast<int>(FramedSize(block.size())))
      return false;
  }
  return true;
}

std::string TOrvDataSet::StatementText() const {
  const TSQLKind kind = sql_kind_.load();
  if (kind == skOpenProc || kind == skExecProc) return command_text_;
  if (database_ != nullptr && database_->DatabaseType() == dtSybase &&
      database_->ServerType() == svUNIX)
    return command_text_;
  return sql_.Text();
}

bool TOrvDataSet::GetSQLResults(int col_count, const std::string&, TStrings*) {
  const TSQLKind kind = sql_kind_.load();
  if (kind == skOpen || kind == skOpenProc) {
    StopReader();
    stream_->ClearFieldInf();
    change_log_.Reset(0);
    result_event_.ResetEvent();
    result_incomplete_.store(false);
    stream_->SetCols(col_count);
    visible_columns_ = hide_rowid_ ? col_count - 1 : col_count;
    stream_->SetSocketHandle(connection_.load());
    stop_reading_.store(false);
    if (database_->InTransaction()) {
      if (!stream_->SetFieldInf(true)) {
        // The rows read so far stay; the connection cannot be trusted.
        result_incomplete_.store(true);
        DropOutOfStep();
      }
      result_state_.store(kResultComplete);
    } else {
      result_state_.store(kResultColumnsPending);
      auto reader = std::make_unique<TDataResultThread>(this, stream_.get());
      try {
        reader->Start();
      } catch (const std::system_error&) {
        // No reader will ever signal: fail the open instead of waiting.
        result_state_.store(kResultComplete);
        throw EOrvDataSetException(sNoReader);
      }
      result_thread_ = std::move(reader);
      while (result_state_.load() == kResultColumnsPending) {
        if (result_event_.WaitFor(INFINITE) != wrSignaled) break;
      }
    }
    // Descriptions that broke off leave no layout the rows could be read
    // by: the open fails (the reader has shown why) rather than show a
    // result with columns missing.
    if (stream_->FieldCount() < col_count) return false;
  } else {
    result_state_.store(kResultComplete);
  }
  if (kind == skExec) rows_affected_ = col_count;
  if (kind == skOpenProc || kind == skExecProc) {
    WaitTerminate();
    // Rows that broke off leave the rest of the reply unread on a
    // connection out of step: no returned parameters can be trusted.
    if (result_incomplete_.load()) return false;
    int count = col_count;
    if (kind == skOpenProc) count = GetResult(database_->Receive(connection_.load()));
    SetParamData(count);
  }
  if (kind != skOpen && !database_->InTransaction()) ReleaseConnection();
  return true;
}

void TOrvDataSet::ReceiveReply(const std::function<bool(std::string_view frame)>& feed) {
  for (;;) {
    const std::string frame = database_->Receive(connection_.load());
    RequireReplyFrame(frame);
    if (feed(frame)) return;
  }
}

void TOrvDataSet::PrepareOwnRequest() {
  WaitTerminate();
  if (!database_->InTransaction()) ReleaseConnection();
}

bool TOrvDataSet::ReceiveRows(int col_count, TReplySink& sink) {
  TReplyParser parser(col_count, false);
  TParseResult parsed = parser.Parse(sink);
  if (parsed == prNeedMore) {
    ReceiveReply([&](std::string_view frame) {
      parser.Append(frame);
      parsed = parser.Parse(sink);
      return parsed != prNeedMore;
    });
  }
  if (parsed == prError) throw EOrvDataSetException(parser.ErrorMessage());
  return parsed == prComplete;
}

int TOrvDataSet::GetResult(const std::string& reply) {
  const std::string line = Trim(reply);
  const size_t semicolon = line.find(';');
  if (semicolon == std::string::npos) throw EOrvDataSetException(sResultFormat);
  const int code = StrToInt(std::string_view(line).substr(0, semicolon));
  if (code < 0) throw EOrvDataSetException(line.substr(semicolon + 1));
  return code;
}

void TOrvDataSet::WaitTerminate() {
  if (result_state_.load() == kResultComplete) return;
  TCursorScope cursor(crSQLWait);
  while (result_state_.load() != kResultComplete) {
    if (result_event_.WaitFor(INFINITE) != wrSignaled) break;
  }
}

}  // namespace orv
