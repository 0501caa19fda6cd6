#include "dataset/change_log.h"

#include <cassert>
#include <set>

namespace orv {

void TChangeLog::Reset(int32_t lists) {
  entries_.clear();
  store_.Clear();
  lists_.clear();
  for (int32_t k = 0; k < lists; ++k) {
    lists_.push_back(std::make_unique<TCompactStrings>());
    store_.AddObject("", lists_.back().get());
  }
}

void TChangeLog::Clear() {
  entries_.clear();
  for (auto& list : lists_) list->Clear();
}

std::string TChangeLog::EntryText(int32_t index) const {
  const TEntry& e = Entry(index);
  return static_cast<char>(e.kind) + std::to_string(e.row);
}

int32_t TChangeLog::FindLive(int32_t row) const {
  for (size_t j = 0; j < entries_.size(); ++j)
    if (entries_[j].live == row) return static_cast<int32_t>(j);
  return -1;
}

void TChangeLog::RecordInsert(int32_t row, std::vector<std::string> values) {
  assert(FindLive(row) < 0);
  Append(TChangeKind::ckInsert, row, row, std::move(values));
}

void TChangeLog::RecordEdit(int32_t row, std::vector<std::string> before) {
  assert(FindLive(row) < 0);
  Append(TChangeKind::ckUpdate, row, row, std::move(before));
}

void TChangeLog::RecordDelete(int32_t row, std::vector<std::string> values) {
  const int32_t j = FindLive(row);
  if (j >= 0 && entries_[static_cast<size_t>(j)].kind == TChangeKind::ckUpdate) {
    // The delete goes to the server with the values as fetched.
    for (size_t k = 0; k < lists_.size(); ++k)
      values[k] = lists_[k]->Get(j);
    RemoveAt(j);
  } else if (j >= 0) {
    entries_[static_cast<size_t>(j)].live = -1;
  }
  Shift(row, -1);
  Append(TChangeKind::ckDelete, row, -1, std::move(values));
}

TChangeLog::TEntry TChangeLog::PopLast(std::vector<std::string>* values) {
  assert(!entries_.empty());
  const int32_t last = Count() - 1;
  values->clear();
  for (auto& list : lists_) values->emplace_back(list->Get(last));
  const TEntry entry = entries_.back();
  RemoveAt(last);
  return entry;
}

void TChangeLog::Append(TChangeKind kind, int32_t row, int32_t live,
                        std::vector<std::string> values) {
  assert(values.size() == lists_.size());
  for (size_t k = 0; k < lists_.size(); ++k) lists_[k]->Add(std::move(values[k]));
  entries_.push_back({kind, row, live});
}

void TChangeLog::RemoveAt(int32_t index) {
  for (auto& list : lists_) list->Delete(index);
  entries_.erase(entries_.begin() + index);
}

void TChangeLog::Shift(int32_t row, int delta) {
  for (TEntry& e : entries_) {
    if (e.live < 0) continue;
    if (delta > 0 && e.live >= row) {
      ++e.live;
    } else if (delta < 0 && e.live > row) {
      --e.live;
    } else if (delta < 0 && e.live == row) {
      e.live = -1;
    }
    if (e.kind == TChangeKind::ckUpdate) e.row = e.live;
  }
}

void TChangeLog::CheckInvariants([[maybe_unused]] int32_t row_count) const {
#ifndef NDEBUG
  for (const auto& list : lists_) assert(list->Count() == Count());
  std::set<int32_t> live;
  for (const TEntry& e : entries_) {
    assert(e.row >= 0);
    switch (e.kind) {
      case TChangeKind::ckDelete:
        assert(e.live == -1);
        break;
      case TChangeKind::ckUpdate:
        assert(e.live == e.row && e.live < row_count);
        break;
      case TChangeKind::ckInsert:
        assert(e.live < row_count);
        break;
    }
    if (e.live >= 0) assert(live.insert(e.live).second);
  }
#endif
}

}  // namespace orv
