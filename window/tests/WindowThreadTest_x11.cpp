// The window thread of the Linux windows, on a Xvfb display of the test's
// own. A window that the user closed or someone else destroyed must read as
// gone to the host's next repaint, or the host would draw on nothing instead
// of making a new window.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

#include "XDisplay.h"

#include "WindowThread_x11.h"

namespace {

using namespace std::chrono_literals;

class WindowThread : public testing::Test {
protected:
  void SetUp() override {
    const std::string missing = xtest::UseOwnDisplay();
    if (!missing.empty())
      GTEST_SKIP() << missing;
  }

  // A shown window; its surface, let go before the window, notes whether
  // the thread read as ended then.
  std::unique_ptr<x11::TWindowThread> Show() {
    auto thread = std::make_unique<x11::TWindowThread>(
        x11::DisplayName(), x11::TTopWindowSpec{.Width = 40, .Height = 30, .ClassName = "ThreadTest"},
        [this](x11::TConnection&, const x11::TTopWindow&) {
          return std::shared_ptr<void>(new int(0), [this](void* surface) {
            delete static_cast<int*>(surface);
            endedWhenLetGo = self.load()->Ended() ? 1 : 0;
          });
        },
        [this](void*) {
          for (int i = 0; holdPaint && i < 600; ++i)
            std::this_thread::sleep_for(5ms);
        },
        nullptr, 0ms);
    self = thread.get();
    EXPECT_TRUE(thread->WaitShown(3s));
    return thread;
  }

  static unsigned long TheWindow() {
    const std::vector<unsigned long> windows = xtest::Windows("ThreadTest");
    return windows.size() == 1 ? windows[0] : 0;
  }

  std::atomic<x11::TWindowThread*> self{nullptr};
  std::atomic<int> endedWhenLetGo{-1};
  std::atomic<bool> holdPaint{false}; // the thread paints until this is cleared
};

TEST_F(WindowThread, AWindowClosedByTheUserReadsAsEndedBeforeItLeavesTheScreen) {
  const auto thread = Show();
  ASSERT_NE(TheWindow(), 0u);
  EXPECT_TRUE(thread->Repaint());
  xtest::CloseByWindowManager(TheWindow());
  ASSERT_TRUE(xtest::WaitFor([&] { return endedWhenLetGo != -1; }));
  EXPECT_EQ(endedWhenLetGo, 1);
  EXPECT_TRUE(xtest::WaitFor([] { return TheWindow() == 0; }));
}

// The window goes while its thread is busy painting: the next repaint waits
// for the thread to see that, however slow it is.
TEST_F(WindowThread, ARepaintFindsAWindowDestroyedFromOutsideGone) {
  const auto thread = Show();
  ASSERT_NE(TheWindow(), 0u);
  holdPaint = true;
  EXPECT_TRUE(thread->Repaint());
  xtest::DestroyFromOutside(TheWindow());
  std::thread release([this] {
    std::this_thread::sleep_for(100ms);
    holdPaint = false;
  });
  EXPECT_FALSE(thread->Repaint());
  release.join();
}

} // namespace
