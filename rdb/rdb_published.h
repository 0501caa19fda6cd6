// TOrvRDB in the published-property registry: its connection settings, in
// the order form files list them.
//
// Called once while a registry is filled (see host/published.h), after
// the host's classes.
#pragma once

#include "host/published.h"

namespace orv {

void PublishRDBClasses(TClassRegistry& classes);

}  // namespace orv
