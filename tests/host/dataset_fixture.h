// Shared set-up of the dataset tests: a memory dataset with an integer id
// column and a name column, filled with `rows` rows (id i, name "r<i>").
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/datasource.h"
#include "memory_dataset.h"

namespace orv::testing {

inline void FillNumbered(TMemoryDataSet& ds, int rows) {
  ds.AddColumn("ID", ftInteger);
  ds.AddColumn("NAME", ftString, 10);
  for (int i = 0; i < rows; ++i) {
    ds.AddRow({TMemoryDataSet::Int(i), TMemoryDataSet::Text("r" + std::to_string(i))});
  }
}

// A data link that asks for a window of records and logs what it is told.
class RecordingLink : public TDataLink {
 public:
  std::vector<std::string> log;

 protected:
  void ActiveChanged() override { log.push_back(Active() ? "active" : "inactive"); }
  void EditingChanged() override { log.push_back(Editing() ? "editing" : "browsing"); }
  void DataSetChanged() override { log.push_back("changed"); }
  void DataSetScrolled(int distance) override { log.push_back("scrolled " + std::to_string(distance)); }
  void RecordChanged(TField* field) override {
    log.push_back(field ? "record " + field->FieldName() : "record");
  }
};

}  // namespace orv::testing
