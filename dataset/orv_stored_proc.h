// TOrvStoredProc: the dataset that calls one stored procedure or function.
//
// Setting StoredProcName closes an open dataset and fetches the procedure's
// parameter list from the server (PARAM) into Params: names, data types and
// directions. The application sets the input values, then ExecProc calls a
// procedure that returns no rows (PROCEXEC) and Open one that does
// (PROCOPEN), whose rows are then browsed like a query's; either way the
// values the server returns are copied into the output parameters of the
// same names. The call text is the anonymous block "BEGIN P(:A,:B); END;"
// (":R := F(...)" for a function's result) for Oracle behind a UNIX server
// and the bare procedure name for every other combination.
//
// Same ownership and threading as TOrvDataSet.
#pragma once

#include <string>

#include "dataset_types.h"
#include "orv_dataset.h"

#pragma GCC visibility push(default)
namespace orv {

class TOrvStoredProc : public TOrvDataSet {
 public:
  explicit TOrvStoredProc(TComponent* owner);
  ~TOrvStoredProc() override;

  const TStordProcName& StoredProcName() const { return proc_name_; }
  // The property's writer: a new name closes the dataset, replaces Params
  // with the server's list (raising what that request raises; the name is
  // kept) and sets nothing else. The same name again sends nothing; while
  // loading from a form only the name is kept.
  void SetProcName(const TStordProcName& value);
  void SetStoredProcName(const TStordProcName& value) { SetProcName(value); }

  // Builds the call text from StoredProcName and Params.
  void SetProcText();
  // Calls the procedure and shows its rows; nothing without a name. Errors
  // go to the message box captioned "Error"; the dataset then stays closed.
  void Open() override;
  // Calls the procedure for its output parameters only; nothing while the
  // dataset is open or without a name.
  void ExecProc();
  // Opens as Open does, or closes; while loading the wish waits for Loaded.
  void SetActive(bool value) override;
  // Procedures need no preparation.
  void Prepare() {}
  // Adds parameters from the database's catalogue rather than PARAM: first
  // an integer "Result" parameter, then one per row of the catalogue's
  // answer (Sybase: the procedure's parameter names and types). Params is
  // not cleared first. Failures raise.
  void SetParams();

  std::string ClassName() const override { return "TOrvStoredProc"; }

 private:
  bool GetCatalogParams(const std::string& pattern);
  bool GetCatalogParamsResults(int col_count, const std::string& pattern, TStrings* list);

  TStordProcName proc_name_;
};

}  // namespace orv
#pragma GCC visibility pop
