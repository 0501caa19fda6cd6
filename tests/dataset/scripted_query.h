// A test fixture holding a query bound to a scripted peer: OpenWith makes the
// peer answer one OPEN with a result line of `columns` and the result-set text
// `reply`, then read the closing frame, and opens the query on it.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "dataset/message_log.h"
#include "dataset/orv_query.h"
#include "rdb/orv_rdb.h"
#include "tests/support/scripted_peer.h"

namespace orv::testing {

class ScriptedQueryTest : public ::testing::Test {
 protected:
  void OpenWith(int columns, const std::string& reply) {
    peer_.Add(PeerScript()
                  .ReadFrames(1)
                  .WriteFrame(std::to_string(columns) + ";OK")
                  .WriteFrame(reply)
                  .ReadFrames(1));
    rdb_.SetAddress("127.0.0.1");
    rdb_.SetPort(peer_.Port());
    query_.SetDatabase(&rdb_);
    query_.SQL()->Add("select * from T");
    query_.Open();
  }

  ScriptedPeer peer_;
  MessageLog log_;
  TOrvRDB rdb_{nullptr};
  TOrvQuery query_{nullptr};
};

}  // namespace orv::testing
