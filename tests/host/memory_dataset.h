// TMemoryDataSet: a dataset over rows held in a vector, for testing the
// dataset framework the way a concrete dataset uses it.
//
// Record buffer: per column a null byte (1 = null) and the field's native
// value (blob columns: a 9-byte blob slot whose handle points into
// `blobs_`), then the calculated-field area (null byte + native value per
// calculated field), the bookmark flag byte and a 4-byte bookmark: the
// row's id, which stays the same while rows are inserted and deleted.
// The cursor is a row index: -1 before the first row, Rows() after the last.
// Every overridden operation appends its name to `calls` so tests can see
// what the framework asked for.
#pragma once

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "host/blobslot.h"
#include "host/dataset.h"
#include "host/field_types.h"
#include "host/blobfield.h"

namespace orv::testing {

class TMemoryDataSet : public TDataSet {
 public:
  struct Column {
    std::string name;
    TFieldType type;
    int size;
  };
  struct Cell {
    bool null = true;
    std::string native;                        // ordinary columns
    std::shared_ptr<const std::string> blob;   // blob columns
  };
  struct Row {
    int32_t id;
    std::vector<Cell> cells;
  };

  explicit TMemoryDataSet(TComponent* owner = nullptr) : TDataSet(owner) {}
  ~TMemoryDataSet() override { Close(); }

  void AddColumn(std::string name, TFieldType type, int size = 0) {
    columns_.push_back({std::move(name), type, size});
  }
  // Adds a row of native values ("" with null set means null).
  void AddRow(std::vector<Cell> cells) { rows_.push_back({next_id_++, std::move(cells)}); }
  static Cell Int(int32_t v) { return Cell{false, std::string(reinterpret_cast<char*>(&v), 4), nullptr}; }
  static Cell Text(const std::string& v) { return Cell{false, v, nullptr}; }
  static Cell Blob(const std::string& v) {
    return Cell{false, {}, std::make_shared<const std::string>(v)};
  }
  static Cell Null() { return Cell{}; }

  const std::vector<Row>& Rows() const { return rows_; }
  int Cursor() const { return cursor_; }
  const TBlobValueTable& BlobTable() const { return blobs_; }
  // Enters key-entry state; the framework itself changes no buffer for it.
  void SetKey() {
    CheckBrowseMode();
    SetState(dsSetKey);
  }
  using TDataSet::CalcFieldsSize;

  std::vector<std::string> calls;

  bool GetFieldData(TField* field, void* buffer) override;
  void SetFieldData(TField* field, const void* buffer) override;
  std::unique_ptr<TStream> CreateBlobStream(TField* field, TBlobStreamMode mode) override;
  bool BookmarkValid(TBookmark bookmark) override {
    return bookmark != nullptr && IndexOfId(IdOf(bookmark)) >= 0;
  }
  int CompareBookmarks(TBookmark a, TBookmark b) override {
    if (a == nullptr || b == nullptr) return (a == nullptr) - (b == nullptr);
    const int i = IndexOfId(IdOf(a));
    const int j = IndexOfId(IdOf(b));
    return (i > j) - (i < j);
  }
  bool IsSequenced() override { return true; }

 protected:
  TRecordBuffer AllocRecordBuffer() override {
    return new char[static_cast<size_t>(buffer_size_)]();
  }
  void FreeRecordBuffer(TRecordBuffer& buffer) override {
    delete[] buffer;
    buffer = nullptr;
  }
  int GetRecordSize() override { return record_size_; }
  TGetResult GetRecord(TRecordBuffer buffer, TGetMode mode, bool) override;
  void GetBookmarkData(TRecordBuffer buffer, void* data) override {
    std::memcpy(data, buffer + bookmark_offset_, 4);
  }
  void SetBookmarkData(TRecordBuffer buffer, const void* data) override {
    std::memcpy(buffer + bookmark_offset_, data, 4);
  }
  TBookmarkFlag GetBookmarkFlag(TRecordBuffer buffer) override {
    return static_cast<TBookmarkFlag>(buffer[bookmark_offset_ - 1]);
  }
  void SetBookmarkFlag(TRecordBuffer buffer, TBookmarkFlag flag) override {
    buffer[bookmark_offset_ - 1] = static_cast<char>(flag);
  }
  void InternalOpen() override;
  void InternalClose() override {
    calls.push_back("InternalClose");
    BindFields(false);
    if (DefaultFields()) DestroyFields();
    blobs_.Clear();
    open_ = false;
  }
  bool IsCursorOpen() override { return open_; }
  void InternalInitFieldDefs() override {
    FieldDefs()->Clear();
    for (const Column& column : columns_) FieldDefs()->Add(column.name, column.type, column.size);
  }
  void InternalFirst() override { cursor_ = -1; }
  void InternalLast() override { cursor_ = static_cast<int>(rows_.size()); }
  void InternalGotoBookmark(const void* bookmark) override {
    const int index = IndexOfId(IdOf(bookmark));
    if (index < 0) DatabaseError(SRecordNotFound, this);
    cursor_ = index;
  }
  void InternalSetToRecord(TRecordBuffer buffer) override {
    InternalGotoBookmark(buffer + bookmark_offset_);
  }
  void InternalInitRecord(TRecordBuffer buffer) override {
    std::memset(buffer, 0, static_cast<size_t>(buffer_size_));
    for (size_t i = 0; i < columns_.size(); ++i) buffer[offsets_[i]] = 1;
  }
  void ClearCalcFields(TRecordBuffer buffer) override {
    std::memset(buffer + record_size_, 0, static_cast<size_t>(CalcFieldsSize()));
    for (int i = 0; i < Fields()->Count(); ++i) {
      if (Fields()->GetField(i)->Calculated()) buffer[record_size_ + Fields()->GetField(i)->Offset()] = 1;
    }
  }
  void InternalAddRecord(TRecordBuffer buffer, bool append) override;
  void InternalDelete() override {
    calls.push_back("InternalDelete");
    rows_.erase(rows_.begin() + cursor_);
  }
  void InternalPost() override;
  void InternalEdit() override { calls.push_back("InternalEdit"); }
  void InternalInsert() override { calls.push_back("InternalInsert"); }
  void InternalCancel() override { calls.push_back("InternalCancel"); }
  int GetRecordCount() override {
    CheckActive();
    return static_cast<int>(rows_.size());
  }

 private:
  class BlobStream;

  // Bookmarks sit unaligned inside record buffers.
  static int32_t IdOf(const void* bookmark) {
    int32_t id;
    std::memcpy(&id, bookmark, 4);
    return id;
  }
  int IndexOfId(int32_t id) const {
    for (size_t i = 0; i < rows_.size(); ++i) {
      if (rows_[i].id == id) return static_cast<int>(i);
    }
    return -1;
  }
  int NativeSize(size_t column) const;
  void CopyRowToBuffer(const Row& row, TRecordBuffer buffer);
  void CopyBufferToRow(TRecordBuffer buffer, Row& row);
  // The record buffer field data go to: the calculation buffer while
  // calculating, else the active one.
  TRecordBuffer FieldBuffer() const { return State() == dsCalcFields ? CalcBuffer() : ActiveBuffer(); }

  std::vector<Column> columns_;
  std::vector<Row> rows_;
  std::vector<int> offsets_;  // per column: its null byte; the value follows
  int record_size_ = 0;
  int buffer_size_ = 0;
  int bookmark_offset_ = 0;
  int cursor_ = -1;
  int32_t next_id_ = 1;
  bool open_ = false;
  TBlobValueTable blobs_;
};

}  // namespace orv::testing
