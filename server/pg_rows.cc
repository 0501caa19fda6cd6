#include "server/pg_rows.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "server/value_text.h"

namespace orv::server {

namespace {
constexpr std::size_t kBlockBytes = 1 << 20;
}  // namespace

PgRows::PgRows(std::vector<PgColumn> columns)
    : columns_(std::move(columns)), longest_(columns_.size(), 0) {}

bool PgRows::Streamable() const {
  return std::all_of(columns_.begin(), columns_.end(),
                     [](const PgColumn& c) { return c.type.known_width(); });
}

void PgRows::Add(std::string_view wire) {
  std::size_t column = values_++ % columns_.size();
  longest_[column] = std::max(longest_[column], wire.size());
  std::uint32_t length = static_cast<std::uint32_t>(wire.size());
  std::size_t need = sizeof length + wire.size();
  if (blocks_.empty() || blocks_.back().capacity() - blocks_.back().size() < need) {
    blocks_.emplace_back();
    blocks_.back().reserve(std::max(kBlockBytes, need));
  }
  held_ += need;
  blocks_.back().append(reinterpret_cast<const char*>(&length), sizeof length);
  blocks_.back().append(wire);
}

std::vector<ColumnOut> PgRows::Describe(bool complete) const {
  std::vector<ColumnOut> out;
  for (std::size_t i = 0; i < columns_.size(); ++i) {
    const PgColumnType& t = columns_[i].type;
    ColumnOut c;
    c.name = WireName(columns_[i].name);
    c.type_code = t.type_code;
    c.length = std::max(complete ? t.natural : std::max(t.natural, t.bound), longest_[i]);
    if (t.blob()) c.length = longest_[i];
    bool text = t.type_code == kStVarchar || t.type_code == kStChar;
    if (text && c.length > ResultTable::kMemoThreshold) c.type_code = kStText;
    out.push_back(std::move(c));
  }
  return out;
}

void PgRows::Drain(OpenReply* reply) {
  for (const std::string& block : blocks_) {
    for (std::size_t pos = 0; pos < block.size();) {
      std::uint32_t length;
      std::memcpy(&length, block.data() + pos, sizeof length);
      pos += sizeof length;
      reply->Field(std::string_view(block).substr(pos, length));
      pos += length;
    }
  }
  blocks_.clear();
  held_ = 0;
  values_ = 0;
}

}  // namespace orv::server
