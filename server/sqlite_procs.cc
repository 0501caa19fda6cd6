// The SQLite backend's stored procedures and catalogue lists.
#include <sqlite3.h>

#include <cctype>
#include <limits>

#include "server/generated_statement.h"
#include "server/sqlite_backend.h"

namespace orv::server {

namespace {

constexpr const char* kProcTable = "orv_procedures";
// What catalogue entries carry as their owner; Open drops it before ".*".
constexpr const char* kOwner = "main";

std::string Text(const ParamValue& v) {
  return v.kind == ParamValue::Kind::kText ? v.text : std::string();
}

ParamValue TextValue(std::string text) {
  ParamValue v;
  v.kind = ParamValue::Kind::kText;
  v.text = std::move(text);
  return v;
}

// A name as a table dataset can write it into a statement: quoted when it
// is not a plain word, or is one of SQLite's keywords.
std::string CatalogueName(const std::string& name) {
  bool plain = !name.empty() && !std::isdigit(static_cast<unsigned char>(name[0]));
  for (char c : name) plain = plain && (std::isalnum(static_cast<unsigned char>(c)) || c == '_');
  if (plain && !sqlite3_keyword_check(name.data(), static_cast<int>(name.size()))) return name;
  return QuoteIdentifier(name);
}

// A parameter's value as it goes back: in the form of its declared type,
// or, when the value does not fit that type, of its own kind, so that the
// client never reads a value its type cannot take.
ReturnedParam Returned(const ProcParam& param, const std::string& name, const ParamValue& v) {
  ReturnedParam r{param.type_code, name, param.direction, std::nullopt};
  const int declared = param.type_code;
  switch (v.kind) {
    case ParamValue::Kind::kNull:
      break;
    case ParamValue::Kind::kInteger: {
      r.value = std::to_string(v.integer);
      constexpr std::int64_t kExact = std::int64_t{1} << 53;
      if (declared == kStBit && (v.integer == 0 || v.integer == 1)) {
        r.value = v.integer ? "T" : "F";
      } else if (declared == kStVarchar) {
      } else if (declared != kStFloat && v.integer >= std::numeric_limits<std::int32_t>::min() &&
                 v.integer <= std::numeric_limits<std::int32_t>::max()) {
        r.type_code = kStInt;
      } else {
        r.type_code = v.integer >= -kExact && v.integer <= kExact ? kStFloat : kStVarchar;
      }
      break;
    }
    case ParamValue::Kind::kReal:
      r.value = FormatReal(v.real, ResultTable::kFloatWidth);
      if (declared != kStVarchar) r.type_code = kStFloat;
      break;
    case ParamValue::Kind::kText:
      r.value = v.text;
      if (declared == kStDateTime) {
        if (auto wire = IsoDateToWire(v.text)) {
          r.value = *wire;
          break;
        }
      }
      if (declared != kStImage) r.type_code = kStVarchar;
      break;
    case ParamValue::Kind::kBlob:
      r.value = v.text;
      r.type_code = kStImage;
      break;
  }
  return r;
}

}  // namespace

Outcome SqliteBackend::Query(const std::string& sql, const Row& values, std::vector<Row>* rows) {
  const char* tail = nullptr;
  Stmt stmt;
  if (Outcome o = PrepareFirst(sql, &tail, &stmt); !o.ok()) return o;
  for (std::size_t i = 0; i < values.size(); ++i) {
    if (BindValue(stmt.get(), static_cast<int>(i) + 1, values[i]) != SQLITE_OK) return Error();
  }
  int rc;
  while ((rc = sqlite3_step(stmt.get())) == SQLITE_ROW) {
    if (rows == nullptr) continue;
    Row& row = rows->emplace_back();
    for (int c = 0; c < sqlite3_column_count(stmt.get()); ++c) {
      row.push_back(ColumnValue(stmt.get(), c));
    }
  }
  if (rc != SQLITE_DONE) return Error();
  return {};
}

Outcome SqliteBackend::LoadProc(const std::string& written, ProcDefinition* definition,
                                bool* found) {
  *found = false;
  std::string name;
  if (!ProcName(written, &name)) return {};
  std::vector<Row> rows;
  Outcome o = Query("SELECT name FROM sqlite_schema WHERE type = 'table' AND name = ?1",
                    {TextValue(kProcTable)}, &rows);
  if (!o.ok() || rows.empty()) return o;
  rows.clear();
  o = Query(std::string("SELECT definition FROM ") + kProcTable + " WHERE name = ?1",
            {TextValue(name)}, &rows);
  if (!o.ok() || rows.empty()) return o;
  ProcDdl ddl;
  std::string error;
  if (!ParseProcDdl(Text(rows[0][0]), &ddl, &error) || ddl.kind != ProcDdl::Kind::kCreate) {
    return Outcome::Error(-1, "the stored definition of procedure " + name +
                                  " cannot be read: " + error);
  }
  *definition = std::move(ddl.definition);
  *found = true;
  return {};
}

Outcome SqliteBackend::DefineProc(const std::string& sql) {
  ProcDdl ddl;
  std::string error;
  if (!ParseProcDdl(sql, &ddl, &error)) return Outcome::Error(-1, error);
  const std::string& name = ddl.definition.name;
  std::int64_t changed = 0;
  return Atomically(
      [&]() -> Outcome {
        ProcDefinition existing;
        bool found = false;
        if (Outcome o = LoadProc(name, &existing, &found); !o.ok() && !found) {
          // An unreadable definition may still be dropped or replaced.
          if (ddl.kind == ProcDdl::Kind::kCreate) return o;
          found = true;
        }
        const ParamValue key = TextValue(name);
        if (ddl.kind == ProcDdl::Kind::kDrop) {
          if (!found) {
            return ddl.if_exists ? Outcome{} : Outcome::Error(-1, "no procedure named " + name);
          }
          return Query(std::string("DELETE FROM ") + kProcTable + " WHERE name = ?1", {key},
                       nullptr);
        }
        if (found) {
          return Outcome::Error(-1, "procedure " + existing.name +
                                        " already exists; DROP PROCEDURE it first");
        }
        if (Outcome o = Query(std::string("CREATE TABLE IF NOT EXISTS ") + kProcTable +
                                  " (name TEXT PRIMARY KEY COLLATE NOCASE, definition TEXT "
                                  "NOT NULL)",
                              {}, nullptr);
            !o.ok())
          return o;
        std::string_view text = sql;
        while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
          text.remove_suffix(1);
        while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front())))
          text.remove_prefix(1);
        return Query(std::string("INSERT INTO ") + kProcTable + " VALUES (?1, ?2)",
                     {key, TextValue(std::string(text))}, nullptr);
      },
      &changed);
}

