#include "host/forms.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "host/exceptions.h"

namespace orv {
namespace {

struct Shown {
  std::string text;
  std::string caption;
  unsigned flags;
};

// Captures message boxes for one test and puts back what was there.
class Capture {
 public:
  Capture()
      : previous_(SetMessageBoxHandler(
            [this](const std::string& text, const std::string& caption,
                   unsigned flags) {
              std::lock_guard<std::mutex> lock(mu_);
              shown_.push_back({text, caption, flags});
              return IDCANCEL;
            })) {}
  ~Capture() { SetMessageBoxHandler(previous_); }
  std::vector<Shown> shown() {
    std::lock_guard<std::mutex> lock(mu_);
    return shown_;
  }

 private:
  std::mutex mu_;
  std::vector<Shown> shown_;
  TMessageBoxHandler previous_;
};

TEST(FormsTest, MessageBoxGoesThroughTheHandlerFromAnyThread) {
  {
    Capture capture;
    EXPECT_EQ(MessageBox("hello", "Title", MB_OK | MB_ICONINFORMATION),
              IDCANCEL);
    std::vector<std::thread> threads;
    for (int i = 0; i < 4; ++i) {
      threads.emplace_back([i] {
        MessageBox("from " + std::to_string(i), "Error",
                   MB_ICONERROR | MB_TASKMODAL);
      });
    }
    for (auto& t : threads) t.join();
    const auto shown = capture.shown();
    ASSERT_EQ(shown.size(), 5u);
    EXPECT_EQ(shown[0].caption, "Title");
    EXPECT_EQ(shown[4].flags, unsigned{MB_ICONSTOP | MB_TASKMODAL});
  }
  // The default is back: one line on standard error, answered with IDOK.
  testing::internal::CaptureStderr();
  EXPECT_EQ(MessageBox("two\nlines", "Cap", MB_OK), IDOK);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "Cap: two lines\n");
}

TEST(FormsTest, HandlerMayThrowOrShowAnotherBox) {
  TMessageBoxHandler previous = SetMessageBoxHandler(
      [](const std::string& text, const std::string&, unsigned) -> int {
        if (text == "nested") return IDYES;
        if (text == "outer") return MessageBox("nested", "", MB_YESNO);
        throw Exception("shown: " + text);
      });
  EXPECT_EQ(MessageBox("outer", "", MB_OK), IDYES);
  EXPECT_THROW(MessageBox("boom", "", MB_OK), Exception);
  EXPECT_EQ(MessageBox("nested", "", MB_OK), IDYES);  // the guard was released
  SetMessageBoxHandler(previous);
}

TEST(FormsTest, HandleExceptionShowsAllButEAbort) {
  Capture capture;
  const std::string title = Application().Title();
  EXPECT_FALSE(title.empty());
  Application().SetTitle("OrvDemo");

  Application().HandleException(EAbort("quiet"));
  Application().HandleException(EConvertError("'x' is not an integer"));
  Application().HandleException(std::make_exception_ptr(42));
  Application().HandleException(std::make_exception_ptr(EAbort("")));
  auto shown = capture.shown();
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[0].text, "'x' is not an integer");
  EXPECT_EQ(shown[0].caption, "OrvDemo");
  EXPECT_TRUE(shown[0].flags & MB_ICONERROR);
  EXPECT_EQ(shown[1].text, "Unknown exception");

  std::string handled;
  Application().OnException = [&](const std::exception& e) {
    handled = e.what();
  };
  Application().HandleException(Exception("to the handler"));
  Application().OnException = nullptr;
  EXPECT_EQ(handled, "to the handler");
  EXPECT_EQ(capture.shown().size(), 2u);
  Application().SetTitle(title);
}

TEST(FormsTest, ScreenCursorIsSharedAcrossThreads) {
  EXPECT_EQ(Screen().Cursor(), crDefault);
  std::thread([] { Screen().SetCursor(crSQLWait); }).join();
  EXPECT_EQ(Screen().Cursor(), crSQLWait);
  Screen().SetCursor(crDefault);
}

}  // namespace
}  // namespace orv
