// The PostgreSQL backend's stored procedures and catalogue lists, from
// pg_catalog.
//
// A name is read as PostgreSQL reads one (parse_ident: unquoted parts fold
// to lower case) and found in its schema, or else in the first schema of the
// search path that has it. PARAM lists the arguments in order: IN and
// VARIADIC as in, OUT, INOUT, and for a function that has no OUT arguments
// and returns a value, a RESULT parameter "Result" first. Unnamed arguments
// are "arg" + their position. A set-returning function's OUT and TABLE
// arguments are its columns, not parameters, and its INOUT ones inputs.
//
// PROCEXEC runs "CALL p(...)" for a procedure (NULL in the place of its OUT
// arguments), "SELECT f(...)" for a function with a result and
// "SELECT * FROM f(...)" for one with OUT arguments; the one row they give
// holds the returned values. PROCOPEN reads "SELECT * FROM f(...)" of a
// set-returning function as an open reads its rows.
#include <libpq-fe.h>

#include "server/pg_backend.h"
#include "server/pg_types.h"

namespace orv::server {

namespace {

constexpr unsigned kVoidOid = 2278;

// One row per argument (one with empty argument columns for none) of every
// procedure or function the name can mean, nearest in the search path first.
constexpr const char* kFindProc =
    "SELECT quote_ident(n.nspname) || '.' || quote_ident(p.proname), p.prokind, p.proretset, "
    "p.prorettype, coalesce(array_position(current_schemas(true), n.nspname)::text, ''), p.oid, "
    "coalesce(p.proargnames[a.k], ''), coalesce(p.proargmodes[a.k]::text, 'i'), "
    "coalesce(a.t::text, '') "
    "FROM pg_catalog.pg_proc p JOIN pg_catalog.pg_namespace n ON n.oid = p.pronamespace "
    "CROSS JOIN parse_ident($1) AS id(parts) "
    "LEFT JOIN LATERAL unnest(coalesce(p.proallargtypes, p.proargtypes::oid[])) "
    "WITH ORDINALITY AS a(t, k) ON true "
    "WHERE p.prokind IN ('f', 'p') AND p.proname = parts[cardinality(parts)] AND "
    "CASE cardinality(parts) WHEN 1 THEN n.nspname = ANY (current_schemas(true)) "
    "WHEN 2 THEN n.nspname = parts[1] ELSE false END "
    "ORDER BY array_position(current_schemas(true), n.nspname), p.oid, a.k";
enum FindColumn { kQualified, kKind, kRetSet, kRetType, kPosition, kOid, kArgName, kArgMode, kArgType };

// Schemas of PostgreSQL itself; their objects are not the database's.
#define ORV_USER_SCHEMA \
  "n.nspname <> 'information_schema' AND n.nspname !~ '^pg_' AND " \
  "has_schema_privilege(n.oid, 'USAGE')"

constexpr const char* kTables =
    "SELECT quote_ident(n.nspname), quote_ident(c.relname) FROM pg_catalog.pg_class c "
    "JOIN pg_catalog.pg_namespace n ON n.oid = c.relnamespace "
    "WHERE c.relkind IN ('r', 'p', 'v', 'm', 'f') AND " ORV_USER_SCHEMA
    " AND has_table_privilege(c.oid, 'SELECT') ORDER BY 1, 2";

constexpr const char* kProcedures =
    "SELECT DISTINCT quote_ident(n.nspname), quote_ident(p.proname) FROM pg_catalog.pg_proc p "
    "JOIN pg_catalog.pg_namespace n ON n.oid = p.pronamespace "
    "WHERE p.prokind IN ('f', 'p') AND " ORV_USER_SCHEMA
    " AND p.prorettype NOT IN ('pg_catalog.trigger'::regtype, "
    "'pg_catalog.event_trigger'::regtype, 'pg_catalog.internal'::regtype) "
    "AND has_function_privilege(p.oid, 'EXECUTE') ORDER BY 1, 2";

#undef ORV_USER_SCHEMA

unsigned Oid(const std::string& text) { return static_cast<unsigned>(std::stoul(text)); }

}  // namespace

Outcome PgBackend::Query(const char* sql, const std::vector<std::string>& values, Rows* rows) {
  std::vector<const char*> texts;
  for (const std::string& v : values) texts.push_back(v.c_str());
  PgResultPtr r(PQexecParams(conn_, sql, static_cast<int>(texts.size()), nullptr, texts.data(),
                             nullptr, nullptr, 0));
  if (!r || PQresultStatus(r.get()) != PGRES_TUPLES_OK) return ResultError(r.get());
  rows->clear();
  for (int t = 0; t < PQntuples(r.get()); ++t) {
    auto& row = rows->emplace_back();
    for (int c = 0; c < PQnfields(r.get()); ++c) row.emplace_back(PQgetvalue(r.get(), t, c));
  }
  return {};
}

Outcome PgBackend::FindProc(const std::string& name, PgProc* proc, bool* found) {
  Rows rows;
  if (Outcome o = Query(kFindProc, {name}, &rows); !o.ok()) return o;
  *found = !rows.empty();
  if (rows.empty()) return {};
  const std::vector<std::string> first = rows[0];
  std::size_t forms = 1;
  for (std::size_t r = 1; r < rows.size(); ++r) {
    if (rows[r][kPosition] != first[kPosition]) break;
    if (rows[r][kOid] != rows[r - 1][kOid]) ++forms;
  }
  if (forms > 1) {
    return Outcome::Error(-1, first[kQualified] + " has " + std::to_string(forms) +
                                  " forms; rdbserver calls only procedures and functions of "
                                  "one form (give the others another name)");
  }
  proc->qualified = first[kQualified];
  proc->procedure = first[kKind] == "p";
  proc->returns_set = first[kRetSet] == "t";
  std::erase_if(rows, [&](const std::vector<std::string>& row) {
    return row[kOid] != first[kOid] || row[kArgType].empty();
  });
  bool outputs = false;
  for (std::size_t k = 0; k < rows.size(); ++k) {
    const std::string& mode = rows[k][kArgMode];
    ProcParam param;
    param.name = rows[k][kArgName].empty() ? "arg" + std::to_string(k + 1) : rows[k][kArgName];
    if (mode == "o" || mode == "t") {
      if (proc->returns_set) continue;
      param.direction = ProcDirection::kOut;
    } else if (mode == "b") {
      param.direction = proc->returns_set ? ProcDirection::kIn : ProcDirection::kInOut;
    }
    outputs = outputs || param.direction != ProcDirection::kIn;
    const PgColumnType type = PgType(Oid(rows[k][kArgType]), -1);
    param.type_code = type.type_code;
    param.length = type.natural;
    proc->params.push_back(std::move(param));
    proc->types.push_back(Oid(rows[k][kArgType]));
    proc->variadic.push_back(mode == "v");
  }
  const unsigned returns = Oid(first[kRetType]);
  if (!proc->procedure && !proc->returns_set && !outputs && returns != kVoidOid) {
    const PgColumnType type = PgType(returns, -1);
    proc->params.insert(proc->params.begin(),
                        ProcParam{"Result", ProcDirection::kResult, type.type_code, type.natural});
    proc->types.insert(proc->types.begin(), returns);
    proc->variadic.insert(proc->variadic.begin(), false);
  }
  return {};
}

Outcome PgBackend::FindProcOrFail(const std::string& name, PgProc* proc) {
  bool found = false;
  if (Outcome o = FindProc(name, proc, &found); !o.ok()) return o;
  if (!found) return Outcome::Error(-1, "no procedure or function named " + name);
  return {};
}

Outcome PgBackend::CallFound(const PgProc& proc, const ProcCall& call,
                             const std::vector<ParamEntry>& params, OpenReply* rows,
                             std::vector<ReturnedParam>* returned) {
  if (rows != nullptr && !proc.returns_set) {
    return Outcome::Error(-1, "PROCOPEN reads the rows of a set-returning function; " +
                                  proc.qualified + " returns none (run it with PROCEXEC)");
  }
  std::string error;
  std::vector<CallArg> args;
  if (!BindCall(call, proc.qualified, proc.params, params, &args, &error)) {
    return Outcome::Error(-1, error);
  }
  const bool result = !proc.params.empty() && proc.params[0].direction == ProcDirection::kResult;
  std::string arguments;
  Bound bound;
  for (std::size_t i = 0; i < proc.params.size(); ++i) {
    const ProcParam& p = proc.params[i];
    if (p.direction == ProcDirection::kResult) continue;
    if (!p.input() && !proc.procedure) continue;  // a function's OUT arguments are not passed
    arguments += arguments.empty() ? "" : ", ";
    if (!p.input()) {
      arguments += "NULL";
      continue;
    }
    auto value = DecodeParam(args[i].input->type_code, args[i].input->value, &error);
    if (!value) return Outcome::Error(-1, "parameter " + p.name + ": " + error);
    bound.Add(*value, &args[i].input->value);
    if (value->kind != ParamValue::Kind::kBlob) bound.types.back() = proc.types[i];
    arguments += std::string(proc.variadic[i] ? "VARIADIC " : "") + "$" +
                 std::to_string(bound.texts.size());
  }
  const std::string invoked = proc.qualified + "(" + arguments + ")";
  const std::string sql = proc.procedure ? "CALL " + invoked
                          : result       ? "SELECT " + invoked
                                         : "SELECT * FROM " + invoked;
  const PgStatement statement{sql, {}};
  returned->clear();
  if (rows != nullptr) return Fetch(statement, bound, RowWindow{}, false, rows);
  if (proc.returns_set) {
    std::int64_t changed = 0;
    return ExecBound(statement, bound, &changed);
  }
  PgResultPtr r;
  {
    RunningMark running(&running_);
    if (!Send(statement, bound)) return ConnectionError();
    r.reset(PQgetResult(conn_));
    while (PgResultPtr rest{PQgetResult(conn_)}) {
    }
  }
  const ExecStatusType status = r ? PQresultStatus(r.get()) : PGRES_FATAL_ERROR;
  if (status != PGRES_TUPLES_OK && status != PGRES_COMMAND_OK) return ResultError(r.get());
  int column = 0;
  for (std::size_t i = 0; i < proc.params.size(); ++i) {
    const ProcParam& p = proc.params[i];
    if (p.direction == ProcDirection::kIn) continue;
    ReturnedParam out{p.type_code, args[i].reply_name, p.direction, std::nullopt};
    if (status == PGRES_TUPLES_OK && PQntuples(r.get()) == 1 && column < PQnfields(r.get())) {
      const PgColumnType type = PgType(PQftype(r.get(), column), PQfmod(r.get(), column));
      out.type_code = type.type_code;
      if (!PQgetisnull(r.get(), 0, column)) {
        std::string wire;
        AppendPgValue(type.form,
                      std::string_view(PQgetvalue(r.get(), 0, column),
                                       static_cast<std::size_t>(PQgetlength(r.get(), 0, column))),
                      &wire);
        out.value = std::move(wire);
      }
    }
    ++column;
    returned->push_back(std::move(out));
  }
  return {};
}

Outcome PgBackend::ListCatalogue(const CatalogueQuery& query, OpenReply* reply) {
  using Kind = CatalogueQuery::Kind;
  Rows rows;
  ResultTable table(query.kind == Kind::kProcedureParams
                        ? std::vector<ColumnDecl>{{"name", ""}, {"usertype", ""}}
                        : std::vector<ColumnDecl>{{"owner", ""}, {"object_name", ""}});
  if (query.kind == Kind::kProcedureParams) {
    PgProc proc;
    bool found = false;
    if (Outcome o = FindProc(query.procedure, &proc, &found); !o.ok()) return o;
    for (const ProcParam& p : proc.params) {
      if (p.direction == ProcDirection::kResult) continue;
      table.AddText(p.name);
      table.AddInteger(p.type_code);
    }
  } else {
    if (Outcome o = Query(query.kind == Kind::kTables ? kTables : kProcedures, {}, &rows); !o.ok())
      return o;
    for (const auto& row : rows) {
      table.AddText(row[0]);
      table.AddText(row[1]);
    }
  }
  reply->Table(table);
  return {};
}

}  // namespace orv::server
