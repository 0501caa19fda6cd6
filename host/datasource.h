// TDataSource and TDataLink: how code outside a dataset follows it.
//
// A TDataSource connects one dataset to any number of data links (grids,
// controls, a command-line client, a test). The dataset tells its sources
// of every event (DataEvent); a source passes it to its links and fires its
// own OnStateChange / OnDataChange / OnUpdateData.
//
// A TDataLink is the observer interface: subclass it and override the
// notifications. Each link asks for a window of BufferCount records; the
// dataset keeps at least that many in its ring, and the link sees the part
// of the ring that holds the active record (ActiveRecord, RecordCount).
//
// A source does not own its dataset or its links; whichever of dataset,
// source and link dies first detaches itself from the others. All belong to
// the dataset's thread.
#pragma once

#include <functional>
#include <vector>

#include "component.h"
#include "db.h"

#pragma GCC visibility push(default)
namespace orv {

class TDataSet;
class TDataSource;
class TField;

class TDataLink {
 public:
  TDataLink() = default;
  TDataLink(const TDataLink&) = delete;
  TDataLink& operator=(const TDataLink&) = delete;
  virtual ~TDataLink();

  TDataSource* DataSource() const { return source_; }
  void SetDataSource(TDataSource* source);
  TDataSet* DataSet() const;
  // True while linked to an open dataset.
  bool Active() const { return active_; }
  bool Editing() const { return editing_; }

  // The number of records this link shows (1 by default).
  int BufferCount() const { return buffer_count_; }
  void SetBufferCount(int count);
  // The active record's place in this link's window, and the records in it.
  int ActiveRecord() const;
  int RecordCount() const;

 protected:
  virtual void ActiveChanged() {}
  virtual void EditingChanged() {}
  virtual void DataSetChanged() { RecordChanged(nullptr); }
  virtual void DataSetScrolled(int /*distance*/) { DataSetChanged(); }
  virtual void LayoutChanged() { DataSetChanged(); }
  // `field` is the changed field, or nullptr when the whole record changed.
  virtual void RecordChanged(TField* /*field*/) {}
  virtual void CheckBrowseMode() {}
  virtual void UpdateData() {}

 private:
  friend class TDataSource;
  void DataEvent(TDataEvent event, intptr_t info);
  void StateChanged();
  void UpdateRange();

  TDataSource* source_ = nullptr;
  int buffer_count_ = 1;
  int first_record_ = 0;  // the link's window starts here in the dataset's ring
  bool active_ = false;
  bool editing_ = false;
};

class TDataSource : public TComponent {
 public:
  explicit TDataSource(TComponent* owner);
  ~TDataSource() override;

  TDataSet* DataSet() const { return dataset_; }
  void SetDataSet(TDataSet* dataset);
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool value);
  bool AutoEdit() const { return auto_edit_; }
  void SetAutoEdit(bool value) { auto_edit_ = value; }
  // The dataset's state as this source last saw it; dsInactive when
  // disabled or unlinked.
  TDataSetState State() const { return state_; }
  // Puts the dataset into dsEdit when AutoEdit allows and it is browsing.
  void Edit();

  std::string ClassName() const override { return "TDataSource"; }

  std::function<void(TDataSource*)> OnStateChange;
  std::function<void(TDataSource*, TField*)> OnDataChange;
  std::function<void(TDataSource*)> OnUpdateData;

 private:
  friend class TDataSet;
  friend class TDataLink;
  void DataEvent(TDataEvent event, intptr_t info);
  void UpdateState();
  void AddLink(TDataLink* link);
  void RemoveLink(TDataLink* link);

  TDataSet* dataset_ = nullptr;
  std::vector<TDataLink*> links_;
  bool enabled_ = true;
  bool auto_edit_ = true;
  TDataSetState state_ = dsInactive;
};

}  // namespace orv
#pragma GCC visibility pop
