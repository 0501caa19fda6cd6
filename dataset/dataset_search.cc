// Searching the received rows: Locate, the key buffer and key search.
//
// Both searches run over the rows the result stream holds at the call and
// never ask the server: Locate scans forward from the row after the active
// record; a key search scans the rows in their fetched order, which is the
// key order when the statement ordered by the key fields (a table's
// IndexFieldNames).
//
// Key entry. SetKeyBuffer puts the dataset in the host's dsSetKey state and
// sets key_active_, which sends every field read and write to the key
// buffer. The two always end together: GotoKeyBuffer ends key entry once it
// has read the key values, and any change of state away from dsSetKey (the
// host's CheckBrowseMode before a move or an edit, Post, Cancel, Delete,
// Close) clears key_active_ in DataEvent. So a key that is set up and never
// searched cannot redirect the writes of a later edit. SetIndexField sets
// key_active_ only for its one write and puts it back as it was.
//
// After either search the cursor follows the stream: on the row found, with
// the window fetched again around it (before-scroll, the move, the resync,
// after-scroll), or, with nothing found, still on the active record.
#include <cstdlib>
#include <cstring>

#include "convert/mw_format.h"
#include "dataset/orv_dataset.h"
#include "host/forms.h"

namespace orv {

bool TOrvDataSet::ForEachKeyDef(const std::string& names, const std::string& caption,
                                const std::function<bool(const TFieldDef&)>& take) {
  const char* p = names.c_str();
  std::string name;
  char delim = ';';
  while (delim == ';' && *p != '\0') {
    p = GetToken(p, name, delim);
    const int index = FieldDefs()->IndexOf(name);
    if (index < 0 || !take(*FieldDefs()->Items(index))) {
      MessageBox(name + " is not exist", caption, MB_OK | MB_ICONSTOP | MB_TASKMODAL);
      return false;
    }
  }
  return true;
}

void TOrvDataSet::PlaceAfterSearch(bool found) {
  // Without a match the stream still stands where UpdateCursorPos put it,
  // on the active record; its seek state may be an earlier move's, so it
  // is not read here.
  record_position_ = stream_->Tell();
  if (found) Resync(rmExact | rmCenter);
}

bool TOrvDataSet::Locate(const std::string& key_fields, const Variant& key_values,
                         TLocateOptions options) {
  CheckBrowseMode();
  DoBeforeScroll();
  UpdateCursorPos();
  std::string columns;
  if (!ForEachKeyDef(key_fields, Application().Title(), [&columns](const TFieldDef& def) {
        AppendKeyColumn(columns, def.FieldNo() - 1);
        return true;
      }))
    return false;
  const bool found = stream_->Locate(columns, key_values, options);
  PlaceAfterSearch(found);
  DoAfterScroll();
  return found;
}

Variant TOrvDataSet::Lookup(const std::string&, const Variant&, const std::string&) {
  throw EOrvDataSetException("TOrvDataSet.Lookup not implemented");
}

bool TOrvDataSet::FindRecord(bool, bool) {
  throw EOrvDataSetException("TOrvDataSet.FindRecord not implemented");
}

void TOrvDataSet::DataEvent(TDataEvent event, intptr_t info) {
  if (event == deUpdateState && State() != dsSetKey) key_active_ = false;
  TDataSet::DataEvent(event, info);
}

void TOrvDataSet::EndKeyEntry() {
  if (State() == dsSetKey) SetState(dsBrowse);
  key_active_ = false;
}

void TOrvDataSet::AllocKeyBuffers() {
  FreeKeyBuffers();
  key_buffer_ = static_cast<TRecordBuffer>(
      std::calloc(static_cast<size_t>(record_buffer_size_) + 1, 1));
}

void TOrvDataSet::FreeKeyBuffers() {
  std::free(key_buffer_);
  key_buffer_ = nullptr;
  key_active_ = false;
  // The fields may go with the close (default fields are destroyed).
  index_fields_.clear();
}

TRecordBuffer TOrvDataSet::InitKeyBuffer(TRecordBuffer buffer) {
  std::memset(buffer, 0, static_cast<size_t>(record_buffer_size_));
  return buffer;
}

void TOrvDataSet::SetKeyBuffer(const std::string& field_names, bool clear) {
  CheckBrowseMode();
  index_fields_.clear();
  const bool all = ForEachKeyDef(field_names, "Error", [this](const TFieldDef& def) {
    TField* field = FindField(def.Name());
    if (field != nullptr) index_fields_.push_back(field);
    return field != nullptr;
  });
  if (!all) return;
  SetState(dsSetKey);
  key_active_ = true;
  if (clear) InitKeyBuffer(key_buffer_);
}

bool TOrvDataSet::GotoKeyBuffer(bool nearest) {
  // Outside key entry the values come from the active record; an edit is
  // posted first, as before any move.
  if (State() != dsSetKey) CheckBrowseMode();
  // The values are read while key entry lasts; it ends before the scroll
  // events, so that their handlers see the active record.
  std::string columns;
  std::string missing;
  Variant values = VarArrayCreate(GetIndexFieldCount());
  for (int i = 0; i < GetIndexFieldCount() && missing.empty(); ++i) {
    TField* field = index_fields_[static_cast<size_t>(i)];
    const int def = FieldDefs()->IndexOf(field->FieldName());
    if (def < 0) {
      missing = field->FieldName();
    } else {
      AppendKeyColumn(columns, FieldDefs()->Items(def)->FieldNo() - 1);
      values[i] = field->AsVariant();
    }
  }
  if (missing.empty()) EndKeyEntry();
  DoBeforeScroll();
  UpdateCursorPos();
  if (!missing.empty()) {
    MessageBox(missing + " is not exist", "Error", MB_OK | MB_ICONSTOP | MB_TASKMODAL);
    return false;
  }
  const bool found = stream_->GotoKey(columns, values, nearest);
  PlaceAfterSearch(found);
  DoAfterScroll();
  return found;
}

void TOrvDataSet::CheckIndexField(int index) {
  if (index >= 0 && index < GetIndexFieldCount()) return;
  EndKeyEntry();
  throw EOrvDataSetException(Name() + ": Field index out of range.");
}

TField* TOrvDataSet::GetIndexField(int index) {
  CheckIndexField(index);
  return index_fields_[static_cast<size_t>(index)];
}

void TOrvDataSet::SetIndexField(int index, TField* value) {
  CheckIndexField(index);
  // Read before the redirection, so that outside key entry a field of this
  // dataset gives the active record's value.
  const Variant copy = value == nullptr ? Variant::Null() : value->AsVariant();
  const bool was_active = key_active_;
  key_active_ = true;
  try {
    index_fields_[static_cast<size_t>(index)]->SetAsVariant(copy);
  } catch (...) {
    key_active_ = was_active;
    throw;
  }
  key_active_ = was_active;
}

}  // namespace orv
