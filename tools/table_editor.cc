#include "tools/table_editor.h"

#include <charconv>

#include "dataset/orv_table.h"
#include "tools/row_printer.h"
#include "tools/session.h"

namespace orv::orvsql {

namespace {

std::string Changes(int n) { return std::to_string(n) + (n == 1 ? " change" : " changes"); }

}  // namespace

TableEditor::TableEditor(Session& session) : session_(session) {}

TableEditor::~TableEditor() = default;

int TableEditor::Pending() const { return table_ ? table_->ChangeLog().Count() : 0; }

std::string TableEditor::TableName() const { return table_ ? table_->TableName() : ""; }

void TableEditor::Drop() { table_.reset(); }

std::string TableEditor::PendingText() const { return Changes(Pending()) + " pending"; }

TOrvTable* TableEditor::Open() {
  if (!table_) session_.Report({"no table is being edited: \\edit TABLE first"});
  return table_.get();
}

bool TableEditor::KnownFields(const std::vector<Assignment>& assignments) {
  for (const Assignment& a : assignments)
    if (table_->FindField(a.field) == nullptr)
      return session_.Report({table_->TableName() + " has no field " + a.field});
  return true;
}

void TableEditor::Assign(const std::vector<Assignment>& assignments) {
  for (const Assignment& a : assignments) {
    TField* field = table_->FieldByName(a.field);
    if (a.value) {
      field->SetAsString(*a.value);
    } else {
      field->Clear();
    }
  }
}

bool TableEditor::GoToRow(const std::string& word) {
  const int64_t rows = table_->RecordCount();
  int64_t row = 0;
  auto [end, ec] = std::from_chars(word.data(), word.data() + word.size(), row);
  if (ec != std::errc() || end != word.data() + word.size() || row < 1 || row > rows)
    return session_.Report({"there is no row '" + word + "': " + table_->TableName() + " has " +
                            std::to_string(rows) + (rows == 1 ? " row" : " rows")});
  table_->First();
  table_->MoveBy(static_cast<int>(row - 1));
  return true;
}

int64_t TableEditor::CurrentRow() {
  table_->UpdateCursorPos();
  return table_->ResultStream()->Tell() + 1;
}

void TableEditor::ShowRows() {
  TOrvTable& t = *table_;
  const int64_t rows = t.RecordCount();
  const std::string current = t.Bookmark();
  RowPrinter printer(t, session_.Out(), true, rows);
  printer.Header();
  int64_t n = 0;
  for (t.First(); !t.Eof(); t.Next()) {
    printer.Row(++n);
    session_.Out().MaybeFlush();
  }
  printer.Footer(n);
  if (!current.empty()) t.SetBookmark(current);
}

void TableEditor::ShowCurrent() {
  RowPrinter printer(*table_, session_.Out(), true, table_->RecordCount());
  printer.Header();
  printer.Row(CurrentRow());
  printer.Footer(1);
}

bool TableEditor::Edit(const std::string& args) {
  std::string error;
  std::optional<EditTarget> target = ParseEditTarget(args, error);
  if (!target) return session_.Report({error});
  if (Pending() > 0)
    return session_.Report({"the " + Changes(Pending()) + " to " + TableName() +
                            " are not committed: \\commit or \\cancel them first"});
  return session_.Guard([&] {
    auto table = std::make_unique<TOrvTable>(nullptr);
    table->SetDatabase(&session_.Rdb());
    table->SetTableName(target->table);
    if (!target->condition.empty()) {
      table->SetFilterText(target->condition);
      table->SetFiltered(true);
    }
    table->SetIndexFieldNames(target->index_fields);
    table->SetCachedUpdates(true);
    table->Open();
    if (!table->Active()) {
      std::vector<std::string> errors = session_.TakeMessages();
      if (errors.empty()) errors.push_back("cannot open " + target->table);
      return session_.Report(std::move(errors));
    }
    table_ = std::move(table);
    ShowRows();
    return true;
  });
}

bool TableEditor::Update(const std::string& args) {
  if (Open() == nullptr) return false;
  std::string rest = args;
  const std::string row = TakeWord(rest);
  std::string error;
  std::optional<std::vector<Assignment>> assignments = ParseAssignments(rest, error);
  if (!assignments) return session_.Report({"\\update wants ROW FIELD=VALUE ...: " + error});
  if (!KnownFields(*assignments)) return false;
  return session_.Guard([&] {
    if (!GoToRow(row)) return false;
    try {
      table_->Edit();
      Assign(*assignments);
      table_->Post();
    } catch (...) {
      if (table_->State() == dsEdit) table_->Cancel();
      throw;
    }
    session_.Out().Status("row " + row + " updated; " + PendingText());
    return true;
  });
}

bool TableEditor::Insert(const std::string& args) {
  if (Open() == nullptr) return false;
  std::string error;
  std::optional<std::vector<Assignment>> assignments = ParseAssignments(args, error);
  if (!assignments) return session_.Report({"\\insert wants FIELD=VALUE ...: " + error});
  if (!KnownFields(*assignments)) return false;
  return session_.Guard([&] {
    try {
      table_->Append();
      Assign(*assignments);
      table_->Post();
    } catch (...) {
      if (table_->State() == dsInsert) table_->Cancel();
      throw;
    }
    session_.Out().Status("row " + std::to_string(CurrentRow()) + " inserted; " + PendingText());
    return true;
  });
}

bool TableEditor::Delete(const std::string& args) {
  if (Open() == nullptr) return false;
  std::string rest = args;
  const std::string row = TakeWord(rest);
  if (row.empty() || !rest.empty()) return session_.Report({"\\delete wants ROW"});
  return session_.Guard([&] {
    if (!GoToRow(row)) return false;
    table_->Delete();
    session_.Out().Status("row " + row + " deleted; " + PendingText());
    return true;
  });
}

bool TableEditor::Show(const std::string& args) {
  if (Open() == nullptr) return false;
  if (!args.empty()) return session_.Report({"\\show takes no arguments"});
  return session_.Guard([&] {
    ShowRows();
    return true;
  });
}

bool TableEditor::Commit(const std::string& args) {
  if (Open() == nullptr) return false;
  if (!args.empty()) return session_.Report({"\\commit takes no arguments"});
  const int changes = Pending();
  if (changes == 0) {
    session_.Out().Status("nothing to commit");
    return true;
  }
  return session_.Guard([&] {
    try {
      table_->CommitUpdates();
    } catch (const EOrvDataSetException& e) {
      return session_.Report({e.what(), "nothing was committed; the rows are back as fetched "
                                        "(\\edit again to read them anew)"});
    }
    session_.Out().Status(Changes(changes) + " committed");
    return true;
  });
}

bool TableEditor::Cancel(const std::string& args) {
  if (Open() == nullptr) return false;
  if (!args.empty()) return session_.Report({"\\cancel takes no arguments"});
  const int changes = Pending();
  if (changes == 0) {
    session_.Out().Status("nothing to cancel");
    return true;
  }
  return session_.Guard([&] {
    table_->CancelUpdates();
    session_.Out().Status(Changes(changes) + " cancelled; the rows are back as fetched");
    return true;
  });
}

}  // namespace orv::orvsql
