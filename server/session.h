// Session carries out the requests of one client connection: the connection
// commands (CONNECT, CLOSE, TRAN, COMMIT, ROLLBACK), the query commands
// (OPEN, OPENPART, EXEC) and the stored procedure commands (PARAM,
// PROCEXEC, PROCOPEN), on its Backend, writing each reply to a FrameWriter.
// An EXEC that a table dataset generated for a posted change goes to the
// backend's ExecGenerated (generated_statement.h); an OPEN of a catalogue
// query (catalogue.h) to its Catalogue.
//
// A PROCOPEN reply is an open's reply followed by a second result line, in
// a frame of its own after the end marker, and the returned parameters
// (proc_call.h); a PROCEXEC reply is that result line and those parameters
// alone.
//
// With a UserTable every request but CONNECT and CLOSE needs a successful
// log-in first. CONNECT itself is never answered (clients read no reply to
// it), so a refused or missing log-in is reported in reply to the next
// request, and the connection is closed after that reply.
//
// Owns its backend; the writer belongs to the caller. Used by the
// connection's thread.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "server/backend.h"
#include "server/frame_writer.h"
#include "server/request_parser.h"
#include "server/users.h"

namespace orv::server {

class Session {
 public:
  // What a request did, for the request log.
  struct Summary {
    std::int64_t rows = -1;   // rows sent or changed; -1 when not applicable
    bool ok = true;
    bool close = false;       // the client asked to end the connection
  };

  // `users` (may be null: no log-in needed) must outlive the session.
  Session(std::unique_ptr<Backend> backend, FrameWriter* out, const UserTable* users = nullptr)
      : backend_(std::move(backend)), out_(out), users_(users) {}

  // Runs one request and writes its reply (if it has one) to the writer.
  Summary Handle(const Request& request);

  // Answers a request that could not be read with a negative result line.
  void Refuse(const std::string& message) { out_->ResultLine(-1, message); }

  Backend* backend() { return backend_.get(); }

 private:
  Summary Reply(const Outcome& outcome, std::int64_t code);
  Summary OpenRows(const Request& request);
  // The summary of an open's outcome; a failure after rows went out closes.
  Summary Opened(const Outcome& outcome, const OpenReply& reply);
  Summary ListParams(const Request& request);
  Summary CallProcedure(const Request& request);
  Summary LogIn(const Request& request);

  std::unique_ptr<Backend> backend_;
  FrameWriter* out_;
  const UserTable* users_;
  bool logged_in_ = false;
  std::string login_refusal_;  // why the last log-in failed; empty if none was tried
};

}  // namespace orv::server
