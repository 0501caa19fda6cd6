// TOrvDataSet: the abstract dataset of the package.
//
// It binds one result set, read from the RDB server as text into a
// TOrvRDBStream, to the host dataset framework: it sends the statement
// (query execution), lets a background TDataResultThread fill the stream
// while the application already browses the first rows, lays out record
// buffers over the stream's fixed-width row texts, maps bookmarks to row
// numbers and converts single field values between slot texts and the
// framework's native values. Posted inserts, edits and deletes change the
// result stream at once and are recorded in the change log; cached updates
// send them to the server in one transaction, or undo them. Filtering at
// open, Locate and key search work on the rows received, never asking the
// server. TOrvQuery and TOrvTable derive from it.
//
// Owns: the result stream, the field layout, the change log, SQL,
// Params, the result event, the reader thread, the key buffer and the blob
// values its record buffers refer to. It does not own Database; the
// connection tells the dataset when it goes away (CloseForDatabase, then
// Notification).
//
// Threads: every public operation belongs to the application's thread. The
// reader thread reaches the dataset only through TOrvResultOwner (the
// connection handle, ResultState, StopReading and the frame receive), whose
// shared members are atomics. Closing or destroying the dataset stops the
// reader and joins it, so no reader outlives its dataset or its stream.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "change_log.h"
#include "dataset_types.h"
#include "../host/blobslot.h"
#include "../host/dataset.h"
#include "../host/filer.h"
#include "../host/params.h"
#include "../host/strings.h"
#include "../host/syncobjs.h"
#include "../rdb/orv_rdb.h"
#include "../resultset/compact_strings.h"
#include "../resultset/dataset_exception.h"
#include "../resultset/field_inf.h"
#include "../resultset/rdb_stream.h"
#include "../resultset/result_owner.h"

#pragma GCC visibility push(default)
namespace orv {

class TDataResultThread;
class TReplySink;

class TOrvDataSet : public TDataSet, public TOrvResultOwner, public IOrvRDBDataSet {
 public:
  explicit TOrvDataSet(TComponent* owner);
  ~TOrvDataSet() override;

  // Query execution (query_execution.cc). Open fetches the whole result,
  // OpenPart `row_count` rows from `start_row` on (the server counts the
  // first row as 1), ExecSQL runs a statement that returns no rows. Errors
  // go to the message box captioned "Error"; the dataset then stays closed.
  virtual void Open();
  void ExecSQL();
  void OpenPart(int32_t start_row, int32_t row_count);
  void SetActive(bool value) override;
  // Returns once the reader has finished, showing the SQL-wait cursor.
  void WaitTerminate() override;

  // Rows changed by the last ExecSQL; -1 when it did not run to its result.
  int RowsAffected() const { return rows_affected_; }
  // True when the reader of the last open ended with an error before the end
  // of the result: the rows that arrived stay readable, but moving past the
  // last of them, Last and RecordCount raise EOrvDataSetException.
  bool ResultIncomplete() const { return result_incomplete_.load(); }

  TOrvRDB* Database() const { return database_; }
  void SetDatabase(TOrvRDB* value);
  TStrings* SQL() { return &sql_; }
  const TStrings* SQL() const { return &sql_; }
  // Replaces the SQL lines; closes the dataset first when the text differs.
  void SetQuery(const TStrings* value);
  TParams* Params() { return &params_; }
  // Takes the values of the same-named parameters of `list`.
  void SetParamsList(const TParams& list) { params_.AssignValues(list); }
  int GetParamsCount() const { return params_.Count(); }
  TParam* ParamByName(std::string_view name) { return params_.ParamByName(name); }

  TZozudQueryMode ZozudQueryMode() const { return query_mode_; }
  void SetZozudQueryMode(TZozudQueryMode value) { query_mode_ = value; }
  int32_t QueryStartRow() const { return query_start_row_; }
  void SetQueryStartRow(int32_t value) { query_start_row_ = value; }
  int32_t QueryRow() const { return query_row_; }
  void SetQueryRow(int32_t value) { query_row_ = value; }
  bool CachedUpdates() const { return cached_updates_; }
  void SetCachedUpdates(bool value) { cached_updates_ = value; }
  // The table that posted changes are written to.
  const std::string& TableName() const { return table_name_; }
  void SetTableName(const std::string& value);

