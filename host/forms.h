// Application services: the message box, the application object and the
// screen cursor.
//
// The message box goes through one replaceable handler, so a program
// decides how messages reach the user (tests capture them, a console
// program prints them, an application may turn them into exceptions). Any
// thread may call MessageBox or replace the handler: the slot is guarded,
// and the handler runs outside the guard, so a handler that throws or shows
// another message box does not lock anything up. A handler that may be
// called from several threads must itself be thread-safe.
//
// `Application()` and `Screen()` are process-wide objects; their members say
// which threads may use them.
#pragma once

#include <atomic>
#include <exception>
#include <functional>
#include <mutex>
#include <string>

#pragma GCC visibility push(default)
namespace orv {

// Message box styles (buttons | icon | modality) and results.
enum : unsigned {
  MB_OK = 0x0000,
  MB_OKCANCEL = 0x0001,
  MB_YESNOCANCEL = 0x0003,
  MB_YESNO = 0x0004,
  MB_ICONERROR = 0x0010,
  MB_ICONSTOP = MB_ICONERROR,
  MB_ICONQUESTION = 0x0020,
  MB_ICONWARNING = 0x0030,
  MB_ICONINFORMATION = 0x0040,
  MB_TASKMODAL = 0x2000,
};

enum : int { IDOK = 1, IDCANCEL = 2, IDYES = 6, IDNO = 7 };

using TMessageBoxHandler = std::function<int(
    const std::string& text, const std::string& caption, unsigned flags)>;

// Shows `text` through the installed handler and returns its answer. The
// default handler writes the line "caption: text" (line breaks in either
// turned into blanks) to standard error and returns IDOK.
int MessageBox(const std::string& text, const std::string& caption,
               unsigned flags);

// Installs `handler` (an empty one restores the default) and returns the
// one it replaces.
TMessageBoxHandler SetMessageBoxHandler(TMessageBoxHandler handler);

// The application: its title and its last-resort exception display.
// Any thread may read and set the title and call HandleException;
// OnException is set by the application's thread before other threads run.
class TApplication {
 public:
  TApplication();
  TApplication(const TApplication&) = delete;
  TApplication& operator=(const TApplication&) = delete;

  // The program's name until set.
  std::string Title() const;
  void SetTitle(const std::string& title);

  // Shows an exception nobody else handled: EAbort is silent; otherwise
  // OnException receives it when set, else its message is shown in a
  // message box captioned with Title (MB_OK | MB_ICONERROR). Whatever the
  // handler throws passes on.
  void HandleException(const std::exception& e);
  // The same for a caught exception of any type (from `catch (...)`).
  void HandleException(std::exception_ptr e);

  std::function<void(const std::exception&)> OnException;

 private:
  mutable std::mutex mu_;
  std::string title_;  // protected by mu_
};

TApplication& Application();

// A screen cursor shape: one of the cr constants.
using TCursor = int;
inline constexpr TCursor crDefault = 0;
inline constexpr TCursor crHourGlass = -11;
inline constexpr TCursor crSQLWait = -17;

// The screen: its current cursor, which any thread may read and set.
class TScreen {
 public:
  TCursor Cursor() const { return cursor_.load(); }
  void SetCursor(TCursor cursor) { cursor_.store(cursor); }

 private:
  std::atomic<TCursor> cursor_{crDefault};
};

TScreen& Screen();

// Shows `cursor` on the screen for the lifetime of the object and then puts
// back the cursor that was showing before (also when an exception unwinds).
class TCursorScope {
 public:
  explicit TCursorScope(TCursor cursor) : saved_(Screen().Cursor()) {
    Screen().SetCursor(cursor);
  }
  ~TCursorScope() { Screen().SetCursor(saved_); }
  TCursorScope(const TCursorScope&) = delete;
  TCursorScope& operator=(const TCursorScope&) = delete;

 private:
  TCursor saved_;
};

}  // namespace orv
#pragma GCC visibility pop
