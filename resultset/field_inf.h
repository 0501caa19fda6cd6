// TFieldInf: the description of one result column, and the mappings between
// wire type codes and host field types.
//
// A result set travels as text. Its column descriptions name each column's
// type by a type code (an ordinal of TSybaseDBType) and give a declared
// length; the result stream turns them into TFieldInf records that say where
// each column sits in the fixed-width row texts. The dataset keeps its own
// copy of these records as its field layout (DecodeLayout).
//
// Plain values and free functions; safe from any thread on data the caller
// owns.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "../host/db.h"

#pragma GCC visibility push(default)
namespace orv {

// Type codes on the wire, in ordinal order.
enum TSybaseDBType : uint8_t {
  stChar, stBinary, stLongChar, stLongBinary, stText, stImage, stTinyInt,
  stSmallInt, stInt, stReal, stFloat, stBit, stDateTime, stDateTime4, stMoney,
  stMoney4, stNumeric, stDecimal, stVarchar, stVarBinary, stLong,
  stSensitivity, stBoundary, stvoid, stUshort, stUnknown
};

// Bounds that a well-formed reply keeps; anything beyond them is a protocol
// error rather than a row layout or an allocation taken on trust.
inline constexpr int32_t kMaxColumnName = 60;
inline constexpr int32_t kMaxColumns = 65535;
inline constexpr int32_t kMaxDeclaredLength = 16 * 1024 * 1024;
inline constexpr int32_t kMaxRowWidth = 64 * 1024 * 1024;
inline constexpr int32_t kMaxDataLength = 1024 * 1024 * 1024;
// Bytes one result may occupy once stored (row texts and blob values).
// Padding makes a row text as wide as its declared lengths, so a
// reply of a few bytes per row could otherwise claim gigabytes.
inline constexpr int64_t kMaxStoredBytes = int64_t{1} << 30;
inline constexpr const char* sResultTooLarge =
    "The result is too large to be held (more than 1 GiB)";

// Width of a blob column's place in the row text.
inline constexpr int32_t kBlobColumnSize = 9;

struct TFieldInf {
  int32_t Offset = 0;   // start of the column in the row text, 0-based
  std::string Name;     // at most kMaxColumnName characters; never empty
  TFieldType FieldType = ftUnknown;
  int32_t Size = 0;     // width in the row text
  int32_t DefSize = 0;  // size given to the field definition; equals Size
  int32_t BlobIndex = 0;  // blob columns: the stream item holding the values
};

// Records are held by pointer so that a reference to one (a blob stream's
// FieldInf) survives later appends.
using TFieldInfList = std::vector<std::unique_ptr<TFieldInf>>;

// ftBlob, ftMemo and ftGraphic: values kept apart from the row text.
bool IsBlobColumn(TFieldType type);

// The host field type of a type code text (host string-to-integer
// conversion, low 7 bits kept). Raises EConvertError for a non-integer text.
TFieldType GetColumnType(std::string_view code);

// The type code sent for a parameter of the given field type.
uint8_t GetDBTypeCode(TFieldType type);

// The row-text width of a column of `type` declared with `length`.
int32_t ColumnSize(TFieldType type, int32_t length);

// Frees every record of `list` and empties it.
void ClearFieldData(TFieldInfList& list);

}  // namespace orv
#pragma GCC visibility pop
