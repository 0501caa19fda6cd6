#include "server/open_reply.h"

#include <cassert>

namespace orv::server {

namespace {
constexpr std::size_t kChunkBytes = 32 * 1024;
}  // namespace

void OpenReply::Begin(const std::vector<ColumnOut>& columns) {
  assert(!started_);
  started_ = true;
  columns_ = columns.size();
  out_->ResultLine(static_cast<std::int64_t>(columns.size()), "OK");
  for (const ColumnOut& c : columns) AppendDescription(c, &chunk_);
}

void OpenReply::Field(std::string_view data) {
  assert(started_ && columns_ > 0);
  AppendField(data, &chunk_);
  if (++in_row_ == columns_) {
    in_row_ = 0;
    ++rows_;
    Push(false);
  }
}

void OpenReply::End() {
  assert(started_ && in_row_ == 0);
  chunk_ += "EOF;";
  Push(true);
  out_->EndData();
}

void OpenReply::Table(const ResultTable& table) {
  assert(!started_);
  started_ = true;
  out_->ResultLine(static_cast<std::int64_t>(table.ColumnCount()), "OK");
  table.Write(out_);
  rows_ = static_cast<std::int64_t>(table.RowCount());
}

void OpenReply::Push(bool force) {
  if (!force && chunk_.size() < kChunkBytes) return;
  out_->Data(chunk_);
  chunk_.clear();
}

}  // namespace orv::server
