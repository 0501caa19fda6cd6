// The server's reading of statement texts for PostgreSQL: placeholders to
// $n outside literals, identifiers, comments and dollar quotes, statements
// split at ';'. Every named slot stands in its statement as "$k" and names
// a placeholder as the client wrote it, once per statement whatever its
// case; the last select item found lies inside the text.
#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>

#include "server/pg_sql.h"

namespace {

std::string Folded(std::string name) {
  std::transform(name.begin(), name.end(), name.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return name;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string sql(reinterpret_cast<const char*>(data), size);
  for (const orv::server::PgStatement& statement : orv::server::PgStatements(sql)) {
    std::set<std::string> names;
    for (size_t k = 0; k < statement.slots.size(); ++k) {
      const std::string& name = statement.slots[k];
      if (name.empty()) continue;
      if (name.size() < 2 || (name[0] != ':' && name[0] != '@')) std::abort();
      if (statement.text.find("$" + std::to_string(k + 1)) == std::string::npos) std::abort();
      if (!names.insert(Folded(name.substr(1))).second) std::abort();
    }
    orv::server::PgReadsOnly(statement.text);
  }
  size_t begin = 0, end = 0;
  std::string table;
  if (orv::server::PgLastSelectItem(sql, &begin, &end, &table) &&
      (begin > end || end > sql.size()))
    std::abort();
  return 0;
}
