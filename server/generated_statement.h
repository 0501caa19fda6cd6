// The statements a table dataset generates for the rows its user inserted,
// edited and deleted, and the rules the server applies to them.
//
// A dataset sends the SQL a user wrote line by line, every line ending in a
// carriage return and a line feed. The statements it generates itself for
// posted changes never end that way and have one fixed shape each:
//
//   Insert Into T (A, B) Values (:A, :B)
//   Update T Set A = :A, B = :B Where A = :A_1 and B = :B_2
//   Delete from T Where A = :A and B = :B
//
// with ":" or "@" placeholders (Recognise checks every name against its
// column), two blanks where a skipped last field left a separator, and the
// values in the parameter block, one entry per placeholder in the order the
// placeholders stand. Only a statement recognised this way gets the rules
// below; SQL a user wrote never does.
//
// The client knows a row only as the text it was sent: no NULL marker, the
// blanks around ordinary values cut off, floats as decimal text. So:
//   - a condition "C = :p" holds when C's value, written as the server
//     writes it in a result set for the parameter's type code, and trimmed
//     as the client trims, equals the parameter's trimmed value (Matches);
//     NULL writes as the empty text, and floating types compare as numbers;
//   - a ROWID condition addresses the row directly; when its value is empty
//     (a row inserted in this session) or no row has that address, it is
//     dropped and the row is found by the other conditions;
//   - more than one matching row is refused and changes nothing; none
//     changes nothing and answers 0, which the client reports as a
//     conflict;
//   - an UPDATE writes only the columns whose new value does not already
//     match the row's value, so untouched blanks, NULLs and blobs stay as
//     they are.
// ApplyGenerated carries these out on a GeneratedTarget, which each backend
// implements over its own database.
//
// Free functions and plain values; any thread.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "server/backend.h"
#include "server/request_parser.h"
#include "server/value_text.h"

namespace orv::server {

// The refusal of a change that would reach more than one row.
inline constexpr const char* kMultipleRecords =
    "Multiple records found, but only one was expected.";

struct GeneratedStatement {
  enum class Kind { kInsert, kUpdate, kDelete };
  // One "column = value" pair: an inserted value, a Set clause or a
  // condition, with the parameter entry that carries its value.
  struct Term {
    std::string column;
    ParamEntry param;
  };

  Kind kind = Kind::kInsert;
  std::string table;               // as the client wrote it
  std::vector<Term> values;        // INSERT values, UPDATE Set clauses
  std::vector<Term> conditions;    // UPDATE and DELETE, the ROWID one excluded
  std::optional<Term> address;     // the ROWID condition, when there is one
};

// The statement `text` with its parameter block as a generated statement,
// or nothing when it is not one.
std::optional<GeneratedStatement> Recognise(const std::string& text,
                                            const std::vector<ParamEntry>& params);

// True when `sql` is a SELECT whose last result column is the bare word
// ROWID: the row address a table dataset fetches with every row. The server
// names that column "ROWID" and sends it as text.
bool SelectsRowAddress(const std::string& sql);

// Whether the stored value, as a result set would carry it for the entry's
// type code, is the entry's value (see the rules above).
bool Matches(const ParamValue& stored, const ParamEntry& entry);

// What a backend offers for carrying out a generated statement. Row keys
// are the backend's own texts for a row (SQLite: its rowid).
class GeneratedTarget {
 public:
  // Calls `row` with the key and the values of `columns` of each row of
  // `table`, or only of the row at `address` when one is given (no call when
  // there is none); stops when `row` returns false.
  using RowVisitor =
      std::function<bool(const std::string& key, const std::vector<ParamValue>& values)>;
  virtual Outcome ScanRows(const std::string& table, const std::vector<std::string>& columns,
                           const std::string* address, const RowVisitor& row) = 0;
  virtual Outcome InsertRow(const std::string& table, const std::vector<std::string>& columns,
                            const std::vector<ParamValue>& values, std::int64_t* changed) = 0;
  virtual Outcome UpdateRow(const std::string& table, const std::string& key,
                            const std::vector<std::string>& columns,
                            const std::vector<ParamValue>& values, std::int64_t* changed) = 0;
  virtual Outcome DeleteRow(const std::string& table, const std::string& key,
                            std::int64_t* changed) = 0;

 protected:
  ~GeneratedTarget() = default;
};

// Carries out `statement` by the rules above; *changed receives the rows
// changed (for an UPDATE that had nothing to write, the one row matched).
// The caller makes the scan and the change one transaction.
Outcome ApplyGenerated(const GeneratedStatement& statement, GeneratedTarget& target,
                       std::int64_t* changed);

// SQL text for an identifier: in double quotes, inner quotes doubled.
std::string QuoteIdentifier(const std::string& name);

}  // namespace orv::server
