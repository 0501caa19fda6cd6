// The statements cached updates send: one INSERT, UPDATE or DELETE per
// change-log entry, built from the table name and the field layout, and the
// parameter block with its values.
//
// Values never stand in the text. Rows are found by comparing every column
// but the blob ones with its value as fetched (placeholders ":A" in a
// DELETE, ":A_<position>" in an UPDATE, where position counts the layout
// from 1) and, on Oracle, by the row's ROWID (":RID" in a DELETE). On
// Oracle the ROWID column is left out of the INSERT and of the Set clauses.
// When the layout's last field was left out, its separator stays as two
// blanks (", " becomes "  "); a WHERE clause ending in a blob loses its
// dangling " and ".
//
// Parameter positions 0 .. n-1 are the fields in layout order (the values
// inserted, set or deleted); an UPDATE adds positions n .. 2n-1, the fields
// again with their values as fetched. Each entry reads
// "I;<name>;<type code>;<length>;<value>;" with the name unprefixed behind
// an NT server, else ":"-prefixed on Oracle (":RID" for the ROWID at
// positions below n) and "@"-prefixed on Sybase; positions from n on are
// named "<field>_<position - n + 1>".
//
// Free functions over values the caller owns; any thread.
#pragma once

#include <string>
#include <vector>

#include "dataset/change_log.h"
#include "rdb/orv_rdb.h"
#include "resultset/field_inf.h"

namespace orv {

// The statement text for an entry of `kind` (":" placeholders).
std::string ChangeStatementText(TChangeKind kind, const std::string& table,
                                const TFieldInfList& layout, TDatabaseType database);

// The parameter count the command message declares.
int ChangeParamCount(TChangeKind kind, const TFieldInfList& layout, TDatabaseType database);

// The parameter block. `values` holds one value per field for positions
// below n; `before` the values as fetched for an UPDATE's positions n and
// above (ignored otherwise).
std::string ChangeParamBlock(TChangeKind kind, const TFieldInfList& layout, TServerType server,
                             TDatabaseType database, const std::vector<std::string>& values,
                             const std::vector<std::string>& before);

}  // namespace orv
