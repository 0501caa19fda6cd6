#include "host/blobslot.h"

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
  entries_.push_back(std::move(entry));
  return static_cast<uint32_t>(entries_.size());
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
}

}  // namespace orv
