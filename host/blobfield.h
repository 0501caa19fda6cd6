// Blob fields: values that live outside the record, read and written as
// streams the dataset makes (`CreateBlobStream`).
//
// A blob field has no native buffer (DataSize 0). Reading opens a read-mode
// stream; writing opens a write-mode stream, whose destruction after a write
// marks the field Modified and tells the dataset (deFieldChange). A blob is
// null when its value is empty. Same threading as TField.
#pragma once

#include <string>

#include "fields.h"
#include "streams.h"

#pragma GCC visibility push(default)
namespace orv {

class TBlobField : public TField {
 public:
  explicit TBlobField(TComponent* owner);

  bool IsNull() const override;
  void Clear() override;
  std::string AsString() const override;  // the bytes, unchanged
  void SetAsString(const std::string& value) override;
  Variant AsVariant() const override;

  // Replaces the value with what remains in `stream`.
  void LoadFromStream(TStream& stream);
  // Writes the whole value to `stream` at its position.
  void SaveToStream(TStream& stream) const;
  // The value's length in bytes.
  int64_t BlobSize() const;

  // True once the value was written since the record was fetched; blob
  // streams set it, the dataset clears it when the record is posted or
  // cancelled.
  bool Modified() const { return modified_; }
  void SetModified(bool value) { modified_ = value; }

  std::string ClassName() const override { return "TBlobField"; }

 protected:
  TBlobField(TComponent* owner, TFieldType type);
  void FreeBuffers() override { modified_ = false; }

 private:
  bool modified_ = false;
};

class TMemoField : public TBlobField {
 public:
  explicit TMemoField(TComponent* owner) : TBlobField(owner, ftMemo) {}
  std::string ClassName() const override { return "TMemoField"; }
};

class TGraphicField : public TBlobField {
 public:
  explicit TGraphicField(TComponent* owner) : TBlobField(owner, ftGraphic) {}
  std::string ClassName() const override { return "TGraphicField"; }
};

}  // namespace orv
#pragma GCC visibility pop
