// TDataSet: opening, the record-buffer ring, navigation and bookmarks.
// Editing, fields and events are in dataset_edit.cc.
#include "host/dataset.h"

#include <algorithm>
#include <cassert>
#include <cstring>

#include "host/datasource.h"

namespace orv {

TDataSet::TDataSet(TComponent* owner) : TComponent(owner), field_defs_(this), fields_(this) {}

TDataSet::~TDataSet() {
  assert(!Active() && "a concrete dataset must close itself in its destructor");
  for (TDataSource* source : sources_) {
    source->dataset_ = nullptr;
    source->UpdateState();
  }
  sources_.clear();
  // Fields this dataset owns die now, while the list they leave still
  // exists; others are only detached.
  for (TField* field : std::vector<TField*>(fields_.items_)) {
    if (field->Owner() == this) {
      delete field;
    } else {
      field->dataset_ = nullptr;
    }
  }
  fields_.items_.clear();
}

void TDataSet::CheckActive() const {
  if (!Active()) DatabaseError(SDataSetClosed, this);
}

void TDataSet::CheckInactive() const {
  if (Active()) DatabaseError(SDataSetOpen, this);
}

void TDataSet::SetActive(bool value) {
  if (ComponentState() & csLoading) {
    streamed_active_ = value;
    return;
  }
  if (Active() == value) return;
  if (value) {
    Fire(BeforeOpen, this);
    try {
      OpenCursor();
    } catch (...) {
      // Leave no half-made default fields behind: the next open would take
      // them for designed ones.
      const bool made_fields = default_fields_;
      CloseCursor();
      if (made_fields) DestroyFields();
      throw;
    }
    SetState(dsBrowse);
    Fire(AfterOpen, this);
    if (!IsEmpty()) DoAfterScroll();
  } else {
    const bool destroying = (ComponentState() & csDestroying) != 0;
    if (!destroying) Fire(BeforeClose, this);
    SetState(dsInactive);
    CloseCursor();
    if (!destroying) Fire(AfterClose, this);
  }
}

void TDataSet::Loaded() {
  TComponent::Loaded();
  if (streamed_active_) SetActive(true);
}

void TDataSet::OpenCursor() {
  default_fields_ = fields_.Count() == 0;
  InternalOpen();
  // Until the window exists the dataset counts as empty.
  UpdateBufferCount();
  bof_ = true;
  eof_ = record_count_ == 0;
  CheckRing();
}

void TDataSet::CloseCursor() {
  modified_ = false;
  ClearBuffers();
  SetBufferCount(0);
  if (IsCursorOpen()) InternalClose();
  default_fields_ = false;
}

std::vector<TComponent*> TDataSet::StoredChildren() const {
  std::vector<TComponent*> children = TComponent::StoredChildren();
  if (default_fields_) {
    std::erase_if(children, [this](TComponent* c) {
      auto* field = dynamic_cast<TField*>(c);
      return field != nullptr && fields_.IndexOf(field) >= 0;
    });
  }
  return children;
}

bool TDataSet::IsEmpty() const { return !Active() || record_count_ == 0; }

TRecordBuffer TDataSet::ActiveBuffer() const {
  if (buffers_.empty()) return nullptr;
  return buffers_[static_cast<size_t>(active_record_)];
}

TRecordBuffer TDataSet::Buffers(int index) const {
  assert(index >= 0 && index < static_cast<int>(buffers_.size()));
  return buffers_[static_cast<size_t>(index)];
}

void TDataSet::CheckRing() const {
  assert(record_count_ >= 0 && record_count_ <= buffer_count_);
  assert(active_record_ >= 0 && (active_record_ < record_count_ || record_count_ == 0));
  assert(current_record_ >= -1 && current_record_ < std::max(record_count_, 1));
  assert(buffers_.size() == (buffer_count_ == 0 ? 0u : static_cast<size_t>(buffer_count_) + 1));
}

// The ring -------------------------------------------------------------------

void TDataSet::UpdateBufferCount() {
  if (!IsCursorOpen()) return;
  int count = 1;
  for (const TDataSource* source : sources_) {
    for (const TDataLink* link : source->links_) count = std::max(count, link->BufferCount());
  }
  if (count != buffer_count_) SetBufferCount(count);
}

void TDataSet::SetBufferCount(int count) {
  const int old_count = buffer_count_;
  if (count == old_count) return;
  if (count > old_count) {
    if (old_count == 0) buffers_.clear();
    // The spare stays last: new buffers go before it.
    const size_t spare = buffers_.empty() ? 0 : buffers_.size() - 1;
    const size_t add = static_cast<size_t>(count - old_count + (old_count == 0 ? 1 : 0));
    std::vector<TRecordBuffer> fresh;
    try {
      for (size_t i = 0; i < add; ++i) fresh.push_back(AllocRecordBuffer());
    } catch (...) {
      for (TRecordBuffer& buffer : fresh) FreeRecordBuffer(buffer);
      throw;
    }
    buffers_.insert(buffers_.begin() + static_cast<std::ptrdiff_t>(spare), fresh.begin(),
                    fresh.end());
    buffer_count_ = count;
    if (old_count > 0 && record_count_ > 0) {
      // Fill the new room after the window, then before it.
      GetNextRecords();
      GetPriorRecords();
    } else if (old_count == 0 && state_ == dsInactive) {
      GetNextRecords();
    }
  } else {
    // Shrinking keeps the active record in the window.
    while (record_count_ > count) {
      if (active_record_ > 0) {
        MoveBuffer(0, record_count_ - 1);
        --active_record_;
      }
      --record_count_;
      current_record_ = -1;
    }
    while (static_cast<int>(buffers_.size()) > (count == 0 ? 0 : count + 1)) {
      TRecordBuffer buffer = buffers_.back();
      buffers_.pop_back();
      FreeRecordBuffer(buffer);
    }
    buffer_count_ = count;
    if (count == 0) ClearBuffers();
  }
  CheckRing();
}

void TDataSet::ClearBuffers() {
  record_count_ = 0;
  active_record_ = 0;
  current_record_ = -1;
  bof_ = true;
  eof_ = true;
}

void TDataSet::ActivateBuffers() {
  record_count_ = 1;
  active_record_ = 0;
  current_record_ = 0;
  bof_ = false;
  eof_ = false;
}

// Moves the buffer at `from` to `to`, shifting those between by one.
void TDataSet::MoveBuffer(int from, int to) {
  if (from == to) return;
  auto begin = buffers_.begin();
  if (from < to) {
    std::rotate(begin + from, begin + from + 1, begin + to + 1);
  } else {
    std::rotate(begin + to, begin + from, begin + from + 1);
  }
}

void TDataSet::SetCurrentRecord(int index) {
  if (current_record_ == index) return;
  TRecordBuffer buffer = buffers_[static_cast<size_t>(index)];
  switch (GetBookmarkFlag(buffer)) {
    case bfCurrent:
    case bfInserted:
      InternalSetToRecord(buffer);
      break;
    case bfBOF:
      InternalFirst();
      break;
    case bfEOF:
      InternalLast();
      break;
  }
  current_record_ = index;
}

// Fetches the record after the window into it. When the window is full the
// oldest record drops out and active_record_ follows its record (it may
// become -1 when that was the active one; the caller sets it).
bool TDataSet::GetNextRecord() {
  TGetMode mode = gmNext;
  if (record_count_ > 0) {
    SetCurrentRecord(record_count_ - 1);
    // A new record posted at the end is fetched as the cursor's own.
    if (state_ == dsInsert && current_record_ == active_record_ &&
        GetBookmarkFlag(ActiveBuffer()) == bfCurrent) {
      mode = gmCurrent;
    }
  }
  if (GetRecord(buffers_[static_cast<size_t>(record_count_)], mode, true) != grOK) {
    CursorPosChanged();
    return false;
  }
  if (record_count_ == 0) {
    ActivateBuffers();
  } else if (record_count_ < buffer_count_) {
    ++record_count_;
  } else {
    MoveBuffer(0, record_count_);
    --active_record_;
  }
  current_record_ = record_count_ - 1;
  return true;
}

// Fetches the record before the window into its first place; active_record_
// keeps pointing at the same record while it stays in the window.
bool TDataSet::GetPriorRecord() {
  if (record_count_ > 0) SetCurrentRecord(0);
  if (GetRecord(buffers_[static_cast<size_t>(record_count_)], gmPrior, true) != grOK) {
    CursorPosChanged();
    return false;
  }
  if (record_count_ == 0) {
    ActivateBuffers();
  } else {
    MoveBuffer(record_count_, 0);
    if (record_count_ < buffer_count_) {
      ++record_count_;
      ++active_record_;
    } else if (active_record_ < record_count_ - 1) {
      ++active_record_;
    }
  }
  current_record_ = 0;
  return true;
}

namespace {

class TFillScope {
 public:
  explicit TFillScope(bool& flag) : flag_(flag), saved_(flag) { flag_ = true; }
  ~TFillScope() { flag_ = saved_; }
  TFillScope(const TFillScope&) = delete;
  TFillScope& operator=(const TFillScope&) = delete;

