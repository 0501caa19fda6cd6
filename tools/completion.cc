#include "tools/completion.h"

#include <readline/readline.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>

#include "dataset/orv_stored_proc.h"
#include "dataset/orv_table.h"
#include "design/registration.h"
#include "host/sysutils.h"
#include "tools/shell.h"

namespace orv::orvsql {

namespace {

std::vector<std::string> matches;  // the candidates readline is taking, main thread only
TOrvRDB* completion_rdb = nullptr;  // main thread only

char* NextMatch(const char*, int state) {
  static size_t next = 0;
  if (state == 0) next = 0;
  return next < matches.size() ? ::strdup(matches[next++].c_str()) : nullptr;
}

char** Complete(const char* text, int start, int) {
  // Nothing but these candidates: no file names after them.
  rl_attempted_completion_over = 1;
  matches = Completions(std::string_view(rl_line_buffer, static_cast<size_t>(start)), text,
                        [](bool tables) { return EditorNames(*completion_rdb, tables); });
  return rl_completion_matches(text, NextMatch);
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n'; }

// The words of `text`, split at blanks.
std::vector<std::string> Words(std::string_view text) {
  std::vector<std::string> words;
  size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && IsBlank(text[i])) ++i;
    size_t end = i;
    while (end < text.size() && !IsBlank(text[end])) ++end;
    if (end > i) words.emplace_back(text.substr(i, end - i));
    i = end;
  }
  return words;
}

enum class Wanted { kNothing, kTable, kProcedure };

// What the word after `before` names.
Wanted WantedAfter(std::string_view before) {
  const std::vector<std::string> words = Words(before);
  if (words.empty() || !IsBlank(before.back())) return Wanted::kNothing;
  if (words.size() == 1 && (words[0] == "\\d" || words[0] == "\\edit")) return Wanted::kTable;
  if (words.size() == 1 && (words[0] == "\\call" || words[0] == "\\callopen"))
    return Wanted::kProcedure;
  if (words[0].front() == '\\') return Wanted::kNothing;
  for (const char* keyword : {"from", "join", "into", "update", "table"})
    if (SameText(words.back(), keyword)) return Wanted::kTable;
  return Wanted::kNothing;
}

}  // namespace

std::vector<std::string> Completions(std::string_view before, std::string_view word,
                                     const NameSource& names) {
  std::vector<std::string> out;
  auto offer = [&](std::string candidate) {
    if (candidate.compare(0, word.size(), word) == 0 &&
        std::find(out.begin(), out.end(), candidate) == out.end())
      out.push_back(std::move(candidate));
  };
  if (Trim(before).empty()) {
    if (!word.empty() && word.front() == '\\')
      for (const std::string& name : Shell::CommandNames()) offer(name);
    return out;
  }
  const Wanted wanted = WantedAfter(before);
  if (wanted == Wanted::kNothing || !names) return out;
  const bool owned = word.find('.') != std::string_view::npos;
  for (const std::string& entry : names(wanted == Wanted::kTable)) {
    const size_t dot = entry.find('.');
    offer(owned || dot == std::string::npos ? entry : entry.substr(dot + 1));
  }
  std::sort(out.begin(), out.end());
  return out;
}

std::vector<std::string> EditorNames(TOrvRDB& rdb, bool tables) {
  static std::once_flag registered;
  std::call_once(registered, [] { orvdataset::Register(); });
  std::unique_ptr<TOrvDataSet> dataset;
  if (tables) {
    dataset = std::make_unique<TOrvTable>(nullptr);
  } else {
    dataset = std::make_unique<TOrvStoredProc>(nullptr);
  }
  dataset->SetDatabase(&rdb);
  const TPropertyInfo property = tables ? TableNameProperty() : StoredProcNameProperty();
  const TPropertyEditorClass editor_class =
      FindPropertyEditor(property.TypeName, dataset->ClassName(), property.Name);
  std::vector<std::string> names;
  if (!editor_class) return names;
  std::unique_ptr<TPropertyEditor> editor = editor_class({dataset.get()}, property);
  try {
    editor->GetValues([&names](const std::string& name) { names.push_back(name); });
  } catch (const std::exception&) {
    names.clear();
  }
  return names;
}

void InstallCompletion(TOrvRDB& rdb) {
  completion_rdb = &rdb;
  // A backslash begins a command word rather than ending one.
  static char breaks[] = " \t\n\"'=;,()";
  rl_basic_word_break_characters = breaks;
  rl_attempted_completion_function = Complete;
}

}  // namespace orv::orvsql
