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
//
// Each field type converts through its one entry of kCodecs (decode,
// encode, whether an empty slot is null), and every write, through a field
// or a blob stream, passes the one state check CheckFieldWritable.
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

// How one field type converts between its slot text and the host's native
// buffer. `decode` gets a buffer of `size` bytes already zeroed; `nullable`
// types read an empty slot as null. Every type the dataset converts has
// exactly one entry in kCodecs; a type without one is refused both ways.
struct TFieldCodec {
  TFieldType type;
  bool nullable;
  void (*decode)(const std::string& text, void* buffer, size_t size);
  std::string (*encode)(const void* buffer);
};

template <class T>
void Store(void* buffer, T value) {
  std::memcpy(buffer, &value, sizeof value);
}

template <class T>
T Load(const void* buffer) {
  T value;
  std::memcpy(&value, buffer, sizeof value);
  return value;
}

void DecodeString(const std::string& text, void* buffer, size_t size) {
  std::memcpy(buffer, text.data(), std::min(text.size(), size > 0 ? size - 1 : 0));
}

std::string EncodeString(const void* buffer) { return static_cast<const char*>(buffer); }

template <class T>
void DecodeInteger(const std::string& text, void* buffer, size_t) {
  Store(buffer, static_cast<T>(SignedInt(text)));
}

template <class T>
std::string EncodeInteger(const void* buffer) {
  return IntToStr(Load<T>(buffer));
}

void DecodeBoolean(const std::string& text, void* buffer, size_t) {
  Store<uint8_t>(buffer, !text.empty() && text[0] == 'T' ? 1 : 0);
}

std::string EncodeBoolean(const void* buffer) {
  return *static_cast<const uint8_t*>(buffer) != 0 ? "T" : "F";
}

void DecodeFloat(const std::string& text, void* buffer, size_t) { Store(buffer, orv::atof(text)); }

std::string EncodeFloat(const void* buffer) { return FloatToStrEx(Load<double>(buffer)); }

void DecodeDate(const std::string& text, void* buffer, size_t) {
  Store(buffer, SlotTimeStamp(text).Date);
}

std::string EncodeDate(const void* buffer) {
  TTimeStamp stamp{0, 0};
  stamp.Date = Load<int32_t>(buffer);
  return TimeStampToMWFormat(stamp);
}

void DecodeTime(const std::string& text, void* buffer, size_t) {
  Store(buffer, SlotTimeStamp(text).Time);
}

std::string EncodeTime(const void* buffer) {
  TTimeStamp stamp{0, 0};
  stamp.Time = Load<int32_t>(buffer);
  return TimeStampToMWFormat(stamp);
}

void DecodeDateTime(const std::string& text, void* buffer, size_t) {
  const TTimeStamp stamp = SlotTimeStamp(text);
  Store(buffer, static_cast<double>(stamp.Date) * 86400000.0 + stamp.Time);
}

std::string EncodeDateTime(const void* buffer) {
  return TimeStampToMWFormat(MSecsToTimeStamp(std::round(Load<double>(buffer))));
}

constexpr TFieldCodec kCodecs[] = {
    {ftString, false, DecodeString, EncodeString},
    {ftSmallint, true, DecodeInteger<int16_t>, EncodeInteger<int16_t>},
    {ftWord, true, DecodeInteger<uint16_t>, EncodeInteger<uint16_t>},
    {ftInteger, true, DecodeInteger<int32_t>, EncodeInteger<int32_t>},
    {ftBoolean, true, DecodeBoolean, EncodeBoolean},
    {ftFloat, true, DecodeFloat, EncodeFloat},
    {ftCurrency, true, DecodeFloat, EncodeFloat},
    {ftDate, true, DecodeDate, EncodeDate},
    {ftTime, true, DecodeTime, EncodeTime},
    {ftDateTime, true, DecodeDateTime, EncodeDateTime},
};

