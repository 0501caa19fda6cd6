// The catalogue queries a client sends to list tables, views and
// procedures, recognised by their text so that any database can answer them
// from its own catalogue.
//
// The package asks with fixed texts written for the catalogues of Oracle
// (sys.all_objects) and Sybase (sysobjects, syscolumns), neither of which
// exists behind this server:
//   - tables and views, rows (owner, name);
//   - procedures and functions, rows (owner, name), in two texts for
//     Oracle (the second also names packages) and one for Sybase;
//   - the parameters of one procedure, rows (parameter name, type code),
//     the procedure's name written into the text between quotes.
// A text is recognised only as the package writes it, blanks and line
// breaks at either end aside; anything else runs as SQL.
//
// Owners are what the backend calls the place a name lives in (SQLite's
// "main", a PostgreSQL schema); the client puts "owner." before the name
// and opens a table as "select owner.name.*, ROWID from owner.name".
// SQLite takes no schema before a table's "*", so its backend drops the
// owner there (WithoutStarOwner).
//
// Free functions and plain values; any thread.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace orv::server {

struct CatalogueQuery {
  enum class Kind { kTables, kProcedures, kProcedureParams };
  Kind kind = Kind::kTables;
  std::string procedure;  // kProcedureParams: the name as the text gives it
};

std::optional<CatalogueQuery> RecogniseCatalogue(std::string_view sql);

// "select <owner>.T.*, ..." with `owner` (any case) before the first select
// item's table, T a plain or double-quoted name, as "select T.*, ...";
// every other text unchanged.
std::string WithoutStarOwner(const std::string& sql, std::string_view owner);

}  // namespace orv::server
