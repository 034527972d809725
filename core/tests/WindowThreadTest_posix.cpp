// The window thread of the Linux windows, on a Xvfb display of the test's
// own: a window closed by the user must read as ended by the time it is off
// the screen, or the host's next call would draw on a window that is gone.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>

#include "XDisplay.h"

#include "WindowThread_posix.h"

namespace {

using namespace std::chrono_literals;

TEST(WindowThread, ReadsAsEndedBeforeTheClosedWindowGoes) {
  const std::string missing = xtest::UseOwnDisplay();
  if (!missing.empty())
    GTEST_SKIP() << missing;
  std::atomic<x11::TWindowThread*> self{nullptr};
  std::atomic<int> endedWhenLetGo{-1};
  // The surface goes before the window: what the thread says then, it says
  // while the window is still on the screen.
  auto thread = std::make_unique<x11::TWindowThread>(
      x11::DisplayName(), x11::TTopWindowSpec{.Width = 40, .Height = 30, .ClassName = "ThreadTest"},
      [&](x11::TConnection&, const x11::TTopWindow&) {
        return std::shared_ptr<void>(new int(0), [&](void* surface) {
          delete static_cast<int*>(surface);
          endedWhenLetGo = self.load()->Ended() ? 1 : 0;
        });
      },
      [](void*) {}, nullptr, 0ms);
  self = thread.get();
  ASSERT_TRUE(thread->WaitShown(3s));
  const std::vector<unsigned long> windows = xtest::Windows("ThreadTest");
  ASSERT_EQ(windows.size(), 1u);
  xtest::CloseByWindowManager(windows[0]);
  ASSERT_TRUE(xtest::WaitFor([&] { return endedWhenLetGo != -1; }));
  EXPECT_EQ(endedWhenLetGo, 1);
  EXPECT_TRUE(xtest::WaitFor([] { return xtest::Windows("ThreadTest").empty(); }));
}

} // namespace
