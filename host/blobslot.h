// The blob slot of a record buffer and the table its references point into.
//
// A record buffer keeps a blob column in a slot of 9 bytes (kBlobSlotSize):
// a 32-bit reference, a 32-bit signed length (below 1 means empty) and a
// flag byte. The layout is fixed because the package's row widths and field
// definition sizes count it. A 4-byte reference cannot hold a pointer on a
// 64-bit platform, so the reference is a handle into a TBlobValueTable kept
// by the dataset that owns the buffer; handle 0 means "no value".
//
// What a handle refers to stays valid while a record buffer holds it,
// however the buffers holding it are copied, and whatever happens to the
// store the value came from:
//   - `Share` keeps a reference to an immutable stored value (a
//     std::shared_ptr<const std::string>); the same value shared twice gets
//     the same handle, so scrolling over stored rows does not grow the table.
//   - `NewBlock` makes a writable block of the slot's own (a blob stream
//     opened for writing); `Writable` copies a shared value into a new block
//     first, so a stored value is never changed through a slot.
//
// Releasing. Values no buffer holds any more (a buffer moved to another row,
// a blob rewritten in an edit) are released in sweeps: once the table holds
// twice as many entries as the last sweep kept (and at least kSweepFloor),
// the next new entry first asks the owner's scan for every handle its
// buffers hold and drops every other entry; dropped handles are handed out
// again. So the table stays within twice what the buffers refer to, and at
// least as many entries are added between two sweeps as the first kept, so
// a sweep's walk over the table is paid for by them. A handle the scan does
// not report is dropped: the scan must see every buffer. Without a scan
// nothing is released before Clear, which the owning dataset calls when it
// closes, after its buffers are gone.
//
// A table belongs to its dataset's thread.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#pragma GCC visibility push(default)
namespace orv {

constexpr int kBlobSlotSize = 9;

// The decoded contents of a blob slot.
struct TBlobSlot {
  uint32_t handle = 0;
  int32_t length = 0;
  uint8_t flags = 0;
};

TBlobSlot ReadBlobSlot(const char* slot);
void WriteBlobSlot(char* slot, const TBlobSlot& value);

class TBlobValueTable {
 public:
  // Appends every handle the owner's buffers hold (duplicates and 0 allowed).
  using THandleScan = std::function<void(std::vector<uint32_t>& handles)>;
  static constexpr size_t kSweepFloor = 64;

  TBlobValueTable() = default;
  TBlobValueTable(const TBlobValueTable&) = delete;
  TBlobValueTable& operator=(const TBlobValueTable&) = delete;

  // A handle for a stored value; nullptr gives 0.
  uint32_t Share(std::shared_ptr<const std::string> value);
  // A handle for a new empty block of the slot's own.
  uint32_t NewBlock();
  // The bytes behind `handle`; nullptr for 0 or an unknown handle.
  const std::string* Value(uint32_t handle) const;
  // The writable block behind `handle`. A shared value (or handle 0) is
  // first copied into a new block, and `handle` is changed to it.
  std::string* Writable(uint32_t& handle);
  // Forgets every value; handles handed out before are unknown afterwards.
  void Clear();
  // The entries held: values and blocks not yet released.
  size_t Count() const { return entries_.size() - free_.size(); }
  void SetHandleScan(THandleScan scan) { scan_ = std::move(scan); }

 private:
  struct Entry {
    std::shared_ptr<const std::string> shared;  // set for a shared value
    std::unique_ptr<std::string> block;         // set for an own block
  };
  uint32_t Add(Entry entry);
  void Sweep();

  std::vector<Entry> entries_;  // handle h is entries_[h - 1]; free ones are empty
  std::vector<uint32_t> free_;  // handles of released entries
  std::unordered_map<const std::string*, uint32_t> shared_handles_;
  THandleScan scan_;
  size_t sweep_at_ = kSweepFloor;  // Count at which the next Add sweeps
};

}  // namespace orv
#pragma GCC visibility pop
