// The texts of a query request: the command message and the parameter
// block that follows it.
//
// Command message: "WORD;F2;F3;COUNT;" + line feed + statement text, where
// F2 and F3 are the window of an OPENPART and empty otherwise. The server
// reads a frame of the full 4092 payload bytes as "more follows", so a
// message whose length is a multiple of 4092 would leave it waiting: such a
// message gets one blank appended to its statement text.
//
// Parameter block: per counted parameter "D;NAME;TYPE;LENGTH;VALUE;" with
// the direction letter, the name with the prefix the server and database
// expect, the wire type code, the byte length of the value and the value
// itself (unquoted: the length says where it ends). A null value goes out
// with length 0, whatever its type.
//
// Free functions over values the caller owns; any thread.
#pragma once

#include <cstdint>
#include <string>

#include "dataset/dataset_types.h"
#include "host/params.h"
#include "rdb/orv_rdb.h"

namespace orv {

// "OPEN", "OPENPART", "EXEC", "PROCOPEN" or "PROCEXEC".
const char* CommandWord(TSQLKind kind, TZozudQueryMode mode);

std::string BuildCommandMessage(TSQLKind kind, TZozudQueryMode mode, int32_t start_row,
                                int32_t row_count, int param_count, const std::string& text);

// "PARAM;;;0;" + line feed + the procedure name, which asks for its
// parameter list.
std::string BuildParamRequest(const std::string& proc_name);

// Whether a parameter has an entry in the block: ptResult ones only for
// Oracle behind a UNIX server.
bool IsSentParam(const TParam& param, TServerType server, TDatabaseType database);
int CountSentParams(const TParams& params, TServerType server, TDatabaseType database);

// The value text of a parameter by its data type.
std::string ParamValueText(const TParam& param);

std::string BuildParamBlock(const TParams& params, TSQLKind kind, TServerType server,
                            TDatabaseType database);

}  // namespace orv
