#include "tools/catalogue.h"

#include <algorithm>
#include <vector>

#include "dataset/orv_query.h"
#include "dataset/orv_table.h"
#include "host/fielddefs.h"
#include "host/strings.h"
#include "tools/command_args.h"
#include "tools/session.h"

namespace orv::orvsql {

namespace {

bool ListNames(Session& session, const std::string& args, bool tables) {
  const std::string command = tables ? "\\dt" : "\\df";
  if (!args.empty()) return session.Report({command + " takes no arguments"});
  return session.Guard([&] {
    TOrvRDB& rdb = session.Rdb();
    (tables ? rdb.TableNameCache() : rdb.ProcNameCache()).Clear();
    TOrvQuery lister(nullptr);
    lister.SetDatabase(&rdb);
    TStringList list;
    lister.GetTableNames(tables ? "T" : "P", &list);
    std::vector<std::string> names;
    Column column{"name", 4, false, false, false};
    for (int i = 0; i < list.Count(); ++i) {
      names.push_back(list.Strings(i));
      column.width = std::max(column.width, DisplayWidth(names.back()));
    }
    std::sort(names.begin(), names.end());
    Output& out = session.Out();
    out.Status(tables ? "Tables and views" : "Procedures and functions");
    std::unique_ptr<ResultWriter> writer = out.NewWriter();
    writer->Header({column}, out.Buffer());
    for (size_t i = 0; i < names.size(); ++i)
      writer->Row(static_cast<int64_t>(i + 1), {names[i]}, out.Buffer());
    writer->Footer(static_cast<int64_t>(names.size()), out.Buffer());
    return true;
  });
}

}  // namespace

bool ListTables(Session& session, const std::string& args) {
  return ListNames(session, args, true);
}

bool ListProcedures(Session& session, const std::string& args) {
  return ListNames(session, args, false);
}

bool DescribeTable(Session& session, const std::string& args) {
  std::string rest = args;
  const std::string name = TakeWord(rest);
  if (name.empty() || !rest.empty()) return session.Report({"\\d wants TABLE"});
  return session.Guard([&] {
    TOrvTable table(nullptr);
    table.SetDatabase(&session.Rdb());
    table.SetTableName(name);
    // The field definitions come with the column descriptions; no row is needed.
    table.SetFilterText("1 = 0");
    table.SetFiltered(true);
    table.Open();
    if (!table.Active()) {
      std::vector<std::string> errors = session.TakeMessages();
      if (errors.empty()) errors.push_back("cannot open " + name);
      return session.Report(std::move(errors));
    }
    std::vector<std::vector<std::string>> rows;
    Column names{"column", 0, false, false, false};
    Column types{"type", 0, false, false, false};
    TFieldDefs& defs = *table.FieldDefs();
    for (int i = 0; i < defs.Count(); ++i) {
      const TFieldDef& def = *defs.Items(i);
      rows.push_back({def.Name(), FieldTypeName(def.DataType()),
                      def.Size() > 0 ? std::to_string(def.Size()) : ""});
      names.width = std::max(names.width, DisplayWidth(rows.back()[0]));
      types.width = std::max(types.width, DisplayWidth(rows.back()[1]));
    }
    Output& out = session.Out();
    out.Status("Table " + name);
    std::unique_ptr<ResultWriter> writer = out.NewWriter();
    writer->Header({names, types, {"size", 4, true, false, false}}, out.Buffer());
    for (size_t i = 0; i < rows.size(); ++i) writer->Row(static_cast<int64_t>(i + 1), rows[i], out.Buffer());
    return true;
  });
}

}  // namespace orv::orvsql
