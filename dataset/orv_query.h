// TOrvQuery: the dataset for SQL text the application writes itself.
//
// Every change of SQL re-derives the command text (placeholders written as
// "@name") and, while ParamCheck is on or in the form designer, rebuilds
// Params from the text: parameters keep their values where their names
// stay, new ones start without a value, vanished ones go. Opening,
// executing and fetching are TOrvDataSet's. A query's rows are read-only:
// posts and deletes show a warning box and change nothing.
//
// Same ownership and threading as TOrvDataSet.
#pragma once

#include "orv_dataset.h"

#pragma GCC visibility push(default)
namespace orv {

class TOrvQuery : public TOrvDataSet {
 public:
  explicit TOrvQuery(TComponent* owner);
  ~TOrvQuery() override;

  bool ParamCheck() const { return param_check_; }
  void SetParamCheck(bool value) { param_check_ = value; }

  // Installed as SQL's OnChange.
  void QueryChanged(TObject* sender);
  // Sets the part the next open fetches; sends nothing.
  void SetQueryPart(int32_t start_row, int32_t row_count);

  // The text sent to the server (placeholders as "@name" when checked).
  const std::string& Text() const { return CommandText(); }

  std::string ClassName() const override { return "TOrvQuery"; }

 protected:
  // A form lists ParamCheck after SQL: without checking, the command text
  // is the SQL as written, not the text parsed while the default held.
  void Loaded() override;

 private:
  bool param_check_ = true;
};

}  // namespace orv
#pragma GCC visibility pop
