#include "host/exceptions.h"

namespace orv {

void Abort() { throw EAbort("Operation aborted"); }

}  // namespace orv
