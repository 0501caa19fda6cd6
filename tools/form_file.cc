#include "tools/form_file.h"

#include "dataset/orv_dataset.h"
#include "dataset/orv_table.h"
#include "design/form_files.h"
#include "host/data_module.h"
#include "rdb/orv_rdb.h"
#include "tools/row_printer.h"
#include "tools/session.h"

namespace orv::orvsql {

namespace {

// The connection settings of `from` into `to`; with `given`, only those
// the command line did not give.
void CopyConnection(const TOrvRDB& from, TOrvRDB& to, const std::set<std::string>* given) {
  auto wanted = [given](std::initializer_list<const char*> options) {
    if (given == nullptr) return true;
    for (const char* option : options)
      if (given->count(option) != 0) return false;
    return true;
  };
  if (wanted({"--host", "--address"})) {
    to.SetHost(from.Host());
    to.SetAddress(from.Address());
  }
  if (wanted({"--port", "--service"})) {
    to.SetPort(from.Port());
    to.SetService(from.Service());
  }
  if (wanted({"--database"})) to.SetDatabase(from.Database());
  if (wanted({"--user"})) to.SetDBUserId(from.DBUserId());
  if (wanted({"--password"})) to.SetDBPassword(from.DBPassword());
  if (wanted({"--database-type"})) to.SetDatabaseType(from.DatabaseType());
  if (wanted({"--server-type"})) to.SetServerType(from.ServerType());
  if (wanted({"--timeout"})) to.SetTimeOut(from.TimeOut());
}

}  // namespace

FormFile::FormFile(Session& session) : session_(session) {}

FormFile::~FormFile() = default;

bool FormFile::Load(const std::string& path) {
  try {
    root_.reset(LoadFormFile(path, nullptr));
  } catch (const std::exception& e) {
    return session_.Report({e.what()});
  }
  for (int i = 0; i < root_->ComponentCount() && rdb_ == nullptr; ++i)
    rdb_ = dynamic_cast<TOrvRDB*>(root_->Components(i));
  if (rdb_ != nullptr) {
    CopyConnection(*rdb_, session_.Rdb(), &session_.Settings().given);
  } else {
    rdb_ = new TOrvRDB(root_.get());
    rdb_->SetName("Rdb");
  }
  CopyConnection(session_.Rdb(), *rdb_, nullptr);
  return true;
}

bool FormFile::Open(const std::string& name) {
  Output& out = session_.Out();
  if (name.empty()) {
    for (int i = 0; i < root_->ComponentCount(); ++i) {
      TComponent* component = root_->Components(i);
      if (dynamic_cast<TOrvDataSet*>(component) != nullptr)
        out.Buffer() += component->Name() + ": " + component->ClassName() + "\n";
    }
    return true;
  }
  auto* dataset = dynamic_cast<TOrvDataSet*>(root_->FindComponent(name));
  if (dataset == nullptr) return session_.Report({"the form has no dataset " + name});
  return session_.Guard([&] {
    if (dataset->Database() == nullptr) dataset->SetDatabase(rdb_);
    if (!dataset->Active()) dataset->Open();
    if (!dataset->Active()) {
      std::vector<std::string> errors = session_.TakeMessages();
      if (errors.empty()) errors.push_back("cannot open " + name);
      return session_.Report(std::move(errors));
    }
    RowPrinter printer(*dataset, out);
    printer.Header();
    int64_t rows = 0;
    for (dataset->First(); !dataset->Eof(); dataset->Next()) printer.Row(++rows);
    // Closed once printed, as a statement's query is; an open dataset's
    // fields are components of its own, which a form file cannot hold.
    dataset->Close();
    std::vector<std::string> errors = session_.TakeMessages();
    if (!errors.empty()) return session_.Report(std::move(errors));
    printer.Footer(rows);
    return true;
  });
}

bool FormFile::Save(const std::string& path, const TOrvTable* editing) {
  try {
    if (editing == nullptr && root_ != nullptr) {
      CopyConnection(session_.Rdb(), *rdb_, nullptr);
      SaveFormFile(path, *root_);
    } else {
      TDataModule data(nullptr);
      data.SetName(root_ != nullptr ? root_->Name() : "Orvsql");
      auto* rdb = new TOrvRDB(&data);
      rdb->SetName("Rdb");
      CopyConnection(session_.Rdb(), *rdb, nullptr);
      if (editing != nullptr) {
        auto* table = new TOrvTable(&data);
        table->SetName("Table1");
        table->SetDatabase(rdb);
        table->SetTableName(editing->TableName());
        table->SetFilterText(editing->Filter());
        table->SetFiltered(editing->Filtered());
        table->SetIndexFieldNames(editing->IndexFieldNames());
      }
      SaveFormFile(path, data);
    }
  } catch (const std::exception& e) {
    return session_.Report({e.what()});
  }
  session_.Out().Status("saved " + path);
  return true;
}

}  // namespace orv::orvsql
