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

  void Row(const std::vector<std::string>& cells, std::string& out) override {
    for (size_t i = 0; i < columns_.size() && i < cells.size(); ++i) {
      if (i) out += " | ";
      const Column& c = columns_[i];
      if (c.binary && !cells[i].empty()) {
        Pad("<" + std::to_string(cells[i].size()) + " bytes>", c.width, c.right, false, out);
      } else {
        Pad(Printable(cells[i]), c.width, c.right, c.text, out);
      }
    }
    TrimLine(out);
  }

  void Footer(int64_t rows, std::string& out) override {
    out += "(" + std::to_string(rows) + " rows)\n";
  }

 private:
  static std::string Printable(std::string_view text) {
    std::string s(text);
    for (char& c : s)
      if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = ' ';
    return s;
  }

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

class CsvWriter : public ResultWriter {
 public:
  void Header(const std::vector<Column>& columns, std::string& out) override {
    for (size_t i = 0; i < columns.size(); ++i) {
      if (i) out.push_back(',');
      out += CsvField(columns[i].name);
    }
    out.push_back('\n');
  }
  void Row(const std::vector<std::string>& cells, std::string& out) override {
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

std::unique_ptr<ResultWriter> NewTableWriter() { return std::make_unique<TableWriter>(); }
std::unique_ptr<ResultWriter> NewCsvWriter() { return std::make_unique<CsvWriter>(); }

}  // namespace orv::orvsql
