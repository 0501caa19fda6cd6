// TDataSet: the abstract dataset of the framework.
//
// It owns the record-buffer ring, the state machine, the fields and the
// events; a concrete dataset supplies the records by overriding the
// protected virtual operations (see docs/architecture.md, "Host dataset
// framework", for which to override and when each is called).
//
// The ring. `buffers_` holds BufferCount() + 1 record buffers made by
// AllocRecordBuffer. The first `record_count_` of them form the window of
// fetched records in dataset order; `active_record_` indexes the active one
// and `current_record_` the one the dataset's own cursor stands on (-1 when
// unknown). The buffer at index `record_count_` is the spare that
// GetRecord fills before it joins the window. Scrolling past the window
// rotates buffers rather than copying them. Invariants (checked by
// CheckRing): 0 <= record_count_ <= buffer_count_; active_record_ <
// record_count_ or both are 0; -1 <= current_record_ < record_count_.
//
// BufferCount grows to the largest BufferCount any data link asks for.
// A dataset and its fields belong to the thread that uses them.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "component.h"
#include "db.h"
#include "fielddefs.h"
#include "fields.h"
#include "streams.h"
#include "variant.h"

#pragma GCC visibility push(default)
namespace orv {

class TDataSource;

class TDataSet : public TComponent {
 public:
  using TDataSetNotifyEvent = std::function<void(TDataSet*)>;
  using TDataSetErrorEvent = std::function<void(TDataSet*, EDatabaseError&, TDataAction&)>;
  using TFilterRecordEvent = std::function<void(TDataSet*, bool& accept)>;

  explicit TDataSet(TComponent* owner);
  // A concrete dataset closes itself in its own destructor: the overrides
  // are gone by the time this one runs.
  ~TDataSet() override;

  // Opening and closing.
  void Open() { SetActive(true); }
  void Close() { SetActive(false); }
  bool Active() const { return state_ != dsInactive; }
  virtual void SetActive(bool value);
  TDataSetState State() const { return state_; }
  void CheckActive() const;
  void CheckInactive() const;

  // Navigation.
  void First();
  void Last();
  void Next() { MoveBy(1); }
  void Prior() { MoveBy(-1); }
  // Moves up to `distance` records; returns how many it moved (signed).
  int MoveBy(int distance);
  bool Bof() const { return bof_; }
  bool Eof() const { return eof_; }
  bool IsEmpty() const;
  int RecordCount() { return GetRecordCount(); }
  void Refresh();

  // Editing.
  void Edit();
  void Insert();
  void Append();
  void Post();
  void Cancel();
  void Delete();
  void CheckBrowseMode();
  // True when a field changed since Edit/Insert.
  bool Modified() const { return modified_; }
  bool CanModify() const { return !read_only_; }
  void SetReadOnly(bool value) { read_only_ = value; }

  // Bookmarks.
  TBookmark GetBookmark();
  void GotoBookmark(TBookmark bookmark);
  void FreeBookmark(TBookmark bookmark);
  // The active record's bookmark as bytes, and back.
  std::string Bookmark();
  void SetBookmark(const std::string& bookmark);
  virtual bool BookmarkValid(TBookmark bookmark);
  virtual int CompareBookmarks(TBookmark a, TBookmark b);
  int BookmarkSize() const { return bookmark_size_; }

  // Fields.
  TFieldDefs* FieldDefs() { return &field_defs_; }
  TFields* Fields() { return &fields_; }
  int FieldCount() const { return fields_.Count(); }
  TField* FindField(std::string_view name) const { return fields_.FindField(name); }
  TField* FieldByName(std::string_view name) const { return fields_.FieldByName(name); }
  // True when the fields of this open were made from the definitions.
  bool DefaultFields() const { return default_fields_; }
  // Fields made by opening are the dataset's own and stay out of form files.
  std::vector<TComponent*> StoredChildren() const override;
  bool AutoCalcFields() const { return auto_calc_fields_; }
  void SetAutoCalcFields(bool value) { auto_calc_fields_ = value; }

