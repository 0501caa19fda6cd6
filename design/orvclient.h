// The package's umbrella header: the components and the host layer they
// stand on. An application includes <orvclient/orvclient.h> and nothing else.
// Only these headers (and the ones they include) are installed; the shared
// library exports what they declare.
#pragma once

#include "host/blobfield.h"
#include "host/blobslot.h"
#include "host/component.h"
#include "host/data_module.h"
#include "host/dataset.h"
#include "host/datasource.h"
#include "host/datetime.h"
#include "host/db.h"
#include "host/designer.h"
#include "host/exceptions.h"
#include "host/field_types.h"
#include "host/fielddefs.h"
#include "host/fields.h"
#include "host/filer.h"
#include "host/form_handlers.h"
#include "host/form_tree.h"
#include "host/forms.h"
#include "host/params.h"
#include "host/persistent.h"
#include "host/published.h"
#include "host/published_props.h"
#include "host/streams.h"
#include "host/strings.h"
#include "host/syncobjs.h"
#include "host/sysutils.h"
#include "host/thread.h"
#include "host/variant.h"

#include "socket/zozud_socket.h"

#include "rdb/orv_rdb.h"

#include "resultset/compact_strings.h"
#include "resultset/dataset_exception.h"
#include "resultset/field_inf.h"
#include "resultset/rdb_stream.h"
#include "resultset/result_owner.h"

#include "convert/mw_format.h"

#include "dataset/change_log.h"
#include "dataset/dataset_types.h"
#include "dataset/orv_dataset.h"
#include "dataset/orv_query.h"
#include "dataset/orv_stored_proc.h"
#include "dataset/orv_table.h"

#include "design/form_files.h"
#include "design/object_name_property.h"
#include "design/package.h"
#include "design/registration.h"
