// Tab completion at the prompt: what the word under the cursor may become.
// A word that begins a line with a backslash completes to the backslash
// commands. A table name is offered after FROM, JOIN, INTO, UPDATE and
// TABLE and as the first argument of \d and \edit; a procedure name as the
// first argument of \call and \callopen. The names are what the designer
// would offer for the property: the registered object-name property
// editor's values for a TOrvTable's TableName or a TOrvStoredProc's
// StoredProcName on the session's connection (cached there, so a second
// tab asks the server nothing). A name listed with its owner completes
// without it unless the word already holds a dot.
//
// Completions is a plain function (tested without a terminal);
// InstallCompletion hands it to readline. The main thread.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace orv {
class TOrvRDB;
}

namespace orv::orvsql {

// The table names (`tables`) or the procedure names.
using NameSource = std::function<std::vector<std::string>(bool tables)>;

// The candidates for `word`, given the text of the line before it.
std::vector<std::string> Completions(std::string_view before, std::string_view word,
                                     const NameSource& names = {});

// The values of the object-name property editor for a dataset on `rdb`;
// none when the listing fails (completion reports nothing).
std::vector<std::string> EditorNames(TOrvRDB& rdb, bool tables);

// Makes readline complete with Completions and the names of `rdb`.
void InstallCompletion(TOrvRDB& rdb);

}  // namespace orv::orvsql
