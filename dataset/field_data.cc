// Field data: converting single values between slot texts and the host
// fields' native buffers.
//
// A slot holds text: decimal numbers, "T"/"F" for booleans, and dates in
// one of two MW forms: the server's 17 digits ("yyyymmddhhnnsszzz") after a
// row is copied in, or the buffer form ("<ms of day>;<day number>") after a
// value was set. Both forms read back. An empty slot of a number, boolean
// or date type reads as null. A value too long for its slot is refused with
// the host's error naming the field, never cut. Blob values are never
// copied here: blob streams work on the slot itself.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "convert/mw_format.h"
#include "dataset/orv_dataset.h"
#include "host/datetime.h"
#include "host/sysutils.h"
#include "resultset/blob_stream.h"

namespace orv {
namespace {

// Decimal integer with an optional sign; 0 for anything else.
int64_t SignedInt(std::string_view text) {
  text = std::string_view(text).substr(std::min(text.find_first_not_of(" \t"), text.size()));
  bool negative = false;
  if (!text.empty() && (text[0] == '-' || text[0] == '+')) {
    negative = text[0] == '-';
    text.remove_prefix(1);
  }
  int64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') break;
    value = value * 10 + (c - '0');
    if (value > (int64_t{1} << 40)) break;
  }
  return negative ? -value : value;
}

TTimeStamp SlotTimeStamp(const std::string& text) {
  const size_t semicolon = text.find(';');
  if (semicolon == std::string::npos) return TimeStampFromMWFormat(text);
  TTimeStamp stamp;
  stamp.Time = static_cast<int32_t>(StrToFloat(text.substr(0, semicolon)));
  stamp.Date = static_cast<int32_t>(StrToFloat(text.substr(semicolon + 1)));
  return stamp;
}

bool IsNullable(TFieldType type) {
  switch (type) {
    case ftSmallint: case ftInteger: case ftWord: case ftFloat: case ftCurrency:
    case ftBoolean: case ftDate: case ftTime: case ftDateTime:
      return true;
    default:
      return false;
  }
}

}  // namespace

TRecordBuffer TOrvDataSet::FieldBuffer() const {
  if (State() == dsCalcFields) return CalcBuffer();
  if (filter_active_) return filter_buffer_;
  if (key_active_) return key_buffer_;
  return ActiveBuffer();
}

const TFieldInf* TOrvDataSet::LayoutOf(const TField* field) const {
  const int index = field->FieldNo() - 1;
  if (index < 0 || index >= static_cast<int>(layout_.size()))
    DatabaseErrorFmt(SFieldNotFound, field->FieldName());
  return layout_[static_cast<size_t>(index)].get();
}

bool TOrvDataSet::GetFieldData(TField* field, void* buffer) {
  const TRecordBuffer record = FieldBuffer();
  if (record == nullptr) return false;
  if (field->FieldNo() == -1) {
    const char* slot = record + calc_fields_offset_ + field->Offset();
    if (slot[0] == 1) return false;
    if (buffer != nullptr) std::memcpy(buffer, slot + 1, static_cast<size_t>(field->DataSize()));
    return true;
  }
  if (buffer == nullptr) return true;
  const TFieldInf& entry = *LayoutOf(field);
  const size_t data_size = static_cast<size_t>(field->DataSize());
  std::memset(buffer, 0, data_size);
  const char* slot = record + entry.Offset;
  if (IsBlobColumn(entry.FieldType)) return true;
  const std::string text(slot, strnlen(slot, static_cast<size_t>(entry.Size)));
  if (IsNullable(field->DataType()) && Trim(text).empty()) return false;
  switch (field->DataType()) {
    case ftString: {
      const size_t n = std::min(text.size(), data_size > 0 ? data_size - 1 : 0);
      std::memcpy(buffer, text.data(), n);
      break;
    }
    case ftSmallint: {
      const int16_t v = static_cast<int16_t>(SignedInt(text));
      std::memcpy(buffer, &v, sizeof v);
      break;
    }
    case ftWord: {
      const uint16_t v = static_cast<uint16_t>(SignedInt(text));
      std::memcpy(buffer, &v, sizeof v);
      break;
    }
    case ftInteger: {
      const int32_t v = static_cast<int32_t>(SignedInt(text));
      std::memcpy(buffer, &v, sizeof v);
      break;
    }
    case ftBoolean:
      *static_cast<uint8_t*>(buffer) = !text.empty() && text[0] == 'T' ? 1 : 0;
      break;
    case ftFloat: case ftCurrency: {
      const double v = orv::atof(text);
      std::memcpy(buffer, &v, sizeof v);
      break;
    }
    case ftDate: {
      const int32_t v = SlotTimeStamp(text).Date;
      std::memcpy(buffer, &v, sizeof v);
      break;
    }
    case ftTime: {
      const int32_t v = SlotTimeStamp(text).Time;
      std::memcpy(buffer, &v, sizeof v);
      break;
    }
    case ftDateTime: {
      const TTimeStamp stamp = SlotTimeStamp(text);
      const double v = static_cast<double>(stamp.Date) * 86400000.0 + stamp.Time;
      std::memcpy(buffer, &v, sizeof v);
      break;
    }
    default:
      DatabaseError("unsupported data type");
  }
  return true;
}

