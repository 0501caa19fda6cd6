// The rows of a table dataset's generated statements on PostgreSQL,
// addressed by PgBackend::RowAddress: the primary key, or the ctid of a
// table without one. An address lookup locks its row (FOR UPDATE) until the
// change is made; the scan by values does not lock.
#include <libpq-fe.h>

#include "server/generated_statement.h"
#include "server/pg_backend.h"
#include "server/pg_types.h"

namespace orv::server {

class PgBackend::GeneratedRows : public GeneratedTarget {
 public:
  explicit GeneratedRows(PgBackend& backend) : b_(backend) {}

  Outcome ScanRows(const std::string& table, const std::vector<std::string>& columns,
                   const std::string* address, const RowVisitor& row) override {
    std::string key;
    if (Outcome o = b_.RowAddress(table, &key); !o.ok()) return o;
    std::string sql = "SELECT (" + key + ")::text";
    for (const std::string& c : columns) sql += ", " + QuoteIdentifier(c);
    sql += " FROM " + table;
    Bound bound;
    if (address != nullptr) {
      sql += " WHERE (" + key + ")::text = $1 FOR UPDATE";
      bound.Add(Text(*address), nullptr);
    }
    if (!b_.Send({sql, {}}, bound)) return b_.ConnectionError();
    PQsetSingleRowMode(b_.conn_);
    Outcome outcome;
    bool more = true;
    std::vector<PgColumnType> types;
    std::vector<ParamValue> values(columns.size());
    // Every result is read, so the connection is ready for what follows.
    while (PgResultPtr r{PQgetResult(b_.conn_)}) {
      ExecStatusType status = PQresultStatus(r.get());
      if (status == PGRES_TUPLES_OK) continue;
      if (status != PGRES_SINGLE_TUPLE) {
        if (outcome.ok()) outcome = b_.ResultError(r.get());
        continue;
      }
      if (!more || !outcome.ok()) continue;
      for (int c = static_cast<int>(types.size()) + 1; c < PQnfields(r.get()); ++c) {
        types.push_back(PgType(PQftype(r.get(), c), PQfmod(r.get(), c)));
      }
      for (std::size_t c = 0; c < columns.size(); ++c) {
        int field = static_cast<int>(c) + 1;
        values[c] = ParamValue{};
        if (PQgetisnull(r.get(), 0, field)) continue;
        values[c].kind = types[c].form == PgColumnType::Form::kBytea ? ParamValue::Kind::kBlob
                                                                      : ParamValue::Kind::kText;
        AppendPgValue(types[c].form,
                      std::string_view(PQgetvalue(r.get(), 0, field),
                                       static_cast<std::size_t>(PQgetlength(r.get(), 0, field))),
                      &values[c].text);
      }
      more = row(PQgetvalue(r.get(), 0, 0), values);
    }
    return outcome;
  }

  Outcome InsertRow(const std::string& table, const std::vector<std::string>& columns,
                    const std::vector<ParamValue>& values, std::int64_t* changed) override {
    std::string names, holders;
    Bound bound;
    for (std::size_t i = 0; i < columns.size(); ++i) {
      names += (i ? ", " : "") + QuoteIdentifier(columns[i]);
      holders += (i ? ", $" : "$") + std::to_string(i + 1);
      bound.Add(values[i], nullptr);
    }
    return b_.ExecBound({"INSERT INTO " + table + " (" + names + ") VALUES (" + holders + ")", {}},
                        bound, changed);
  }

  Outcome UpdateRow(const std::string& table, const std::string& key,
                    const std::vector<std::string>& columns,
                    const std::vector<ParamValue>& values, std::int64_t* changed) override {
    std::string address;
    if (Outcome o = b_.RowAddress(table, &address); !o.ok()) return o;
    std::string sets;
    Bound bound;
    for (std::size_t i = 0; i < columns.size(); ++i) {
      sets += (i ? ", " : "") + QuoteIdentifier(columns[i]) + " = $" + std::to_string(i + 1);
      bound.Add(values[i], nullptr);
    }
    bound.Add(Text(key), nullptr);
    return b_.ExecBound({"UPDATE " + table + " SET " + sets + " WHERE (" + address + ")::text = $" +
                             std::to_string(columns.size() + 1),
                         {}},
                        bound, changed);
  }

  Outcome DeleteRow(const std::string& table, const std::string& key,
                    std::int64_t* changed) override {
    std::string address;
    if (Outcome o = b_.RowAddress(table, &address); !o.ok()) return o;
    Bound bound;
    bound.Add(Text(key), nullptr);
    return b_.ExecBound({"DELETE FROM " + table + " WHERE (" + address + ")::text = $1", {}},
                        bound, changed);
  }

 private:
  static ParamValue Text(const std::string& text) {
    ParamValue v;
    v.kind = ParamValue::Kind::kText;
    v.text = text;
    return v;
  }

  PgBackend& b_;
};

Outcome PgBackend::ApplyGeneratedRows(const GeneratedStatement& statement,
                                      std::int64_t* changed) {
  GeneratedRows rows(*this);
  return ApplyGenerated(statement, rows, changed);
}

}  // namespace orv::server
