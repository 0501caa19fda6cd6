// TOrvRDBStream: the in-memory result set of one dataset.
//
// The stream reads the server's result-set reply (SetFieldInf), describes
// its columns in FieldList and stores every row as one fixed-width row text
// (ordinary columns, each padded to its Size) plus one value per blob column
// in that column's blob list. Its own items are these lists: item 0 holds
// the row list, items 1.. the blob lists; the stream owns them.
//
// Two threads meet here. The reader (the dataset's result thread, or the
// opening thread inside a user transaction) runs SetFieldInf and appends
// rows; the application's thread moves over them, reads values and searches
// while they still arrive. The row list, the blob lists, the stream's own
// items and FieldList are touched only under Lock(), since an append may
// move the storage a reader is looking at; RowCount, CurRow and the end
// marker flags are atomics so that waits can test them without the lock.
// The hand-over follows the owner's ResultState and the auto-reset
// ResultEvent: the reader signals after the column descriptions and after a
// row that the application stands just before; every wait re-tests its
// condition after waking, so a surplus signal costs one extra test.
//
// A value longer than its column can show (Size - 1 bytes) fails the read
// (see rdb_stream.cc), so every row text holds its values whole.
//
// The dataset may edit the lists directly (inserting, deleting and
// rewriting rows) while it holds Lock() and no reader runs.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "../host/db.h"
#include "../host/syncobjs.h"
#include "../host/variant.h"
#include "compact_strings.h"
#include "field_inf.h"
#include "result_owner.h"

#pragma GCC visibility push(default)
namespace orv {

enum TSeekState : uint8_t { ssBof, ssMid, ssEof };

// The cursor marks: the stream's CurRow and a dataset's record position are
// a row number (0-based) or one of these.
inline constexpr int32_t kBeforeFirstRow = -1;
inline constexpr int32_t kAfterLastRow = -2;

class TOrvRDBStream : public TCompactStrings {
 public:
  TOrvRDBStream();
  ~TOrvRDBStream() override;

  std::string ClassName() const override { return "TOrvRDBStream"; }

  // Set by the owning dataset right after it creates the stream.
  TOrvResultOwner* DataSet() const { return data_set_; }
  void SetDataSet(TOrvResultOwner* owner) { data_set_ = owner; }
  TEvent* ResultEvent() const { return result_event_; }
  void SetResultEvent(TEvent* event) { result_event_ = event; }
  // The socket the reader receives on; set before each read.
  int32_t SocketHandle() const { return socket_handle_; }
  void SetSocketHandle(int32_t handle) { socket_handle_ = handle; }

  // Reads the reply on SocketHandle: the column descriptions (skipped when
  // `read_fields` is false), then rows up to the end marker. True when the
  // reply was read to a clean end. Receive and protocol errors are shown to
  // the user in a message box and give false; rows read before stay.
  bool SetFieldInf(bool read_fields);
  // Empties the stream: lists, column descriptions, counts; CurRow before
  // the first row.
  void ClearFieldInf();
  void SetCols(int32_t cols) { cols_ = cols; }
  int32_t Cols() const { return cols_; }

  // The description of `column`; raises EOrvDataSetException outside them.
  const TFieldInf* GetItems(int32_t column);
  int32_t GetFieldSize(int32_t column) { return GetItems(column)->Size; }
  int32_t FieldCount();
  int32_t RowWidth() const { return row_width_.load(); }

  int32_t RowCount() const { return row_count_.load(); }
  // For the dataset's own inserts and deletes (under Lock()).
  void SetRowCount(int32_t count) { row_count_.store(count); }
  bool EndSeen() const { return end_seen_.load(); }
  int32_t EndRowCount() const { return end_row_count_.load(); }

  void SetCurRow(int32_t row) { cur_row_.store(row); }
  int32_t Tell() const { return cur_row_.load(); }
  TSeekState SeekState() const { return seek_state_; }
  void Open() { seek_state_ = ssMid; }
  void Close() {}

  // The row list (0) or a blob list; nullptr when there is none.
  TCompactStrings* Lists(int32_t index);
  TCriticalSection& Lock() { return lock_; }

  // Navigation and search; application thread only (rdb_stream_search.cc).
  void First();
  void Last();
  void Prior();
  void Next();
  bool Bof() const { return seek_state_ == ssBof; }
  bool Eof() const { return seek_state_ == ssEof; }
  // Empty outside the columns or the rows received.
  std::string GetFieldValue(int32_t column, int32_t row);
  std::string Fields(int32_t index);
  std::string FieldByName(const std::string& name);
  // The stored value of a blob column in `row`, shared and immutable, for a
  // record buffer's blob slot: the stored bytes themselves, not a copy. The
  // same unchanged stored value always gives the same pointer; nullptr
  // outside the rows or for an ordinary column.
  std::shared_ptr<const std::string> BlobValue(int32_t column, int32_t row);
  // Key columns: one character per column, its code the column index.
  bool Locate(std::string_view key_columns, const Variant& key_values,
              TLocateOptions options);
  bool GotoKey(std::string_view key_columns, const Variant& key_values,
               bool nearest);

 private:
  class Reader;
  friend int32_t DecodeLayout(TOrvRDBStream& stream, TFieldInfList& list);

  void AddListLocked();
  TCompactStrings* ListLocked(int32_t index);
  void ClearListsLocked();
  void Signal();
  void ReportReadError(const std::string& message);
  bool ReceiveOrReport(std::string& frame);
  // Waits on ResultEvent until `done` holds or a wait fails.
  template <class Done>
  void WaitForReader(Done done);
  uint8_t OwnerResultState() const;
  std::string KeyText(const Variant& key_values, size_t index, TFieldType type) const;
  TFieldType ColumnTypeLocked(int32_t column) const;

  TOrvResultOwner* data_set_ = nullptr;
  TEvent* result_event_ = nullptr;
  int32_t socket_handle_ = -1;

  TCriticalSection lock_;
  TFieldInfList field_list_;  // protected by lock_
  std::vector<std::unique_ptr<TCompactStrings>> lists_;  // protected by lock_

  int32_t cols_ = 0;
  std::atomic<int32_t> row_width_{0};
  std::atomic<int32_t> row_count_{0};
  std::atomic<int32_t> cur_row_{kBeforeFirstRow};
  std::atomic<int32_t> end_row_count_{0};
  std::atomic<bool> end_seen_{false};
  TSeekState seek_state_ = ssBof;  // application thread only
};

// Copies the stream's column descriptions into `list` (the dataset's field
// layout) and returns the width they take: the stream's RowWidth when every
// description was read.
int32_t DecodeLayout(TOrvRDBStream& stream, TFieldInfList& list);

// Appends the key-column character for `column` to `key_columns`; raises
// EOrvDataSetException for a column a character cannot name (beyond 255).
void AppendKeyColumn(std::string& key_columns, int32_t column);

}  // namespace orv
#pragma GCC visibility pop
