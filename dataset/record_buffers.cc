// Record buffers, the cursor and bookmarks.
//
// A record buffer is one block: the data area (each layout entry's slot at
// its Offset: zero-terminated text of at most Size - 1 characters, or a
// 9-byte blob slot), the calculated-field area, one bookmark flag byte and
// a 4-byte bookmark holding the result-stream row number. All sizes and
// offsets are 32 bits wide, so no row width can wrap them.
//
// The record position is kBeforeFirstRow, kAfterLastRow, or the row last
// fetched. The result stream may still be growing on the
// reader thread: the stream's First and Next wait for rows not yet
// received, and Last for the whole result.
#include <cassert>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "dataset/orv_dataset.h"
#include "host/forms.h"

namespace orv {
namespace {

int32_t ReadInt32(const char* p) {
  int32_t value;
  std::memcpy(&value, p, sizeof value);
  return value;
}


}  // namespace

void TOrvDataSet::InternalInitFieldDefs() {
  FieldDefs()->Clear();
  record_size_ = DecodeLayout(*stream_, layout_);
  const int32_t count = std::min<int32_t>(visible_columns_, static_cast<int32_t>(layout_.size()));
  for (int32_t n = 1; n <= count; ++n) {
    const TFieldInf& entry = *layout_[n - 1];
    const TFieldType type = entry.FieldType;
    if (type == ftString || type == ftBytes || type == ftBlob || type == ftMemo) {
      if (database_ != nullptr && database_->DatabaseType() == dtOracle &&
          entry.Name == "ROWID" && hide_rowid_)
        continue;
      new TFieldDef(FieldDefs(), entry.Name, type, entry.DefSize, false, n);
    } else {
      new TFieldDef(FieldDefs(), entry.Name, type, 0, false, n);
    }
  }
}

void TOrvDataSet::InternalOpen() {
  stream_->First();
  record_position_ = kBeforeFirstRow;
  cursor_open_ = true;
  InternalInitFieldDefs();
  if (DefaultFields()) CreateFields();
  BindFields(true);
  SetBookmarkSize(4);
  calc_fields_offset_ = record_size_;
  bookmark_flag_offset_ = calc_fields_offset_ + CalcFieldsSize();
  bookmark_offset_ = bookmark_flag_offset_ + 1;
  record_buffer_size_ = bookmark_offset_ + BookmarkSize();
  {
    // One pending list per stream list; the old ones are released.
    std::lock_guard<TCriticalSection> hold(stream_->Lock());
    change_log_.Reset(stream_->Count());
  }
  AllocKeyBuffers();
  if (OnFilterRecord() && Filtered()) ActivateFilters();
}

void TOrvDataSet::InternalClose() {
  FreeKeyBuffers();
  BindFields(false);
  if (DefaultFields()) DestroyFields();
  cursor_open_ = false;
  stream_->Close();
  // The buffers are gone by now, so nothing refers to these values.
  blob_table_.Clear();
}

void TOrvDataSet::InternalFirst() {
  if (!Active()) return;
  stream_->First();
  record_position_ = kBeforeFirstRow;
}

void TOrvDataSet::InternalLast() {
  if (!Active()) return;
  stream_->Last();
  record_position_ = kAfterLastRow;
  CheckResultComplete();
}

TGetResult TOrvDataSet::GetRecord(TRecordBuffer buffer, TGetMode mode, bool) {
  TGetResult result = grOK;
  if (stream_->RowCount() < 1) {
    result = grEOF;
  } else if (mode == gmCurrent) {
    const int32_t cur = stream_->Tell();
    if (cur == kBeforeFirstRow || cur == kAfterLastRow) result = grError;
    else record_position_ = cur;
  } else if (mode == gmNext) {
    if (record_position_ == kAfterLastRow) {
      result = grEOF;
    } else {
      if (record_position_ != kBeforeFirstRow) stream_->Next();
      if (stream_->Eof()) {
        record_position_ = kAfterLastRow;
        stream_->SetCurRow(kAfterLastRow);
        result = grEOF;
      } else {
        record_position_ = stream_->Tell();
      }
    }
  } else if (mode == gmPrior) {
    if (record_position_ == kBeforeFirstRow) {
      result = grBOF;
    } else {
      if (record_position_ != kAfterLastRow) stream_->Prior();
      if (stream_->Bof()) {
        record_position_ = kBeforeFirstRow;
        stream_->SetCurRow(kBeforeFirstRow);
        result = grBOF;
      } else {
        record_position_ = stream_->Tell();
      }
    }
  } else {
    result = grError;
  }
  if (result == grOK) {
    CopyFromCurrentRecord(buffer);
    GetCalcFields(buffer);
    SetBookmarkFlag(buffer, bfCurrent);
    const int32_t row = stream_->Tell();
    SetBookmarkData(buffer, &row);
    return grOK;
  }
  InternalInitRecord(buffer);
  // Only a move the application asked for may run into the end of what was
  // received; filling the rest of a window there is no error.
  if (result == grEOF && mode == gmNext && !FillingWindow()) CheckResultComplete();
  return result;
}

void TOrvDataSet::CopyFromCurrentRecord(TRecordBuffer buffer) {
  const int32_t row = stream_->Tell();
  for (size_t i = 0; i < layout_.size(); ++i) {
    const TFieldInf& entry = *layout_[i];
    const auto column = static_cast<int32_t>(i);
    char* slot = buffer + entry.Offset;
    if (IsBlobColumn(entry.FieldType)) {
      // The slot refers to the stored bytes themselves: viewing a blob
      // costs no copy, and an edit copies it only when it writes.
      TBlobSlot blob;
      std::shared_ptr<const std::string> stored = stream_->BlobValue(column, row);
      if (stored != nullptr && !stored->empty()) {
        blob.length = static_cast<int32_t>(stored->size());
        blob.handle = blob_table_.Share(std::move(stored));
      }
      WriteBlobSlot(slot, blob);
    } else {
      const std::string value = stream_->GetFieldValue(column, row);
      // A slot holds Size - 1 characters and its zero; a longer stored value
      // is cut here rather than written over the next slot.
      const size_t room = entry.Size > 0 ? static_cast<size_t>(entry.Size) - 1 : 0;
      const size_t n = std::min(value.size(), room);
      std::memcpy(slot, value.data(), n);
      if (entry.Size > 0) std::memset(slot + n, 0, static_cast<size_t>(entry.Size) - n);
    }
  }
}

void TOrvDataSet::FreeBlobBuffer(TRecordBuffer buffer) {
  if (buffer == nullptr) return;
  for (const auto& entry : layout_) {
    if (!IsBlobColumn(entry->FieldType)) continue;
    TBlobSlot blob = ReadBlobSlot(buffer + entry->Offset);
    if (blob.handle == 0 && blob.length == 0) continue;
    blob.handle = 0;
    blob.length = 0;
    WriteBlobSlot(buffer + entry->Offset, blob);
  }
}

void TOrvDataSet::HeldBlobHandles(std::vector<uint32_t>& handles) const {
  auto scan = [&](TRecordBuffer buffer) {
    if (buffer == nullptr) return;
    for (const auto& entry : layout_) {
      if (IsBlobColumn(entry->FieldType))
        handles.push_back(ReadBlobSlot(buffer + entry->Offset).handle);
    }
  };
  if (BufferCount() > 0) {
    for (int i = 0; i <= BufferCount(); ++i) scan(Buffers(i));
  }
  scan(key_buffer_);
  scan(filter_buffer_);
}

TRecordBuffer TOrvDataSet::AllocRecordBuffer() {
  return static_cast<TRecordBuffer>(std::calloc(static_cast<size_t>(record_buffer_size_) + 1, 1));
}

void TOrvDataSet::FreeRecordBuffer(TRecordBuffer& buffer) {
  try {
    FreeBlobBuffer(buffer);
  } catch (const std::exception& e) {
    MessageBox(e.what(), Application().Title(), MB_ICONSTOP | MB_TASKMODAL);
  }
  std::free(buffer);
  buffer = nullptr;
}

void TOrvDataSet::InternalInitRecord(TRecordBuffer buffer) {
  FreeBlobBuffer(buffer);
  std::memset(buffer, 0, static_cast<size_t>(record_buffer_size_));
}

void TOrvDataSet::ClearCalcFields(TRecordBuffer buffer) {
  std::memset(buffer + calc_fields_offset_, 0, static_cast<size_t>(CalcFieldsSize()));
}

bool TOrvDataSet::GetCurrentRecord(TRecordBuffer buffer) {
  if (IsEmpty()) return false;
  std::memcpy(buffer, ActiveBuffer(), static_cast<size_t>(record_size_));
  return true;
}

void TOrvDataSet::GetBookmarkData(TRecordBuffer buffer, void* data) {
  std::memcpy(data, buffer + bookmark_offset_, 4);
}

void TOrvDataSet::SetBookmarkData(TRecordBuffer buffer, const void* data) {
  std::memcpy(buffer + bookmark_offset_, data, 4);
}

TBookmarkFlag TOrvDataSet::GetBookmarkFlag(TRecordBuffer buffer) {
  return static_cast<TBookmarkFlag>(buffer[bookmark_flag_offset_]);
}

void TOrvDataSet::SetBookmarkFlag(TRecordBuffer buffer, TBookmarkFlag flag) {
  buffer[bookmark_flag_offset_] = static_cast<char>(flag);
}

void TOrvDataSet::InternalGotoBookmark(const void* bookmark) {
  const int32_t v = ReadInt32(static_cast<const char*>(bookmark));
  record_position_ = v;
  if (v == kBeforeFirstRow) {
    stream_->First();
  } else if (v == kAfterLastRow) {
    stream_->Last();
    stream_->Next();
  } else if (v >= 0 && v <= stream_->RowCount()) {
    stream_->SetCurRow(v);
  }
}

void TOrvDataSet::InternalSetToRecord(TRecordBuffer buffer) {
  InternalGotoBookmark(buffer + bookmark_offset_);
}

bool TOrvDataSet::BookmarkValid(TBookmark bookmark) {
  if (!stream_ || bookmark == nullptr) return false;
  const int32_t v = ReadInt32(static_cast<const char*>(bookmark));
  if (v < 0 || v >= stream_->RowCount()) return false;
  CursorPosChanged();
  stream_->SetCurRow(v);
  return true;
}

int TOrvDataSet::CompareBookmarks(TBookmark a, TBookmark b) {
  if (a == b) return 0;
  if (a != nullptr && b != nullptr &&
      ReadInt32(static_cast<const char*>(a)) == ReadInt32(static_cast<const char*>(b)))
    return 0;
  return 1;
}

int TOrvDataSet::GetRecordCount() {
  CheckActive();
  WaitTerminate();
  CheckResultComplete();
  return stream_->RowCount();
}

void TOrvDataSet::ActivateFilters() {
  WaitTerminate();
  const int32_t saved = stream_->Tell();
  std::unique_ptr<char, decltype(&std::free)> block(
      static_cast<char*>(std::calloc(static_cast<size_t>(record_buffer_size_) + 1, 1)), &std::free);
  filter_buffer_ = block.get();
  filter_active_ = true;
  try {
    for (int32_t r = stream_->RowCount() - 1; r >= 0; --r) {
      stream_->SetCurRow(r);
      CopyFromCurrentRecord(block.get());
      bool accept = true;
      OnFilterRecord()(this, accept);
      if (!accept) {
        std::lock_guard<TCriticalSection> hold(stream_->Lock());
        for (int32_t k = 0; k < stream_->Count(); ++k)
          static_cast<TCompactStrings*>(stream_->GetObject(k))->Delete(r);
        stream_->SetRowCount(static_cast<TCompactStrings*>(stream_->GetObject(0))->Count());
      }
    }
  } catch (...) {
    filter_active_ = false;
    filter_buffer_ = nullptr;
    stream_->SetCurRow(saved);
    throw;
  }
  filter_active_ = false;
  filter_buffer_ = nullptr;
  stream_->SetCurRow(std::min(saved, stream_->RowCount() - 1));
}

}  // namespace orv