  // Cached updates (cached_updates.cc). CommitUpdates sends every pending
  // change in one transaction (or inside the application's open one); on
  // any failure it undoes them all in memory, leaves the edit state and
  // raises EOrvDataSetException with the failure's text. CancelUpdates
  // undoes them all. Both do nothing while nothing is pending.
  void CommitUpdates();
  void CancelUpdates();
  const TChangeLog& ChangeLog() const { return change_log_; }

  TOrvRDBStream* ResultStream() { return stream_.get(); }
  // "Tell = <CurRow>  DataBufferCount = <RowWidth>".
  std::string TellText();
  int32_t GetFieldOffset(int index) const { return layout_.at(index)->Offset; }
  int32_t GetFieldLen(int index) const { return layout_.at(index)->Size; }
  TFieldType GetFieldType(int index) const { return layout_.at(index)->FieldType; }
  int32_t RecordBufferSize() const { return record_buffer_size_; }

  // One column of one row of a store shaped like the result stream (list 0
  // the row texts, the others blob values): read trimmed, or written
  // left-justified to the column's width. Writing a value wider than the
  // column raises EOrvDataSetException and changes nothing. The caller
  // holds the result stream's Lock(), which guards the pending store too.
  std::string GetFieldValue(TCompactStrings& store, int index, int row);
  bool SetFieldValue(TCompactStrings& store, const std::string& value, int index, int row);

  // Field data (field_data.cc).
  bool GetFieldData(TField* field, void* buffer) override;
  void SetFieldData(TField* field, const void* buffer) override;
  std::unique_ptr<TStream> CreateBlobStream(TField* field, TBlobStreamMode mode) override;
  bool GetCurrentRecord(TRecordBuffer buffer) override;

  bool BookmarkValid(TBookmark bookmark) override;
  int CompareBookmarks(TBookmark a, TBookmark b) override;
  bool IsSequenced() override { return false; }
  void SetFiltered(bool value) override;

  // Searching the rows received so far (dataset_search.cc); nothing is
  // asked of the server. Locate moves to the first row after the active
  // record whose key fields (names separated by ";") hold `key_values` (one
  // value per field, a variant array from VarArrayOf); it does not wait for
  // rows still to come. An unknown field name is shown in a stop box and
  // gives false. Lookup and FindRecord (and so FindFirst, FindNext ...)
  // raise EOrvDataSetException: they are not provided.
  bool Locate(const std::string& key_fields, const Variant& key_values,
              TLocateOptions options) override;
  Variant Lookup(const std::string& key_fields, const Variant& key_values,
                 const std::string& result_fields) override;
  bool FindRecord(bool restart, bool go_forward) override;

  // The key fields of the last key entry (SetKeyBuffer), in key order;
  // emptied when the dataset closes. An index outside them ends key entry
  // and raises EOrvDataSetException "<Name>: Field index out of range.".
  // SetIndexField copies the value of `value` (a field of any dataset;
  // nullptr for null) into key field `index` of the key buffer.
  TField* GetIndexField(int index);
  void SetIndexField(int index, TField* value);
  int GetIndexFieldCount() const { return static_cast<int>(index_fields_.size()); }

  // Key entry is the host's dsSetKey state: every change of state away from
  // it ends the redirection of field access to the key buffer.
  using TDataSet::DataEvent;
  void DataEvent(TDataEvent event, intptr_t info) override;

  // The text with every ":name" placeholder rewritten as "@name"; adds one
  // parameter per placeholder to `list` when given (parse_sql.cc).
  static std::string ParseSQL(const std::string& text, TParams* list);

