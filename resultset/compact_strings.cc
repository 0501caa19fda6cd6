// Where the strings live.
//
// A string's bytes are appended to the last block; a block that has no room
// is followed by a new one twice its size (from kFirstBlock up to
// kLargestBlock, or the string's own size when that is larger), so blocks
// never move and a view into them stays put while strings are added. An
// item holds a pointer into a block and the size; an empty string takes no
// bytes at all.
//
// Put and Delete leave the old bytes where they are. Once the bytes no item
// refers to outweigh those in use (and pass kCompactFrom), every live string
// is copied into one block of exactly their size and the old blocks go: a
// compaction costs at most what was dropped since the last one, and the
// blocks never hold more than twice the live bytes plus kCompactFrom. Put
// copies its new string before it drops the old one, so putting a view of
// this same list is safe.
//
// A shared item's bytes live in its shared value instead: Share copies them
// there once and drops them from the blocks, and compaction leaves the item
// alone.
//
// Invariants (asserted): live_bytes_ is the sum of the unshared items' sizes;
// live_bytes_ <= used_bytes_, the sum of the blocks' used bytes.
#include "resultset/compact_strings.h"

#include <algorithm>
#include <cassert>
#include <cstring>

#include "host/exceptions.h"
#include "host/sysutils.h"

namespace orv {

namespace {

constexpr size_t kFirstBlock = 256;
constexpr size_t kLargestBlock = size_t{1} << 20;
constexpr size_t kCompactFrom = size_t{64} << 10;

}  // namespace

void TCompactStrings::Error(const char* format, int index) {
  throw EStringListError(Format(format, index));
}

void TCompactStrings::CheckIndex(int index) const {
  if (index < 0 || index >= count_) Error("List index out of bounds (%d)", index);
}

void TCompactStrings::Grow() {
  int32_t delta = capacity_ > 64 ? capacity_ / 4 : capacity_ > 8 ? 16 : 4;
  SetCapacity(capacity_ + delta);
}

void TCompactStrings::SetCapacity(int32_t n) {
  if (n < count_) Error("List capacity out of bounds (%d)", n);
  if (n == 0) {
    std::vector<Item>().swap(items_);
  } else if (static_cast<size_t>(n) > items_.capacity()) {
    items_.reserve(static_cast<size_t>(n));
  }
  capacity_ = n;
}

TCompactStrings::Item TCompactStrings::Store(std::string_view s) {
  Item item;
  if (s.empty()) return item;
  if (blocks_.empty() || blocks_.back().capacity - blocks_.back().used < s.size()) {
    const size_t next = blocks_.empty() ? kFirstBlock
                                        : std::min(blocks_.back().capacity * 2, kLargestBlock);
    Block block;
    block.capacity = std::max(next, s.size());
    block.bytes = std::make_unique_for_overwrite<char[]>(block.capacity);
    blocks_.push_back(std::move(block));
  }
  Block& block = blocks_.back();
  char* at = block.bytes.get() + block.used;
  std::memcpy(at, s.data(), s.size());
  block.used += s.size();
  used_bytes_ += s.size();
  live_bytes_ += s.size();
  item.data = at;
  item.size = static_cast<uint32_t>(s.size());
  return item;
}

void TCompactStrings::Drop(const Item& item) {
  assert(live_bytes_ >= item.size);
  live_bytes_ -= item.size;
}

void TCompactStrings::CompactIfWasteful() {
  assert(live_bytes_ <= used_bytes_);
  const size_t live = live_bytes_;
  const size_t dropped = used_bytes_ - live;
  if (dropped < kCompactFrom || dropped <= live) return;
  std::vector<Block> old;
  old.swap(blocks_);
  used_bytes_ = live_bytes_ = 0;
  if (live > 0) {
    // One block of exactly the live bytes; later strings start a new one.
    Block block;
    block.capacity = live;
    block.bytes = std::make_unique_for_overwrite<char[]>(live);
    blocks_.push_back(std::move(block));
  }
  for (size_t i = 0; i < items_.size(); ++i) {
    if (IsShared(i)) continue;
    Item& item = items_[i];
    const Item moved = Store(std::string_view(item.data, item.size));
    item.data = moved.data;
    item.size = moved.size;
  }
  assert(live_bytes_ == live && blocks_.size() <= 1);
}

void TCompactStrings::InsertItem(int index, std::string_view s) {
  if (count_ == capacity_) Grow();
  assert(index >= 0 && index <= count_ && count_ < capacity_);
  assert(items_.capacity() >= static_cast<size_t>(capacity_));
  // Within the reserved capacity: the items behind `index` move up one slot,
  // nothing is reallocated.
  items_.insert(items_.begin() + index, Store(s));
  if (!shared_.empty()) shared_.insert(shared_.begin() + index, nullptr);
  ++count_;
  assert(items_.size() == static_cast<size_t>(count_));
}

int TCompactStrings::Add(std::string_view s) {
  const int index = count_;
  InsertItem(index, s);
  return index;
}

int TCompactStrings::AddObject(std::string_view s, TObject* object) {
  const int index = Add(s);
  PutObject(index, object);
  return index;
}

void TCompactStrings::Insert(int index, std::string_view s) {
  if (index < 0 || index > count_) Error("List index out of bounds (%d)", index);
  InsertItem(index, s);
}

void TCompactStrings::Delete(int index) {
  CheckIndex(index);
  Release(static_cast<size_t>(index));
  items_.erase(items_.begin() + index);
  if (!shared_.empty()) shared_.erase(shared_.begin() + index);
  --count_;
  assert(items_.size() == static_cast<size_t>(count_));
  CompactIfWasteful();
}

std::string_view TCompactStrings::Get(int index) const {
  CheckIndex(index);
  const Item& item = items_[static_cast<size_t>(index)];
  return std::string_view(item.data, item.size);
}

TObject* TCompactStrings::GetObject(int index) const {
  CheckIndex(index);
  return items_[static_cast<size_t>(index)].object;
}

void TCompactStrings::Put(int index, std::string_view s) {
  CheckIndex(index);
  Item& item = items_[static_cast<size_t>(index)];
  const Item stored = Store(s);
  Release(static_cast<size_t>(index));
  item.data = stored.data;
  item.size = stored.size;
  CompactIfWasteful();
}

void TCompactStrings::Release(size_t index) {
  if (IsShared(index)) {
    shared_[index] = nullptr;
  } else {
    Drop(items_[index]);
  }
}

std::shared_ptr<const std::string> TCompactStrings::Share(int index) {
  CheckIndex(index);
  const auto i = static_cast<size_t>(index);
  if (shared_.empty()) shared_.resize(items_.size());
  assert(shared_.size() == items_.size());
  if (shared_[i] == nullptr) {
    Item& item = items_[i];
    shared_[i] = std::make_shared<const std::string>(std::string_view(item.data, item.size));
    Drop(item);
    item.data = shared_[i]->data();
  }
  return shared_[i];
}

void TCompactStrings::PutObject(int index, TObject* object) {
  CheckIndex(index);
  items_[static_cast<size_t>(index)].object = object;
}

int TCompactStrings::IndexOf(std::string_view s) const {
  for (int i = 0; i < count_; ++i) {
    if (AnsiCompareText(Get(i), s) == 0) return i;
  }
  return -1;
}

void TCompactStrings::Clear() {
  if (count_ == 0) return;
  items_.clear();
  blocks_.clear();
  shared_.clear();
  used_bytes_ = live_bytes_ = 0;
  count_ = 0;
  SetCapacity(0);
}

}  // namespace orv