void TOrvDataSet::SetFieldData(TField* field, const void* buffer) {
  const TDataSetState state = State();
  if (!key_active_ && state != dsEdit && state != dsInsert && state != dsSetKey &&
      state != dsCalcFields && state != dsFilter && state != dsNewValue &&
      state != dsInternalCalc)
    DatabaseError(SNotEditing);
  if (field->FieldNo() == -1) {
    char* slot = CalcBuffer() + calc_fields_offset_ + field->Offset();
    slot[0] = buffer == nullptr ? 1 : 0;
    if (buffer != nullptr) std::memcpy(slot + 1, buffer, static_cast<size_t>(field->DataSize()));
  } else {
    if (state == dsCalcFields) DatabaseError(SNotEditing);
    const TRecordBuffer record = key_active_ ? key_buffer_ : ActiveBuffer();
    if (field->ReadOnly() && state != dsSetKey && state != dsFilter)
      DatabaseErrorFmt(SFieldReadOnly, field->DisplayName());
    field->Validate(buffer);
    const TFieldInf& entry = *LayoutOf(field);
    char* slot = record + entry.Offset;
    if (IsBlobColumn(entry.FieldType)) {
      if (buffer == nullptr) std::memset(slot, 0, kBlobSlotSize);
    } else if (buffer == nullptr) {
      std::memset(slot, 0, static_cast<size_t>(entry.Size));
    } else {
      std::string text;
      switch (field->DataType()) {
        case ftString:
          text = static_cast<const char*>(buffer);
          break;
        case ftSmallint: {
          int16_t v;
          std::memcpy(&v, buffer, sizeof v);
          text = IntToStr(v);
          break;
        }
        case ftWord: {
          uint16_t v;
          std::memcpy(&v, buffer, sizeof v);
          text = IntToStr(v);
          break;
        }
        case ftInteger: {
          int32_t v;
          std::memcpy(&v, buffer, sizeof v);
          text = IntToStr(v);
          break;
        }
        case ftBoolean:
          text = *static_cast<const uint8_t*>(buffer) != 0 ? "T" : "F";
          break;
        case ftFloat: case ftCurrency: {
          double v;
          std::memcpy(&v, buffer, sizeof v);
          text = FloatToStrEx(v);
          break;
        }
        case ftDate: {
          TTimeStamp stamp{0, 0};
          std::memcpy(&stamp.Date, buffer, sizeof stamp.Date);
          text = TimeStampToMWFormat(stamp);
          break;
        }
        case ftTime: {
          TTimeStamp stamp{0, 0};
          std::memcpy(&stamp.Time, buffer, sizeof stamp.Time);
          text = TimeStampToMWFormat(stamp);
          break;
        }
        case ftDateTime: {
          double v;
          std::memcpy(&v, buffer, sizeof v);
          text = TimeStampToMWFormat(MSecsToTimeStamp(std::round(v)));
          break;
        }
        default:
          DatabaseError("unsupported field type");
      }
      if (entry.Size < 1 || text.size() > static_cast<size_t>(entry.Size) - 1)
        DatabaseErrorFmt(sValueTooLong, field->DisplayName());
      std::memcpy(slot, text.data(), text.size());
      std::memset(slot + text.size(), 0, static_cast<size_t>(entry.Size) - text.size());
    }
  }
  if (state != dsCalcFields) DataEvent(deFieldChange, field);
}

