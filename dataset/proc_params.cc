// Procedure parameters on the wire: the parameter list a PARAM request
// fetches, and the parameters a PROCEXEC or PROCOPEN call returns.
//
// Both replies may span frames, which the parsers of param_replies.h put
// together. A reply is taken whole or not at all: one that breaks off (an
// empty frame, a closed connection) or is malformed raises before Params
// change, so a partial list or a partial set of outputs never passes for a
// complete one. A value list the server ends early with "EOF" is complete:
// the parameters after it come back null, as does a value that does not
// convert to its parameter's type.
#include <string>

#include "dataset/orv_dataset.h"
#include "dataset/param_replies.h"
#include "dataset/request_text.h"
#include "rdb/frame.h"

namespace orv {
namespace {

// Takes one frame of the reply into `parser`; true once the reply is
// complete.
template <class Parser>
bool Feed(Parser& parser, std::string_view frame) {
  parser.Append(frame);
  const TParseResult parsed = parser.Parse();
  if (parsed == prError) throw EOrvDataSetException(parser.ErrorMessage());
  return parsed == prComplete;
}

}  // namespace

void TOrvDataSet::SetParamData(int count) {
  // The server always sends this frame, for no parameters too, so the
  // reader never waits for one that does not come.
  const std::string first = database_->Receive(connection_.load());
  if (count == 0) return;
  TReturnedParamParser parser(count);
  RequireReplyFrame(first);
  if (!Feed(parser, first))
    ReceiveReply([&parser](std::string_view frame) { return Feed(parser, frame); });

  // On Oracle behind a UNIX server the names come back with the ":" of
  // their placeholders.
  const bool prefixed = database_->DatabaseType() == dtOracle &&
                        database_->ServerType() == svUNIX;
  TParams returned(this);
  for (const TReturnedParam& entry : parser.Params()) {
    TParam* param = returned.CreateParam(
        entry.DataType, prefixed && !entry.Name.empty() ? entry.Name.substr(1) : entry.Name,
        ptUnknown);
    param->Clear();
    if (entry.HasValue) StoreReturnedValue(*param, entry.Value);
  }
  for (int i = 0; i < returned.Count(); ++i) {
    const TParam& value = *returned[i];
    for (int j = 0; j < params_.Count(); ++j)
      if (params_[j]->Name() == value.Name()) params_[j]->SetAsVariant(value.Value());
  }
}

void TOrvDataSet::GetSProcParams(const std::string& name) {
  if (database_ == nullptr || name.empty()) return;
  PrepareOwnRequest();
  params_.Clear();
  ExecuteQuery(true, name, nullptr, &TOrvDataSet::GetSProcPrms,
               &TOrvDataSet::GetSProcPrmsResults);
}

bool TOrvDataSet::GetSProcPrms(const std::string& name) {
  const std::string request = BuildParamRequest(name);
  return database_->Send(connection_.load(), request) ==
         static_cast<int>(FramedSize(request.size()));
}

bool TOrvDataSet::GetSProcPrmsResults(int count, const std::string&, TStrings*) {
  params_.Clear();
  TParamListParser parser(count);
  if (parser.Parse() != prComplete)
    ReceiveReply([&parser](std::string_view frame) { return Feed(parser, frame); });
  for (const TProcParamDesc& desc : parser.Params())
    params_.CreateParam(desc.DataType, desc.Name, desc.Direction);
  // Inside a user transaction the connection is the transaction's and
  // stays open for it.
  ReleaseConnection();
  return true;
}

}  // namespace orv
