// The package's umbrella header: every public header of the components and
// of the host layer they stand on. An application includes this one file.
#pragma once

#include "host/blobfield.h"
#include "host/blobslot.h"
#include "host/component.h"
#include "host/dataset.h"
#include "host/datasource.h"
#include "host/datetime.h"
#include "host/db.h"
#include "host/designer.h"
#include "host/exceptions.h"
#include "host/field_types.h"
#include "host/fielddefs.h"
#include "host/fields.h"
#include "host/forms.h"
#include "host/params.h"
#include "host/persistent.h"
#include "host/streams.h"
#include "host/strings.h"
#include "host/syncobjs.h"
#include "host/sysutils.h"
#include "host/thread.h"
#include "host/variant.h"

#include "socket/zozud_socket.h"

#include "rdb/frame.h"
#include "rdb/orv_rdb.h"

#include "resultset/blob_stream.h"
#include "resultset/compact_strings.h"
#include "resultset/dataset_exception.h"
#include "resultset/field_inf.h"
#include "resultset/rdb_stream.h"
#include "resultset/reply_parser.h"
#include "resultset/result_owner.h"

#include "convert/mw_format.h"

#include "dataset/change_log.h"
#include "dataset/dataset_types.h"
#include "dataset/orv_dataset.h"
#include "dataset/orv_query.h"
#include "dataset/orv_stored_proc.h"
#include "dataset/orv_table.h"
#include "dataset/request_text.h"
#include "dataset/result_thread.h"
#include "dataset/update_sql.h"

#include "design/object_name_property.h"
#include "design/package.h"
#include "design/registration.h"
