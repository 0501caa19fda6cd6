#include "dataset/result_thread.h"

#include "dataset/orv_dataset.h"

namespace orv {

TDataResultThread::TDataResultThread(TOrvDataSet* dataset, TOrvRDBStream* stream)
    : TThread(true), dataset_(dataset), stream_(stream) {}

void TDataResultThread::Execute() {
  bool complete = false;
  try {
    complete = stream_->SetFieldInf(stream_->RowCount() == 0);
  } catch (...) {
    complete = false;
  }
  // A close stops the reader on purpose; anything else that ended it short
  // leaves rows missing, which the application must be able to learn.
  if (!complete && !dataset_->StopReading()) dataset_->result_incomplete_.store(true);
  dataset_->SetResultState(kResultComplete);
  dataset_->result_event_.SetEvent();
}

}  // namespace orv
