#include "tools/output.h"

#include <cerrno>
#include <cstring>
#include <utility>

namespace orv::orvsql {

namespace {

constexpr size_t kFlushBytes = 32 * 1024;
constexpr auto kFlushInterval = std::chrono::milliseconds(100);

}  // namespace

Output::~Output() {
  Flush();
  CloseFile();
  // The last results went nowhere; nobody else is left to say so.
  if (!write_error_.empty()) std::fprintf(stderr, "orvsql: %s\n", write_error_.c_str());
}

std::unique_ptr<ResultWriter> Output::NewWriter() const {
  if (csv_) return NewCsvWriter();
  return expanded_ ? NewExpandedWriter() : NewTableWriter();
}

void Output::Flush() {
  last_flush_ = std::chrono::steady_clock::now();
  if (buffer_.empty()) return;
  std::FILE* to = file_ != nullptr ? file_ : stdout;
  if ((std::fwrite(buffer_.data(), 1, buffer_.size(), to) != buffer_.size() ||
       std::fflush(to) != 0) &&
      file_ != nullptr && write_error_.empty())
    write_error_ = "cannot write to '" + path_ + "': " + std::strerror(errno);
  buffer_.clear();
}

void Output::MaybeFlush() {
  if (buffer_.size() >= kFlushBytes || std::chrono::steady_clock::now() - last_flush_ >= kFlushInterval)
    Flush();
}

void Output::Status(const std::string& line) {
  if (!csv_) buffer_ += line + '\n';
}

void Output::Note(const std::string& line) {
  Flush();
  std::FILE* to = csv_ ? stderr : stdout;
  std::fputs((line + '\n').c_str(), to);
  std::fflush(to);
}

bool Output::SendTo(const std::string& path, std::string& error) {
  Flush();
  std::FILE* file = nullptr;
  if (!path.empty()) {
    file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
      error = "cannot write to '" + path + "': " + std::strerror(errno);
      return false;
    }
  }
  CloseFile();
  file_ = file;
  path_ = path;
  return true;
}

std::string Output::TakeWriteError() { return std::exchange(write_error_, {}); }

void Output::CloseFile() {
  if (file_ == nullptr) return;
  if (std::fclose(file_) != 0 && write_error_.empty())
    write_error_ = "cannot write to '" + path_ + "': " + std::strerror(errno);
  file_ = nullptr;
}

}  // namespace orv::orvsql
