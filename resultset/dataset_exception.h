// EOrvDataSetException: the failures of the result sets and the datasets.
//
// Adds nothing to the host's Exception; its message is what the user sees.
#pragma once

#include "../host/exceptions.h"

#pragma GCC visibility push(default)
namespace orv {

class EOrvDataSetException : public Exception {
 public:
  using Exception::Exception;
};

}  // namespace orv
#pragma GCC visibility pop
