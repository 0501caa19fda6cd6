// Cached updates: sending the change log to the server, or undoing it.
//
// CommitUpdates sends one EXEC per entry, in the order the changes were
// made, inside one transaction: "TRAN", the statements, "COMMIT". Each
// statement must change exactly one row; an UPDATE or DELETE that changes
// none met a row someone else changed or deleted meanwhile, and fails the
// batch like any error. On failure nothing of the batch may stay: the
// transaction is rolled back (whatever the rollback itself meets, even a
// server that died), the rows are put back as fetched, the host leaves its
// edit state, and the original failure is raised.
//
// Inside a transaction the application opened, the statements join it and
// it stays open; a failure rolls it back only when part of the batch was
// already applied, so that no half batch can be committed later.
//
// A failure the server answered cleanly (a negative result line, a wrong
// row count) leaves the connection in step: GetCachedSQL notes it and stops,
// and CommitUpdates raises it after sending ROLLBACK on that connection. A
// send or receive that breaks off raises at once; ExecuteQuery then drops
// the connection, which rolls the server's transaction back.
#include <algorithm>
#include <exception>
#include <mutex>

#include "dataset/orv_dataset.h"
#include "dataset/request_text.h"
#include "dataset/update_sql.h"
#include "rdb/frame.h"

namespace orv {

void TOrvDataSet::CommitUpdates() {
  if (change_log_.Empty()) return;
  bool own = false;
  commit_failure_.clear();
  commit_applied_ = 0;
  try {
    if (database_ == nullptr) throw EOrvDataSetException(sNoDatabase);
    own = !database_->InTransaction();
    if (own) database_->StartTransaction();
    ExecuteQuery(false, std::string(), nullptr, &TOrvDataSet::GetCachedSQL,
                 &TOrvDataSet::GetCachedResults);
    if (!commit_failure_.empty()) throw EOrvDataSetException(commit_failure_);
    if (own) database_->Commit();
  } catch (const std::exception& e) {
    const std::string message = e.what();
    if (database_ != nullptr && database_->InTransaction() && (own || commit_applied_ > 0)) {
      try {
        database_->Rollback();
      } catch (const std::exception&) {
        // The connection is gone, and the server's transaction with it.
      }
    }
    RecoverFailedCommit();
    throw EOrvDataSetException(message);
  }
  change_log_.Clear();
}

void TOrvDataSet::RecoverFailedCommit() {
  UndoPending();
  if (State() == dsEdit || State() == dsInsert) {
    Cancel();
  } else if (Active()) {
    Refresh();
  }
}

void TOrvDataSet::CancelUpdates() {
  if (change_log_.Empty()) return;
  // An edit not yet posted is dropped rather than posted by the refresh.
  if (State() == dsEdit || State() == dsInsert) Cancel();
  UndoPending();
  if (Active()) Refresh();
}

void TOrvDataSet::UndoPending() {
  std::vector<std::string> values;
  while (!change_log_.Empty()) {
    const TChangeLog::TEntry entry = change_log_.PopLast(&values);
    switch (entry.kind) {
      case TChangeKind::ckInsert:
        CancelInsertData(entry.row);
        break;
      case TChangeKind::ckUpdate: {
        std::lock_guard<TCriticalSection> hold(stream_->Lock());
        for (int32_t k = 0; k < stream_->Count(); ++k)
          static_cast<TCompactStrings*>(stream_->GetObject(k))->Put(entry.live, values[k]);
        break;
      }
      case TChangeKind::ckDelete:
        CancelDeleteData(entry.row, values);
        break;
    }
    change_log_.CheckInvariants(stream_->RowCount());
  }
}

void TOrvDataSet::CancelInsertData(int32_t row) {
  {
    std::lock_guard<TCriticalSection> hold(stream_->Lock());
    for (int32_t k = 0; k < stream_->Count(); ++k)
      static_cast<TCompactStrings*>(stream_->GetObject(k))->Delete(row);
    stream_->SetRowCount(stream_->RowCount() - 1);
  }
  change_log_.RowRemovedAt(row);
  stream_->Prior();
}

void TOrvDataSet::CancelDeleteData(int32_t row, const std::vector<std::string>& values) {
  {
    std::lock_guard<TCriticalSection> hold(stream_->Lock());
    row = std::min(row, stream_->RowCount());
    for (int32_t k = 0; k < stream_->Count(); ++k)
      static_cast<TCompactStrings*>(stream_->GetObject(k))->Insert(row, values[k]);
    stream_->SetRowCount(stream_->RowCount() + 1);
  }
  change_log_.RowInsertedAt(row);
  stream_->Next();
}

bool TOrvDataSet::GetCachedSQL(const std::string&) {
  const TServerType server = database_->ServerType();
  const TDatabaseType db = database_->DatabaseType();
  const int fields = static_cast<int>(layout_.size());
  // One field's value of a row of the stream or of the pending store.
  auto row_values = [&](TCompactStrings& store, int32_t row) {
    std::vector<std::string> values;
    std::lock_guard<TCriticalSection> hold(stream_->Lock());
    for (int f = 0; f < fields; ++f) values.push_back(GetFieldValue(store, f, row));
    return values;
  };
  for (int32_t j = 0; j < change_log_.Count(); ++j) {
    const TChangeLog::TEntry entry = change_log_.Entry(j);
    // An UPDATE sets the values as they are now and finds the row by the
    // values as fetched; INSERT and DELETE take the pending row.
    std::vector<std::string> values, before;
    if (entry.kind == TChangeKind::ckUpdate) {
      values = row_values(*stream_, entry.row);
      before = row_values(change_log_.Store(), j);
    } else {
      values = row_values(change_log_.Store(), j);
    }
    std::string text = ChangeStatementText(entry.kind, table_name_, layout_, db);
    if (server != svNTServer && db == dtSybase) text = ParseSQL(text, nullptr);
    const std::string message = BuildCommandMessage(
        skExec, TZozudQueryMode::All, 0, 0, ChangeParamCount(entry.kind, layout_, db), text);
    if (database_->Send(connection_.load(), message) !=
        static_cast<int>(FramedSize(message.size())))
      return false;
    if (fields > 0) {
      const std::string block = ChangeParamBlock(entry.kind, layout_, server, db, values, before);
      if (block.empty() || database_->Send(connection_.load(), block) <
                               static_cast<int>(FramedSize(block.size())))
        return false;
    }
    const std::string line = database_->Receive(connection_.load());
    int changed = 0;
    try {
      changed = GetResult(line);
    } catch (const std::exception& e) {
      commit_failure_ = e.what();
      return true;
    }
    if (changed > 1) {
      commit_failure_ = sMultipleRecords;
      return true;
    }
    if (changed == 0 && entry.kind != TChangeKind::ckInsert) {
      commit_failure_ = sRecordChanged;
      return true;
    }
    ++commit_applied_;
  }
  return true;
}

bool TOrvDataSet::GetCachedResults(int, const std::string&, TStrings*) { return true; }

}  // namespace orv
