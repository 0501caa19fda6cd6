#include "resultset/compact_strings.h"

#include <cassert>

#include "host/exceptions.h"
#include "host/sysutils.h"

namespace orv {

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

void TCompactStrings::InsertItem(int index, std::string s) {
  if (count_ == capacity_) Grow();
  assert(index >= 0 && index <= count_ && count_ < capacity_);
  assert(items_.capacity() >= static_cast<size_t>(capacity_));
  // Within the reserved capacity: the items behind `index` move up one slot,
  // nothing is reallocated.
  items_.insert(items_.begin() + index, Item{std::move(s), nullptr});
  if (!shared_.empty()) shared_.insert(shared_.begin() + index, nullptr);
  ++count_;
  assert(items_.size() == static_cast<size_t>(count_));
}

int TCompactStrings::Add(std::string s) {
  const int index = count_;
  InsertItem(index, std::move(s));
  return index;
}

int TCompactStrings::AddObject(std::string s, TObject* object) {
  const int index = Add(std::move(s));
  PutObject(index, object);
  return index;
}

void TCompactStrings::Insert(int index, std::string s) {
  if (index < 0 || index > count_) Error("List index out of bounds (%d)", index);
  InsertItem(index, std::move(s));
}

void TCompactStrings::Delete(int index) {
  CheckIndex(index);
  items_.erase(items_.begin() + index);
  if (!shared_.empty()) shared_.erase(shared_.begin() + index);
  --count_;
  assert(items_.size() == static_cast<size_t>(count_));
}

const std::string& TCompactStrings::Text(size_t index) const {
  if (!shared_.empty() && shared_[index] != nullptr) return *shared_[index];
  return items_[index].str;
}

const std::string& TCompactStrings::Get(int index) const {
  CheckIndex(index);
  return Text(static_cast<size_t>(index));
}

TObject* TCompactStrings::GetObject(int index) const {
  CheckIndex(index);
  return items_[static_cast<size_t>(index)].object;
}

void TCompactStrings::Put(int index, std::string s) {
  CheckIndex(index);
  items_[static_cast<size_t>(index)].str = std::move(s);
  if (!shared_.empty()) shared_[static_cast<size_t>(index)] = nullptr;
}

void TCompactStrings::PutObject(int index, TObject* object) {
  CheckIndex(index);
  items_[static_cast<size_t>(index)].object = object;
}

std::shared_ptr<const std::string> TCompactStrings::Share(int index) {
  CheckIndex(index);
  const auto i = static_cast<size_t>(index);
  if (shared_.empty()) shared_.resize(items_.size());
  assert(shared_.size() == items_.size());
  if (shared_[i] == nullptr) {
    shared_[i] = std::make_shared<const std::string>(std::move(items_[i].str));
    items_[i].str = std::string();
  }
  return shared_[i];
}

int TCompactStrings::IndexOf(std::string_view s) const {
  for (int i = 0; i < count_; ++i) {
    if (AnsiCompareText(Text(static_cast<size_t>(i)), s) == 0) return i;
  }
  return -1;
}

void TCompactStrings::Clear() {
  if (count_ == 0) return;
  items_.clear();
  shared_.clear();
  count_ = 0;
  SetCapacity(0);
}

}  // namespace orv
