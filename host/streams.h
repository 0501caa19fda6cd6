// Streams: byte sequences read and written at a position.
//
// TStream is the abstract interface (Read, Write, Seek and SetSize are the
// primitives; everything else is built on them). TMemoryStream keeps its
// bytes in memory and owns them; TStringStream is a memory stream that reads
// and writes std::string. A position may lie past the end: reading there
// gives nothing, writing there fills the gap with zero bytes.
//
// Not thread-safe: a stream belongs to the thread that uses it.
#pragma once

#include <cstdint>
#include <string>

#include "exceptions.h"
#include "persistent.h"

#pragma GCC visibility push(default)
namespace orv {

class EStreamError : public Exception {
 public:
  using Exception::Exception;
};

// ReadBuffer got fewer bytes than asked for.
class EReadError : public EStreamError {
 public:
  using EStreamError::EStreamError;
};

// WriteBuffer could not write every byte.
class EWriteError : public EStreamError {
 public:
  using EStreamError::EStreamError;
};

enum TSeekOrigin { soFromBeginning, soFromCurrent, soFromEnd };

class TStream : public TObject {
 public:
  // Read and Write move up to `count` bytes (none for count <= 0) and return
  // how many they moved.
  virtual int64_t Read(void* buffer, int64_t count) = 0;
  virtual int64_t Write(const void* buffer, int64_t count) = 0;
  // Returns the new position. Raises EStreamError for a position before 0.
  virtual int64_t Seek(int64_t offset, TSeekOrigin origin) = 0;
  virtual void SetSize(int64_t size) = 0;
  virtual int64_t Size();

  int64_t Position() { return Seek(0, soFromCurrent); }
  void SetPosition(int64_t position) { Seek(position, soFromBeginning); }

  // Raise EReadError "Stream read error" / EWriteError "Stream write error"
  // when fewer than `count` bytes moved.
  void ReadBuffer(void* buffer, int64_t count);
  void WriteBuffer(const void* buffer, int64_t count);

  // Copies `count` bytes from the source's position; count 0 copies the
  // whole source from its beginning. Returns the number of bytes copied.
  int64_t CopyFrom(TStream& source, int64_t count);
};

class TMemoryStream : public TStream {
 public:
  TMemoryStream() = default;

  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  void SetSize(int64_t size) override;
  int64_t Size() override { return static_cast<int64_t>(data_.size()); }

  char* Memory() { return data_.data(); }
  const char* Memory() const { return data_.data(); }
  void Clear();
  // Replaces the contents with the whole of `source`; the position is 0.
  void LoadFromStream(TStream& source);
  // Writes the whole contents to `dest` at its position.
  void SaveToStream(TStream& dest) const;

 protected:
  std::string data_;
  int64_t position_ = 0;
};

class TStringStream : public TMemoryStream {
 public:
  explicit TStringStream(std::string data = {});

  const std::string& DataString() const { return data_; }
  // Reads up to `count` bytes from the position.
  std::string ReadString(int64_t count);
  void WriteString(std::string_view s);
};

}  // namespace orv
#pragma GCC visibility pop
