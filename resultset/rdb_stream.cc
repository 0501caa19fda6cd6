// Reading a reply into the stream.
//
// TReplyParser does the wire work; the Reader below turns what it reads into
// column descriptions and rows. A row is built in a private text and only
// published, with its blob values, once its last field has arrived: under
// the lock, the row text goes to the row list, each blob value to its blob
// list, then RowCount is raised. So a reader of the lists never sees a half
// row, the blob lists never get out of step with the row list (an end
// marker inside a row drops the row whole), and RowCount never counts a row
// that is not stored.
//
// Over-long values. The dataset shows an ordinary column through a slot of
// Size bytes, a zero-terminated text of at most Size - 1 characters. A value
// longer than that could only be shown cut, so a reply that holds one is
// refused there like any other malformed reply: the rows before it stay,
// and the read fails with a message naming the column and the row.
#include "resultset/rdb_stream.h"

#include <algorithm>
#include <cassert>
#include <mutex>
#include <utility>

#include "host/forms.h"
#include "host/sysutils.h"
#include "rdb/frame.h"
#include "resultset/dataset_exception.h"
#include "resultset/reply_parser.h"

namespace orv {

namespace {

constexpr const char* sEndInRow =
    "The result is incomplete: the end marker came inside row %d";
constexpr const char* sValueTooLong =
    "The result is incomplete: the value of column(%d) in row %d is %d bytes long, "
    "more than the column's %d";

}  // namespace

// The parser's sink: builds rows and publishes them to the stream.
class TOrvRDBStream::Reader : public TReplySink {
 public:
  Reader(TOrvRDBStream& stream, bool read_fields)
      : stream_(stream), read_fields_(read_fields) {}

  bool Stopped() override { return stream_.data_set_->StopReading(); }

  void ColumnRead(const TColumnDesc& column) override {
    auto inf = std::make_unique<TFieldInf>();
    inf->FieldType = column.FieldType;
    inf->Name = column.Name.empty()
                    ? std::string(" ")
                    : std::string(column.Name.substr(0, kMaxColumnName));
    inf->Size = column.Size;
    inf->DefSize = column.Size;
    inf->Offset = width_;
    width_ += column.Size;
    std::lock_guard<TCriticalSection> hold(stream_.lock_);
    if (stream_.field_list_.empty()) stream_.AddListLocked();
    inf->BlobIndex = 0;
    if (IsBlobColumn(inf->FieldType)) {
      inf->BlobIndex = stream_.Count();
      stream_.AddListLocked();
    }
    stream_.field_list_.push_back(std::move(inf));
  }

  void ColumnsRead() override {
    if (read_fields_) stream_.row_width_.store(width_);
    {
      std::lock_guard<TCriticalSection> hold(stream_.lock_);
      for (const auto& inf : stream_.field_list_) {
        layout_.push_back(*inf);
        blob_lists_.push_back(IsBlobColumn(inf->FieldType)
                                  ? stream_.ListLocked(inf->BlobIndex)
                                  : nullptr);
      }
      rows_ = stream_.ListLocked(0);
    }
    blob_values_.resize(layout_.size());
    for (const TFieldInf& inf : layout_) layout_width_ += inf.Size;
    row_.reserve(stream_.row_width_.load());
    stream_.data_set_->SetResultState(kResultRowsArriving);
    stream_.Signal();
  }

  void FieldRead(int32_t column, std::string_view value) override {
    if (column >= static_cast<int32_t>(layout_.size()) || rows_ == nullptr)
      throw EOrvDataSetException("data of column(" + std::to_string(column + 1) +
                                 ") is not valid!");
    const TFieldInf& inf = layout_[column];
    const size_t size = static_cast<size_t>(inf.Size);
    if (blob_lists_[column] != nullptr) {
      row_.append(size, ' ');
      blob_values_[column].assign(value);
    } else if (value.size() < size) {
      row_.append(value);
      row_.append(size - value.size(), ' ');
    } else {
      throw EOrvDataSetException(Format(sValueTooLong, column + 1,
                                        static_cast<int>(stream_.row_count_.load()) + 1,
                                        static_cast<int64_t>(value.size()), inf.Size - 1));
    }
  }