std::unique_ptr<TStream> TOrvDataSet::CreateBlobStream(TField* field, TBlobStreamMode mode) {
  const TFieldInf& entry = *LayoutOf(field);
  if (!IsBlobColumn(entry.FieldType))
    DatabaseErrorFmt("Field '%s' is not a blob field", field->DisplayName());
  TRecordBuffer record = FieldBuffer();
  if (mode != bmRead) {
    // Writing follows the rules of SetFieldData: only while editing, never
    // a read-only field, and into the record an edit changes.
    const TDataSetState state = State();
    if (!key_active_ && state != dsEdit && state != dsInsert && state != dsSetKey &&
        state != dsFilter && state != dsNewValue && state != dsInternalCalc)
      DatabaseError(SNotEditing);
    if (field->ReadOnly() && state != dsSetKey && state != dsFilter)
      DatabaseErrorFmt(SFieldReadOnly, field->DisplayName());
    record = key_active_ ? key_buffer_ : ActiveBuffer();
  }
  auto stream = std::make_unique<TZozudBlobStream>(field, &entry, mode, record, this, &blob_table_);
  if (record == nullptr) return stream;
  char* slot = record + entry.Offset;
  if (mode == bmWrite) {
    // A write replaces the value: the slot starts over on an empty block of
    // its own, and the value it referred to stays untouched for others.
    TBlobSlot blob = ReadBlobSlot(slot);
    blob.handle = blob_table_.NewBlock();
    blob.length = 0;
    WriteBlobSlot(slot, blob);
  } else {
    stream->SetSize(std::max<int32_t>(ReadBlobSlot(slot).length, 0));
  }
  return stream;
}

std::string TOrvDataSet::GetFieldValue(TCompactStrings& store, int index, int row) {
  const TFieldInf& entry = *layout_.at(static_cast<size_t>(index));
  auto* list = static_cast<TCompactStrings*>(store.GetObject(IsBlobColumn(entry.FieldType) ? entry.BlobIndex : 0));
  if (IsBlobColumn(entry.FieldType)) return std::string(list->Get(row));
  const std::string_view text = list->Get(row);
  if (static_cast<size_t>(entry.Offset) >= text.size()) return std::string();
  return Trim(text.substr(static_cast<size_t>(entry.Offset),
                                            static_cast<size_t>(entry.Size)));
}

bool TOrvDataSet::SetFieldValue(TCompactStrings& store, const std::string& value, int index,
                                int row) {
  const TFieldInf& entry = *layout_.at(static_cast<size_t>(index));
  if (IsBlobColumn(entry.FieldType)) {
    static_cast<TCompactStrings*>(store.GetObject(entry.BlobIndex))->Put(row, value);
    return true;
  }
  if (value.size() > static_cast<size_t>(entry.Size))
    throw EOrvDataSetException(Format(sValueTooLong, entry.Name));
  auto* rows = static_cast<TCompactStrings*>(store.GetObject(0));
  std::string text(rows->Get(row));
  const size_t offset = static_cast<size_t>(entry.Offset);
  const size_t size = static_cast<size_t>(entry.Size);
  if (text.size() < offset + size) text.resize(offset + size, ' ');
  text.replace(offset, size, Format("%-*s", static_cast<int>(size), value));
  rows->Put(row, std::move(text));
  return true;
}

}  // namespace orv