  // Field data, called by the fields. `buffer` is the field's native buffer
  // (DataSize bytes); GetFieldData with nullptr only reports non-null.
  virtual bool GetFieldData(TField* field, void* buffer);
  // A field's AsString text from the record itself, for a dataset that can
  // give exactly what converting the native value would: the ordinary
  // fields ask this first and convert only on false, the default.
  virtual bool GetFieldText(TField* /*field*/, std::string& /*text*/) { return false; }
  virtual void SetFieldData(TField* field, const void* buffer);
  // A stream over a blob field's value in the active record, owned by the
  // caller. The default refuses.
  virtual std::unique_ptr<TStream> CreateBlobStream(TField* field, TBlobStreamMode mode);
  virtual void CloseBlob(TField* field);
  // Copies the active record's data area into `buffer`; false when empty.
  virtual bool GetCurrentRecord(TRecordBuffer buffer);

  // Searching; the defaults refuse or report nothing found.
  virtual bool Locate(const std::string& key_fields, const Variant& key_values,
                      TLocateOptions options);
  virtual Variant Lookup(const std::string& key_fields, const Variant& key_values,
                         const std::string& result_fields);
  virtual bool FindRecord(bool restart, bool go_forward);
  bool FindFirst() { return FindRecord(true, true); }
  bool FindLast() { return FindRecord(true, false); }
  bool FindNext() { return FindRecord(false, true); }
  bool FindPrior() { return FindRecord(false, false); }
  // True when records have stable numbers (RecNo); false by default.
  virtual bool IsSequenced() { return false; }

  // Filtering: kept here, applied by the concrete dataset.
  const std::string& Filter() const { return filter_text_; }
  virtual void SetFilterText(const std::string& value) { filter_text_ = value; }
  bool Filtered() const { return filtered_; }
  virtual void SetFiltered(bool value) { filtered_ = value; }
  const TFilterRecordEvent& OnFilterRecord() const { return on_filter_record_; }
  virtual void SetOnFilterRecord(TFilterRecordEvent value) { on_filter_record_ = std::move(value); }

  // Observers.
  void DisableControls();
  void EnableControls();
  bool ControlsDisabled() const { return disable_count_ > 0; }
  // Tells the dataset and its data sources of `event`; `info` is the field
  // for deFieldChange, the distance for deDataSetScroll.
  virtual void DataEvent(TDataEvent event, intptr_t info);
  void DataEvent(TDataEvent event, TField* field) {
    DataEvent(event, reinterpret_cast<intptr_t>(field));
  }

  // The ring as observers see it.
  int BufferCount() const { return buffer_count_; }
  int ActiveRecord() const { return active_record_; }
  int WindowRecordCount() const { return record_count_; }
  TRecordBuffer ActiveBuffer() const;
  TRecordBuffer Buffers(int index) const;

  // Cursor bookkeeping, used by concrete datasets around their own moves.
  void Resync(TResyncMode mode);
  void UpdateCursorPos();
  void CursorPosChanged() { current_record_ = -1; }
  void DoBeforeScroll();
  void DoAfterScroll();

  std::string ClassName() const override { return "TDataSet"; }

  TDataSetNotifyEvent BeforeOpen, AfterOpen, BeforeClose, AfterClose;
  TDataSetNotifyEvent BeforeInsert, AfterInsert, BeforeEdit, AfterEdit;
  TDataSetNotifyEvent BeforePost, AfterPost, BeforeCancel, AfterCancel;
  TDataSetNotifyEvent BeforeDelete, AfterDelete, BeforeScroll, AfterScroll;
  TDataSetNotifyEvent OnCalcFields, OnNewRecord;
  TDataSetErrorEvent OnDeleteError, OnEditError, OnPostError;

