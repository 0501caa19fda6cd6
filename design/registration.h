// Design-time registration of the package: the Register entry points of
// its two units, which put the four components on the palette page
// "OrvClient" and the object-name editor on the table-name and
// procedure-name properties. Loading the package registers nothing; a
// designer, or a tool that offers what a designer would, calls these.
// There are no palette bitmaps: nothing here draws a palette.
//
// Any thread may call them (host/designer.h guards the table).
#pragma once

#include "../host/designer.h"

#pragma GCC visibility push(default)
namespace orv {

inline constexpr const char* kOrvClientPage = "OrvClient";

// Unit Orvrdb: TOrvRDB.
namespace orvrdb {
void Register();
}  // namespace orvrdb

// Unit Orvdataset: TOrvTable, TOrvQuery and TOrvStoredProc, and the
// object-name editor for every property of type TTableName or
// TStordProcName.
namespace orvdataset {
void Register();
}  // namespace orvdataset

// The datasets' two object-name properties, as an editor reaches them:
// TableName (type TTableName) and StoredProcName (type TStordProcName, on
// a TOrvStoredProc; writing it fetches the parameter list).
TPropertyInfo TableNameProperty();
TPropertyInfo StoredProcNameProperty();

}  // namespace orv
#pragma GCC visibility pop
