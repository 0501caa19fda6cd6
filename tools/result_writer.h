// How a result set is written to standard output: an aligned table (a
// header, a row per record, a "(N rows)" footer) or CSV. Both write each
// row as soon as they are given it; neither keeps rows.
//
// The table's column widths are fixed by the header (from the field sizes,
// not from the data, so that rows can be printed before the last arrives);
// a longer text is cut to the width and ends in "..."; other values are
// never cut (they overflow their column rather than read wrong). Numbers
// are right-aligned; binary values show as "<N bytes>"; line breaks and other
// control characters show as blanks.
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
  virtual void Row(const std::vector<std::string>& cells, std::string& out) = 0;
  virtual void Footer(int64_t rows, std::string& out) = 0;
};

std::unique_ptr<ResultWriter> NewTableWriter();
std::unique_ptr<ResultWriter> NewCsvWriter();

// The number of characters a UTF-8 text takes on the screen (one per code
// point).
int DisplayWidth(std::string_view text);

}  // namespace orv::orvsql
