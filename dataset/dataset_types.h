// The dataset unit's small shared types and its fixed texts.
//
// Plain values; any thread may use them.
#pragma once

#include <cstdint>
#include <string>

#include "../resultset/result_owner.h"

#pragma GCC visibility push(default)
namespace orv {

// Whether an open fetches the whole result (All) or one part of it (Page:
// QueryRow rows from QueryStartRow on, sent as OPENPART).
enum class TZozudQueryMode : uint8_t { All, Page };

// The string types of the table-name, procedure-name and index-name
// properties; the object-name editor is registered for the first two.
using TTableName = std::string;
using TStordProcName = std::string;
using TIndexName = std::string;

// Declared progress notifications; the package itself sends none.
enum TDisplayType : uint8_t { dtPreparing, dtProcessing, dtFinished };

// Texts the datasets show or raise.
inline constexpr const char* sNotReady = "Database is not ready to read(write) data";
inline constexpr const char* sSendError = "Occur error in sending sql statements";
inline constexpr const char* sReceiveError = "Occur error in receiving result sets";
inline constexpr const char* sResultFormat = "Server Error: Result format is not correct";
inline constexpr const char* sCachedError = "Sorry, OrvQuery didn't yet support CachedUpdates";
inline constexpr const char* sNoConnection = "Cannot connect to the RDB server";
inline constexpr const char* sNoDatabase = "No RDB connection is assigned to the dataset";
inline constexpr const char* sIncomplete =
    "The result is incomplete: reading rows from the server failed";
inline constexpr const char* sValueTooLong = "Value too long for field '%s'";
inline constexpr const char* sNoReader = "Cannot start the thread that reads the result set";
inline constexpr const char* sRecordChanged = "Record not found or changed by another user.";
inline constexpr const char* sMultipleRecords =
    "Multiple records found, but only one was expected.";

}  // namespace orv
#pragma GCC visibility pop
