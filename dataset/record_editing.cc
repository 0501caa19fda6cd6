// Record editing: a posted insert, edit or delete changes the result stream
// at once, so the rows the user sees show it, and is recorded in the change
// log (change_log.h). Without CachedUpdates every post and delete is sent
// straight away (CommitUpdates); with it, changes wait for CommitUpdates or
// CancelUpdates.
//
// Every change first waits for the background reader to finish, so the
// whole result is in the stream before a row moves, and then works on the
// stream's lists under its lock.
#include <algorithm>
#include <cstring>
#include <mutex>

#include "dataset/orv_dataset.h"
#include "host/datetime.h"
#include "host/forms.h"
#include "host/sysutils.h"

namespace orv {
namespace {

bool IsDateType(TFieldType type) { return type == ftDate || type == ftTime || type == ftDateTime; }

// A date slot written by SetFieldData holds the buffer form "ms;day"; the
// row keeps the server form, to the second ("yyyymmddhhnnss000").
std::string ServerDateText(const std::string& text) {
  const size_t semicolon = text.find(';');
  if (semicolon == std::string::npos) return text;
  const auto ms = static_cast<int64_t>(StrToFloat(text.substr(0, semicolon)));
  const double day = StrToFloat(text.substr(semicolon + 1));
  const TDateTime time = EncodeTime(static_cast<int>(ms / 3600000), static_cast<int>(ms % 3600000 / 60000),
                                    static_cast<int>(ms % 60000 / 1000), static_cast<int>(ms % 1000));
  return FormatDateTime("yyyymmdd", day - 693594) + FormatDateTime("hhnnss", time) + "000";
}

}  // namespace

bool TOrvDataSet::CheckCachedUpdates() {
  if (!stream_) return false;
  if (ClassName() == "TOrvQuery") {
    MessageBox(sCachedError, "Warning", MB_OK | MB_ICONSTOP | MB_TASKMODAL);
    return false;
  }
  return true;
}

void TOrvDataSet::CheckModifiable() const {
  if (!CanModify()) DatabaseError(SDataSetReadOnly, this);
}

void TOrvDataSet::InternalEdit() {
  if (connection_.load() != -1) WaitTerminate();
}

void TOrvDataSet::InternalInsert() {
  if (connection_.load() != -1) WaitTerminate();
}

void TOrvDataSet::InternalPost() {
  if (!CheckCachedUpdates()) return;
  CheckModifiable();
  const TDataSetState state = State();
  if (state == dsEdit) {
    const int32_t row = stream_->Tell();
    const bool recorded = change_log_.FindLive(row) >= 0;
    std::vector<std::string> before;
    if (!recorded) before = StreamRow(row);
    CopyToCurrentRecord(ActiveBuffer());
    if (!recorded) change_log_.RecordEdit(row, std::move(before));
  } else if (state == dsInsert) {
    // After the last row (Append), or in the place of the active record.
    const std::vector<std::string> texts = BufferTexts(ActiveBuffer());
    const bool append = record_position_ == kAfterLastRow;
    if (append) stream_->SetCurRow(stream_->Tell() + 1);
    InsertData(append);
    WriteRow(texts);
    const int32_t row = stream_->Tell();
    change_log_.RecordInsert(row, StreamRow(row));
    // The posted row stays the current one.
    record_position_ = row;
    CursorPosChanged();
  } else {
    return;
  }
  change_log_.CheckInvariants(stream_->RowCount());
  if (!cached_updates_) CommitUpdates();
}

void TOrvDataSet::InternalAddRecord(TRecordBuffer buffer, bool) {
  CheckModifiable();
  const std::vector<std::string> texts = BufferTexts(buffer);
  InsertData(true);
  WriteRow(texts);
  const int32_t row = stream_->Tell();
  change_log_.RecordInsert(row, StreamRow(row));
  change_log_.CheckInvariants(stream_->RowCount());
  CursorPosChanged();
  if (!cached_updates_) CommitUpdates();
}

void TOrvDataSet::InternalDelete() {
  if (connection_.load() != -1) WaitTerminate();
  if (!CheckCachedUpdates()) return;
  CheckModifiable();
  DeleteData();
  change_log_.CheckInvariants(stream_->RowCount());
  if (!cached_updates_) CommitUpdates();
}

void TOrvDataSet::InsertData(bool append) {
  int32_t row;
  {
    std::lock_guard<TCriticalSection> hold(stream_->Lock());
    if (stream_->Tell() == kBeforeFirstRow) stream_->SetCurRow(0);
    const int32_t count = stream_->RowCount();
    row = append ? count : std::clamp(stream_->Tell(), 0, count);
    for (int32_t k = 0; k < stream_->Count(); ++k)
      static_cast<TCompactStrings*>(stream_->GetObject(k))->Insert(row, std::string());
    stream_->SetRowCount(count + 1);
    stream_->SetCurRow(row);
  }
  change_log_.RowInsertedAt(row);
  if (append) stream_->Last();
}

void TOrvDataSet::DeleteData() {
  const int32_t row = stream_->Tell();
  if (row < 0 || row >= stream_->RowCount() || change_log_.Lists() != stream_->Count()) return;
  std::vector<std::string> values = StreamRow(row);
  {
    std::lock_guard<TCriticalSection> hold(stream_->Lock());
    for (int32_t k = 0; k < stream_->Count(); ++k)
      static_cast<TCompactStrings*>(stream_->GetObject(k))->Delete(row);
    stream_->SetRowCount(stream_->RowCount() - 1);
  }
  change_log_.RecordDelete(row, std::move(values));
  stream_->Prior();
}

void TOrvDataSet::CopyToCurrentRecord(TRecordBuffer buffer) { WriteRow(BufferTexts(buffer)); }

void TOrvDataSet::WriteRow(const std::vector<std::string>& texts) {
  const int32_t row = stream_->Tell();
  const int32_t entry = change_log_.FindLive(row);
  const bool inserted =
      entry >= 0 && change_log_.Entry(entry).kind == TChangeKind::ckInsert;
  std::lock_guard<TCriticalSection> hold(stream_->Lock());
  for (size_t f = 0; f < texts.size(); ++f) {
    const int index = static_cast<int>(f);
    if (inserted) SetFieldValue(change_log_.Store(), texts[f], index, entry);
    SetFieldValue(*stream_, texts[f], index, row);
  }
}

std::vector<std::string> TOrvDataSet::BufferTexts(TRecordBuffer buffer) {
  std::vector<std::string> texts;
  for (const auto& entry : layout_) {
    // A text that does not fit its column is refused before any row changes.
    // It fits as a received value does, in Size - 1 characters: a longer one
    // would be read back cut (a date's server form in a narrower column).
    auto fit = [&entry](std::string text) {
      if (static_cast<int64_t>(text.size()) > int64_t{entry->Size} - 1)
        throw EOrvDataSetException(Format(sValueTooLong, entry->Name));
      return text;
    };
    const char* slot = buffer + entry->Offset;
    if (IsBlobColumn(entry->FieldType)) {
      const TBlobSlot blob = ReadBlobSlot(slot);
      const std::string* value = blob_table_.Value(blob.handle);
      texts.push_back(value == nullptr || blob.length < 1
                          ? std::string()
                          : value->substr(0, static_cast<size_t>(blob.length)));
      continue;
    }
    std::string text(slot, strnlen(slot, static_cast<size_t>(std::max(entry->Size, 0))));
    texts.push_back(fit(IsDateType(entry->FieldType) ? ServerDateText(text) : std::move(text)));
  }
  return texts;
}

std::vector<std::string> TOrvDataSet::StreamRow(int32_t row) {
  std::lock_guard<TCriticalSection> hold(stream_->Lock());
  std::vector<std::string> values;
  for (int32_t k = 0; k < stream_->Count(); ++k)
    values.push_back(static_cast<TCompactStrings*>(stream_->GetObject(k))->Get(row));
  return values;
}

}  // namespace orv