// The codec of `type`; nullptr for a type the dataset does not convert.
const TFieldCodec* CodecOf(TFieldType type) {
  for (const TFieldCodec& codec : kCodecs)
    if (codec.type == type) return &codec;
  return nullptr;
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

void TOrvDataSet::CheckFieldWritable(const TField* field) const {
  const TDataSetState state = State();
  if (!key_active_ && state != dsEdit && state != dsInsert && state != dsSetKey &&
      state != dsCalcFields && state != dsFilter && state != dsNewValue &&
      state != dsInternalCalc)
    DatabaseError(SNotEditing);
  if (field->FieldNo() == -1) return;
  // While calculated fields are filled only they may change.
  if (state == dsCalcFields) DatabaseError(SNotEditing);
  if (field->ReadOnly() && state != dsSetKey && state != dsFilter)
    DatabaseErrorFmt(SFieldReadOnly, field->DisplayName());
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
  const TFieldCodec* codec = CodecOf(field->DataType());
  if (codec != nullptr && codec->nullable && Trim(text).empty()) return false;
  if (codec == nullptr) DatabaseError("unsupported data type");
  codec->decode(text, buffer, data_size);
  return true;
}

void TOrvDataSet::SetFieldData(TField* field, const void* buffer) {
  CheckFieldWritable(field);
  const TDataSetState state = State();
  if (field->FieldNo() == -1) {
    char* slot = CalcBuffer() + calc_fields_offset_ + field->Offset();
    slot[0] = buffer == nullptr ? 1 : 0;
    if (buffer != nullptr) std::memcpy(slot + 1, buffer, static_cast<size_t>(field->DataSize()));
  } else {
    const TRecordBuffer record = key_active_ ? key_buffer_ : ActiveBuffer();
    field->Validate(buffer);
    const TFieldInf& entry = *LayoutOf(field);
    char* slot = record + entry.Offset;
    if (IsBlobColumn(entry.FieldType)) {
      if (buffer == nullptr) std::memset(slot, 0, kBlobSlotSize);
    } else if (buffer == nullptr) {
      std::memset(slot, 0, static_cast<size_t>(entry.Size));
    } else {
      const TFieldCodec* codec = CodecOf(field->DataType());
      if (codec == nullptr) DatabaseError("unsupported field type");
      const std::string text = codec->encode(buffer);
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
    // Writing follows the rules of SetFieldData, into the record an edit
    // changes.
    CheckFieldWritable(field);
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
  stream_->Lock().AssertHeld();
  const TFieldInf& entry = *layout_.at(static_cast<size_t>(index));
  auto* list = static_cast<TCompactStrings*>(store.GetObject(IsBlobColumn(entry.FieldType) ? entry.BlobIndex : 0));
  if (IsBlobColumn(entry.FieldType)) return list->Get(row);
  const std::string& text = list->Get(row);
  if (static_cast<size_t>(entry.Offset) >= text.size()) return std::string();
  return Trim(std::string_view(text).substr(static_cast<size_t>(entry.Offset),
                                            static_cast<size_t>(entry.Size)));
}

bool TOrvDataSet::SetFieldValue(TCompactStrings& store, const std::string& value, int index,
                                int row) {
  stream_->Lock().AssertHeld();
  const TFieldInf& entry = *layout_.at(static_cast<size_t>(index));
  if (IsBlobColumn(entry.FieldType)) {
    static_cast<TCompactStrings*>(store.GetObject(entry.BlobIndex))->Put(row, value);
    return true;
  }
  if (value.size() > static_cast<size_t>(entry.Size))
    throw EOrvDataSetException(Format(sValueTooLong, entry.Name));
  auto* rows = static_cast<TCompactStrings*>(store.GetObject(0));
  std::string text = rows->Get(row);
  const size_t offset = static_cast<size_t>(entry.Offset);
  const size_t size = static_cast<size_t>(entry.Size);
  if (text.size() < offset + size) text.resize(offset + size, ' ');
  text.replace(offset, size, Format("%-*s", static_cast<int>(size), value));
  rows->Put(row, std::move(text));
  return true;
}

}  // namespace orv
