// TZozudBlobStream: the stream a dataset hands out for a blob field.
//
// It reads and writes the value in one blob slot of one record buffer: the
// slot at the field's Offset (FieldInf) in Buffer, whose handle names the
// bytes in the dataset's TBlobValueTable. It owns nothing: the bytes belong
// to the table. The first write through a slot that still shares a value
// of the result stream gives the slot a block of its own (a copy), so a
// stored row never changes behind the stream.
//
// Positions are not limited: a seek may go before the start or past the
// end. A read outside the value gives nothing; a write before the start
// writes nothing; a write past the end extends the value, the gap filled
// with zero bytes. A stream made without a record buffer (a closed
// dataset) reads and writes nothing.
//
// Destroying a stream that wrote marks the field modified and tells the
// dataset (deFieldChange); a failure there is shown to the user.
//
// Belongs to the dataset's thread; lives no longer than its record buffer.
#pragma once

#include <cstdint>

#include "host/blobslot.h"
#include "host/dataset.h"
#include "host/streams.h"
#include "resultset/field_inf.h"

namespace orv {

class TZozudBlobStream : public TStream {
 public:
  TZozudBlobStream(TField* field, const TFieldInf* field_inf, TBlobStreamMode mode,
                   TRecordBuffer buffer, TDataSet* data_set, TBlobValueTable* blobs);
  ~TZozudBlobStream() override;

  // Raise Exception for a negative count.
  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  // soFromEnd counts a positive offset back from Size. Raises Exception for
  // an origin that is none of the three.
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  // Only remembers the size for seeks from the end; the value is unchanged.
  void SetSize(int64_t size) override { size_ = size; }

  TBlobStreamMode Mode() const { return mode_; }
  bool Modified() const { return modified_; }

 private:
  char* Slot() const { return buffer_ + field_inf_->Offset; }

  TField* field_;
  const TFieldInf* field_inf_;
  TBlobStreamMode mode_;
  TRecordBuffer buffer_;
  int64_t size_ = 0;
  int64_t position_ = 0;
  TDataSet* data_set_;
  TBlobValueTable* blobs_;
  bool modified_ = false;
};

}  // namespace orv
