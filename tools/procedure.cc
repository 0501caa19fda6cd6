#include "tools/procedure.h"

#include <algorithm>
#include <memory>

#include "dataset/orv_stored_proc.h"
#include "host/params.h"
#include "host/sysutils.h"
#include "tools/cell_format.h"
#include "tools/row_printer.h"
#include "tools/session.h"
#include "tools/timing.h"

namespace orv::orvsql {

namespace {

bool IsInput(const TParam& p) { return p.ParamType() == ptInput || p.ParamType() == ptInputOutput; }
bool IsReturned(const TParam& p) {
  return p.ParamType() == ptOutput || p.ParamType() == ptInputOutput ||
         p.ParamType() == ptResult;
}

// Gives `param` `value` read as its type; false with `error` set.
bool Fill(TParam& param, const Value& value, std::string& error) {
  if (!value) {
    param.Clear();
    param.SetBound(true);
    return true;
  }
  std::optional<ParamSpec> spec = ParamValueAs(param.Name(), param.DataType(), *value, error);
  if (!spec) return false;
  SetParam(param, *spec);
  return true;
}

// The values the call returned, as a one-row table; a plain call that
// returned nothing says it ran.
void PrintReturned(const std::string& name, const TParams& params, bool open, Output& out) {
  std::vector<Column> columns;
  std::vector<std::string> cells;
  for (int i = 0; i < params.Count(); ++i) {
    const TParam& p = *params.Items(i);
    if (!IsReturned(p)) continue;
    cells.push_back(FormatParamCell(p));
    const bool number = IsNumericType(p.DataType());
    columns.push_back({p.Name(), std::max(DisplayWidth(p.Name()), DisplayWidth(cells.back())),
                       number, false, false});
  }
  if (columns.empty()) {
    if (!open) out.Status("called " + name);
    return;
  }
  std::unique_ptr<ResultWriter> writer = out.NewWriter();
  writer->Header(columns, out.Buffer());
  writer->Row(1, cells, out.Buffer());
  writer->Footer(1, out.Buffer());
}

}  // namespace

bool CallProcedure(Session& session, const std::string& name, const std::vector<Value>& args,
                   const std::vector<ParamSpec>& by_name, bool open) {
  return session.Guard([&] {
    TOrvStoredProc proc(nullptr);
    proc.SetDatabase(&session.Rdb());
    proc.SetProcName(name);
    TParams& params = *proc.Params();
    std::vector<TParam*> inputs;
    for (int i = 0; i < params.Count(); ++i)
      if (IsInput(*params.Items(i))) inputs.push_back(params.Items(i));
    if (args.size() > inputs.size())
      return session.Report({name + " takes " + std::to_string(inputs.size()) +
                             (inputs.size() == 1 ? " argument, not " : " arguments, not ") +
                             std::to_string(args.size())});
    std::vector<bool> filled(inputs.size(), false);
    std::string error;
    for (size_t i = 0; i < args.size(); ++i) {
      if (!Fill(*inputs[i], args[i], error)) return session.Report({error});
      filled[i] = true;
    }
    for (const ParamSpec& spec : by_name) {
      auto it = std::find_if(inputs.begin(), inputs.end(),
                             [&](TParam* p) { return SameText(p->Name(), spec.name); });
      if (it == inputs.end())
        return session.Report({name + " has no input parameter " + spec.name});
      if (spec.typed) {
        SetParam(**it, spec);
      } else if (!Fill(**it, SameText(spec.text, "null") ? Value() : Value(spec.text), error)) {
        return session.Report({error});
      }
      filled[static_cast<size_t>(it - inputs.begin())] = true;
    }
    for (size_t i = 0; i < inputs.size(); ++i)
      if (!filled[i]) return session.Report({name + " wants a value for " + inputs[i]->Name()});

    StatementClock clock;
    clock.Start();
    Output& out = session.Out();
    int64_t rows = 0;
    if (open) {
      proc.Open();
      if (!proc.Active()) {
        std::vector<std::string> errors = session.TakeMessages();
        if (errors.empty()) errors.push_back(name + " returned no result set");
        return session.Report(std::move(errors));
      }
      RowPrinter printer(proc, out);
      printer.Header();
      for (; !proc.Eof(); proc.Next()) {
        clock.FirstRow();
        printer.Row(++rows);
        out.MaybeFlush();
      }
      printer.Footer(rows);
    } else {
      proc.ExecProc();
    }
    proc.Close();
    if (std::vector<std::string> errors = session.TakeMessages(); !errors.empty())
      return session.Report(std::move(errors));
    PrintReturned(name, params, open, out);
    if (session.Timing()) out.Note(clock.Text(rows, open));
    return true;
  });
}

bool CallCommand(Session& session, const std::string& args, bool open) {
  std::string rest = args;
  const std::string name = TakeWord(rest);
  const char* command = open ? "\\callopen" : "\\call";
  if (name.empty()) return session.Report({std::string(command) + " wants NAME [arg ...]"});
  std::string error;
  std::optional<std::vector<Value>> values = ParseValues(rest, error);
  if (!values) return session.Report({error});
  return CallProcedure(session, name, *values, {}, open);
}

}  // namespace orv::orvsql
