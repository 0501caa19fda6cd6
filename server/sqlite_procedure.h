// The stored procedures of the SQLite backend: how they are written, and
// what a body is made of. SQLite has none of its own.
//
//   CREATE PROCEDURE name [(param, ...)] AS BEGIN body END
//   DROP PROCEDURE [IF EXISTS] name
//
// A parameter is "[IN | OUT | INOUT | IN OUT | RESULT] name type", IN when
// no direction is given; a RESULT parameter makes the procedure a function
// and comes first. Types, by their first word (a length in parentheses
// after VARCHAR or CHAR is kept, other parentheses are ignored):
//   INTEGER INT BIGINT SMALLINT TINYINT          stInt
//   REAL FLOAT DOUBLE [PRECISION] NUMERIC DECIMAL stFloat
//   VARCHAR CHAR TEXT                             stVarchar
//   BOOLEAN BOOL                                  stBit
//   DATE DATETIME TIMESTAMP                       stDateTime
//   BLOB                                          stImage
// Names are plain words (letters, digits, '_', not starting with a digit),
// compared without regard to case; "main." before a procedure's name is
// dropped.
//
// The body is SQLite statements ended by ';' (a trigger's BEGIN ... END;
// included: statements are cut where SQLite's own sqlite3_complete() says
// one ends), run in order in one transaction. They refer to the parameters
// as :name (or @name, as Sybase-style clients send it), bound as values,
// never as text. A statement that begins, ends or releases a transaction
// or savepoint is refused. One statement is not SQLite's:
//   SET :a, :b = SELECT ...
// runs the SELECT (any statement that gives as many columns as there are
// targets) and assigns its first row's values to the OUT, INOUT or RESULT
// parameters named, in order: NULL when it gives no row, an error when it
// gives more than one. Later statements see the new values.
//
// Free functions and plain values; any thread.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "server/proc_call.h"

namespace orv::server {

struct ProcDefinition {
  std::string name;
  std::vector<ProcParam> params;
  std::string body;
};

struct ProcDdl {
  enum class Kind { kCreate, kDrop };
  Kind kind = Kind::kCreate;
  ProcDefinition definition;  // kDrop: the name alone
  bool if_exists = false;     // kDrop
};

// One statement of a body.
struct ProcStep {
  std::vector<std::size_t> targets;  // SET: the parameters assigned, by index
  std::string sql;
};

// True when `sql` starts with CREATE PROCEDURE or DROP PROCEDURE.
bool IsProcDdl(std::string_view sql);
// Parses a CREATE PROCEDURE or DROP PROCEDURE text, checking the body's
// steps as well; false (and *error set) when it is malformed.
bool ParseProcDdl(std::string_view sql, ProcDdl* ddl, std::string* error);
// A procedure name as stored: without "main.". False when it is not a name.
bool ProcName(std::string_view written, std::string* name);
// The statements of a definition's body.
bool SplitBody(const ProcDefinition& definition, std::vector<ProcStep>* steps,
               std::string* error);
// The index of the parameter named `name` (with or without its ':'); -1
// when there is none.
int ParamIndex(const ProcDefinition& definition, std::string_view name);

}  // namespace orv::server
