// FormFile: --form, --dataset and \save, the form files of orvsql.
//
// Load reads a form file and takes the settings of its first TOrvRDB into
// the session's connection, except those given on the command line (host
// and address count as one setting, as do port and service, since one of
// each pair wins over the other). The form's connection then takes the
// resulting settings, so its datasets reach the server the session
// reaches. Open opens one dataset of the form and prints its rows, or
// lists the form's datasets.
//
// Save writes the current connection and dataset: the \edit table when one
// is open (its table, condition and ORDER BY fields), else the loaded
// form (after an Open, holding the dataset opened), else the connection
// alone. A saved form loads back with --form.
//
// Owns the loaded form. Used by the main thread.
#pragma once

#include <memory>
#include <string>

namespace orv {
class TComponent;
class TOrvRDB;
class TOrvTable;
}  // namespace orv

namespace orv::orvsql {

class Session;

class FormFile {
 public:
  explicit FormFile(Session& session);
  ~FormFile();
  FormFile(const FormFile&) = delete;
  FormFile& operator=(const FormFile&) = delete;

  // Each: false when it failed (the reason is on standard error).
  bool Load(const std::string& path);
  bool Open(const std::string& dataset);
  bool Save(const std::string& path, const TOrvTable* editing);

 private:
  Session& session_;
  std::unique_ptr<TComponent> root_;
  TOrvRDB* rdb_ = nullptr;  // owned by root_
};

}  // namespace orv::orvsql
