// TOrvTable: the dataset for one whole table (or view), opened by name.
//
// Each open writes the SELECT itself, line by line: on Oracle
// "select T.*, ROWID from T" (the row address that posted changes use,
// hidden from the fields), on Sybase "select * from T"; then the filter
// text as a "where" line when Filtered, and " order by" with the
// IndexFieldNames. The rows can be edited: posts and deletes are written
// to the table at once, or kept for CommitUpdates while CachedUpdates is
// set (TOrvDataSet). ReadOnly refuses every change with the host's
// read-only error before anything changes. SetKey and GotoKey search the
// received rows by the IndexFieldNames fields.
//
// Same ownership and threading as TOrvDataSet.
#pragma once

#include <string>

#include "orv_dataset.h"

#pragma GCC visibility push(default)
namespace orv {

class TOrvTable : public TOrvDataSet {
 public:
  explicit TOrvTable(TComponent* owner);
  ~TOrvTable() override;

  // Rebuilds the statement, then opens or closes. Nothing happens without
  // a TableName or a Database; while loading from a form the wish waits
  // for Loaded.
  void SetActive(bool value) override;

  bool ReadOnly() const { return !CanModify(); }
  // Only while closed; raises the host's error otherwise.
  void SetReadOnly(bool value);

  // The ordering, field names separated by ";"; empty when the table is
  // not ordered by names.
  std::string IndexFieldNames() const;
  // A changed ordering reopens an open table at once.
  void SetIndexFieldNames(const std::string& value);
  void SetIndex(const std::string& names, bool by_names);

  // Key search over the fields of IndexFieldNames, the ordering the rows
  // arrive in. SetKey starts key entry with an empty key, EditKey keeps the
  // values entered before; the application then assigns the key fields
  // through the usual field setters (the state is dsSetKey) and searches.
  // GotoKey waits for the whole result, then moves to the row holding the
  // key values and returns true, or returns false and stays; GotoNearest
  // moves to the first row at or above them, or to the last row. Neither
  // moves without key fields or rows. Key entry ends with the search or
  // with anything that returns to browsing (see TOrvDataSet::SetKeyBuffer).
  void SetKey();
  void EditKey();
  bool GotoKey();
  void GotoNearest();

  std::string ClassName() const override { return "TOrvTable"; }

 private:
  bool index_by_names_ = false;
  std::string index_field_names_;
};

}  // namespace orv
#pragma GCC visibility pop
