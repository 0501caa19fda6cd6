#include "tools/catalogue.h"

#include <algorithm>
#include <vector>

#include "dataset/orv_table.h"
#include "host/fielddefs.h"
#include "tools/command_args.h"
#include "tools/session.h"

namespace orv::orvsql {

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
