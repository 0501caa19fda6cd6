#include "server/sqlite_guard.h"

#include <sqlite3.h>

#include <cstring>

namespace orv::server {

namespace {

// Functions that reach files or load code: the extension loader, the file
// functions some builds register, and the FTS3 tokenizer registration, which
// takes a pointer to code.
constexpr const char* kFileFunctions[] = {"load_extension", "readfile", "writefile", "edit",
                                          "fts3_tokenizer"};
// Pragmas that point SQLite at other directories.
constexpr const char* kFilePragmas[] = {"temp_store_directory", "data_store_directory"};

bool In(const char* name, const auto& list) {
  if (name == nullptr) return false;
  for (const char* entry : list) {
    if (sqlite3_stricmp(name, entry) == 0) return true;
  }
  return false;
}

}  // namespace

void SqliteGuard::Install(sqlite3* db) {
  sqlite3_db_config(db, SQLITE_DBCONFIG_ENABLE_LOAD_EXTENSION, 0, nullptr);
  sqlite3_set_authorizer(db, &SqliteGuard::Authorize, this);
}

std::string SqliteGuard::TakeRefusal() {
  std::string refusal;
  refusal.swap(refusal_);
  return refusal;
}

int SqliteGuard::Refuse(std::string what) {
  refusal_ = std::move(what);
  return SQLITE_DENY;
}

int SqliteGuard::Authorize(void* self, int action, const char* a, const char* b, const char*,
                           const char*) {
  auto* guard = static_cast<SqliteGuard*>(self);
  switch (action) {
    case SQLITE_ATTACH:
      // A private temporary or in-memory database touches no file of anyone
      // else's; plain VACUUM rebuilds the database through one.
      if (a != nullptr && (a[0] == '\0' || std::strcmp(a, ":memory:") == 0)) return SQLITE_OK;
      [[fallthrough]];
    case SQLITE_DETACH:
      if (guard->allow_attach_) return SQLITE_OK;
      return guard->Refuse(std::string(action == SQLITE_ATTACH ? "ATTACH" : "DETACH") +
                           " is not allowed: statements may not reach files outside the "
                           "server's database (ATTACH, DETACH and VACUUM INTO need "
                           "rdbserver --allow-attach)");
    case SQLITE_FUNCTION:
      if (In(b, kFileFunctions))
        return guard->Refuse(std::string("function ") + b +
                             "() is not allowed: it reaches files outside the server's "
                             "database");
      return SQLITE_OK;
    case SQLITE_PRAGMA:
      if (In(a, kFilePragmas))
        return guard->Refuse(std::string("PRAGMA ") + a +
                             " is not allowed: it reaches files outside the server's database");
      return SQLITE_OK;
    default:
      return SQLITE_OK;
  }
}

}  // namespace orv::server
