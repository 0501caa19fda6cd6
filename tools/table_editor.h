// TableEditor: the editing commands of the prompt, on one TOrvTable
// opened with cached updates.
//
//   \edit TABLE [WHERE condition] [ORDER BY fields]   open and show it
//   \update ROW FIELD=VALUE ...   \insert FIELD=VALUE ...   \delete ROW
//   \show   \commit   \cancel
//   \find [-i] [-p] FIELD=VALUE ...   \key [-n] FIELD=VALUE ...
//
// Rows are numbered from 1 as they stand now, as \show numbers them: a
// delete moves the rows after it up, an insert adds a row at the end.
// Every change waits in the table's change log until \commit sends them
// all in one transaction or \cancel puts the rows back as fetched; a
// commit that fails leaves nothing on the server and the rows as the
// package restores them (as fetched). Another \edit is refused while
// changes wait, so none is dropped unseen; leaving orvsql with changes
// waiting is the caller's to decide (Pending, Drop).
//
// The current row is the table's active record: row 1 after \edit, the
// row a change or a search ended on. \find searches the rows after it,
// as Locate does; \key searches the whole table by its ORDER BY fields.
//
// Owns the table. Used by the main thread; each command runs under the
// session's Guard.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "tools/command_args.h"

namespace orv {
class TOrvTable;
}

namespace orv::orvsql {

class Session;

class TableEditor {
 public:
  explicit TableEditor(Session& session);
  ~TableEditor();
  TableEditor(const TableEditor&) = delete;
  TableEditor& operator=(const TableEditor&) = delete;

  // Each command: false when it failed (the reason is on standard error).
  bool Edit(const std::string& args);
  bool Update(const std::string& args);
  bool Insert(const std::string& args);
  bool Delete(const std::string& args);
  bool Show(const std::string& args);
  bool Commit(const std::string& args);
  bool Cancel(const std::string& args);
  // table_search.cc
  bool Find(const std::string& args);
  bool Key(const std::string& args);

  // The changes waiting for \commit; 0 without a table.
  int Pending() const;
  // The open table, or nullptr.
  const TOrvTable* Table() const { return table_.get(); }
  // The table being edited, or "".
  std::string TableName() const;
  // Undoes the waiting changes and closes the table.
  void Drop();

 private:
  // The open table; reports that there is none and gives nullptr.
  TOrvTable* Open();
  // Every field of `assignments` is one of the table's; else reports.
  bool KnownFields(const std::vector<Assignment>& assignments);
  // Writes the values into the record being edited (or the key).
  void Assign(const std::vector<Assignment>& assignments);
  // Makes row `row` (from 1) the active record; reports a row that is not there.
  bool GoToRow(const std::string& word);
  // The number of the active record, from 1.
  int64_t CurrentRow();
  // Writes the rows, numbered, and leaves the active record where it was.
  void ShowRows();
  // Writes the active record as a one-row table.
  void ShowCurrent();
  // "1 change pending", "3 changes pending".
  std::string PendingText() const;

  Session& session_;
  std::unique_ptr<TOrvTable> table_;
};

}  // namespace orv::orvsql
