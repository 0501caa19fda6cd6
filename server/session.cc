#include "server/session.h"

#include <algorithm>
#include <charconv>

#include "server/generated_statement.h"

namespace orv::server {

namespace {

bool ParseRow(const std::string& text, std::int64_t* out) {
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), *out);
  return ec == std::errc() && end == text.data() + text.size() && !text.empty();
}

}  // namespace

Session::Summary Session::Reply(const Outcome& outcome, std::int64_t code) {
  Summary s;
  if (!outcome.ok()) {
    out_->ResultLine(outcome.code, outcome.message);
    s.ok = false;
    return s;
  }
  out_->ResultLine(code, "OK");
  return s;
}

Session::Summary Session::OpenRows(const Request& request) {
  RowWindow window;
  if (request.command == "OPENPART") {
    if (!ParseRow(request.field2, &window.first) || !ParseRow(request.field3, &window.count)) {
      return Reply(Outcome::Error(-1, "OPENPART needs a first row and a row count, got '" +
                                          request.field2 + "' and '" + request.field3 + "'"),
                   0);
    }
    window.count = std::max<std::int64_t>(window.count, 0);
  }
  OpenReply reply(out_);
  const auto catalogue =
      request.command == "OPEN" ? RecogniseCatalogue(request.text) : std::nullopt;
  Outcome outcome = catalogue ? backend_->Catalogue(*catalogue, &reply)
                              : backend_->Open(request.text, request.params, window, &reply);
  return Opened(outcome, reply);
}

Session::Summary Session::Opened(const Outcome& outcome, const OpenReply& reply) {
  if (!outcome.ok() && !reply.started()) return Reply(outcome, 0);
  Summary s;
  s.rows = reply.rows();
  if (!outcome.ok()) {
    // Rows have gone out already: only a broken connection tells the client.
    s.ok = false;
    s.close = true;
  }
  return s;
}

Session::Summary Session::ListParams(const Request& request) {
  std::vector<ProcParam> params;
  Outcome outcome = backend_->ProcParams(request.text, &params);
  if (!outcome.ok()) return Reply(outcome, 0);
  out_->ResultLine(static_cast<std::int64_t>(params.size()), "OK");
  // The client reads exactly the tokens it was promised: nothing for none.
  out_->Data(ParamListText(params));
  out_->EndData();
  return {static_cast<std::int64_t>(params.size()), true, false};
}

Session::Summary Session::CallProcedure(const Request& request) {
  std::string error;
  const auto call = ParseProcCall(request.text, &error);
  if (!call) return Reply(Outcome::Error(-1, error), 0);
  const bool rows = request.command == "PROCOPEN";
  OpenReply reply(out_);
  std::vector<ReturnedParam> returned;
  Outcome outcome = backend_->Call(*call, request.params, rows ? &reply : nullptr, &returned);
  if (!outcome.ok() || rows) {
    Summary s = Opened(outcome, reply);
    if (!s.ok) return s;
  }
  // The returned parameters always follow in frames of their own, at least
  // one, so the client's reader of them never waits for a frame that does
  // not come.
  out_->ResultLine(static_cast<std::int64_t>(returned.size()), "OK");
  out_->Data(ReturnedText(returned));
  out_->EndData();
  return {rows ? reply.rows() : static_cast<std::int64_t>(returned.size()), true, false};
}

Session::Summary Session::LogIn(const Request& request) {
  Summary s;
  if (users_ == nullptr) return s;
  logged_in_ = users_->Verify(request.field2, request.field3);
  login_refusal_ = logged_in_ ? std::string()
                              : "log-in refused for user '" + request.field2 +
                                    "': unknown user or wrong password";
  s.ok = logged_in_;
  return s;
}

Session::Summary Session::Handle(const Request& request) {
  const std::string& cmd = request.command;
  if (cmd == "CONNECT") return LogIn(request);
  if (cmd == "CLOSE") return {-1, true, true};
  if (users_ != nullptr && !logged_in_) {
    out_->ResultLine(-1, login_refusal_.empty()
                             ? "log-in required: this server admits only clients that log in"
                             : login_refusal_);
    return {-1, false, true};
  }
  if (cmd == "TRAN") return Reply(backend_->Begin(), 0);
  if (cmd == "COMMIT") return Reply(backend_->Commit(), 0);
  if (cmd == "ROLLBACK") return Reply(backend_->Rollback(), 0);
  if (cmd == "OPEN" || cmd == "OPENPART") return OpenRows(request);
  if (cmd == "EXEC") {
    std::int64_t changed = 0;
    const auto generated = Recognise(request.text, request.params);
    Outcome outcome = generated ? backend_->ExecGenerated(*generated, &changed)
                                : backend_->Exec(request.text, request.params, &changed);
    Summary s = Reply(outcome, changed);
    if (outcome.ok()) s.rows = changed;
    return s;
  }
  if (cmd == "PROCOPEN" || cmd == "PROCEXEC") return CallProcedure(request);
  if (cmd == "PARAM") return ListParams(request);
  return Reply(Outcome::Error(-1, "unknown command '" + cmd + "'"), 0);
}

}  // namespace orv::server