Outcome SqliteBackend::ProcParams(const std::string& name, std::vector<ProcParam>* params) {
  ProcDefinition definition;
  bool found = false;
  if (Outcome o = LoadProc(name, &definition, &found); !o.ok()) return o;
  if (!found) return Outcome::Error(-1, "no procedure named " + name);
  *params = definition.params;
  return {};
}

Outcome SqliteBackend::RunStep(const ProcDefinition& definition, const ProcStep& step,
                               Row* values, std::unique_ptr<ResultTable>* rows) {
  const char* tail = step.sql.data();
  const char* end = tail + step.sql.size();
  Stmt stmt;
  if (Outcome o = PrepareNext(&tail, end, &stmt); !o.ok() || !stmt) return o;
  if (MoreStatements(tail, end)) {
    return Outcome::Error(-1, "'" + step.sql + "' holds more than one statement");
  }
  for (int i = 1; i <= sqlite3_bind_parameter_count(stmt.get()); ++i) {
    const char* placeholder = sqlite3_bind_parameter_name(stmt.get(), i);
    const int index = placeholder && placeholder[0] != '?' ? ParamIndex(definition, placeholder) : -1;
    if (index < 0) {
      return Outcome::Error(-1, std::string("its body uses ") + (placeholder ? placeholder : "?") +
                                    ", which names no parameter");
    }
    if (BindValue(stmt.get(), i, (*values)[index]) != SQLITE_OK) return Error();
  }
  const int columns = sqlite3_column_count(stmt.get());
  if (step.targets.empty()) {
    if (rows != nullptr && columns > 0) return Materialise(stmt.get(), -1, RowWindow{}, rows);
    int rc;
    while ((rc = sqlite3_step(stmt.get())) == SQLITE_ROW) {
    }
    return rc == SQLITE_DONE ? Outcome{} : Error();
  }
  const std::string label = "SET :" + definition.params[step.targets[0]].name;
  if (static_cast<std::size_t>(columns) != step.targets.size()) {
    return Outcome::Error(-1, label + " assigns " + std::to_string(step.targets.size()) +
                                  " values; its statement gives " + std::to_string(columns));
  }
  Row row(step.targets.size());
  int rc = sqlite3_step(stmt.get());
  if (rc == SQLITE_ROW) {
    for (int c = 0; c < columns; ++c) row[c] = ColumnValue(stmt.get(), c);
    rc = sqlite3_step(stmt.get());
    if (rc == SQLITE_ROW) return Outcome::Error(-1, label + " takes one row; its statement gives more");
  }
  if (rc != SQLITE_DONE) return Error();
  for (std::size_t k = 0; k < row.size(); ++k) (*values)[step.targets[k]] = std::move(row[k]);
  return {};
}

