// Tab completion at the prompt: what the word under the cursor may become.
// A word that begins a line with a backslash completes to the backslash
// commands.
//
// Completions is a plain function (tested without a terminal);
// InstallCompletion hands it to readline. The main thread.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace orv::orvsql {

// The candidates for `word`, given the text of the line before it.
std::vector<std::string> Completions(std::string_view before, std::string_view word);

// Makes readline complete with Completions.
void InstallCompletion();

}  // namespace orv::orvsql