  // Catalogue lists (catalog.cc): the names of the tables and views (`kind`
  // "T") or of the procedures and functions (any other kind) the connection
  // reaches, owner-prefixed where they are not the user's own, into `list`.
  // Answered from the connection's cache once a listing read to its end has
  // filled it; otherwise asks the server. Without a Database, or while the
  // connection may not fetch names, `list` is left as it is. Failures raise.
  void GetTableNames(const std::string& kind, TStrings* list);
  // Replaces Params with the parameter list of procedure `name`, asked of
  // the server (proc_params.cc); nothing without a Database or a name.
  // Failures raise and leave Params empty.
  void GetSProcParams(const std::string& name);

  std::string ClassName() const override { return "TOrvDataSet"; }
  // Form files carry Params as "ParamData", a collection of the
  // parameters with their names, types, directions and values; a dataset
  // always writes it, empty or not.
  void DefineProperties(TFiler* filer) override;

  // TOrvResultOwner: what the result stream and its reader use.
  std::string ReceiveFrame(int32_t socket) override;
  void DisconnectSocket(int32_t socket) override;
  bool InUserTransaction() override;
  bool StopReading() const override { return stop_reading_.load(); }
  uint8_t ResultState() const override { return result_state_.load(); }
  void SetResultState(uint8_t state) override { result_state_.store(state); }
  TSQLKind SQLKind() const override { return sql_kind_.load(); }
  int32_t ConnectionHandle() const override { return connection_.load(); }
  void SetConnectionHandle(int32_t handle) override { connection_.store(handle); }

 protected:
  friend class TDataResultThread;

  using TGetQueryProc = bool (TOrvDataSet::*)(const std::string& pattern);
  using TGetResultsProc = bool (TOrvDataSet::*)(int col_count, const std::string& pattern,
                                                TStrings* list);

  // The request driver: connects, sends through `get_query`, reads the
  // result line when `read_result`, and the rest through `get_results`.
  bool ExecuteQuery(bool read_result, const std::string& pattern, TStrings* list,
                    TGetQueryProc get_query, TGetResultsProc get_results);
  bool GetSQL(const std::string& pattern);
  bool GetSQLResults(int col_count, const std::string& pattern, TStrings* list);
  // The code of a result line; a negative code raises the server's text.
  int GetResult(const std::string& reply);
  // Reads the `count` parameters a procedure call returns and copies each
  // value into the parameter of Params of the same name; one whose value
  // the server left out (or that does not convert) becomes null. A reply
  // that breaks off or is malformed raises, and Params stay as they were
  // (proc_params.cc).
  void SetParamData(int count);
  // The ExecuteQuery callbacks of the parameter list (PARAM) and of the
  // catalogue lists.
  bool GetSProcPrms(const std::string& name);
  bool GetSProcPrmsResults(int count, const std::string& name, TStrings* list);
  bool GetSTList(const std::string& kind);
  bool GetSTListResults(int col_count, const std::string& kind, TStrings* list);
  // Before a request of the dataset's own beside its open result: waits
  // for a running reader and releases the connection it leaves, so the
  // request never shares a connection with a result still being read.
  void PrepareOwnRequest();
  // Hands the frames of a reply that follows its result line to `feed`
  // until it answers true (the reply is complete); `feed` raises for a
  // malformed one. An empty frame or a closed connection raises: the reply
  // broke off.
  void ReceiveReply(const std::function<bool(std::string_view frame)>& feed);
  // Reads a result set that follows its result line, its descriptions
  // skipped, handing the rows to `sink`: true at its end marker, false when
  // the marker came inside a row. Raises as ReceiveReply does, and with the
  // parser's message for a malformed reply.
  bool ReceiveRows(int col_count, TReplySink& sink);
  // Closes the dataset's own connection unless it is the transaction's.
  void ReleaseConnection();
  // The text sent for statements: SQL, or the command text on Sybase behind
  // a UNIX server.
  std::string StatementText() const;
  void SetSQLKind(TSQLKind kind) { sql_kind_.store(kind); }
  void SetCommandText(std::string text) { command_text_ = std::move(text); }
  const std::string& CommandText() const { return command_text_; }
  void SetHideRowId(bool value) { hide_rowid_ = value; }

