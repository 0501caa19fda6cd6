#include "host/forms.h"

#include <cerrno>
#include <cstdio>

#include "host/exceptions.h"

namespace orv {
namespace {

std::string OneLine(std::string s) {
  for (char& c : s) {
    if (c == '\r' || c == '\n') c = ' ';
  }
  return s;
}

int WriteToStderr(const std::string& text, const std::string& caption,
                  unsigned /*flags*/) {
  // One write per message, so lines from different threads do not mix.
  const std::string line = OneLine(caption) + ": " + OneLine(text) + "\n";
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fflush(stderr);
  return IDOK;
}

struct HandlerSlot {
  std::mutex mu;
  TMessageBoxHandler handler = WriteToStderr;  // protected by mu
};

HandlerSlot& Slot() {
  static HandlerSlot slot;
  return slot;
}

}  // namespace

int MessageBox(const std::string& text, const std::string& caption,
               unsigned flags) {
  TMessageBoxHandler handler;
  {
    HandlerSlot& slot = Slot();
    std::lock_guard<std::mutex> lock(slot.mu);
    handler = slot.handler;
  }
  return handler(text, caption, flags);
}

TMessageBoxHandler SetMessageBoxHandler(TMessageBoxHandler handler) {
  if (!handler) handler = WriteToStderr;
  HandlerSlot& slot = Slot();
  std::lock_guard<std::mutex> lock(slot.mu);
  std::swap(slot.handler, handler);
  return handler;
}

TApplication::TApplication() : title_(program_invocation_short_name) {}

std::string TApplication::Title() const {
  std::lock_guard<std::mutex> lock(mu_);
  return title_;
}

void TApplication::SetTitle(const std::string& title) {
  std::lock_guard<std::mutex> lock(mu_);
  title_ = title;
}

void TApplication::HandleException(const std::exception& e) {
  if (dynamic_cast<const EAbort*>(&e) != nullptr) return;
  if (OnException) {
    OnException(e);
    return;
  }
  MessageBox(e.what(), Title(), MB_OK | MB_ICONERROR);
}

void TApplication::HandleException(std::exception_ptr e) {
  if (!e) return;
  try {
    std::rethrow_exception(e);
  } catch (const std::exception& caught) {
    HandleException(caught);
  } catch (...) {
    HandleException(Exception("Unknown exception"));
  }
}

TApplication& Application() {
  static TApplication application;
  return application;
}

TScreen& Screen() {
  static TScreen screen;
  return screen;
}

}  // namespace orv
