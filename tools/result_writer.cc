#include "tools/result_writer.h"

#include <algorithm>

#include "tools/cell_format.h"

namespace orv::orvsql {

namespace {

bool Continuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

// The byte length of the first `chars` code points of `text`.
size_t PrefixBytes(std::string_view text, int chars) {
  size_t i = 0;
  while (i < text.size() && chars > 0) {
    ++i;
    while (i < text.size() && Continuation(text[i])) ++i;
    --chars;
  }
  return i;
}

std::string Printable(std::string_view text) {
  std::string s(text);
  for (char& c : s)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = ' ';
  return s;
}

// The text a value shows as in the table and the expanded form.
std::string Shown(const Column& c, const std::string& cell) {
  if (c.binary && !cell.empty())
    return "<" + std::to_string(cell.size()) + (cell.size() == 1 ? " byte>" : " bytes>");
  return Printable(cell);
}

class TableWriter : public ResultWriter {
 public:
  void Header(const std::vector<Column>& columns, std::string& out) override {
    columns_ = columns;
    for (Column& c : columns_) c.width = std::max(c.width, DisplayWidth(c.name));
    for (size_t i = 0; i < columns_.size(); ++i) {
      if (i) out += " | ";
      Pad(Printable(columns_[i].name), columns_[i].width, columns_[i].right, false, out);
    }
    TrimLine(out);
    for (size_t i = 0; i < columns_.size(); ++i) {
      if (i) out += "-+-";
      out.append(columns_[i].width, '-');
    }
    out.push_back('\n');
  }

  void Row(int64_t, const std::vector<std::string>& cells, std::string& out) override {
    for (size_t i = 0; i < columns_.size() && i < cells.size(); ++i) {
      if (i) out += " | ";
      const Column& c = columns_[i];
      Pad(Shown(c, cells[i]), c.width, c.right, c.text, out);
    }
    TrimLine(out);
  }

  void Footer(int64_t rows, std::string& out) override { out += RowCountFooter(rows); }

 private:
  // Writes `text` into a cell `width` wide; cuts it when longer and `cut`.
  static void Pad(std::string_view text, int width, bool right, bool cut, std::string& out) {
    int w = DisplayWidth(text);
    if (w > width && cut) {
      const int keep = std::max(0, width - 3);
      out.append(text.substr(0, PrefixBytes(text, keep)));
      out.append(std::min(3, width), '.');
      return;
    }
    const int fill = std::max(0, width - w);
    if (right) out.append(fill, ' ');
    out.append(text);
    if (!right) out.append(fill, ' ');
  }

  // Drops the padding after the last cell and ends the line.
  static void TrimLine(std::string& out) {
    size_t line = out.rfind('\n') + 1;  // npos + 1 == 0
    size_t end = out.size();
    while (end > line && out[end - 1] == ' ') --end;
    out.resize(end);
    out.push_back('\n');
  }

  std::vector<Column> columns_;
};

class ExpandedWriter : public ResultWriter {
 public:
  void Header(const std::vector<Column>& columns, std::string&) override {
    columns_ = columns;
    name_width_ = 0;
    for (const Column& c : columns_) name_width_ = std::max(name_width_, DisplayWidth(c.name));
  }

  void Row(int64_t number, const std::vector<std::string>& cells, std::string& out) override {
    std::string block;
    int widest = 0;
    for (size_t i = 0; i < columns_.size() && i < cells.size(); ++i) {
      const std::string name = Printable(columns_[i].name);
      const std::string value = Shown(columns_[i], cells[i]);
      widest = std::max(widest, name_width_ + 3 + DisplayWidth(value));
      block += name;
      block.append(name_width_ - DisplayWidth(name), ' ');
      block += value.empty() ? " |" : " | " + value;
      block += '\n';
    }
    const std::string title = "-[ RECORD " + std::to_string(number) + " ]";
    out += title;
    out.append(std::max(0, widest - DisplayWidth(title)), '-');
    out += '\n';
    out += block;
  }

  void Footer(int64_t rows, std::string& out) override { out += RowCountFooter(rows); }

 private:
  std::vector<Column> columns_;
  int name_width_ = 0;
};

class CsvWriter : public ResultWriter {
 public:
  void Header(const std::vector<Column>& columns, std::string& out) override {
    for (size_t i = 0; i < columns.size(); ++i) {
      if (i) out.push_back(',');
      out += CsvField(columns[i].name);
    }
    out.push_back('\n');
  }
  void Row(int64_t, const std::vector<std::string>& cells, std::string& out) override {
    for (size_t i = 0; i < cells.size(); ++i) {
      if (i) out.push_back(',');
      out += CsvField(cells[i]);
    }
    out.push_back('\n');
  }
  void Footer(int64_t, std::string&) override {}
};

}  // namespace

int DisplayWidth(std::string_view text) {
  int n = 0;
  for (char c : text) n += !Continuation(c);
  return n;
}

std::string RowCountFooter(int64_t rows) {
  return "(" + std::to_string(rows) + (rows == 1 ? " row)\n" : " rows)\n");
}

std::unique_ptr<ResultWriter> NewTableWriter() { return std::make_unique<TableWriter>(); }
std::unique_ptr<ResultWriter> NewExpandedWriter() { return std::make_unique<ExpandedWriter>(); }
std::unique_ptr<ResultWriter> NewCsvWriter() { return std::make_unique<CsvWriter>(); }

}  // namespace orv::orvsql
