// The host's classes in the published-property registry: TComponent (its
// Tag), TDataModule, and TParam, the item of the parameter collections
// datasets store.
//
// Called once while a registry is filled (see host/published.h).
#pragma once

#include "host/published.h"

namespace orv {

void PublishHostClasses(TClassRegistry& classes);

}  // namespace orv
