// Statement texts as PostgreSQL takes them.
//
// Clients write placeholders as ":name" or "@name"; PostgreSQL binds only
// positional "$n". PgStatements() walks the text the way PostgreSQL's own
// lexer does, so that nothing inside a literal ('...', E'...' with backslash
// escapes), a quoted identifier ("..."), a comment (-- and nested /* */) or
// a dollar-quoted string ($$...$$, $tag$...$tag$) is touched. Outside them:
//   - ":name" and "@name" become "$k", one k per distinct name (names compare
//     without regard to ASCII case), numbered after the highest "$n" the text
//     already holds;
//   - "::" (a cast) is left alone, and so is "$n" written by the client;
//   - a ';' ends a statement; statements holding only blanks and comments
//     are dropped.
// A name starts with a letter, '_' or a non-ASCII byte and goes on with
// those and digits.
//
// Free functions without state; any thread.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace orv::server {

struct PgStatement {
  std::string text;  // with $n placeholders
  // What $1, $2, ... stand for: a name as the client wrote it (with its ':'
  // or '@'), or empty for a "$n" the text held, bound by position n.
  std::vector<std::string> slots;
};

std::vector<PgStatement> PgStatements(std::string_view sql);

// True when the statement is a query that only reads, as DECLARE CURSOR takes
// it: its first word (after blanks and comments) is SELECT, VALUES or TABLE.
bool PgReadsOnly(std::string_view text);

// In a SELECT, where its last select item stands ([*begin, *end) of sql)
// and the table named right after the FROM that ends the select list, as
// written. False when the text has no such shape.
bool PgLastSelectItem(std::string_view sql, std::size_t* begin, std::size_t* end,
                      std::string* table);

}  // namespace orv::server
