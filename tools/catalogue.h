// The catalogue commands: "\dt" and "\df", the tables and views or the
// procedures and functions the connection reaches, through the package's
// catalogue lists (asked afresh each time, as statements since may have
// changed them), and "\d TABLE", the columns of a table with their types
// and sizes, as the package describes them to an application (the field
// definitions of an open that fetches no row).
//
// Free functions on a Session; the main thread.
#pragma once

#include <string>

namespace orv::orvsql {

class Session;

// Each false when it failed (the reason is on standard error).
bool ListTables(Session& session, const std::string& args);
bool ListProcedures(Session& session, const std::string& args);
bool DescribeTable(Session& session, const std::string& args);

}  // namespace orv::orvsql