  // Record buffers, cursor and bookmarks (record_buffers.cc).
  TRecordBuffer AllocRecordBuffer() override;
  void FreeRecordBuffer(TRecordBuffer& buffer) override;
  int GetRecordSize() override { return record_size_; }
  TGetResult GetRecord(TRecordBuffer buffer, TGetMode mode, bool do_check) override;
  void GetBookmarkData(TRecordBuffer buffer, void* data) override;
  void SetBookmarkData(TRecordBuffer buffer, const void* data) override;
  TBookmarkFlag GetBookmarkFlag(TRecordBuffer buffer) override;
  void SetBookmarkFlag(TRecordBuffer buffer, TBookmarkFlag flag) override;
  void InternalOpen() override;
  void InternalClose() override;
  bool IsCursorOpen() override { return cursor_open_; }
  void InternalInitFieldDefs() override;
  void InternalFirst() override;
  void InternalLast() override;
  void InternalGotoBookmark(const void* bookmark) override;
  void InternalSetToRecord(TRecordBuffer buffer) override;
  void InternalInitRecord(TRecordBuffer buffer) override;
  void ClearCalcFields(TRecordBuffer buffer) override;
  void CopyFromCurrentRecord(TRecordBuffer buffer);
  void FreeBlobBuffer(TRecordBuffer buffer);
  // Appends the blob handles every record buffer holds: the window's ring,
  // the key buffer and the filter's buffer.
  void HeldBlobHandles(std::vector<uint32_t>& handles) const;
  int GetRecordCount() override;
  void ActivateFilters();

  // Key buffers and key search (dataset_search.cc). SetKeyBuffer starts
  // key entry on the fields named in `field_names` (";"-separated): the
  // state becomes dsSetKey and field reads and writes go to the key buffer,
  // cleared first when `clear`. Key entry ends when GotoKeyBuffer has read
  // the key values, or when anything returns the dataset to browsing: a
  // move, Locate, Refresh, Edit, Insert, Append, Post, Cancel, Delete,
  // Close, another SetKeyBuffer, or an index field out of range.
  // GotoKeyBuffer moves to the first row (by the key order of the rows)
  // holding the key values, or with `nearest` to the first at or above
  // them; without key fields or rows it does not move.
  void AllocKeyBuffers();
  void FreeKeyBuffers();
  TRecordBuffer InitKeyBuffer(TRecordBuffer buffer);
  void SetKeyBuffer(const std::string& field_names, bool clear);
  bool GotoKeyBuffer(bool nearest);

  // Record editing (record_editing.cc): posts and deletes go through
  // CheckCachedUpdates, which refuses them for a query with a warning box,
  // and through the host's read-only check.
  virtual bool CheckCachedUpdates();
  void InternalEdit() override;
  void InternalInsert() override;
  void InternalPost() override;
  void InternalAddRecord(TRecordBuffer buffer, bool append) override;
  void InternalDelete() override;
  // Makes room for a new empty row at the stream's current row, or after
  // the last one.
  void InsertData(bool append);
  // Removes the stream's current row and records the delete.
  void DeleteData();
  // Writes `buffer` into the stream's current row; an inserted row's
  // pending values follow.
  void CopyToCurrentRecord(TRecordBuffer buffer);
  // The same for texts BufferTexts made.
  void WriteRow(const std::vector<std::string>& texts);

  // The ExecuteQuery callbacks of CommitUpdates, and the undo of one insert
  // or delete (cached_updates.cc).
  bool GetCachedSQL(const std::string& pattern);
  bool GetCachedResults(int col_count, const std::string& pattern, TStrings* list);
  void CancelInsertData(int32_t row);
  void CancelDeleteData(int32_t row, const std::vector<std::string>& values);

  void Notification(TComponent* component, TOperation operation) override;
  void CloseForDatabase() override;

