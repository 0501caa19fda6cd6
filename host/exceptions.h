// The host framework's exception classes.
//
// `Exception` is the root of every failure the package and its host layer
// raise: it carries a message text, which is what the user is shown. Each
// unit of the package adds one class of its own beneath it; the host layer
// adds the few the framework itself raises. `EAbort` is the silent
// exception: application-level handlers (`Application.HandleException`)
// swallow it without showing anything.
//
// Exceptions are values; any thread may create, throw and catch them.
#pragma once

#include <exception>
#include <string>

#pragma GCC visibility push(default)
namespace orv {

class Exception : public std::exception {
 public:
  explicit Exception(std::string message) : message_(std::move(message)) {}

  const char* what() const noexcept override { return message_.c_str(); }
  const std::string& Message() const noexcept { return message_; }
  void SetMessage(std::string message) { message_ = std::move(message); }

 private:
  std::string message_;
};

// A text could not be converted to a number, date or time, or a date or
// time was out of range.
class EConvertError : public Exception {
 public:
  using Exception::Exception;
};

// A string list was indexed outside its items.
class EStringListError : public Exception {
 public:
  using Exception::Exception;
};

// A dataset or field was misused; raised through `DatabaseError`.
class EDatabaseError : public Exception {
 public:
  using Exception::Exception;
};

// The silent exception: unwinds like any other, but is never shown.
class EAbort : public Exception {
 public:
  using Exception::Exception;
};

// Raises the silent exception.
[[noreturn]] void Abort();

}  // namespace orv
#pragma GCC visibility pop