  void RowRead() override {
    stored_ += static_cast<int64_t>(row_.size());
    for (const std::string& value : blob_values_) stored_ += static_cast<int64_t>(value.size());
    if (stored_ > kMaxStoredBytes)
      throw EOrvDataSetException(sResultTooLarge);
    int32_t count;
    {
      std::lock_guard<TCriticalSection> hold(stream_.lock_);
      // Doubling rather than the list's quarter steps: a large result is
      // moved half as often while it grows.
      if (rows_->Count() == rows_->Capacity())
        rows_->SetCapacity(std::max(rows_->Capacity() * 2, 64));
      assert(row_.size() == layout_width_);
      rows_->Add(std::move(row_));
      for (size_t c = 0; c < blob_lists_.size(); ++c) {
        if (blob_lists_[c] == nullptr) continue;
        blob_lists_[c]->Add(std::move(blob_values_[c]));
        assert(blob_lists_[c]->Count() == rows_->Count());
      }
      count = stream_.row_count_.load() + 1;
      stream_.row_count_.store(count);
    }
    row_.clear();
    row_.reserve(stream_.row_width_.load());
    if (stream_.cur_row_.load() == count - 2) stream_.Signal();
  }

 private:
  TOrvRDBStream& stream_;
  const bool read_fields_;
  int32_t width_ = 0;           // running total of the described sizes
  std::vector<TFieldInf> layout_;             // copy taken for the rows
  std::vector<TCompactStrings*> blob_lists_;  // per column; nullptr if ordinary
  TCompactStrings* rows_ = nullptr;
  size_t layout_width_ = 0;                   // every row text's length
  int64_t stored_ = 0;                        // bytes of the rows and blobs stored so far
  std::string row_;                           // the row being built
  std::vector<std::string> blob_values_;      // per column, of the row being built
};

TOrvRDBStream::TOrvRDBStream() = default;

TOrvRDBStream::~TOrvRDBStream() {
  std::lock_guard<TCriticalSection> hold(lock_);
  ClearListsLocked();
  field_list_.clear();
}

void TOrvRDBStream::AddListLocked() {
  lock_.AssertHeld();
  lists_.push_back(std::make_unique<TCompactStrings>());
  AddObject("", lists_.back().get());
}

TCompactStrings* TOrvRDBStream::ListLocked(int32_t index) {
  lock_.AssertHeld();
  if (index < 0 || index >= Count()) return nullptr;
  return static_cast<TCompactStrings*>(GetObject(index));
}

void TOrvRDBStream::ClearListsLocked() {
  lock_.AssertHeld();
  Clear();
  while (!lists_.empty()) lists_.pop_back();
}

TCompactStrings* TOrvRDBStream::Lists(int32_t index) {
  std::lock_guard<TCriticalSection> hold(lock_);
  return ListLocked(index);
}

void TOrvRDBStream::Signal() {
  if (result_event_ != nullptr) result_event_->SetEvent();
}

void TOrvRDBStream::ReportReadError(const std::string& message) {
  MessageBox(message, Application().Title(), MB_ICONERROR | MB_TASKMODAL);
}

bool TOrvRDBStream::ReceiveOrReport(std::string& frame) {
  try {
    frame = data_set_->ReceiveFrame(socket_handle_);
    // A close makes the owner hand back an empty frame on purpose.
    if (!data_set_->StopReading()) RequireReplyFrame(frame);
    return true;
  } catch (const std::exception& e) {
    ReportReadError(e.what());
    frame.clear();
    return false;
  }
}

bool TOrvRDBStream::SetFieldInf(bool read_fields) {
  assert(data_set_ != nullptr);
  data_set_->SetResultState(kResultColumnsPending);
  if (cols_ < 0 || cols_ > kMaxColumns) {
    ReportReadError("column count " + std::to_string(cols_) + " is not valid!");
    return false;
  }
  Reader reader(*this, read_fields);
  TReplyParser parser(cols_, read_fields);
  std::string frame;
  // A failed first receive ends the read at once: one message, not two.
  bool result = ReceiveOrReport(frame);
  parser.Append(frame);
  while (result) {
    TParseResult parsed;
    try {
      parsed = parser.Parse(reader);
    } catch (const std::exception& e) {  // out of memory while storing rows
      ReportReadError(e.what());
      return false;
    }
    if (parsed == prNeedMore) {
      frame.clear();
      if (!data_set_->StopReading()) ReceiveOrReport(frame);
      if (frame.empty()) {
        result = false;
        break;
      }
      parser.Append(frame);
      continue;
    }
    if (parsed == prError) {
      // The rest of the reply cannot be trusted: keep the rows stored so
      // far, leave the connection to the dataset's close.
      ReportReadError(parser.ErrorMessage());
      return false;
    }
    if (parsed == prComplete || parsed == prEndInRow) {
      end_row_count_.store(row_count_.load());
      end_seen_.store(true);
    }
    if (parsed == prEndInRow)
      ReportReadError(Format(sEndInRow, static_cast<int>(row_count_.load()) + 1));
    result = parsed == prComplete;
    break;
  }
  if (!data_set_->StopReading() && !data_set_->InUserTransaction() &&
      (data_set_->SQLKind() == skOpen || data_set_->SQLKind() == skExec)) {
    data_set_->DisconnectSocket(data_set_->ConnectionHandle());
    data_set_->SetConnectionHandle(-1);
  }
  return result;
}

void TOrvRDBStream::ClearFieldInf() {
  std::lock_guard<TCriticalSection> hold(lock_);
  ClearListsLocked();
  cur_row_.store(kBeforeFirstRow);
  row_width_.store(0);
  cols_ = 0;
  row_count_.store(0);
  field_list_.clear();
}

const TFieldInf* TOrvRDBStream::GetItems(int32_t column) {
  std::lock_guard<TCriticalSection> hold(lock_);
  if (column < 0 || column >= static_cast<int32_t>(field_list_.size()))
    throw EOrvDataSetException("List index out of bounds (" +
                               std::to_string(column) + ")");
  return field_list_[column].get();
}

int32_t TOrvRDBStream::FieldCount() {
  std::lock_guard<TCriticalSection> hold(lock_);
  return static_cast<int32_t>(field_list_.size());
}

std::string TOrvRDBStream::GetFieldValue(int32_t column, int32_t row) {
  std::lock_guard<TCriticalSection> hold(lock_);
  if (column < 0 || column >= static_cast<int32_t>(field_list_.size()) ||
      row < 0 || row >= row_count_.load())
    return std::string();
  const TFieldInf& inf = *field_list_[column];
  if (IsBlobColumn(inf.FieldType)) {
    TCompactStrings* blobs = ListLocked(inf.BlobIndex);
    return blobs != nullptr && row < blobs->Count() ? blobs->Get(row) : std::string();
  }
  TCompactStrings* rows = ListLocked(0);
  if (rows == nullptr || row >= rows->Count()) return std::string();
  const std::string& text = rows->Get(row);
  if (static_cast<size_t>(inf.Offset) >= text.size()) return std::string();
  return Trim(std::string_view(text).substr(inf.Offset, inf.Size));
}

std::shared_ptr<const std::string> TOrvRDBStream::BlobValue(int32_t column,
                                                             int32_t row) {
  std::lock_guard<TCriticalSection> hold(lock_);
  if (column < 0 || column >= static_cast<int32_t>(field_list_.size()) ||
      row < 0 || row >= row_count_.load())
    return nullptr;
  const TFieldInf& inf = *field_list_[column];
  TCompactStrings* blobs = IsBlobColumn(inf.FieldType) ? ListLocked(inf.BlobIndex) : nullptr;
  if (blobs == nullptr || row >= blobs->Count()) return nullptr;
  return blobs->Share(row);
}

int32_t DecodeLayout(TOrvRDBStream& stream, TFieldInfList& list) {
  ClearFieldData(list);
  std::lock_guard<TCriticalSection> hold(stream.lock_);
  // Descriptions cut short by a failed read leave fewer records than Cols,
  // and RowWidth is only set once all of them were read: the width returned
  // is that of the records copied, so a record sized by it holds every slot
  // the layout names.
  const size_t n = std::min(static_cast<size_t>(std::max(stream.cols_, 0)),
                            stream.field_list_.size());
  int32_t width = 0;
  for (size_t c = 0; c < n; ++c) {
    auto copy = std::make_unique<TFieldInf>(*stream.field_list_[c]);
    copy->Name.resize(std::min(copy->Name.size(), size_t{kMaxColumnName}));
    width = std::max(width, copy->Offset + copy->Size);
    list.push_back(std::move(copy));
  }
  return width;
}

void AppendKeyColumn(std::string& key_columns, int32_t column) {
  if (column < 0 || column > 255)
    throw EOrvDataSetException("key column " + std::to_string(column + 1) +
                               " cannot be searched");
  key_columns.push_back(static_cast<char>(static_cast<unsigned char>(column)));
}

}  // namespace orv
