// The datasets in the published-property registry: the events every
// dataset publishes (TOrvDataSet, which is never created by name), then
// TOrvQuery's, TOrvTable's and TOrvStoredProc's properties, in the order
// form files list them. Params is not among them: a dataset stores it
// itself, as "ParamData" (TOrvDataSet::DefineProperties).
//
// Called once while a registry is filled (see host/published.h), after
// the host's and the connection's classes.
#pragma once

#include "host/published.h"

namespace orv {

void PublishDataSetClasses(TClassRegistry& classes);

}  // namespace orv