  // "ParamData" (orv_dataset.cc): Params replaced by the form's items, and
  // Params as a collection.
  void ReadParamData(TReader& reader);
  void WriteParamData(TWriter& writer);

 private:
  // Stops a running reader and waits for it to end.
  void StopReader();
  // Closes, stops the reader, releases the connection and leaves the
  // connection component's lists.
  void DetachDatabase();
  // Drops the transaction's connection after a request failed half-way.
  void DropOutOfStep();
  // Raises when the result is incomplete and the dataset is open.
  void CheckResultComplete();
  // The record buffer field access goes to.
  TRecordBuffer FieldBuffer() const;
  const TFieldInf* LayoutOf(const TField* field) const;
  // Raises the host's error unless `field` may be written in this state:
  // SetFieldData and the blob streams that write share it.
  void CheckFieldWritable(const TField* field) const;
  // Refuses any change while the host's read-only flag is set.
  void CheckModifiable() const;
  // One row of the stream, one item per list.
  std::vector<std::string> StreamRow(int32_t row);
  // The texts `buffer` holds for every layout entry, as CopyToCurrentRecord
  // writes them; raises, before anything changes, for a date that does not
  // convert or a text wider than its column.
  std::vector<std::string> BufferTexts(TRecordBuffer buffer);
  // Puts back the rows as fetched; no refresh.
  void UndoPending();
  // Restores after a failed commit, whatever state the host is in.
  void RecoverFailedCommit();
  // Reads a ";"-separated list of field names as GetToken does and hands
  // each name's definition to `take`. The first name the definitions lack,
  // or `take` refuses, is shown upper-cased in a stop box captioned
  // `caption` and ends the walk with false.
  bool ForEachKeyDef(const std::string& names, const std::string& caption,
                     const std::function<bool(const TFieldDef&)>& take);
  // Where the cursor stands after a search: on the row found (the window
  // is fetched again around it), else still on the active record.
  void PlaceAfterSearch(bool found);
  void EndKeyEntry();
  void CheckIndexField(int index);

  TOrvRDB* database_ = nullptr;
  TStringList sql_;
  TParams params_;
  std::string command_text_;
  std::unique_ptr<TOrvRDBStream> stream_;
  TFieldInfList layout_;
  TChangeLog change_log_;
  std::string table_name_;
  // While CommitUpdates runs: the first clean failure the server answered
  // (the batch stops there) and how many changes it had applied before.
  std::string commit_failure_;
  int32_t commit_applied_ = 0;
  TAutoResetEvent result_event_;
  std::unique_ptr<TDataResultThread> result_thread_;

  std::atomic<TSQLKind> sql_kind_{skOpen};
  std::atomic<uint8_t> result_state_{kResultComplete};
  std::atomic<bool> stop_reading_{false};
  std::atomic<int32_t> connection_{-1};
  std::atomic<bool> result_incomplete_{false};
  int rows_affected_ = -1;

  TZozudQueryMode query_mode_ = TZozudQueryMode::All;
  int32_t query_start_row_ = 0;
  int32_t query_row_ = 0;
  bool hide_rowid_ = false;
  int32_t visible_columns_ = 0;
  bool cached_updates_ = false;

  // Record layout, fixed from InternalOpen to the next open. Sizes are 32
  // bits, so a wide row never wraps a size or an offset.
  int32_t record_size_ = 0;
  int32_t record_buffer_size_ = 0;
  int32_t calc_fields_offset_ = 0;
  int32_t bookmark_flag_offset_ = 0;
  int32_t bookmark_offset_ = 0;
  bool cursor_open_ = false;
  int32_t record_position_ = kBeforeFirstRow;

  // Blob values the record buffers refer to, released once none does.
  TBlobValueTable blob_table_;

  TRecordBuffer filter_buffer_ = nullptr;
  bool filter_active_ = false;
  TRecordBuffer key_buffer_ = nullptr;
  bool key_active_ = false;
  std::vector<TField*> index_fields_;  // fields of this dataset, not owned here
};

}  // namespace orv
#pragma GCC visibility pop
