// Session carries out the requests of one client connection: the connection
// commands (CONNECT, CLOSE, TRAN, COMMIT, ROLLBACK) and the query commands
// (OPEN, OPENPART, EXEC), on its Backend, writing each reply to a
// FrameWriter. An EXEC that a table dataset generated for a posted change
// goes to the backend's ExecGenerated (generated_statement.h). Stored
// procedure commands are answered with an error.
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

namespace orv::server {

class Session {
 public:
  // What a request did, for the request log.
  struct Summary {
    std::int64_t rows = -1;   // rows sent or changed; -1 when not applicable
    bool ok = true;
    bool close = false;       // the client asked to end the connection
  };

  Session(std::unique_ptr<Backend> backend, FrameWriter* out)
      : backend_(std::move(backend)), out_(out) {}

  // Runs one request and writes its reply (if it has one) to the writer.
  Summary Handle(const Request& request);

  // Answers a request that could not be read with a negative result line.
  void Refuse(const std::string& message) { out_->ResultLine(-1, message); }

  Backend* backend() { return backend_.get(); }

 private:
  Summary Reply(const Outcome& outcome, std::int64_t code);
  Summary OpenRows(const Request& request);

  std::unique_ptr<Backend> backend_;
  FrameWriter* out_;
};

}  // namespace orv::server
