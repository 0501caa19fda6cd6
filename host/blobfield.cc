#include "host/blobfield.h"

#include "host/dataset.h"

namespace orv {

TBlobField::TBlobField(TComponent* owner) : TBlobField(owner, ftBlob) {}

TBlobField::TBlobField(TComponent* owner, TFieldType type) : TField(owner) { SetDataType(type); }

int64_t TBlobField::BlobSize() const {
  if (DataSet() == nullptr) DatabaseErrorFmt("Field '%s' has no dataset", DisplayName());
  auto stream = DataSet()->CreateBlobStream(const_cast<TBlobField*>(this), bmRead);
  return stream->Size();
}

bool TBlobField::IsNull() const { return BlobSize() == 0; }

std::string TBlobField::AsString() const {
  if (DataSet() == nullptr) DatabaseErrorFmt("Field '%s' has no dataset", DisplayName());
  auto stream = DataSet()->CreateBlobStream(const_cast<TBlobField*>(this), bmRead);
  std::string value(static_cast<size_t>(stream->Size()), '\0');
  value.resize(static_cast<size_t>(stream->Read(value.data(), stream->Size())));
  return value;
}

void TBlobField::SetAsString(const std::string& value) {
  if (DataSet() == nullptr) DatabaseErrorFmt("Field '%s' has no dataset", DisplayName());
  auto stream = DataSet()->CreateBlobStream(this, bmWrite);
  stream->WriteBuffer(value.data(), static_cast<int64_t>(value.size()));
  if (value.empty()) {
    // Nothing was written, so the stream will not report the change.
    stream.reset();
    SetModified(true);
    DataSet()->DataEvent(deFieldChange, this);
  }
}

void TBlobField::Clear() { SetAsString(std::string()); }

Variant TBlobField::AsVariant() const {
  return IsNull() ? Variant::Null() : Variant(AsString());
}

void TBlobField::LoadFromStream(TStream& stream) {
  std::string value(static_cast<size_t>(stream.Size() - stream.Position()), '\0');
  stream.ReadBuffer(value.data(), static_cast<int64_t>(value.size()));
  SetAsString(value);
}

void TBlobField::SaveToStream(TStream& stream) const {
  const std::string value = AsString();
  stream.WriteBuffer(value.data(), static_cast<int64_t>(value.size()));
}

}  // namespace orv
