#include "host/datasource.h"

#include <algorithm>

#include "host/dataset.h"

namespace orv {

// TDataLink ---------------------------------------------------------------------

TDataLink::~TDataLink() { SetDataSource(nullptr); }

void TDataLink::SetDataSource(TDataSource* source) {
  if (source == source_) return;
  if (source_ != nullptr) source_->RemoveLink(this);
  if (source != nullptr) source->AddLink(this);
}

TDataSet* TDataLink::DataSet() const { return source_ ? source_->DataSet() : nullptr; }

void TDataLink::SetBufferCount(int count) {
  if (count < 1) count = 1;
  if (count == buffer_count_) return;
  buffer_count_ = count;
  if (active_) {
    DataSet()->UpdateBufferCount();
    UpdateRange();
  }
}

int TDataLink::ActiveRecord() const {
  return active_ ? DataSet()->ActiveRecord() - first_record_ : 0;
}

int TDataLink::RecordCount() const {
  if (!active_) return 0;
  return std::clamp(DataSet()->WindowRecordCount() - first_record_, 0, buffer_count_);
}

// Keeps the dataset's active record inside this link's window.
void TDataLink::UpdateRange() {
  const TDataSet* dataset = DataSet();
  const int active = dataset->ActiveRecord();
  const int lowest = std::max(0, active - buffer_count_ + 1);
  const int highest = std::max(0, std::min(active, dataset->WindowRecordCount() - buffer_count_));
  first_record_ = std::clamp(first_record_, lowest, std::max(lowest, highest));
}

void TDataLink::StateChanged() {
  const bool active = source_ != nullptr && source_->State() != dsInactive;
  if (active != active_) {
    active_ = active;
    first_record_ = 0;
    if (active_) UpdateRange();
    ActiveChanged();
  }
  const bool editing = active_ && (source_->State() == dsEdit || source_->State() == dsInsert ||
                                   source_->State() == dsSetKey);
  if (editing != editing_) {
    editing_ = editing;
    EditingChanged();
  }
}

void TDataLink::DataEvent(TDataEvent event, intptr_t info) {
  switch (event) {
    case deFieldChange:
    case deRecordChange:
      RecordChanged(reinterpret_cast<TField*>(info));
      break;
    case deDataSetChange:
      UpdateRange();
      DataSetChanged();
      break;
    case deDataSetScroll: {
      // The ring rotated by `info` buffers; follow the records, not places.
      const int old_first = first_record_;
      first_record_ -= static_cast<int>(info);
      UpdateRange();
      DataSetScrolled(static_cast<int>(info) + first_record_ - old_first);
      break;
    }
    case deLayoutChange:
      UpdateRange();
      LayoutChanged();
      break;
    case deUpdateRecord:
      UpdateData();
      break;
    case deCheckBrowseMode:
      CheckBrowseMode();
      break;
    default:
      break;
  }
}

// TDataSource -------------------------------------------------------------------

TDataSource::TDataSource(TComponent* owner) : TComponent(owner) {}

TDataSource::~TDataSource() {
  for (TDataLink* link : std::vector<TDataLink*>(links_)) link->SetDataSource(nullptr);
  SetDataSet(nullptr);
}

void TDataSource::SetDataSet(TDataSet* dataset) {
  if (dataset == dataset_) return;
  if (dataset_ != nullptr) {
    auto& sources = dataset_->sources_;
    sources.erase(std::remove(sources.begin(), sources.end(), this), sources.end());
    // A dataset that is not being destroyed gives back the buffers it kept
    // for this source's links.
    if (!(dataset_->ComponentState() & csDestroying)) dataset_->UpdateBufferCount();
  }
  dataset_ = dataset;
  if (dataset_ != nullptr) {
    dataset_->sources_.push_back(this);
    dataset_->UpdateBufferCount();
  }
  UpdateState();
}

void TDataSource::SetEnabled(bool value) {
  enabled_ = value;
  UpdateState();
}

void TDataSource::Edit() {
  if (auto_edit_ && state_ == dsBrowse) dataset_->Edit();
}

void TDataSource::UpdateState() {
  const TDataSetState state =
      (enabled_ && dataset_ != nullptr) ? dataset_->State() : dsInactive;
  if (state == state_) return;
  const bool was_active = state_ != dsInactive;
  state_ = state;
  for (TDataLink* link : std::vector<TDataLink*>(links_)) link->StateChanged();
  if (OnStateChange) OnStateChange(this);
  if (!was_active && state_ != dsInactive && OnDataChange) OnDataChange(this, nullptr);
}

void TDataSource::DataEvent(TDataEvent event, intptr_t info) {
  if (event == deUpdateState) {
    UpdateState();
    return;
  }
  if (state_ == dsInactive) return;
  for (TDataLink* link : std::vector<TDataLink*>(links_)) link->DataEvent(event, info);
  switch (event) {
    case deFieldChange:
      if (OnDataChange) OnDataChange(this, reinterpret_cast<TField*>(info));
      break;
    case deRecordChange:
    case deDataSetChange:
    case deDataSetScroll:
    case deLayoutChange:
      if (OnDataChange) OnDataChange(this, nullptr);
      break;
    case deUpdateRecord:
      if (OnUpdateData) OnUpdateData(this);
      break;
    default:
      break;
  }
}

void TDataSource::AddLink(TDataLink* link) {
  links_.push_back(link);
  link->source_ = this;
  if (dataset_ != nullptr) dataset_->UpdateBufferCount();
  link->StateChanged();
}

void TDataSource::RemoveLink(TDataLink* link) {
  links_.erase(std::remove(links_.begin(), links_.end(), link), links_.end());
  link->source_ = nullptr;
  link->StateChanged();
  if (dataset_ != nullptr) dataset_->UpdateBufferCount();
}

}  // namespace orv
