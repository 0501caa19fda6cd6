// TCompactStrings: the package's minimal list of (string, object) pairs.
//
// Result sets are stored in it: the result stream is one whose objects are
// further TCompactStrings (its column lists), and the dataset's store of
// pending changes is one too. Unlike TStringList it has no sorting, no
// duplicate handling, no change notification and no update batches.
//
// Items sit in one contiguous array. Capacity grows by 4 slots up to 8, by 16
// up to 64 and by a quarter above that (4, 8, 12, 28, 44, 60, 76, 95, 118,
// ...), one allocation per step; Insert and Delete move the items behind the
// index by one slot; appending moves nothing.
//
// Strings are not allocated one by one: their bytes go into blocks the list
// owns (see compact_strings.cc), and an item is a view into a block plus its
// object. A million row texts thus cost their bytes and 24 bytes each rather
// than a heap allocation each. A view returned by Get stays valid until the
// list is next changed.
//
// Sharing. Share(i) hands out item i's string as an immutable shared value,
// copied out of the blocks once, so a reader may keep the bytes while the
// list goes on changing: Get reads the shared value from then on, Put and
// Delete let go of the list's reference, and whoever holds the value keeps
// it as it was. Lists that never share (the row list) pay one empty vector
// for it.
//
// The list owns its strings and never its objects: no operation frees an
// object; whoever stores objects frees them.
//
// Not thread-safe: callers that share a list between threads must serialise
// every call themselves.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "../host/persistent.h"

#pragma GCC visibility push(default)

namespace orv {

class TCompactStrings : public TPersistent {
 public:
  TCompactStrings() = default;
  ~TCompactStrings() override = default;

  int32_t Count() const { return count_; }
  int32_t Capacity() const { return capacity_; }

  // Append; return the new item's index (the old Count).
  int Add(std::string_view s);
  int AddObject(std::string_view s, TObject* object);
  // 0 <= index <= Count; index Count appends.
  void Insert(int index, std::string_view s);
  // The checked operations raise EStringListError
  // "List index out of bounds (<index>)" outside 0 <= index < Count and
  // leave the list unchanged.
  void Delete(int index);
  std::string_view Get(int index) const;
  TObject* GetObject(int index) const;
  void Put(int index, std::string_view s);
  void PutObject(int index, TObject* object);
  // Item `index`'s string as a shared immutable value; the same pointer
  // until the item is Put or deleted. Checked like Get.
  std::shared_ptr<const std::string> Share(int index);
  // The first index whose string equals `s` ignoring case, or -1.
  int IndexOf(std::string_view s) const;
  // Releases every string and the storage; a list with no items is left as
  // it is (its storage kept).
  void Clear();
  // Sets the number of allocated slots. Raises EStringListError
  // "List capacity out of bounds (<n>)" for n < Count.
  void SetCapacity(int32_t n);

  // Bytes the blocks hold, dropped strings included (for tests).
  size_t StoredBytes() const { return used_bytes_; }

  std::string ClassName() const override { return "TCompactStrings"; }

 protected:
  // Inserts without checking the index (0 <= index <= Count is the caller's
  // promise); grows first when every slot is used.
  void InsertItem(int index, std::string_view s);
  void Grow();

 private:
  struct Item {
    const char* data = nullptr;
    uint32_t size = 0;
    TObject* object = nullptr;
  };
  struct Block {
    std::unique_ptr<char[]> bytes;
    size_t capacity = 0;
    size_t used = 0;
  };

  [[noreturn]] static void Error(const char* format, int index);
  void CheckIndex(int index) const;
  // A copy of `s` in the blocks.
  Item Store(std::string_view s);
  // The bytes of an item in the blocks are no longer needed.
  void Drop(const Item& item);
  bool IsShared(size_t index) const { return !shared_.empty() && shared_[index] != nullptr; }
  // Item `index`'s bytes are no longer needed, wherever they are.
  void Release(size_t index);
  // Copies the live strings into one block once the dropped ones outweigh
  // them.
  void CompactIfWasteful();

  // items_.size() == count_; items_.capacity() >= capacity_, and the vector
  // never reallocates between growth steps because every step reserves.
  std::vector<Item> items_;
  int32_t count_ = 0;
  int32_t capacity_ = 0;
  std::vector<Block> blocks_;  // only the last one is filled further
  size_t used_bytes_ = 0;      // bytes used in all blocks
  size_t live_bytes_ = 0;      // of those, the bytes unshared items refer to
  // Empty until the first Share; then one entry per item, nullptr where the
  // item's bytes are in the blocks. A shared item's view points into its
  // shared value.
  std::vector<std::shared_ptr<const std::string>> shared_;
};

}  // namespace orv

#pragma GCC visibility pop
