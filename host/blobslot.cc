#include "host/blobslot.h"

#include <algorithm>
#include <cassert>
#include <cstring>

namespace orv {

TBlobSlot ReadBlobSlot(const char* slot) {
  TBlobSlot value;
  std::memcpy(&value.handle, slot, 4);
  std::memcpy(&value.length, slot + 4, 4);
  value.flags = static_cast<uint8_t>(slot[8]);
  return value;
}

void WriteBlobSlot(char* slot, const TBlobSlot& value) {
  std::memcpy(slot, &value.handle, 4);
  std::memcpy(slot + 4, &value.length, 4);
  slot[8] = static_cast<char>(value.flags);
}

uint32_t TBlobValueTable::Add(Entry entry) {
  if (scan_ && Count() >= sweep_at_) Sweep();
  if (!free_.empty()) {
    const uint32_t handle = free_.back();
    free_.pop_back();
    entries_[handle - 1] = std::move(entry);
    return handle;
  }
  entries_.push_back(std::move(entry));
  return static_cast<uint32_t>(entries_.size());
}

void TBlobValueTable::Sweep() {
  std::vector<uint32_t> held;
  scan_(held);
  std::vector<bool> keep(entries_.size() + 1, false);
  for (const uint32_t handle : held) {
    if (handle <= entries_.size()) keep[handle] = true;
  }
  for (uint32_t handle = 1; handle <= entries_.size(); ++handle) {
    Entry& entry = entries_[handle - 1];
    if (keep[handle] || (entry.shared == nullptr && entry.block == nullptr)) continue;
    if (entry.shared != nullptr) shared_handles_.erase(entry.shared.get());
    entry = Entry{};
    free_.push_back(handle);
  }
  sweep_at_ = std::max(kSweepFloor, 2 * Count());
  assert(shared_handles_.size() <= Count());
}

uint32_t TBlobValueTable::Share(std::shared_ptr<const std::string> value) {
  if (value == nullptr) return 0;
  const auto found = shared_handles_.find(value.get());
  if (found != shared_handles_.end()) return found->second;
  const std::string* key = value.get();
  const uint32_t handle = Add(Entry{std::move(value), nullptr});
  shared_handles_.emplace(key, handle);
  return handle;
}

uint32_t TBlobValueTable::NewBlock() {
  return Add(Entry{nullptr, std::make_unique<std::string>()});
}

const std::string* TBlobValueTable::Value(uint32_t handle) const {
  if (handle == 0 || handle > entries_.size()) return nullptr;
  const Entry& entry = entries_[handle - 1];
  return entry.block ? entry.block.get() : entry.shared.get();
}

std::string* TBlobValueTable::Writable(uint32_t& handle) {
  if (handle != 0 && handle <= entries_.size() && entries_[handle - 1].block) {
    return entries_[handle - 1].block.get();
  }
  const std::string* old = Value(handle);
  auto block = std::make_unique<std::string>(old ? *old : std::string());
  std::string* result = block.get();
  handle = Add(Entry{nullptr, std::move(block)});
  assert(Value(handle) == result);
  return result;
}

void TBlobValueTable::Clear() {
  shared_handles_.clear();
  entries_.clear();
  free_.clear();
  sweep_at_ = kSweepFloor;
}

}  // namespace orv
