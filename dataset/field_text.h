// The text a field's AsString gives, read straight from its slot text.
//
// A record slot holds a value as the server wrote it ("1.25", "42",
// "20010101120000000"). The host's fields make AsString by converting the
// slot to their native value and formatting that again, which for most
// values gives back the slot's own digits in another layout. These functions
// give that text without the round trip, and only where it is certain to be
// the same text: each answers false for anything else (another form, a value
// out of range, a separator other than '.'), and the caller then converts
// through the native value as before. A blank slot (null) is the caller's.
//
// Free functions; any thread.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "host/db.h"

namespace orv {

// A decimal integer in [low, high] without a plus sign or leading zeros: as
// IntToStr writes the value.
bool IntegerSlotText(std::string_view slot, int64_t low, int64_t high, std::string& out);
// A plain decimal of at most 15 significant digits, without trailing zeros
// after the point, between 1E-4 and 1E15: as FloatToStr writes the value.
bool FloatSlotText(std::string_view slot, std::string& out);
// The 17 digits of a valid date and time in the server form: the date, the
// time or both as TDateTimeField's AsString writes them for `type`.
bool DateTimeSlotText(std::string_view slot, TFieldType type, std::string& out);

}  // namespace orv
