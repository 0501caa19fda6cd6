#include "memory_dataset.h"

namespace orv::testing {

int TMemoryDataSet::NativeSize(size_t column) const {
  const Column& c = columns_[column];
  if (IsBlobType(c.type)) return kBlobSlotSize;
  switch (c.type) {
    case ftString:
      return c.size + 1;
    case ftSmallint:
    case ftWord:
      return 2;
    case ftBoolean:
      return 1;
    case ftFloat:
    case ftCurrency:
    case ftDateTime:
    case ftLargeint:
      return 8;
    case ftBytes:
      return c.size;
    case ftVarBytes:
      return c.size + 2;
    default:
      return 4;
  }
}

void TMemoryDataSet::InternalOpen() {
  calls.push_back("InternalOpen");
  offsets_.clear();
  int offset = 0;
  for (size_t i = 0; i < columns_.size(); ++i) {
    offsets_.push_back(offset);
    offset += 1 + NativeSize(i);
  }
  record_size_ = offset;
  InternalInitFieldDefs();
  if (DefaultFields()) CreateFields();
  BindFields(true);
  SetBookmarkSize(4);
  bookmark_offset_ = record_size_ + CalcFieldsSize() + 1;
  buffer_size_ = bookmark_offset_ + 4;
  cursor_ = -1;
  open_ = true;
}

TGetResult TMemoryDataSet::GetRecord(TRecordBuffer buffer, TGetMode mode, bool) {
  const int count = static_cast<int>(rows_.size());
  TGetResult result = grOK;
  switch (mode) {
    case gmCurrent:
      if (cursor_ < 0 || cursor_ >= count) result = grError;
      break;
    case gmNext:
      if (cursor_ >= count - 1) {
        cursor_ = count;
        result = grEOF;
      } else {
        ++cursor_;
      }
      break;
    case gmPrior:
      if (cursor_ <= 0) {
        cursor_ = -1;
        result = grBOF;
      } else {
        --cursor_;
      }
      break;
  }
  calls.push_back("GetRecord" + std::to_string(mode) + "=" + std::to_string(result));
  if (result != grOK) {
    InternalInitRecord(buffer);
    return result;
  }
  CopyRowToBuffer(rows_[static_cast<size_t>(cursor_)], buffer);
  GetCalcFields(buffer);
  SetBookmarkFlag(buffer, bfCurrent);
  SetBookmarkData(buffer, &rows_[static_cast<size_t>(cursor_)].id);
  return grOK;
}

void TMemoryDataSet::CopyRowToBuffer(const Row& row, TRecordBuffer buffer) {
  for (size_t i = 0; i < columns_.size(); ++i) {
    char* slot = buffer + offsets_[i];
    const Cell& cell = row.cells[i];
    slot[0] = cell.null ? 1 : 0;
    if (IsBlobType(columns_[i].type)) {
      TBlobSlot blob;
      blob.handle = blobs_.Share(cell.blob);
      blob.length = cell.blob ? static_cast<int32_t>(cell.blob->size()) : 0;
      WriteBlobSlot(slot + 1, blob);
    } else {
      std::memset(slot + 1, 0, static_cast<size_t>(NativeSize(i)));
      std::memcpy(slot + 1, cell.native.data(),
                  std::min(cell.native.size(), static_cast<size_t>(NativeSize(i))));
    }
  }
}

void TMemoryDataSet::CopyBufferToRow(TRecordBuffer buffer, Row& row) {
  row.cells.resize(columns_.size());
  for (size_t i = 0; i < columns_.size(); ++i) {
    const char* slot = buffer + offsets_[i];
    Cell& cell = row.cells[i];
    if (IsBlobType(columns_[i].type)) {
      const TBlobSlot blob = ReadBlobSlot(slot + 1);
      const std::string* value = blobs_.Value(blob.handle);
      cell.blob = value ? std::make_shared<const std::string>(*value) : nullptr;
      cell.null = cell.blob == nullptr || cell.blob->empty();
    } else {
      cell.null = slot[0] != 0;
      cell.native.assign(slot + 1, static_cast<size_t>(NativeSize(i)));
    }
  }
}

void TMemoryDataSet::InternalPost() {
  calls.push_back("InternalPost");
  TRecordBuffer buffer = ActiveBuffer();
  if (State() == dsEdit) {
    CopyBufferToRow(buffer, rows_[static_cast<size_t>(cursor_)]);
    return;
  }
  // dsInsert: the record goes before the row it was inserted at, or at
  // the end when appended (or when there was no row).
  Row row{next_id_++, {}};
  CopyBufferToRow(buffer, row);
  const int at = GetBookmarkFlag(buffer) == bfEOF ? static_cast<int>(rows_.size())
                                                  : std::clamp(cursor_, 0, static_cast<int>(rows_.size()));
  rows_.insert(rows_.begin() + at, std::move(row));
  cursor_ = at;
}

void TMemoryDataSet::InternalAddRecord(TRecordBuffer buffer, bool append) {
  calls.push_back("InternalAddRecord");
  Row row{next_id_++, {}};
  CopyBufferToRow(buffer, row);
  const int at = append ? static_cast<int>(rows_.size()) : std::max(cursor_, 0);
  rows_.insert(rows_.begin() + at, std::move(row));
  cursor_ = at;
}

bool TMemoryDataSet::GetFieldData(TField* field, void* buffer) {
  TRecordBuffer record = FieldBuffer();
  if (record == nullptr) return false;
  const char* slot;
  if (field->FieldNo() == -1) {
    slot = record + record_size_ + field->Offset();
  } else {
    slot = record + offsets_[static_cast<size_t>(field->FieldNo() - 1)];
  }
  if (slot[0] != 0) return false;
  if (buffer != nullptr) std::memcpy(buffer, slot + 1, static_cast<size_t>(field->DataSize()));
  return true;
}

void TMemoryDataSet::SetFieldData(TField* field, const void* buffer) {
  const TDataSetState state = State();
  if (state != dsEdit && state != dsInsert && state != dsSetKey && state != dsCalcFields) {
    DatabaseError(SNotEditing, this);
  }
  char* slot;
  if (field->FieldNo() == -1) {
    slot = CalcBuffer() + record_size_ + field->Offset();
  } else {
    if (state == dsCalcFields) DatabaseError(SNotEditing, this);
    if (field->ReadOnly() && state != dsSetKey) DatabaseErrorFmt(SFieldReadOnly, field->DisplayName(), this);
    field->Validate(buffer);
    slot = ActiveBuffer() + offsets_[static_cast<size_t>(field->FieldNo() - 1)];
  }
  slot[0] = buffer == nullptr ? 1 : 0;
  if (buffer != nullptr) std::memcpy(slot + 1, buffer, static_cast<size_t>(field->DataSize()));
  if (state != dsCalcFields) DataEvent(deFieldChange, field);
}

// A stream over the blob slot of one field in the active record buffer.
class TMemoryDataSet::BlobStream : public TStream {
 public:
  BlobStream(TMemoryDataSet* dataset, TField* field, char* slot)
      : dataset_(dataset), field_(field), slot_(slot) {}
  ~BlobStream() override {
    if (!modified_) return;
    if (auto* blob = dynamic_cast<TBlobField*>(field_)) blob->SetModified(true);
    dataset_->DataEvent(deFieldChange, field_);
  }
  int64_t Read(void* buffer, int64_t count) override {
    const std::string* value = dataset_->blobs_.Value(ReadBlobSlot(slot_).handle);
    if (value == nullptr || position_ >= static_cast<int64_t>(value->size())) return 0;
    count = std::min<int64_t>(count, static_cast<int64_t>(value->size()) - position_);
    std::memcpy(buffer, value->data() + position_, static_cast<size_t>(count));
    position_ += count;
    return count;
  }
  int64_t Write(const void* buffer, int64_t count) override {
    if (count <= 0) return 0;
    TBlobSlot blob = ReadBlobSlot(slot_);
    std::string* value = dataset_->blobs_.Writable(blob.handle);
    if (static_cast<int64_t>(value->size()) < position_ + count) {
      value->resize(static_cast<size_t>(position_ + count));
    }
    std::memcpy(value->data() + position_, buffer, static_cast<size_t>(count));
    position_ += count;
    blob.length = static_cast<int32_t>(value->size());
    WriteBlobSlot(slot_, blob);
    slot_[-1] = 0;
    modified_ = true;
    return count;
  }
  int64_t Seek(int64_t offset, TSeekOrigin origin) override {
    const int64_t size = ReadBlobSlot(slot_).length;
    position_ = origin == soFromBeginning ? offset : origin == soFromCurrent ? position_ + offset
                                                                              : size + offset;
    return position_;
  }
  void SetSize(int64_t) override {}

 private:
  TMemoryDataSet* dataset_;
  TField* field_;
  char* slot_;
  int64_t position_ = 0;
  bool modified_ = false;
};

std::unique_ptr<TStream> TMemoryDataSet::CreateBlobStream(TField* field, TBlobStreamMode mode) {
  char* slot = ActiveBuffer() + offsets_[static_cast<size_t>(field->FieldNo() - 1)] + 1;
  if (mode == bmWrite) {
    if (State() != dsEdit && State() != dsInsert) DatabaseError(SNotEditing, this);
    WriteBlobSlot(slot, TBlobSlot{blobs_.NewBlock(), 0, 0});
  }
  return std::make_unique<BlobStream>(this, field, slot);
}

}  // namespace orv::testing
