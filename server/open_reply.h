// OpenReply writes the reply of an open (OPEN, OPENPART) as the backend
// produces it: the result line with the column count, the column
// descriptions, the fields row after row, then the end marker "EOF;". A
// backend that knows its columns' widths up front streams rows through it; a
// backend that must see every value first hands it a whole ResultTable.
//
// Once Begin() has run, the client has been told the open succeeded; a
// failure after that can no longer be a result line, and the session ends
// the connection so the client sees a broken reply rather than a short one.
//
// Owns nothing; the writer belongs to the caller. Used by the connection's
// thread.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "server/frame_writer.h"
#include "server/result_table.h"

namespace orv::server {

class OpenReply {
 public:
  explicit OpenReply(FrameWriter* out) : out_(out) {}
  OpenReply(const OpenReply&) = delete;
  OpenReply& operator=(const OpenReply&) = delete;

  // Result line and column descriptions.
  void Begin(const std::vector<ColumnOut>& columns);
  // The next value, in wire form, of the current row.
  void Field(std::string_view data);
  // End marker; the reply is complete.
  void End();
  // The whole reply of a materialised result.
  void Table(const ResultTable& table);

  bool started() const { return started_; }
  std::int64_t rows() const { return rows_; }

 private:
  void Push(bool force);

  FrameWriter* out_;
  std::string chunk_;
  std::size_t columns_ = 0;
  std::size_t in_row_ = 0;  // values of the current row written so far
  std::int64_t rows_ = 0;
  bool started_ = false;
};

}  // namespace orv::server
