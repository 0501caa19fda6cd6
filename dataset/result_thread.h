// TDataResultThread: the background reader of one open.
//
// It runs the result stream's SetFieldInf (column descriptions, then rows up
// to the end marker) and then tells its dataset that reading is over:
// ResultState becomes complete and the result event is signalled, whether
// the reply was read to its end, failed, or was stopped by a close.
//
// Owned by the dataset, which joins it before the stream or the dataset go
// away (it is not freed on termination, so no reference to it can dangle).
// Only the dataset's thread creates, starts and joins it.
#pragma once

#include "host/thread.h"

namespace orv {

class TOrvDataSet;
class TOrvRDBStream;

class TDataResultThread : public TThread {
 public:
  TDataResultThread(TOrvDataSet* dataset, TOrvRDBStream* stream);

 protected:
  void Execute() override;

 private:
  TOrvDataSet* const dataset_;
  TOrvRDBStream* const stream_;
};

}  // namespace orv
