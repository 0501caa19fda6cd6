#include "server/sqlite_rows.h"

#include <sqlite3.h>

#include <algorithm>
#include <charconv>
#include <memory>
#include <optional>
#include <string>

#include "server/result_table.h"

namespace orv::server {

Outcome SqliteRows::TooLarge() {
  return Outcome::Error(-1, "result is larger than " + std::to_string(kMaxResultBytes >> 20) +
                                " MiB; fetch it in parts with OPENPART");
}

template <typename Row>
int SqliteRows::Each(Row row) {
  const std::int64_t first = std::max<std::int64_t>(window_.first, 1);
  std::int64_t seen = 0, taken = 0;
  int rc;
  while ((rc = sqlite3_step(stmt_)) == SQLITE_ROW) {
    if (++seen < first) continue;
    if (window_.count >= 0 && taken >= window_.count) break;
    ++taken;
    if (!row()) break;
  }
  return rc == SQLITE_ROW ? SQLITE_DONE : rc;
}

ResultValue SqliteRows::Value(int c, char (&digits)[24]) const {
  ResultValue v;
  switch (sqlite3_column_type(stmt_, c)) {
    case SQLITE_INTEGER:
      v.integer = sqlite3_column_int64(stmt_, c);
      v.kind = ResultValue::Kind::kInteger;
      if (c == address_) {
        // The dataset looks for a text column named ROWID.
        v.kind = ResultValue::Kind::kText;
        v.bytes = std::string_view(digits, std::to_chars(digits, digits + sizeof digits, v.integer).ptr - digits);
      }
      break;
    case SQLITE_FLOAT:
      v.kind = ResultValue::Kind::kReal;
      v.real = sqlite3_column_double(stmt_, c);
      break;
    case SQLITE_TEXT: {
      auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, c));
      v.kind = ResultValue::Kind::kText;
      v.bytes = std::string_view(text, static_cast<std::size_t>(sqlite3_column_bytes(stmt_, c)));
      break;
    }
    case SQLITE_BLOB: {
      auto* blob = static_cast<const char*>(sqlite3_column_blob(stmt_, c));
      v.kind = ResultValue::Kind::kBlob;
      v.bytes = std::string_view(blob, blob ? static_cast<std::size_t>(sqlite3_column_bytes(stmt_, c)) : 0);
      break;
    }
    default:
      break;
  }
  return v;
}

Outcome SqliteRows::Hold(std::unique_ptr<ResultTable>* out, const std::function<Outcome()>& error) {
  const int columns = static_cast<int>(columns_.size());
  auto held = std::make_unique<ResultTable>(columns_);
  bool too_large = false;
  char digits[24];
  int rc = Each([&] {
    for (int c = 0; c < columns; ++c) held->Add(Value(c, digits));
    too_large = held->MemoryBytes() > kMaxResultBytes;
    return !too_large;
  });
  if (too_large) return TooLarge();
  if (rc != SQLITE_DONE) return error();
  *out = std::move(held);
  return {};
}

Outcome SqliteRows::Send(OpenReply* reply, const std::function<Outcome()>& hold_snapshot,
                         const std::function<Outcome()>& error) {
  struct Reset {
    sqlite3_stmt* stmt;
    ~Reset() { sqlite3_reset(stmt); }
  } reset{stmt_};
  const int columns = static_cast<int>(columns_.size());
  // Transaction statements are read-only too, but have no columns.
  const bool rerun = columns > 0 && sqlite3_stmt_readonly(stmt_);
  auto held = std::make_unique<ResultTable>(columns_);
  std::optional<ColumnStats> measured;
  Outcome failure;
  char digits[24];

  int rc = Each([&] {
    for (int c = 0; c < columns; ++c) {
      const ResultValue v = Value(c, digits);
      if (measured) {
        measured->Add(v);
      } else {
        held->Add(v);
      }
    }
    if (measured || held->MemoryBytes() <= kHoldBytes) return true;
    if (rerun) {
      failure = hold_snapshot();
      if (!failure.ok()) return false;
      measured.emplace(held->Stats());
      held.reset();
      return true;
    }
    if (held->MemoryBytes() <= kMaxResultBytes) return true;
    failure = TooLarge();
    return false;
  });
  if (!failure.ok()) return failure;
  if (rc != SQLITE_DONE) return error();
  if (!measured) {
    reply->Table(*held);
    return {};
  }

  const std::vector<ColumnOut> described = measured->Describe();
  sqlite3_reset(stmt_);
  reply->Begin(described);
  std::string wire;
  rc = Each([&] {
    for (int c = 0; c < columns; ++c) {
      wire.clear();
      if (!ColumnStats::Wire(described[c], Value(c, digits), &wire)) {
        failure = Outcome::Error(-1, "column " + described[c].name +
                                         " gave a value the first pass did not foresee");
        return false;
      }
      reply->Field(wire);
    }
    return true;
  });
  if (!failure.ok()) return failure;
  if (rc != SQLITE_DONE) return error();
  reply->End();
  return {};
}

}  // namespace orv::server
