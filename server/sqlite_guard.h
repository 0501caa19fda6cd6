// SqliteGuard keeps a client's statements inside the server's own database
// file. Installed as the SQLite authorizer of a connection, it refuses every
// action that would open, create or load another file:
//   - ATTACH of a file and DETACH (VACUUM INTO attaches its target, so it
//     is refused with them), unless the server runs with --allow-attach; a
//     private temporary or in-memory database may still be attached, which
//     plain VACUUM needs;
//   - the functions that load extensions or read and write files;
//   - the pragmas that move the temporary or data directories.
// SQLite asks the authorizer while it prepares a statement and again for
// the statements it runs internally, so no spelling of the SQL gets past it.
// Extension loading is also switched off on the connection itself.
//
// A refusal is remembered so that the error reported to the client names
// what was refused instead of SQLite's bare "not authorized".
//
// Belongs to one backend and is used by that backend's thread only.
#pragma once

#include <string>

struct sqlite3;

namespace orv::server {

class SqliteGuard {
 public:
  explicit SqliteGuard(bool allow_attach) : allow_attach_(allow_attach) {}
  SqliteGuard(const SqliteGuard&) = delete;
  SqliteGuard& operator=(const SqliteGuard&) = delete;

  // Installs the guard on db; it must outlive the connection's statements.
  void Install(sqlite3* db);

  // The text of the last refusal, cleared by reading it; empty if none.
  std::string TakeRefusal();

 private:
  static int Authorize(void* self, int action, const char* a, const char* b, const char* db,
                       const char* trigger);
  int Refuse(std::string what);

  const bool allow_attach_;
  std::string refusal_;
};

}  // namespace orv::server
