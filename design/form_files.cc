#include "design/form_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

#include "dataset/dataset_published.h"
#include "host/published_host.h"
#include "rdb/rdb_published.h"

namespace orv {
namespace {

[[noreturn]] void FileFailed(const std::string& path, const char* what) {
  throw EFilerError({}, path + ": " + what + ": " + std::strerror(errno));
}

// Writes all of `text` to `fd`; false on an error.
bool WriteAll(int fd, std::string_view text) {
  while (!text.empty()) {
    const ssize_t n = ::write(fd, text.data(), text.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    text.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

}  // namespace

const TClassRegistry& OrvFormClasses() {
  static const TClassRegistry classes = [] {
    TClassRegistry c;
    PublishHostClasses(c);
    PublishRDBClasses(c);
    PublishDataSetClasses(c);
    return c;
  }();
  return classes;
}

TComponent* LoadForm(std::string_view text, TComponent* owner, const TFormHandlers& handlers) {
  return ReadForm(text, owner, OrvFormClasses(), handlers);
}

TComponent* LoadFormFile(const std::string& path, TComponent* owner,
                         const TFormHandlers& handlers) {
  std::ifstream in(path, std::ios::binary);
  if (!in) FileFailed(path, "cannot open");
  // A directory opens as a stream that reads nothing, which would pass for
  // an empty form.
  struct stat file;
  if (::stat(path.c_str(), &file) == 0 && S_ISDIR(file.st_mode)) {
    errno = EISDIR;
    FileFailed(path, "cannot read");
  }
  std::ostringstream text;
  text << in.rdbuf();
  if (in.bad()) FileFailed(path, "cannot read");
  try {
    return LoadForm(text.str(), owner, handlers);
  } catch (EFilerError& e) {
    e.SetMessage(path + ": " + e.Message());
    throw;
  }
}

std::string SaveForm(TComponent& root) { return WriteForm(root, OrvFormClasses()); }

void SaveFormFile(const std::string& path, TComponent& root) {
  const std::string text = SaveForm(root);
  // A new file beside the old one, renamed over it once complete: a
  // failure half-way leaves the old form as it was.
  std::string temp = path + ".XXXXXX";
  const int fd = ::mkstemp(temp.data());
  if (fd < 0) FileFailed(path, "cannot create");
  // A form may hold a password: a new file is readable by its owner only,
  // a replaced one keeps its mode.
  struct stat old_file;
  bool ok = ::stat(path.c_str(), &old_file) != 0 || ::fchmod(fd, old_file.st_mode & 07777) == 0;
  ok = ok && WriteAll(fd, text) && ::fsync(fd) == 0;
  int failed = ok ? 0 : errno;
  if (::close(fd) != 0 && ok) {
    ok = false;
    failed = errno;
  }
  if (ok && ::rename(temp.c_str(), path.c_str()) != 0) {
    ok = false;
    failed = errno;
  }
  if (!ok) {
    ::unlink(temp.c_str());
    errno = failed;
    FileFailed(path, "cannot write");
  }
}

}  // namespace orv