 private:
  bool& flag_;
  bool saved_;
};

}  // namespace

int TDataSet::GetNextRecords() {
  TFillScope fill(filling_window_);
  int fetched = 0;
  while (record_count_ < buffer_count_ && GetNextRecord()) ++fetched;
  return fetched;
}

int TDataSet::GetPriorRecords() {
  TFillScope fill(filling_window_);
  int fetched = 0;
  while (record_count_ < buffer_count_ && GetPriorRecord()) ++fetched;
  return fetched;
}

void TDataSet::UpdateCursorPos() {
  if (record_count_ > 0) SetCurrentRecord(active_record_);
}

// Navigation -------------------------------------------------------------------

void TDataSet::DoBeforeScroll() { Fire(BeforeScroll, this); }
void TDataSet::DoAfterScroll() { Fire(AfterScroll, this); }

void TDataSet::First() {
  CheckBrowseMode();
  DoBeforeScroll();
  ClearBuffers();
  try {
    InternalFirst();
    GetNextRecord();
    GetNextRecords();
  } catch (...) {
    bof_ = true;
    DataEvent(deDataSetChange, intptr_t{0});
    throw;
  }
  bof_ = true;
  CheckRing();
  DataEvent(deDataSetChange, intptr_t{0});
  DoAfterScroll();
}

void TDataSet::Last() {
  CheckBrowseMode();
  DoBeforeScroll();
  ClearBuffers();
  try {
    InternalLast();
    GetPriorRecord();
    GetPriorRecords();
  } catch (...) {
    eof_ = true;
    DataEvent(deDataSetChange, intptr_t{0});
    throw;
  }
  eof_ = true;
  if (record_count_ > 0) active_record_ = record_count_ - 1;
  CheckRing();
  DataEvent(deDataSetChange, intptr_t{0});
  DoAfterScroll();
}

int TDataSet::MoveBy(int distance) {
  CheckBrowseMode();
  int moved = 0;
  DoBeforeScroll();
  if ((distance > 0 && !eof_) || (distance < 0 && !bof_)) {
    bof_ = false;
    eof_ = false;
    const int old_record_count = record_count_;
    int scrolled = 0;
    try {
      for (; distance > 0; --distance, ++moved) {
        if (active_record_ < record_count_ - 1) {
          ++active_record_;
        } else {
          const bool full = record_count_ == buffer_count_;
          if (!GetNextRecord()) {
            eof_ = true;
            break;
          }
          active_record_ = record_count_ - 1;
          if (full) ++scrolled;
        }
      }
      for (; distance < 0; ++distance, --moved) {
        if (active_record_ > 0) {
          --active_record_;
        } else {
          const bool full = record_count_ == buffer_count_;
          if (!GetPriorRecord()) {
            bof_ = true;
            break;
          }
          active_record_ = 0;
          if (full) --scrolled;
        }
      }
    } catch (...) {
      DataEvent(deDataSetChange, intptr_t{0});
      throw;
    }
    CheckRing();
    if (record_count_ != old_record_count) {
      DataEvent(deDataSetChange, intptr_t{0});
    } else {
      DataEvent(deDataSetScroll, static_cast<intptr_t>(scrolled));
    }
  }
  DoAfterScroll();
  return moved;
}

void TDataSet::Resync(TResyncMode mode) {
  TFillScope fill(filling_window_);
  TRecordBuffer spare = buffers_[static_cast<size_t>(record_count_)];
  if (mode & rmExact) {
    CursorPosChanged();
    if (GetRecord(spare, gmCurrent, true) != grOK) DatabaseError(SRecordNotFound, this);
  } else if (GetRecord(spare, gmCurrent, false) != grOK &&
             GetRecord(spare, gmNext, false) != grOK &&
             GetRecord(spare, gmPrior, false) != grOK) {
    ClearBuffers();
    DataEvent(deDataSetChange, intptr_t{0});
    return;
  }
  int before = (mode & rmCenter) ? (buffer_count_ - 1) / 2 : active_record_;
  MoveBuffer(record_count_, 0);
  ActivateBuffers();
  try {
    while (before > 0 && record_count_ < buffer_count_ && GetPriorRecord()) --before;
    GetNextRecords();
    GetPriorRecords();
  } catch (...) {
    DataEvent(deDataSetChange, intptr_t{0});
    throw;
  }
  CheckRing();
  DataEvent(deDataSetChange, intptr_t{0});
}

void TDataSet::Refresh() {
  CheckBrowseMode();
  UpdateCursorPos();
  InternalRefresh();
  Resync(rmNone);
}

// Bookmarks --------------------------------------------------------------------

TBookmark TDataSet::GetBookmark() {
  if (bookmark_size_ <= 0 || record_count_ == 0) return nullptr;
  if (GetBookmarkFlag(ActiveBuffer()) != bfCurrent) return nullptr;
  char* bookmark = new char[static_cast<size_t>(bookmark_size_)];
  GetBookmarkData(ActiveBuffer(), bookmark);
  return bookmark;
}

void TDataSet::FreeBookmark(TBookmark bookmark) { delete[] static_cast<char*>(bookmark); }

void TDataSet::GotoBookmark(TBookmark bookmark) {
  if (bookmark == nullptr) return;
  CheckBrowseMode();
  DoBeforeScroll();
  InternalGotoBookmark(bookmark);
  Resync(rmExact | rmCenter);
  DoAfterScroll();
}

std::string TDataSet::Bookmark() {
  TBookmark bookmark = GetBookmark();
  if (bookmark == nullptr) return {};
  std::string bytes(static_cast<const char*>(bookmark), static_cast<size_t>(bookmark_size_));
  FreeBookmark(bookmark);
  return bytes;
}

void TDataSet::SetBookmark(const std::string& bookmark) {
  if (bookmark.empty()) return;
  if (static_cast<int>(bookmark.size()) != bookmark_size_) DatabaseError(SBookmarkNotFound, this);
  GotoBookmark(const_cast<char*>(bookmark.data()));
}

bool TDataSet::BookmarkValid(TBookmark) { return false; }

int TDataSet::CompareBookmarks(TBookmark, TBookmark) { return 0; }

bool TDataSet::GetCurrentRecord(TRecordBuffer) { return false; }

}  // namespace orv