 protected:
  // The operations a concrete dataset overrides. Record buffers come from
  // AllocRecordBuffer and go back through FreeRecordBuffer.
  virtual TRecordBuffer AllocRecordBuffer() = 0;
  virtual void FreeRecordBuffer(TRecordBuffer& buffer) = 0;
  virtual int GetRecordSize() { return 0; }
  // Fills `buffer` with the current (gmCurrent), next (gmNext) or prior
  // (gmPrior) record and moves the dataset's cursor there; grBOF / grEOF
  // when there is none. `do_check` asks for errors to be raised.
  virtual TGetResult GetRecord(TRecordBuffer buffer, TGetMode mode, bool do_check) = 0;
  // True while GetRecord runs only to fill the window around the active
  // record (the rest of a window after First, a Resync, a larger
  // BufferCount), false when it moves the cursor itself (First's record,
  // MoveBy past the window).
  bool FillingWindow() const { return filling_window_; }
  virtual void GetBookmarkData(TRecordBuffer buffer, void* data) = 0;
  virtual void SetBookmarkData(TRecordBuffer buffer, const void* data) = 0;
  virtual TBookmarkFlag GetBookmarkFlag(TRecordBuffer buffer) = 0;
  virtual void SetBookmarkFlag(TRecordBuffer buffer, TBookmarkFlag flag) = 0;
  virtual void InternalOpen() = 0;
  virtual void InternalClose() = 0;
  virtual bool IsCursorOpen() = 0;
  virtual void InternalInitFieldDefs() = 0;
  virtual void InternalFirst() = 0;  // cursor before the first record
  virtual void InternalLast() = 0;   // cursor after the last record
  virtual void InternalGotoBookmark(const void* bookmark) = 0;
  virtual void InternalSetToRecord(TRecordBuffer buffer) = 0;
  virtual void InternalInitRecord(TRecordBuffer buffer) = 0;
  virtual void InternalAddRecord(TRecordBuffer buffer, bool append) = 0;
  virtual void InternalDelete() = 0;
  virtual void InternalPost() = 0;
  virtual void InternalEdit() {}
  virtual void InternalInsert() {}
  virtual void InternalCancel() {}
  virtual void InternalRefresh() {}
  virtual void ClearCalcFields(TRecordBuffer buffer);
  virtual int GetRecordCount() { return -1; }

  // Fields and calculated fields.
  void CreateFields();
  void DestroyFields();
  void BindFields(bool binding);
  int CalcFieldsSize() const { return calc_fields_size_; }
  TRecordBuffer CalcBuffer() const { return calc_buffer_; }
  // Runs OnCalcFields for `buffer` in dsCalcFields state.
  virtual void GetCalcFields(TRecordBuffer buffer);
  void SetBookmarkSize(int size) { bookmark_size_ = size; }
  void SetState(TDataSetState value);
  void Loaded() override;

 private:
  friend class TDataSource;
  friend class TDataLink;
  friend class TField;

  void SetBufferCount(int count);
  void UpdateBufferCount();
  void ClearBuffers();
  void ActivateBuffers();
  void MoveBuffer(int from, int to);
  void SetCurrentRecord(int index);
  bool GetNextRecord();
  bool GetPriorRecord();
  int GetNextRecords();
  int GetPriorRecords();
  void InitRecord(TRecordBuffer buffer);
  void OpenCursor();
  void CloseCursor();
  void BeginInsertAppend();
  void EndInsertAppend();
  void CheckOperation(void (TDataSet::*operation)(), const TDataSetErrorEvent& on_error);
  void CalculateFields(TRecordBuffer buffer);
  void FreeFieldBuffers();
  void ReturnToBrowse();
  void CheckCanModify() const;
  void NotifySources(TDataEvent event, intptr_t info);
  void CheckRing() const;
  static void Fire(const TDataSetNotifyEvent& event, TDataSet* dataset) {
    if (event) event(dataset);
  }

  TDataSetState state_ = dsInactive;
  TFieldDefs field_defs_;
  TFields fields_;
  std::vector<TDataSource*> sources_;
  std::vector<TRecordBuffer> buffers_;  // buffer_count_ + 1 while open
  int buffer_count_ = 0;
  int record_count_ = 0;
  int active_record_ = 0;
  int current_record_ = -1;
  bool bof_ = true;
  bool eof_ = true;
  bool modified_ = false;
  bool filling_window_ = false;
  bool read_only_ = false;
  bool default_fields_ = false;
  bool auto_calc_fields_ = true;
  bool streamed_active_ = false;
  int bookmark_size_ = 0;
  int calc_fields_size_ = 0;
  TRecordBuffer calc_buffer_ = nullptr;
  int disable_count_ = 0;
  TDataSetState enable_state_ = dsInactive;  // state when controls were disabled
  bool pending_change_ = false;  // an event was held back while disabled
  std::string filter_text_;
  bool filtered_ = false;
  TFilterRecordEvent on_filter_record_;
};

}  // namespace orv
#pragma GCC visibility pop
