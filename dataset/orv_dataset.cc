// TOrvDataSet: construction, the connection binding and the reader
// hand-over.
#include "dataset/orv_dataset.h"

#include <algorithm>

#include "dataset/result_thread.h"
#include "host/forms.h"
#include "host/sysutils.h"
#include "rdb/frame.h"

namespace orv {

TOrvDataSet::TOrvDataSet(TComponent* owner)
    : TDataSet(owner), params_(this), stream_(std::make_unique<TOrvRDBStream>()) {
  stream_->SetDataSet(this);
  stream_->SetCurRow(kBeforeFirstRow);
  stream_->SetResultEvent(&result_event_);
  blob_table_.SetHandleScan([this](std::vector<uint32_t>& handles) { HeldBlobHandles(handles); });
}

TOrvDataSet::~TOrvDataSet() {
  DetachDatabase();
  ClearFieldData(layout_);
  FreeKeyBuffers();
}

void TOrvDataSet::SetDatabase(TOrvRDB* value) {
  if (value == database_) return;
  DetachDatabase();
  if (value != nullptr) {
    value->AddOrvDataSet(this);
    value->FreeNotification(this);
  }
  database_ = value;
}

void TOrvDataSet::DetachDatabase() {
  if (Active()) SetActive(false);
  StopReader();
  ReleaseConnection();
  if (database_ != nullptr) {
    database_->RemoveOrvDataSet(this);
    database_->RemoveFreeNotification(this);
    database_ = nullptr;
  }
}

void TOrvDataSet::Notification(TComponent* component, TOperation operation) {
  TDataSet::Notification(component, operation);
  if (operation == opRemove && component != nullptr && component == database_) {
    // The connection closed this dataset in its destructor already.
    database_ = nullptr;
    connection_.store(-1);
  }
}

void TOrvDataSet::CloseForDatabase() {
  if (Active()) SetActive(false);
  StopReader();
  ReleaseConnection();
}

void TOrvDataSet::SetQuery(const TStrings* value) {
  if (value == nullptr || sql_.Text() == value->Text()) return;
  if (Active()) SetActive(false);
  sql_.BeginUpdate();
  try {
    sql_.Assign(value);
  } catch (...) {
    sql_.EndUpdate();
    throw;
  }
  sql_.EndUpdate();
}

void TOrvDataSet::StopReader() {
  if (!result_thread_) return;
  stop_reading_.store(true);
  WaitTerminate();
  result_thread_->WaitFor();
  result_thread_.reset();
  result_event_.ResetEvent();
}

void TOrvDataSet::ReleaseConnection() {
  const int32_t handle = connection_.load();
  if (database_ == nullptr || handle < 0) {
    connection_.store(-1);
    return;
  }
  if (!database_->Connected(handle)) {
    connection_.store(-1);
    return;
  }
  if (database_->InTransaction() && database_->CheckDefaultSocket(handle)) return;
  database_->Disconnect(handle);
  connection_.store(-1);
}

void TOrvDataSet::DropOutOfStep() {
  const int32_t handle = connection_.load();
  if (database_ != nullptr && handle >= 0 && database_->Connected(handle))
    database_->Disconnect(handle);
  connection_.store(-1);
}

void TOrvDataSet::CheckResultComplete() {
  if (result_incomplete_.load() && State() != dsInactive)
    throw EOrvDataSetException(sIncomplete);
}

std::string TOrvDataSet::ReceiveFrame(int32_t socket) {
  if (database_ == nullptr) throw EOrvDataSetException(sNoConnection);
  // Waits in short slices so that a close is seen while the server is
  // silent; a frame left half read then goes with its connection.
  const int slice = std::min(std::max(database_->TimeOut(), 1), 50);
  TFrameReader reader;
  while (!reader.Complete()) {
    if (stop_reading_.load()) return std::string();
    if (!database_->WaitForData(socket, slice, wtRead) && database_->Connected(socket))
      continue;
    const int got =
        database_->Readn(socket, reader.Space(), static_cast<int>(reader.Missing()));
    if (got > 0) reader.Commit(static_cast<size_t>(got));
  }
  return reader.TakePayload();
}

void TOrvDataSet::DisconnectSocket(int32_t socket) {
  if (database_ != nullptr) database_->Disconnect(socket);
}

bool TOrvDataSet::InUserTransaction() {
  return database_ != nullptr && database_->InTransaction();
}

void TOrvDataSet::SetFiltered(bool value) {
  if (value == Filtered()) return;
  TDataSet::SetFiltered(value);
  if (Active()) {
    SetActive(false);
    SetActive(true);
  }
}

void TOrvDataSet::DefineProperties(TFiler* filer) {
  TDataSet::DefineProperties(filer);
  filer->DefineProperty(
      "ParamData", [this](TReader& reader) { ReadParamData(reader); },
      [this](TWriter& writer) { WriteParamData(writer); }, true);
}

void TOrvDataSet::ReadParamData(TReader& reader) {
  TParams read(this);
  reader.ReadCollection([&read] { return new TParam(&read); });
  params_.Assign(&read);
}

void TOrvDataSet::WriteParamData(TWriter& writer) {
  std::vector<TPersistent*> items;
  for (int i = 0; i < params_.Count(); ++i) items.push_back(params_[i]);
  writer.WriteCollection(items);
}

std::string TOrvDataSet::TellText() {
  return "Tell = " + IntToStr(stream_->Tell()) +
         "  DataBufferCount = " + IntToStr(stream_->RowWidth());
}

void TOrvDataSet::SetTableName(const std::string& value) {
  if (value == table_name_) return;
  // At run time an open table keeps its rows; the name counts from the next
  // open.
  if ((ComponentState() & csDesigning) && Active()) SetActive(false);
  table_name_ = value;
}

}  // namespace orv
