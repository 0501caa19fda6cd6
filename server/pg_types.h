// How PostgreSQL's column types travel to the client: the type code, the
// declared length, and the wire form of each value.
//
// The client keeps each row as fixed-width fields whose width is the
// declared length, so a value must never be longer than it. Many types bound
// their text up front (int4 at 11 bytes, numeric(p,s) at about p + 3,
// varchar(n) at n characters, which is 4n bytes of UTF-8, dates at 17 wire
// digits); for those the server can describe the columns before it has seen
// the rows and stream them. Types without a bound (text, unconstrained
// varchar and numeric, json, ...) need every value seen first. bytea travels
// as a blob, whose width the client ignores, so it never holds a result back.
//
// Values arrive as PostgreSQL's text output (client_encoding UTF8, DateStyle
// ISO) and leave as the client reads them: booleans "T"/"F", dates and
// timestamps as 17 digits "yyyymmddhhnnsszzz", bytea as its raw bytes,
// everything else unchanged (floats print as the shortest text that reads
// back as the same double).
//
// Free functions without state; any thread.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace orv::server {

struct PgColumnType {
  enum class Form { kRaw, kBool, kDate, kBytea };
  int type_code = 0;
  std::size_t natural = 0;  // the width it is described with at the least
  std::size_t bound = 0;    // no value is longer, in bytes; 0: no bound
  Form form = Form::kRaw;
  bool blob() const;
  // The type's width is known before any value is seen.
  bool known_width() const { return bound > 0 || blob(); }
};

// By the type's OID and type modifier (PQftype, PQfmod).
PgColumnType PgType(unsigned oid, int typmod);

// Appends the wire form of one value given in PostgreSQL's text output.
void AppendPgValue(PgColumnType::Form form, std::string_view text, std::string* out);

}  // namespace orv::server
