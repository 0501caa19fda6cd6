#include "dataset/update_sql.h"

#include "host/sysutils.h"

namespace orv {
namespace {

bool IsBlobField(TFieldType type) { return IsBlobColumn(type) || type == ftFmtMemo; }

bool IsRowIdName(const std::string& name) { return UpperCase(name) == "ROWID"; }

// On Oracle the table's ROWID column is never inserted or set.
bool SkippedRowId(const TFieldInf& field, TDatabaseType database) {
  return database == dtOracle && field.Name == "ROWID";
}

// ", " left by a skipped last field becomes two blanks.
void MendComma(std::string& text) {
  const size_t n = text.size();
  if (n >= 2 && text[n - 2] == ',' && text[n - 1] == ' ') text[n - 2] = ' ';
}

void MendAnd(std::string& text) {
  if (text.size() >= 5 && text.compare(text.size() - 5, 5, " and ") == 0)
    text.resize(text.size() - 5);
}

// One clause per field that `clause` gives one for, each but the last
// field's followed by `separator`.
template <class Clause>
std::string Clauses(const TFieldInfList& layout, const char* separator, Clause clause) {
  std::string text;
  for (size_t i = 0; i < layout.size(); ++i) {
    std::string part;
    if (!clause(*layout[i], i, part)) continue;
    text += part;
    if (i + 1 < layout.size()) text += separator;
  }
  return text;
}

std::string EqualsRid(const TFieldInf& f) {
  return f.Name + (IsRowIdName(f.Name) ? " = :RID" : " = :" + f.Name);
}

}  // namespace

std::string ChangeStatementText(TChangeKind kind, const std::string& table,
                                const TFieldInfList& layout, TDatabaseType database) {
  std::string text;
  switch (kind) {
    case TChangeKind::ckInsert: {
      text = "Insert Into " + table + " (" +
             Clauses(layout, ", ", [&](const TFieldInf& f, size_t, std::string& out) {
               out = f.Name;
               return !SkippedRowId(f, database);
             });
      MendComma(text);
      text += ") Values (" +
              Clauses(layout, ", ", [&](const TFieldInf& f, size_t, std::string& out) {
                out = ":" + f.Name;
                return !SkippedRowId(f, database);
              });
      MendComma(text);
      text += ")";
      break;
    }
    case TChangeKind::ckUpdate:
      text = "Update " + table + " Set " +
             Clauses(layout, ", ", [&](const TFieldInf& f, size_t, std::string& out) {
               out = EqualsRid(f);
               return !SkippedRowId(f, database);
             });
      MendComma(text);
      text += " Where " +
              Clauses(layout, " and ", [&](const TFieldInf& f, size_t i, std::string& out) {
                out = f.Name + " = :" + f.Name + "_" + IntToStr(static_cast<int64_t>(i) + 1);
                return !IsBlobField(f.FieldType);
              });
      MendAnd(text);
      break;
    case TChangeKind::ckDelete:
      text = "Delete from " + table + " Where " +
             Clauses(layout, " and ", [&](const TFieldInf& f, size_t, std::string& out) {
               out = EqualsRid(f);
               return !IsBlobField(f.FieldType);
             });
      MendAnd(text);
      break;
  }
  return text;
}

int ChangeParamCount(TChangeKind kind, const TFieldInfList& layout, TDatabaseType database) {
  const int n = static_cast<int>(layout.size());
  const int oracle = database == dtOracle ? 1 : 0;
  int blobs = 0;
  for (const auto& f : layout)
    if (IsBlobField(f->FieldType)) ++blobs;
  switch (kind) {
    case TChangeKind::ckInsert: return n - oracle;
    case TChangeKind::ckUpdate: return 2 * n - oracle - blobs;
    case TChangeKind::ckDelete: return n - blobs;
  }
  return 0;
}

std::string ChangeParamBlock(TChangeKind kind, const TFieldInfList& layout, TServerType server,
                             TDatabaseType database, const std::vector<std::string>& values,
                             const std::vector<std::string>& before) {
  const size_t n = layout.size();
  const size_t positions = kind == TChangeKind::ckUpdate ? 2 * n : n;
  const std::string prefix = server == svNTServer ? "" : database == dtOracle ? ":" : "@";
  std::string block;
  for (size_t p = 0; p < positions; ++p) {
    const bool fetched = p >= n;
    const TFieldInf& f = *layout[fetched ? p - n : p];
    const bool skipped =
        (!fetched && kind != TChangeKind::ckDelete && SkippedRowId(f, database)) ||
        ((fetched || kind == TChangeKind::ckDelete) && IsBlobField(f.FieldType));
    if (skipped) continue;
    std::string name;
    if (fetched) {
      name = prefix + f.Name + "_" + IntToStr(static_cast<int64_t>(p - n) + 1);
    } else if (server != svNTServer && database == dtOracle && IsRowIdName(f.Name)) {
      name = ":RID";
    } else {
      name = prefix + f.Name;
    }
    const std::string& value = fetched ? before.at(p - n) : values.at(p);
    block += "I;" + name + ";" + IntToStr(GetDBTypeCode(f.FieldType)) + ";" +
             IntToStr(static_cast<int64_t>(value.size())) + ";" + value + ";";
  }
  return block;
}

}  // namespace orv
