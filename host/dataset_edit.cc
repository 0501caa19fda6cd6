// TDataSet: editing, fields and calculated fields, events and observers.
#include <cassert>

#include "host/dataset.h"
#include "host/datasource.h"

namespace orv {

// Editing ----------------------------------------------------------------------

void TDataSet::CheckCanModify() const {
  if (read_only_) DatabaseError(SDataSetReadOnly, this);
}

void TDataSet::CheckBrowseMode() {
  CheckActive();
  DataEvent(deCheckBrowseMode, intptr_t{0});
  switch (state_) {
    case dsEdit:
    case dsInsert:
      DataEvent(deUpdateRecord, intptr_t{0});
      if (modified_) {
        Post();
      } else {
        Cancel();
      }
      break;
    case dsSetKey:
      SetState(dsBrowse);
      break;
    default:
      break;
  }
}

// Runs `operation` with the cursor on the active record; an EDatabaseError
// goes to `on_error`, which may ask to fail (rethrow), abort (silently) or
// retry.
void TDataSet::CheckOperation(void (TDataSet::*operation)(), const TDataSetErrorEvent& on_error) {
  for (;;) {
    try {
      UpdateCursorPos();
      (this->*operation)();
      return;
    } catch (EDatabaseError& error) {
      TDataAction action = daFail;
      if (on_error) on_error(this, error, action);
      if (action == daFail) throw;
      if (action == daAbort) Abort();
    }
  }
}

void TDataSet::InitRecord(TRecordBuffer buffer) {
  InternalInitRecord(buffer);
  ClearCalcFields(buffer);
  SetBookmarkFlag(buffer, bfInserted);
}

void TDataSet::Edit() {
  if (state_ == dsEdit || state_ == dsInsert) return;
  if (record_count_ == 0) {
    Insert();
    return;
  }
  CheckBrowseMode();
  CheckCanModify();
  Fire(BeforeEdit, this);
  CheckOperation(&TDataSet::InternalEdit, OnEditError);
  GetCalcFields(ActiveBuffer());
  SetState(dsEdit);
  DataEvent(deRecordChange, intptr_t{0});
  Fire(AfterEdit, this);
}

void TDataSet::BeginInsertAppend() {
  CheckBrowseMode();
  CheckCanModify();
  Fire(BeforeInsert, this);
  DoBeforeScroll();
}

void TDataSet::EndInsertAppend() {
  SetState(dsInsert);
  try {
    Fire(OnNewRecord, this);
  } catch (...) {
    UpdateCursorPos();
    FreeFieldBuffers();
    SetState(dsBrowse);
    Resync(rmNone);
    throw;
  }
  modified_ = false;
  DataEvent(deDataSetChange, intptr_t{0});
  Fire(AfterInsert, this);
  DoAfterScroll();
}

// The new record takes the active record's place; it remembers that
// record's bookmark, so posting it (or cancelling) finds the place again.
void TDataSet::Insert() {
  BeginInsertAppend();
  std::string old_bookmark(static_cast<size_t>(bookmark_size_), '\0');
  if (record_count_ > 0 && bookmark_size_ > 0) GetBookmarkData(ActiveBuffer(), old_bookmark.data());
  MoveBuffer(record_count_, active_record_);
  CursorPosChanged();
  TRecordBuffer buffer = ActiveBuffer();
  InitRecord(buffer);
  if (record_count_ == 0) {
    SetBookmarkFlag(buffer, bfBOF);
  } else if (bookmark_size_ > 0) {
    SetBookmarkData(buffer, old_bookmark.data());
  }
  if (record_count_ < buffer_count_) ++record_count_;
  CheckRing();
  InternalInsert();
  EndInsertAppend();
}

// The new record follows the last one; the window shows the records
// before it.
void TDataSet::Append() {
  BeginInsertAppend();
  ClearBuffers();
  TRecordBuffer buffer = buffers_[0];
  InitRecord(buffer);
  SetBookmarkFlag(buffer, bfEOF);
  record_count_ = 1;
  bof_ = false;
  GetPriorRecords();
  InternalLast();
  current_record_ = active_record_;
  CheckRing();
  EndInsertAppend();
}

void TDataSet::Post() {
  DataEvent(deUpdateRecord, intptr_t{0});
  switch (state_) {
    case dsEdit:
    case dsInsert:
      DataEvent(deCheckBrowseMode, intptr_t{0});
      Fire(BeforePost, this);
      CheckOperation(&TDataSet::InternalPost, OnPostError);
      FreeFieldBuffers();
      SetState(dsBrowse);
      Resync(rmNone);
      Fire(AfterPost, this);
      break;
    case dsSetKey:
      SetState(dsBrowse);
      break;
    default:
      break;
  }
}

void TDataSet::Cancel() {
  switch (state_) {
    case dsEdit:
    case dsInsert: {
      DataEvent(deCheckBrowseMode, intptr_t{0});
      Fire(BeforeCancel, this);
      const bool scroll_events = state_ == dsInsert;
      if (scroll_events) DoBeforeScroll();
      UpdateCursorPos();
      InternalCancel();
      FreeFieldBuffers();
      SetState(dsBrowse);
      Resync(rmNone);
      Fire(AfterCancel, this);
      if (scroll_events) DoAfterScroll();
      break;
    }
    case dsSetKey:
      SetState(dsBrowse);
      break;
    default:
      break;
  }
}

void TDataSet::Delete() {
  CheckActive();
  if (state_ == dsInsert || state_ == dsSetKey) {
    Cancel();
    return;
  }
  if (record_count_ == 0) DatabaseError(SDataSetEmpty, this);
  DataEvent(deCheckBrowseMode, intptr_t{0});
  Fire(BeforeDelete, this);
  DoBeforeScroll();
  CheckOperation(&TDataSet::InternalDelete, OnDeleteError);
  FreeFieldBuffers();
  SetState(dsBrowse);
  Resync(rmNone);
  Fire(AfterDelete, this);
  DoAfterScroll();
}

void TDataSet::FreeFieldBuffers() {
  for (TField* field : fields_.items_) {
    if (IsBlobType(field->DataType())) CloseBlob(field);
    field->FreeBuffers();
  }
}

void TDataSet::SetState(TDataSetState value) {
  if (state_ == value) return;
  state_ = value;
  modified_ = false;
  DataEvent(deUpdateState, intptr_t{0});
}

// Field data defaults ------------------------------------------------------------

bool TDataSet::GetFieldData(TField*, void*) { return false; }

void TDataSet::SetFieldData(TField*, const void*) {}

std::unique_ptr<TStream> TDataSet::CreateBlobStream(TField* field, TBlobStreamMode) {
  DatabaseErrorFmt("Field '%s' has no blob stream", field->DisplayName(), this);
}

void TDataSet::CloseBlob(TField*) {}

bool TDataSet::Locate(const std::string&, const Variant&, TLocateOptions) { return false; }

Variant TDataSet::Lookup(const std::string&, const Variant&, const std::string&) {
  return Variant::Null();
}

bool TDataSet::FindRecord(bool, bool) { return false; }

// Fields ---------------------------------------------------------------------------

void TDataSet::CreateFields() {
  for (int i = 0; i < field_defs_.Count(); ++i) field_defs_.Items(i)->CreateField(this, this);
}

// Deletes the fields this dataset owns (the default ones); fields owned
// elsewhere stay attached.
void TDataSet::DestroyFields() {
  for (TField* field : std::vector<TField*>(fields_.items_)) {
    if (field->Owner() == this) delete field;
  }
}

void TDataSet::BindFields(bool binding) {
  calc_fields_size_ = 0;
  for (TField* field : fields_.items_) {
    if (field->FieldKind() != fkData) {
      field->field_no_ = -1;
      if (binding) {
        field->offset_ = calc_fields_size_;
        calc_fields_size_ += field->DataSize() + 1;
      }
      continue;
    }
    if (!binding) {
      field->field_no_ = 0;
      continue;
    }
    const int index = field_defs_.IndexOf(field->FieldName());
    if (index < 0) DatabaseErrorFmt(SFieldNotFound, field->DisplayName(), this);
    const TFieldDef* def = field_defs_.Items(index);
    const bool same_type = def->DataType() == field->DataType() ||
                           (def->DataType() == ftAutoInc && field->DataType() == ftInteger);
    if (!same_type) {
      DatabaseError("Type mismatch for field '" + field->DisplayName() + "', expecting: " +
                        FieldTypeName(field->DataType()) + " actual: " +
                        FieldTypeName(def->DataType()),
                    this);
    }
    if (field->Size() == 0) field->SetSize(def->Size());
    field->field_no_ = def->FieldNo();
  }
}

void TDataSet::ClearCalcFields(TRecordBuffer) {}

void TDataSet::GetCalcFields(TRecordBuffer buffer) {
  if (calc_fields_size_ <= 0) return;
  const TDataSetState saved = state_;
  state_ = dsCalcFields;
  try {
    CalculateFields(buffer);
  } catch (...) {
    state_ = saved;
    throw;
  }
  state_ = saved;
}

void TDataSet::CalculateFields(TRecordBuffer buffer) {
  calc_buffer_ = buffer;
  ClearCalcFields(buffer);
  Fire(OnCalcFields, this);
}

// Events and observers -------------------------------------------------------------

void TDataSet::DataEvent(TDataEvent event, intptr_t info) {
  switch (event) {
    case deFieldChange: {
      auto* field = reinterpret_cast<TField*>(info);
      const bool editing = state_ == dsEdit || state_ == dsInsert;
      if (editing && (field->FieldKind() == fkData || field->FieldKind() == fkInternalCalc)) {
        modified_ = true;
      }
      if (state_ != dsSetKey && auto_calc_fields_ && field->FieldKind() == fkData) {
        GetCalcFields(ActiveBuffer());
      }
      field->Change();
      break;
    }
    case dePropertyChange:
      field_defs_.SetUpdated(false);
      break;
    default:
      break;
  }
  if (ControlsDisabled()) {
    if (event != deCheckBrowseMode && event != deUpdateRecord) pending_change_ = true;
    return;
  }
  NotifySources(event, info);
}

void TDataSet::NotifySources(TDataEvent event, intptr_t info) {
  for (TDataSource* source : std::vector<TDataSource*>(sources_)) source->DataEvent(event, info);
}

void TDataSet::DisableControls() {
  if (disable_count_++ == 0) {
    enable_state_ = state_;
    pending_change_ = false;
  }
}

void TDataSet::EnableControls() {
  assert(disable_count_ > 0);
  if (disable_count_ == 0 || --disable_count_ > 0) return;
  if (state_ != enable_state_) NotifySources(deUpdateState, 0);
  if (pending_change_ && Active()) NotifySources(deDataSetChange, 0);
  pending_change_ = false;
}

}  // namespace orv
