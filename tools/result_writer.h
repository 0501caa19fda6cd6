// How a result set is written: an aligned table (a header, a row per
// record, a "(N rows)" footer, "(1 row)" for one), the expanded form (each
// record as a block of "name | value" lines under "-[ RECORD N ]", for
// rows too wide for a line) or CSV. Each writes a row as soon as it is
// given it; none keeps rows.
//
// The table's column widths are fixed by the header (from the field sizes,
// not from the data, so that rows can be printed before the last arrives);
// a longer text is cut to the width and ends in "..."; other values are
// never cut (they overflow their column rather than read wrong). Numbers
// are right-aligned; binary values show as "<N bytes>" ("<1 byte>"); line breaks and other
// control characters show as blanks. The expanded form shows values the
// same way but never cuts them.
//
// A writer appends to the string it is given; the caller decides when to
// write that out. Used by one thread.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace orv::orvsql {

struct Column {
  std::string name;
  int width = 0;        // display width of the values (table only)
  bool right = false;   // right-aligned (numbers)
  bool binary = false;  // bytes rather than text
  bool text = false;    // a text, cut when longer than the width
};

class ResultWriter {
 public:
  virtual ~ResultWriter() = default;
  virtual void Header(const std::vector<Column>& columns, std::string& out) = 0;
  // `number` counts the records from 1; only the expanded form shows it.
  virtual void Row(int64_t number, const std::vector<std::string>& cells, std::string& out) = 0;
  virtual void Footer(int64_t rows, std::string& out) = 0;
};

std::unique_ptr<ResultWriter> NewTableWriter();
std::unique_ptr<ResultWriter> NewExpandedWriter();
std::unique_ptr<ResultWriter> NewCsvWriter();

// "(1 row)", "(N rows)".
std::string RowCountFooter(int64_t rows);

// The number of characters a UTF-8 text takes on the screen (one per code
// point).
int DisplayWidth(std::string_view text);

}  // namespace orv::orvsql
