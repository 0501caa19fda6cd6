#include "dataset/request_text.h"

#include "host/datetime.h"
#include "host/sysutils.h"
#include "rdb/frame.h"
#include "resultset/field_inf.h"

namespace orv {
namespace {

std::string NeverFullFrames(std::string message) {
  if (message.size() % kMaxFramePayload == 0) message += ' ';
  return message;
}

}  // namespace

const char* CommandWord(TSQLKind kind, TZozudQueryMode mode) {
  switch (kind) {
    case skOpen: return mode == TZozudQueryMode::Page ? "OPENPART" : "OPEN";
    case skExec: return "EXEC";
    case skOpenProc: return "PROCOPEN";
    case skExecProc: return "PROCEXEC";
  }
  return "OPEN";
}

std::string BuildCommandMessage(TSQLKind kind, TZozudQueryMode mode, int32_t start_row,
                                int32_t row_count, int param_count, const std::string& text) {
  std::string message = CommandWord(kind, mode);
  message += ';';
  if (kind == skOpen && mode == TZozudQueryMode::Page) {
    message += IntToStr(start_row) + ";" + IntToStr(row_count) + ";";
  } else {
    message += ";;";
  }
  message += IntToStr(param_count) + ";\n" + text;
  return NeverFullFrames(std::move(message));
}

std::string BuildParamRequest(const std::string& proc_name) {
  return NeverFullFrames("PARAM;;;0;\n" + proc_name);
}

bool IsSentParam(const TParam& param, TServerType server, TDatabaseType database) {
  return param.ParamType() != ptResult || (database == dtOracle && server == svUNIX);
}

int CountSentParams(const TParams& params, TServerType server, TDatabaseType database) {
  int count = 0;
  for (int i = 0; i < params.Count(); ++i)
    if (IsSentParam(*params[i], server, database)) ++count;
  return count;
}

std::string ParamValueText(const TParam& param) {
  if (param.IsNull()) return std::string();
  switch (param.DataType()) {
    case ftSmallint: case ftInteger: case ftWord:
      return IntToStr(param.AsInteger());
    case ftBoolean:
      return param.AsString().substr(0, 1);
    case ftFloat:
      return FloatToStrF(param.AsFloat(), ffGeneral, 18, 0);
    case ftDate:
      return FormatDateTime("yyyymmdd", param.AsDateTime());
    case ftTime:
      return FormatDateTime("hhnnss", param.AsDateTime());
    case ftDateTime:
      return FormatDateTime("yyyymmddhhnnss000", param.AsDateTime());
    case ftMemo:
      return param.AsMemo();
    default:
      return param.AsString();
  }
}

namespace {

const char* Direction(TParamType type) {
  switch (type) {
    case ptOutput: case ptResult: return "O;";
    case ptInputOutput: return "U;";
    default: return "I;";
  }
}

const char* NamePrefix(TSQLKind kind, TServerType server, TDatabaseType database) {
  if (server == svNTServer) return "";
  if (database == dtOracle) return ":";
  return kind == skOpen || kind == skExec ? "@" : "";
}

}  // namespace

std::string BuildParamBlock(const TParams& params, TSQLKind kind, TServerType server,
                            TDatabaseType database) {
  std::string block;
  const char* prefix = NamePrefix(kind, server, database);
  for (int i = 0; i < params.Count(); ++i) {
    const TParam& param = *params[i];
    if (!IsSentParam(param, server, database)) continue;
    const std::string value = ParamValueText(param);
    block += Direction(param.ParamType());
    block += prefix + param.Name() + ";";
    block += IntToStr(GetDBTypeCode(param.DataType())) + ";";
    block += IntToStr(static_cast<int64_t>(value.size())) + ";";
    block += value;
    block += ';';
  }
  return block;
}

}  // namespace orv
