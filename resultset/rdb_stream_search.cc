// Moving over the stream, reading values and searching rows.
//
// These run on the application's thread while the reader may still append.
// First and Next wait for rows that have not arrived; Last waits for the
// whole result; Locate and GotoKey look only at rows received so far.
#include <mutex>

#include "host/datetime.h"
#include "host/forms.h"
#include "host/sysutils.h"
#include "resultset/dataset_exception.h"
#include "resultset/rdb_stream.h"

namespace orv {
namespace {

bool IsNumericType(TFieldType type) {
  return type == ftSmallint || type == ftInteger || type == ftWord ||
         type == ftFloat || type == ftCurrency || type == ftLargeint;
}

// A text of digits, signs and points converts (and may raise EConvertError,
// as "1-2" does); any other text, and the empty text of a null, counts 0.
double KeyNumber(const std::string& text) {
  if (text.empty()) return 0;
  for (char c : text)
    if (!((c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.')) return 0;
  return StrToFloat(text);
}

}  // namespace

uint8_t TOrvRDBStream::OwnerResultState() const {
  return data_set_ != nullptr ? data_set_->ResultState() : kResultComplete;
}

template <class Done>
void TOrvRDBStream::WaitForReader(Done done) {
  while (!done()) {
    if (result_event_ == nullptr || result_event_->WaitFor(INFINITE) != wrSignaled)
      return;
  }
}

void TOrvRDBStream::First() {
  WaitForReader([this] {
    return OwnerResultState() == kResultComplete || row_count_.load() > 0;
  });
  if (row_count_.load() != 0) {
    cur_row_.store(0);
    seek_state_ = ssBof;
  }
}

void TOrvRDBStream::Last() {
  if (row_count_.load() == 0) return;
  if (data_set_ != nullptr) data_set_->WaitTerminate();
  cur_row_.store(row_count_.load() - 1);
  seek_state_ = ssEof;
}

void TOrvRDBStream::Prior() {
  if (row_count_.load() == 0) return;
  const int32_t cur = cur_row_.load();
  if (cur != 0) {
    cur_row_.store(cur - 1);
    seek_state_ = ssMid;
  } else {
    seek_state_ = ssBof;
  }
}

void TOrvRDBStream::Next() {
  if (row_count_.load() == 0) return;
  TCursorScope cursor(crSQLWait);
  const int32_t cur = cur_row_.load();
  if (cur == row_count_.load() - 1) {
    WaitForReader([this, cur] {
      return row_count_.load() - 1 > cur || OwnerResultState() == kResultComplete;
    });
    if (cur == row_count_.load() - 1 && OwnerResultState() == kResultComplete) {
      seek_state_ = ssEof;
      return;
    }
  }
  if (row_count_.load() - 1 > cur) cur_row_.store(cur + 1);
  seek_state_ = ssMid;
}

std::string TOrvRDBStream::Fields(int32_t index) {
  if (row_count_.load() <= 0 || cur_row_.load() == kBeforeFirstRow) return std::string();
  if (index < 0 || index >= FieldCount())
    throw EOrvDataSetException(std::to_string(index) + " field not found...");
  try {
    return GetFieldValue(index, cur_row_.load());
  } catch (const std::exception&) {
    throw EOrvDataSetException(std::to_string(FieldCount()) + ":" +
                               std::to_string(OwnerResultState()));
  }
}

std::string TOrvRDBStream::FieldByName(const std::string& name) {
  int32_t found = -1;
  {
    std::lock_guard<TCriticalSection> hold(lock_);
    for (size_t c = 0; c < field_list_.size() && found < 0; ++c)
      if (field_list_[c]->Name == name) found = static_cast<int32_t>(c);
  }
  if (found < 0) throw EOrvDataSetException("\"" + name + "\" field not found!");
  return Fields(found);
}

// Key values come as a variant array, element i for key column i; a single
// value serves a single key column. Null and empty values are the empty
// text, as a null field reads. A date or a boolean becomes the text the
// stream stores for a column of that type (the server's 17 digits, "T" or
// "F"), so that it can match at all; any other value is its plain text.
std::string TOrvRDBStream::KeyText(const Variant& key_values, size_t index,
                                   TFieldType type) const {
  const Variant* value = &key_values;
  if (key_values.IsArray()) {
    if (static_cast<int>(index) > key_values.ArrayHighBound())
      throw EOrvDataSetException("key value " + std::to_string(index + 1) +
                                 " is missing");
    value = &key_values[static_cast<int>(index)];
  } else if (index != 0) {
    throw EOrvDataSetException("key value " + std::to_string(index + 1) +
                               " is missing");
  }
  if (value->IsNull() || value->IsEmpty()) return std::string();
  const uint16_t kind = value->VarType();
  if (kind == varDate && (type == ftDate || type == ftTime || type == ftDateTime))
    return FormatDateTime("yyyymmddhhnnsszzz", value->AsDateTime());
  if (kind == varBoolean && type == ftBoolean) return value->AsBoolean() ? "T" : "F";
  return value->AsString();
}

TFieldType TOrvRDBStream::ColumnTypeLocked(int32_t column) const {
  lock_.AssertHeld();
  return column >= 0 && column < static_cast<int32_t>(field_list_.size())
             ? field_list_[static_cast<size_t>(column)]->FieldType
             : ftUnknown;
}

bool TOrvRDBStream::Locate(std::string_view key_columns, const Variant& key_values,
                           TLocateOptions options) {
  const bool partial = (options & loPartialKey) != 0;
  const bool no_case = (options & loCaseInsensitive) != 0;
  std::lock_guard<TCriticalSection> hold(lock_);
  std::vector<std::string> keys;
  for (size_t i = 0; i < key_columns.size(); ++i) {
    const int32_t column = static_cast<unsigned char>(key_columns[i]);
    keys.push_back(KeyText(key_values, i, ColumnTypeLocked(column)));
    if (no_case) keys.back() = UpperCase(keys.back());
  }
  const int32_t rows = row_count_.load();
  for (int32_t row = cur_row_.load() + 1; row < rows; ++row) {
    bool all = true;
    for (size_t i = 0; i < keys.size() && all; ++i) {
      std::string field =
          GetFieldValue(static_cast<unsigned char>(key_columns[i]), row);
      if (partial && field.size() > keys[i].size()) field.resize(keys[i].size());
      if (no_case) field = UpperCase(field);
      all = field == keys[i];
    }
    if (all) {
      cur_row_.store(row);
      return true;
    }
  }
  return false;
}

bool TOrvRDBStream::GotoKey(std::string_view key_columns, const Variant& key_values,
                            bool nearest) {
  std::lock_guard<TCriticalSection> hold(lock_);
  const int32_t rows = row_count_.load();
  // With no key or no rows there is nothing to stand on: no move.
  if (key_columns.empty() || rows <= 0) return false;
  size_t matched = 0;
  int32_t start = 0;
  int32_t row = 0;
  for (size_t i = 0; i < key_columns.size(); ++i) {
    const int32_t column = static_cast<unsigned char>(key_columns[i]);
    const TFieldType type = ColumnTypeLocked(column);
    const std::string key = KeyText(key_values, i, type);
    const bool numeric = IsNumericType(type);
    const double key_number = numeric ? KeyNumber(key) : 0;
    for (row = start; row < rows; ++row) {
      const std::string field = GetFieldValue(column, row);
      bool hit;
      if (numeric) {
        const double number = KeyNumber(field);
        hit = number == key_number || (nearest && number >= key_number);
      } else {
        hit = field == key || (nearest && field >= key);
      }
      if (hit) break;
    }
    if (row >= rows) break;
    ++matched;
    start = row;
  }
  if (nearest && row >= rows) row = rows - 1;
  if (matched == key_columns.size() || nearest) {
    cur_row_.store(row);
    return true;
  }
  return false;
}

}  // namespace orv
