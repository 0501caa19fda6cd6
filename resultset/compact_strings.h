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
// The list owns its strings and never its objects: no operation frees an
// object; whoever stores objects frees them.
//
// Sharing. Share(i) moves item i's string into an immutable shared value
// and hands that out, so a reader may keep the bytes without copying them
// while the list goes on changing: Get reads the shared value from then on,
// Put and Delete let go of the list's reference, and whoever holds the
// value keeps it as it was. Lists that never share (the row list) pay one
// empty vector for it.
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
  int Add(std::string s);
  int AddObject(std::string s, TObject* object);
  // 0 <= index <= Count; index Count appends.
  void Insert(int index, std::string s);
  // The checked operations raise EStringListError
  // "List index out of bounds (<index>)" outside 0 <= index < Count and
  // leave the list unchanged.
  void Delete(int index);
  const std::string& Get(int index) const;
  TObject* GetObject(int index) const;
  void Put(int index, std::string s);
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

  std::string ClassName() const override { return "TCompactStrings"; }

 protected:
  // Inserts without checking the index (0 <= index <= Count is the caller's
  // promise); grows first when every slot is used.
  void InsertItem(int index, std::string s);
  void Grow();

 private:
  struct Item {
    std::string str;
    TObject* object = nullptr;
  };

  [[noreturn]] static void Error(const char* format, int index);
  void CheckIndex(int index) const;
  const std::string& Text(size_t index) const;

  // items_.size() == count_; items_.capacity() >= capacity_, and the vector
  // never reallocates between growth steps because every step reserves.
  std::vector<Item> items_;
  // Empty until the first Share; then one entry per item, nullptr where the
  // item's string is still in items_.
  std::vector<std::shared_ptr<const std::string>> shared_;
  int32_t count_ = 0;
  int32_t capacity_ = 0;
};

}  // namespace orv
#pragma GCC visibility pop
