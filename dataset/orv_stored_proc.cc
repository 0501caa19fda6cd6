#include "dataset/orv_stored_proc.h"

#include "dataset/request_text.h"
#include "rdb/frame.h"
#include "resultset/reply_parser.h"

namespace orv {
namespace {

// The name as an SQL string literal's text: apostrophes doubled, so a name
// never ends the literal it is written into.
std::string LiteralText(const std::string& name) {
  std::string text;
  for (char c : name) {
    text += c;
    if (c == '\'') text += '\'';
  }
  return text;
}

// Each row of the catalogue's answer adds a parameter named by its first
// value, typed by its second; a type that is no type code ends the list
// there (the rest of the reply is still read, so the connection stays in
// step).
class TCatalogParamSink : public TReplySink {
 public:
  explicit TCatalogParamSink(TParams* params) : params_(params) {}

  bool Stopped() override { return false; }
  void ColumnRead(const TColumnDesc&) override {}
  void ColumnsRead() override {}
  void FieldRead(int32_t column, std::string_view value) override {
    if (column == 0) name_.assign(value);
    if (column == 1) type_.assign(value);
  }
  void RowRead() override {
    if (ended_) return;
    TParam* param = params_->CreateParam(ftUnknown, name_, ptUnknown);
    try {
      param->SetDataType(GetColumnType(type_));
    } catch (const EConvertError&) {
      ended_ = true;
    }
  }

 private:
  TParams* const params_;
  std::string name_, type_;
  bool ended_ = false;
};

}  // namespace

TOrvStoredProc::TOrvStoredProc(TComponent* owner) : TOrvDataSet(owner) {}

TOrvStoredProc::~TOrvStoredProc() {
  Destroying();
  if (Active()) TOrvDataSet::SetActive(false);
}

void TOrvStoredProc::SetProcName(const TStordProcName& value) {
  if (value == proc_name_) return;
  // A form carries the parameters as ParamData: loading keeps those and
  // asks the server nothing.
  if (ComponentState() & csLoading) {
    proc_name_ = value;
    return;
  }
  if (Active()) SetActive(false);
  Params()->Clear();
  proc_name_ = value;
  GetSProcParams(value);
}

void TOrvStoredProc::SetProcText() {
  const bool block = Database() != nullptr && Database()->DatabaseType() == dtOracle &&
                     Database()->ServerType() == svUNIX;
  if (!block) {
    SetCommandText(proc_name_);
    return;
  }
  const TParams& params = *Params();
  std::string text = "BEGIN ";
  if (params.Count() == 0) text += proc_name_;
  for (int i = 0; i < params.Count(); ++i) {
    const std::string& name = params[i]->Name();
    const bool last = i == params.Count() - 1;
    if (i == 0 && params[i]->ParamType() == ptResult) {
      text += ":" + name + " := " + proc_name_;
      if (!last) text += "(";
      continue;
    }
    text += i == 0 ? proc_name_ + "(:" + name : ":" + name;
    text += last ? ")" : ",";
  }
  SetCommandText(text + "; END;");
}

void TOrvStoredProc::Open() {
  if (proc_name_.empty()) return;
  SetZozudQueryMode(TZozudQueryMode::All);
  SetSQLKind(skOpenProc);
  SetProcText();
  TOrvDataSet::SetActive(true);
}

void TOrvStoredProc::ExecProc() {
  if (Active() || proc_name_.empty()) return;
  SetZozudQueryMode(TZozudQueryMode::All);
  SetSQLKind(skExecProc);
  SetProcText();
  TOrvDataSet::SetActive(true);
}

void TOrvStoredProc::SetActive(bool value) {
  // A form lists Active before StoredProcName: the wish waits for Loaded,
  // which comes back here with the name read.
  if (ComponentState() & csLoading) {
    TOrvDataSet::SetActive(value);
    return;
  }
  if (value == Active()) return;
  if (value) {
    Open();
  } else {
    TOrvDataSet::SetActive(false);
  }
}

void TOrvStoredProc::SetParams() {
  Params()->CreateParam(ftInteger, "Result", ptResult);
  if (Database() == nullptr) return;
  PrepareOwnRequest();
  ExecuteQuery(true, proc_name_, nullptr,
               static_cast<TGetQueryProc>(&TOrvStoredProc::GetCatalogParams),
               static_cast<TGetResultsProc>(&TOrvStoredProc::GetCatalogParamsResults));
}

bool TOrvStoredProc::GetCatalogParams(const std::string& name) {
  const std::string query =
      Database()->DatabaseType() == dtOracle
          ? std::string("select owner, object_name from sys.all_objects where object_type "
                        "in ('PROCEDURE', 'FUNCTION', 'PACKAGE' )")
          : std::string("select c.name, t.usertype") + " from syscolumns c, systypes t" +
                " where c.usertype = t.usertype" + " and c.id = object_id ('" +
                LiteralText(name) + "')" + " and c.number = 1";
  const std::string message = BuildCommandMessage(skOpen, TZozudQueryMode::All, 0, 0, 0, query);
  return Database()->Send(ConnectionHandle(), message) ==
         static_cast<int>(FramedSize(message.size()));
}

bool TOrvStoredProc::GetCatalogParamsResults(int col_count, const std::string&, TStrings*) {
  TCatalogParamSink sink(Params());
  if (!ReceiveRows(col_count, sink)) return false;
  ReleaseConnection();
  return true;
}

}  // namespace orv
