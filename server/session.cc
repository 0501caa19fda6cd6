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
  Outcome outcome = backend_->Open(request.text, request.params, window, &reply);
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

Session::Summary Session::Handle(const Request& request) {
  const std::string& cmd = request.command;
  if (cmd == "CONNECT") return {};
  if (cmd == "CLOSE") return {-1, true, true};
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
  if (cmd == "PROCOPEN" || cmd == "PROCEXEC" || cmd == "PARAM") {
    return Reply(Outcome::Error(-1, "stored procedures are not supported yet"), 0);
  }
  return Reply(Outcome::Error(-1, "unknown command '" + cmd + "'"), 0);
}

}  // namespace orv::server
