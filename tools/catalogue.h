// The catalogue commands: "\d TABLE", the columns of a table with their
// types and sizes, as the package describes them to an application (the
// field definitions of an open that fetches no row).
//
// Free functions on a Session; the main thread.
#pragma once

#include <string>

namespace orv::orvsql {

class Session;

// False when it failed (the reason is on standard error).
bool DescribeTable(Session& session, const std::string& args);

}  // namespace orv::orvsql