Outcome SqliteBackend::Call(const ProcCall& call, const std::vector<ParamEntry>& params,
                            OpenReply* rows, std::vector<ReturnedParam>* returned) {
  ProcDefinition definition;
  bool found = false;
  if (Outcome o = LoadProc(call.procedure, &definition, &found); !o.ok()) return o;
  if (!found) return Outcome::Error(-1, "no procedure named " + call.procedure);
  std::string error;
  std::vector<ProcStep> steps;
  std::vector<CallArg> args;
  if (!SplitBody(definition, &steps, &error) ||
      !BindCall(call, definition.name, definition.params, params, &args, &error)) {
    return Outcome::Error(-1, error);
  }
  Row values(definition.params.size());
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i].input == nullptr) continue;
    auto value = DecodeParam(args[i].input->type_code, args[i].input->value, &error);
    if (!value) return Outcome::Error(-1, "parameter " + definition.params[i].name + ": " + error);
    values[i] = std::move(*value);
  }
  std::unique_ptr<ResultTable> table;
  std::int64_t changed = 0;
  Outcome outcome = Atomically(
      [&]() -> Outcome {
        for (const ProcStep& step : steps) {
          if (Outcome o = RunStep(definition, step, &values, rows ? &table : nullptr); !o.ok())
            return o;
        }
        if (rows != nullptr && !table) {
          return Outcome::Error(-1, "no statement of its body returns rows; run it with PROCEXEC");
        }
        return {};
      },
      &changed);
  if (!outcome.ok()) {
    return Outcome::Error(outcome.code, "procedure " + definition.name + ": " + outcome.message);
  }
  if (rows != nullptr) rows->Table(*table);
  returned->clear();
  for (std::size_t i = 0; i < definition.params.size(); ++i) {
    if (definition.params[i].direction == ProcDirection::kIn) continue;
    returned->push_back(Returned(definition.params[i], args[i].reply_name, values[i]));
  }
  return {};
}

Outcome SqliteBackend::Catalogue(const CatalogueQuery& query, OpenReply* reply) {
  using Kind = CatalogueQuery::Kind;
  std::vector<Row> rows;
  Outcome o;
  ResultTable table(query.kind == Kind::kProcedureParams
                        ? std::vector<ColumnDecl>{{"name", ""}, {"usertype", ""}}
                        : std::vector<ColumnDecl>{{"OWNER", ""}, {"OBJECT_NAME", ""}});
  if (query.kind == Kind::kTables) {
    o = Query(std::string("SELECT name FROM sqlite_schema WHERE type IN ('table', 'view') AND "
                          "name NOT LIKE 'sqlite\\_%' ESCAPE '\\' AND name <> '") +
                  kProcTable + "' ORDER BY name",
              {}, &rows);
  } else if (query.kind == Kind::kProcedures) {
    o = Query("SELECT name FROM sqlite_schema WHERE type = 'table' AND name = ?1",
              {TextValue(kProcTable)}, &rows);
    if (o.ok() && !rows.empty()) {
      rows.clear();
      o = Query(std::string("SELECT name FROM ") + kProcTable + " ORDER BY name", {}, &rows);
    }
  } else {
    ProcDefinition definition;
    bool found = false;
    o = LoadProc(query.procedure, &definition, &found);
    for (const ProcParam& p : definition.params) {
      if (!found || p.direction == ProcDirection::kResult) continue;
      table.AddText(p.name);
      table.AddInteger(p.type_code);
    }
  }
  if (!o.ok()) return o;
  for (const Row& row : rows) {
    table.AddText(kOwner);
    // Procedure names are plain words already and never go into SQL text.
    table.AddText(query.kind == Kind::kTables ? CatalogueName(Text(row[0])) : Text(row[0]));
  }
  reply->Table(table);
  return {};
}

}  // namespace orv::server
