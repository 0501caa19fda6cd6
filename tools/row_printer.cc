#include "tools/row_printer.h"

#include "host/dataset.h"
#include "host/fields.h"
#include "tools/cell_format.h"

namespace orv::orvsql {

RowPrinter::RowPrinter(TDataSet& data, Output& out, bool numbered, int64_t largest_number)
    : out_(out), writer_(out.NewWriter()), numbered_(numbered && (out.Csv() || !out.Expanded())) {
  if (numbered_) {
    const int width = static_cast<int>(std::to_string(largest_number).size());
    columns_.push_back({"#", width, true, false, false});
  }
  for (int i = 0; i < data.FieldCount(); ++i) {
    TField* field = data.Fields()->GetField(i);
    fields_.push_back(field);
    columns_.push_back({field->FieldName(), ColumnWidth(*field), IsNumericField(*field),
                        IsBinaryField(*field), IsTextField(*field)});
  }
  cells_.resize(columns_.size());
}

void RowPrinter::Header() { writer_->Header(columns_, out_.Buffer()); }

void RowPrinter::Row(int64_t number) {
  size_t c = 0;
  if (numbered_) cells_[c++] = std::to_string(number);
  for (TField* field : fields_) cells_[c++] = FormatCell(*field);
  writer_->Row(number, cells_, out_.Buffer());
}

void RowPrinter::Footer(int64_t rows) { writer_->Footer(rows, out_.Buffer()); }

}  // namespace orv::orvsql
