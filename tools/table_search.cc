// \find and \key: the table's Locate and key search from the prompt. Both
// wait for the whole table first (RecordCount), as the package's searches
// cover only the rows received.
#include "dataset/orv_table.h"
#include "host/sysutils.h"
#include "tools/session.h"
#include "tools/table_editor.h"

namespace orv::orvsql {

bool TableEditor::Find(const std::string& args) {
  if (Open() == nullptr) return false;
  std::string rest = args;
  const std::vector<std::string> flags = TakeFlags(rest, {"-i", "-p"});
  std::string error;
  std::optional<std::vector<Assignment>> assignments = ParseAssignments(rest, error);
  if (!assignments) return session_.Report({"\\find wants [-i] [-p] FIELD=VALUE ...: " + error});
  if (!KnownFields(*assignments)) return false;
  TLocateOptions options = loNone;
  for (const std::string& flag : flags)
    options = options | (flag == "-i" ? loCaseInsensitive : loPartialKey);
  std::string names;
  std::vector<Variant> values;
  for (const Assignment& a : *assignments) {
    names += (names.empty() ? "" : ";") + a.field;
    values.push_back(a.value ? Variant(*a.value) : Variant::Null());
  }
  return session_.Guard([&] {
    table_->RecordCount();
    const int64_t from = CurrentRow();
    if (table_->Locate(names, VarArrayOf(std::move(values)), options)) {
      ShowCurrent();
    } else {
      session_.Out().Status("no row after row " + std::to_string(from) + " matches");
    }
    return true;
  });
}

bool TableEditor::Key(const std::string& args) {
  if (Open() == nullptr) return false;
  std::string rest = args;
  const bool nearest = !TakeFlags(rest, {"-n"}).empty();
  std::string error;
  std::optional<std::vector<Assignment>> assignments = ParseAssignments(rest, error);
  if (!assignments) return session_.Report({"\\key wants [-n] FIELD=VALUE ...: " + error});
  if (!KnownFields(*assignments)) return false;
  const std::string index = table_->IndexFieldNames();
  if (index.empty())
    return session_.Report({"\\key searches by the ORDER BY fields of \\edit, and " +
                            table_->TableName() + " was opened without ORDER BY"});
  for (const Assignment& a : *assignments) {
    bool listed = false;
    for (size_t start = 0; start <= index.size();) {
      size_t end = index.find(';', start);
      if (end == std::string::npos) end = index.size();
      listed = listed || SameText(Trim(index.substr(start, end - start)), a.field);
      start = end + 1;
    }
    if (!listed)
      return session_.Report({a.field + " is not one of the ORDER BY fields of \\edit (" +
                              index + ")"});
  }
  return session_.Guard([&] {
    if (table_->IsEmpty()) {
      session_.Out().Status("no row holds that key");
      return true;
    }
    table_->SetKey();
    try {
      Assign(*assignments);
    } catch (...) {
      table_->CheckBrowseMode();
      throw;
    }
    if (nearest) {
      table_->GotoNearest();
    } else if (!table_->GotoKey()) {
      session_.Out().Status("no row holds that key");
      return true;
    }
    ShowCurrent();
    return true;
  });
}

}  // namespace orv::orvsql
