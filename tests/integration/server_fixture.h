// Shared set-up of the rdbserver integration tests: one server per test
// suite on a free port with a fresh database, and small request helpers.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "support/frame_client.h"
#include "integration/shared_server.h"

namespace orv::test {

// Type codes the tests name.
enum : int { kText = 4, kImage = 5, kInt = 8, kFloat = 10, kBit = 11, kDateTime = 12,
             kVarchar = 18 };

class ServerTest : public SharedServerTest {
 protected:
  static int port() { return server_->port(); }

  // One request on a connection of its own; the result line.
  static ResultLine Run(const std::string& command, const std::string& text,
                        const std::string& params = "", int count = 0) {
    FrameClient c;
    EXPECT_TRUE(c.Connect(port()));
    auto line = c.Request(command, text, params, count);
    EXPECT_TRUE(line.has_value()) << command << " " << text;
    return line.value_or(ResultLine{-999, "no reply"});
  }
  static std::int64_t Exec(const std::string& sql, const std::string& params = "",
                           int count = 0) {
    ResultLine line = Run("EXEC", sql, params, count);
    EXPECT_GE(line.code, 0) << sql << ": " << line.text;
    return line.code;
  }
  static ResultSet Open(const std::string& sql, const std::string& params = "", int count = 0) {
    FrameClient c;
    EXPECT_TRUE(c.Connect(port()));
    std::string error;
    auto rs = c.Open(sql, params, count, &error);
    EXPECT_TRUE(rs.has_value()) << sql << ": " << error;
    return rs.value_or(ResultSet{});
  }
  // The single value of a one-row, one-column query.
  static std::string Value(const std::string& sql) {
    ResultSet rs = Open(sql);
    if (rs.rows.size() != 1 || rs.rows[0].size() != 1) {
      ADD_FAILURE() << sql << " gave " << rs.rows.size() << " rows";
      return {};
    }
    return rs.rows[0][0];
  }

};


}  // namespace orv::test
