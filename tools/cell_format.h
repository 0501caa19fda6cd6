// The text of one result cell, the same in the table and in CSV:
// integers in decimal, floats in the shortest text that reads back as the
// same double, booleans "true"/"false", date-times "YYYY-MM-DD HH:MM:SS"
// (".zzz" added when the milliseconds are not zero), dates "YYYY-MM-DD",
// times "HH:MM:SS" (".zzz" likewise), strings, memos and blobs as they
// are, null as "".
//
// Plain functions; any thread (FormatCell: the field's dataset's thread).
#pragma once

#include <string>
#include <string_view>

#include "host/datetime.h"
#include "host/db.h"

namespace orv {
class TField;
class TParam;
}

namespace orv::orvsql {

// Shortest round-trip digits, written plainly ("100000", "0.001") unless
// that takes more than 24 characters, then with an exponent ("1e+300").
std::string FormatFloat(double value);
std::string FormatDateTimeCell(TDateTime value);
std::string FormatDateCell(TDateTime value);
std::string FormatTimeCell(TDateTime value);

// The cell text of the field's value in the active record.
std::string FormatCell(const TField& field);
// The same for a parameter's value.
std::string FormatParamCell(const TParam& param);

// True for the field types shown right-aligned in the table.
bool IsNumericField(const TField& field);
bool IsNumericType(TFieldType type);
// The table column width for the field's values, from its type and size:
// what its values need, with texts held to kMaxTextWidth.
int ColumnWidth(const TField& field);
inline constexpr int kMaxTextWidth = 40;

// True for the text types (strings and memos).
bool IsTextField(const TField& field);
// True for the binary types (their bytes are not text).
bool IsBinaryField(const TField& field);

// One CSV field, quoted per RFC 4180 when it holds a quote, a comma or a
// line break.
std::string CsvField(std::string_view text);

}  // namespace orv::orvsql
