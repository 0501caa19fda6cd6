#include "resultset/blob_stream.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "host/blobfield.h"
#include "host/forms.h"

namespace orv {

TZozudBlobStream::TZozudBlobStream(TField* field, const TFieldInf* field_inf,
                                   TBlobStreamMode mode, TRecordBuffer buffer,
                                   TDataSet* data_set, TBlobValueTable* blobs)
    : field_(field),
      field_inf_(field_inf),
      mode_(mode),
      buffer_(buffer),
      data_set_(data_set),
      blobs_(blobs) {}

TZozudBlobStream::~TZozudBlobStream() {
  if (!modified_) return;
  if (auto* blob = dynamic_cast<TBlobField*>(field_)) blob->SetModified(true);
  try {
    if (data_set_ != nullptr) data_set_->DataEvent(deFieldChange, field_);
  } catch (const std::exception& e) {
    Application().HandleException(e);
  }
}

int64_t TZozudBlobStream::Read(void* buffer, int64_t count) {
  if (count < 0) throw Exception("TZozudBlobStream.Read can't read negative byte count");
  if (count == 0 || buffer_ == nullptr) return 0;
  const TBlobSlot slot = ReadBlobSlot(Slot());
  if (slot.length < 1) return 0;
  const std::string* value = blobs_->Value(slot.handle);
  // The slot's length, never more than the bytes really there.
  const int64_t length =
      value == nullptr ? 0 : std::min<int64_t>(slot.length, static_cast<int64_t>(value->size()));
  if (position_ < 0 || position_ >= length) return 0;
  count = std::min(count, length - position_);
  std::memcpy(buffer, value->data() + position_, static_cast<size_t>(count));
  position_ += count;
  return count;
}

int64_t TZozudBlobStream::Write(const void* buffer, int64_t count) {
  if (count < 0) throw Exception("TZozudBlobStream.Write can't write negative byte count");
  if (count == 0 || buffer_ == nullptr) return 0;
  // No byte lies before the start, and a slot length is 32 bits.
  if (position_ < 0 || position_ > std::numeric_limits<int32_t>::max() - count) return 0;
  TBlobSlot slot = ReadBlobSlot(Slot());
  const int64_t length = std::max<int32_t>(slot.length, 0);
  const int64_t end = position_ + count;
  // A shared value is copied into a block of the slot's own first.
  std::string* block = blobs_->Writable(slot.handle);
  block->resize(static_cast<size_t>(std::max(length, end)));
  std::memcpy(block->data() + position_, buffer, static_cast<size_t>(count));
  slot.length = static_cast<int32_t>(std::max(length, end));
  WriteBlobSlot(Slot(), slot);
  position_ = end;
  modified_ = true;
  return count;
}

int64_t TZozudBlobStream::Seek(int64_t offset, TSeekOrigin origin) {
  switch (origin) {
    case soFromBeginning: position_ = offset; break;
    case soFromCurrent: position_ += offset; break;
    case soFromEnd: position_ = size_ - offset; break;
    default: throw Exception("TZozudBlobStream.Seek invalid origin");
  }
  return position_;
}

}  // namespace orv
