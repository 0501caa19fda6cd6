// Catalogue lists: the names of the tables and views, or of the procedures
// and functions, that the connection reaches, for the object-name editor.
//
// One fixed catalogue query per database type and kind goes out as an OPEN;
// its reply is a result set of owner and name columns, read by the result
// set parser with the descriptions skipped. An entry is "owner.name", or on
// Oracle the plain name of an object the connection's user owns. The
// connection keeps one cache per kind; a listing fills it only once it was
// read to its end, so a reply that broke off is never answered again from
// a partial cache.
#include <string>
#include <vector>

#include "dataset/orv_dataset.h"
#include "dataset/request_text.h"
#include "host/sysutils.h"
#include "rdb/frame.h"
#include "resultset/reply_parser.h"

namespace orv {
namespace {

bool IsTableKind(const std::string& kind) { return kind == "T"; }

std::string CatalogQuery(TDatabaseType database, const std::string& kind) {
  if (database == dtSybase) {
    return std::string("select user_name (uid), name") + " from sysobjects" +
           (IsTableKind(kind) ? " where type in ('U', 'V')" : " where type = 'P'");
  }
  if (IsTableKind(kind)) {
    return std::string("select owner, object_name") + " from sys.all_objects" +
           " where object_type in ('TABLE', 'VIEW')" + " and owner != 'SYS'";
  }
  return std::string("select owner, object_name") + " from sys.all_objects" +
         " where object_type in ('PROCEDURE', 'FUNCTION')";
}

// Builds one entry per row from its first two values.
class TNameListSink : public TReplySink {
 public:
  TNameListSink(TStrings* list, bool oracle, std::string user)
      : list_(list), oracle_(oracle), user_(UpperCase(user)) {}

  const std::vector<std::string>& Entries() const { return entries_; }

  bool Stopped() override { return false; }
  void ColumnRead(const TColumnDesc&) override {}
  void ColumnsRead() override {}
  void FieldRead(int32_t column, std::string_view value) override {
    if (column == 0) owner_.assign(value);
    if (column == 1) name_.assign(value);
    columns_ = column + 1;
  }
  void RowRead() override {
    if (columns_ < 2) throw EOrvDataSetException("data of column(2) is not valid!");
    std::string entry = oracle_ && UpperCase(owner_) == user_ ? name_ : owner_ + "." + name_;
    list_->Add(entry);
    entries_.push_back(std::move(entry));
  }

 private:
  TStrings* const list_;
  const bool oracle_;
  const std::string user_;
  std::string owner_, name_;
  int32_t columns_ = 0;
  std::vector<std::string> entries_;
};

}  // namespace

void TOrvDataSet::GetTableNames(const std::string& kind, TStrings* list) {
  if (database_ == nullptr) return;
  TStringList& cache =
      IsTableKind(kind) ? database_->TableNameCache() : database_->ProcNameCache();
  if (cache.Count() > 0) {
    list->Assign(&cache);
    return;
  }
  if (!database_->CatalogFetch()) return;
  PrepareOwnRequest();
  ExecuteQuery(true, kind, list, &TOrvDataSet::GetSTList, &TOrvDataSet::GetSTListResults);
}

bool TOrvDataSet::GetSTList(const std::string& kind) {
  const std::string message =
      BuildCommandMessage(skOpen, TZozudQueryMode::All, 0, 0, 0, CatalogQuery(database_->DatabaseType(), kind));
  return database_->Send(connection_.load(), message) ==
         static_cast<int>(FramedSize(message.size()));
}

bool TOrvDataSet::GetSTListResults(int col_count, const std::string& kind, TStrings* list) {
  list->Clear();
  TNameListSink sink(list, database_->DatabaseType() == dtOracle, database_->DBUserId());
  if (!ReceiveRows(col_count, sink)) return false;
  TStringList& cache =
      IsTableKind(kind) ? database_->TableNameCache() : database_->ProcNameCache();
  for (const std::string& entry : sink.Entries()) cache.Add(entry);
  // Inside a user transaction the connection is the transaction's and
  // stays open for it.
  ReleaseConnection();
  return true;
}

}  // namespace orv
