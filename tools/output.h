// Where orvsql's results go and in which form: standard output or the
// file of "\o FILE", as a table, in the expanded form of "\x" or as CSV.
//
// Results (rows, "N rows affected", edit confirmations) are gathered in a
// buffer and written out by Flush, or by MaybeFlush once enough has
// gathered or it has waited long enough, so rows appear while a long
// result arrives. Status lines are left out in CSV, which holds nothing
// but the rows. Notes for the person at the console ("\timing") never go
// into the file: they go to standard output, or to standard error in CSV.
//
// Owns the \o file. Used by the main thread.
#pragma once

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>

#include "tools/result_writer.h"

namespace orv::orvsql {

class Output {
 public:
  explicit Output(bool csv) : csv_(csv) {}
  ~Output();
  Output(const Output&) = delete;
  Output& operator=(const Output&) = delete;

  bool Csv() const { return csv_; }
  bool Expanded() const { return expanded_; }
  void SetExpanded(bool value) { expanded_ = value; }
  // The writer for the current form.
  std::unique_ptr<ResultWriter> NewWriter() const;

  // Results not yet written out.
  std::string& Buffer() { return buffer_; }
  void Flush();
  void MaybeFlush();
  // A line of results other than rows; left out in CSV.
  void Status(const std::string& line);
  // A line for the console, after the results before it.
  void Note(const std::string& line);

  // Sends the results to `path` (created or emptied) from now on; an
  // empty path goes back to standard output. False with `error` set when
  // the file cannot be opened; the results then go where they went.
  bool SendTo(const std::string& path, std::string& error);
  // The first failed write to the \o file since the last call, or "".
  std::string TakeWriteError();

 private:
  void CloseFile();

  const bool csv_;
  bool expanded_ = false;
  std::string buffer_;
  std::FILE* file_ = nullptr;  // nullptr: standard output
  std::string path_;
  std::string write_error_;
  std::chrono::steady_clock::time_point last_flush_ = std::chrono::steady_clock::now();
};

}  // namespace orv::orvsql
