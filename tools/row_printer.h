// RowPrinter: writes the records of a dataset through the writer of the
// current output form, one record at a time, so the rows of a result that
// is still arriving show as they come.
//
// A numbered printer puts each record's number (its place in the dataset,
// from 1) in a first column "#"; the expanded form carries the number in
// its record titles instead.
//
// Holds the dataset's fields and writes into the Output's buffer; the
// caller flushes. Used by the dataset's thread.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "tools/output.h"

namespace orv {
class TDataSet;
class TField;
}  // namespace orv

namespace orv::orvsql {

class RowPrinter {
 public:
  // `largest_number` sets the width of the "#" column of a numbered one.
  RowPrinter(TDataSet& data, Output& out, bool numbered = false, int64_t largest_number = 0);

  void Header();
  // The active record, as record `number`.
  void Row(int64_t number);
  void Footer(int64_t rows);

 private:
  Output& out_;
  std::unique_ptr<ResultWriter> writer_;
  const bool numbered_;  // and not expanded: the "#" column
  std::vector<TField*> fields_;
  std::vector<Column> columns_;
  std::vector<std::string> cells_;
};

}  // namespace orv::orvsql
