// The display window of the real library on Linux, on a Xvfb display of the
// test's own: geometry, title and state, green text in its cells, the running
// line moving while the host's thread sleeps, closing and remaking, the modal
// device test, the end of the object and of the library; and where there is
// no display, no window and no thread.
#include "PanelHost.h"
#include "TestEnv.h"
#include "XDisplay.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cstdlib>
#include <functional>
#include <thread>

namespace {

using namespace std::chrono_literals;
using xtest::TGeometry;

class PanelWindow : public ::testing::Test {
protected:
  void SetUp() override {
    const std::string missing = xtest::UseOwnDisplay();
    if (!missing.empty())
      GTEST_SKIP() << missing;
  }
};

std::vector<unsigned long> Displays() {
  return xtest::Windows("PanelSim");
}

unsigned long TheDisplay() {
  const std::vector<unsigned long> windows = Displays();
  return windows.size() == 1 ? windows[0] : 0;
}

std::vector<int> LitCells(unsigned long window, int row, int columns = 20) {
  const auto picture = xtest::PictureOf(window);
  return picture ? picture->LitCells(row, columns) : std::vector<int>{-1};
}

// How far a single mark in row 1, in column `column` at offset 0, has run;
// -1 unless exactly one cell is lit.
int MarkOffset(unsigned long window, int column) {
  const std::vector<int> lit = LitCells(window, 0);
  return lit.size() == 1 ? column - lit[0] : -1;
}

// 40 characters in 20 columns, a mark in column 10.
const std::u16string kRunningMark = std::u16string(10, u' ') + u"#" + std::u16string(29, u' ');

TEST_F(PanelWindow, AppearsAtItsPlaceAboveOthersWithTitleAndSize) {
  PanelHost host;
  ASSERT_TRUE(host.Ready());
  const std::u16string id = host.Open();
  EXPECT_EQ(host.Output(id, u"Hello\nWorld"), 1);
  const unsigned long display = TheDisplay();
  ASSERT_NE(display, 0u);
  EXPECT_EQ(xtest::GeometryOf(display), (TGeometry{50, 50, 244, 64}));
  EXPECT_EQ(xtest::PropertyOf(display, "_NET_WM_NAME"), "Дисплей покупателя");
  EXPECT_EQ(xtest::PropertyOf(display, "WM_NAME"), "Дисплей покупателя");
  EXPECT_EQ(xtest::PropertyOf(display, "_NET_WM_STATE"), "_NET_WM_STATE_ABOVE");

  // Further output repaints the same window; a size set meanwhile waits for
  // the next window.
  host.SetParameter(u"DeviceColumns", testhost::IntValue(5));
  EXPECT_EQ(host.Output(id, u"again"), 1);
  EXPECT_EQ(TheDisplay(), display);
  EXPECT_EQ(xtest::GeometryOf(display), (TGeometry{50, 50, 244, 64}));

  // Another object, another size, a window of its own at the same place.
  PanelHost other;
  other.SetParameter(u"DeviceColumns", testhost::IntValue(30));
  other.SetParameter(u"DeviceRows", testhost::IntValue(3));
  EXPECT_EQ(other.Output(other.Open(), u"x"), 1);
  const std::vector<unsigned long> windows = Displays();
  ASSERT_EQ(windows.size(), 2u);
  const unsigned long second = windows[0] == display ? windows[1] : windows[0];
  EXPECT_EQ(xtest::GeometryOf(second), (TGeometry{50, 50, 12 * 30 + 4, 30 * 3 + 4}));
}

TEST_F(PanelWindow, ShowsPureGreenTextInItsCells) {
  PanelHost host;
  ASSERT_TRUE(host.Ready());
  const std::u16string id = host.Open();
  host.Output(id, u"   ##\n  Ж");
  const unsigned long display = TheDisplay();
  ASSERT_NE(display, 0u);
  EXPECT_TRUE(xtest::WaitFor([&] { return LitCells(display, 0) == std::vector<int>{3, 4}; }));
  const auto picture = xtest::PictureOf(display);
  ASSERT_TRUE(picture.has_value());
  EXPECT_EQ(picture->LitCells(1, 20), (std::vector<int>{2}));
  EXPECT_EQ(picture->Foreign(), 0);

  host.Clear(id);
  EXPECT_TRUE(xtest::WaitFor([&] { return LitCells(display, 0).empty() && LitCells(display, 1).empty(); }));
}

TEST_F(PanelWindow, RunningLineMovesWhileTheHostSleeps) {
  PanelHost host;
  ASSERT_TRUE(host.Ready());
  host.Output(host.Open(), kRunningMark + u"\nfits");
  const unsigned long display = TheDisplay();
  ASSERT_NE(display, 0u);
  const int first = MarkOffset(display, 10);
  // The host's thread sleeps and serves no events: the window's own thread
  // steps the row every 400 ms.
  std::this_thread::sleep_for(2000ms);
  const int later = MarkOffset(display, 10);
  ASSERT_GE(first, 0);
  EXPECT_GE(later - first, 3);
  EXPECT_LE(later - first, 8);
  EXPECT_EQ(LitCells(display, 1), (std::vector<int>{0, 1, 2, 3})); // a row that fits stands still

  // Without the running line nothing moves.
  PanelHost still;
  still.SetParameter(u"Scroll", testhost::BoolValue(false));
  still.Output(still.Open(), kRunningMark);
  const std::vector<unsigned long> windows = Displays();
  ASSERT_EQ(windows.size(), 2u);
  const unsigned long stillWindow = windows[0] == display ? windows[1] : windows[0];
  std::this_thread::sleep_for(1000ms);
  EXPECT_EQ(MarkOffset(stillWindow, 10), 0);
}

TEST_F(PanelWindow, ClosedWindowIsMadeAgainByTheNextOutput) {
  PanelHost host;
  ASSERT_TRUE(host.Ready());
  const std::u16string id = host.Open();
  host.Output(id, u"first");
  const unsigned long first = TheDisplay();
  ASSERT_NE(first, 0u);
  xtest::CloseByWindowManager(first);
  EXPECT_TRUE(xtest::WaitFor([] { return Displays().empty(); }));

  // A new window at the same place, with a running line of its own.
  EXPECT_EQ(host.Output(id, kRunningMark), 1);
  const unsigned long second = TheDisplay();
  ASSERT_NE(second, 0u);
  EXPECT_EQ(xtest::GeometryOf(second), (TGeometry{50, 50, 244, 64}));
  EXPECT_TRUE(xtest::WaitFor([&] { return MarkOffset(second, 10) > 0; }));

  // Destroyed by someone else: clearing makes a window too.
  xtest::DestroyFromOutside(second);
  EXPECT_TRUE(xtest::WaitFor([] { return Displays().empty(); }));
  EXPECT_EQ(host.Clear(id), 1);
  EXPECT_NE(TheDisplay(), 0u);

  // Not shown on screen: an open window stays, none is made.
  host.SetParameter(u"Show", testhost::BoolValue(false));
  EXPECT_EQ(host.Output(id, u"hidden"), 1);
  ASSERT_NE(TheDisplay(), 0u);
  xtest::CloseByWindowManager(TheDisplay());
  EXPECT_TRUE(xtest::WaitFor([] { return Displays().empty(); }));
  EXPECT_EQ(host.Output(id, u"hidden"), 1);
  std::this_thread::sleep_for(200ms);
  EXPECT_TRUE(Displays().empty());
}

// ---------------------------------------------------------------------------
// The device test

struct TestLook {
  unsigned long window = 0;
  std::optional<TGeometry> geometry;
  std::string title;
  std::vector<int> offsets; // of the digit row, at each look
  int foreign = -1;
};

// Runs the device test while an operator looks at its window `looks` times,
// then closes it with close(window).
TestLook RunDeviceTest(PanelHost& host, int looks, const std::function<void(unsigned long)>& close) {
  TestLook seen;
  xtest::TOperatorThread operatorThread("PanelSimTest", [&](unsigned long window) {
    seen.geometry = xtest::GeometryOf(window);
    seen.title = xtest::PropertyOf(window, "_NET_WM_NAME");
    for (int i = 0; i < looks; ++i) {
      std::this_thread::sleep_for(250ms);
      if (const auto picture = xtest::PictureOf(window)) {
        // Row 2 runs the digit groups: the blank after the first group stands
        // in column 10 - offset.
        const std::vector<int> lit = picture->LitCells(1, 11);
        int blank = 0;
        while (blank < static_cast<int>(lit.size()) && lit[blank] == blank)
          ++blank;
        seen.offsets.push_back(10 - blank);
        seen.foreign = picture->Foreign();
      }
    }
    close(window);
  });
  EXPECT_EQ(host.DeviceTest().substr(0, 28), u"Эмулятор дисплея покупателя ");
  seen.window = operatorThread.Finish();
  return seen;
}

TEST_F(PanelWindow, DeviceTestRunsInItsOwnWindowUntilTheOperatorClosesIt) {
  PanelHost host;
  ASSERT_TRUE(host.Ready());
  TestLook seen = RunDeviceTest(host, 6, [](unsigned long) { xtest::Key("Escape"); });
  ASSERT_NE(seen.window, 0u);
  EXPECT_TRUE(xtest::Windows("PanelSimTest").empty());
  EXPECT_EQ(seen.title, "Тест устройства");
  EXPECT_EQ(seen.geometry, (TGeometry{(1024 - 244) / 2, (768 - 64) / 2, 244, 64})); // centred
  EXPECT_EQ(seen.foreign, 0);
  ASSERT_EQ(seen.offsets.size(), 6u); // the digit row ran
  EXPECT_GT(seen.offsets.back(), seen.offsets.front());
  EXPECT_TRUE(Displays().empty());

  // The test rows stay: a display made now shows the title in row 1 (16
  // characters, one of them a blank).
  host.Output(host.Open(), u"");
  const unsigned long display = TheDisplay();
  ASSERT_NE(display, 0u);
  EXPECT_TRUE(xtest::WaitFor([&] { return LitCells(display, 0).size() == 15u; }));
  xtest::CloseByWindowManager(display);

  // One row, no running line: a lower window whose digit row stands still;
  // Enter closes it, and so does the window manager.
  host.SetParameter(u"DeviceRows", testhost::IntValue(1));
  host.SetParameter(u"Scroll", testhost::BoolValue(false));
  seen = RunDeviceTest(host, 2, [](unsigned long) { xtest::Key("Return"); });
  EXPECT_EQ(seen.geometry.value_or(TGeometry{}).Height, 34);
  seen = RunDeviceTest(host, 0, xtest::CloseByWindowManager);
  EXPECT_NE(seen.window, 0u);
  EXPECT_TRUE(xtest::Windows("PanelSimTest").empty());

  // Not shown on screen: no window at all.
  host.SetParameter(u"Show", testhost::BoolValue(false));
  EXPECT_EQ(host.DeviceTest().substr(0, 28), u"Эмулятор дисплея покупателя ");
  EXPECT_TRUE(xtest::Windows("PanelSimTest").empty());
}

// ---------------------------------------------------------------------------
// The end of the object and of the library

TEST_F(PanelWindow, DestroyedObjectTakesItsWindowAndThread) {
  const int threads = xtest::ThreadCount();
  PanelHost host;
  ASSERT_TRUE(host.Ready());
  host.Output(host.Open(), std::u16string(40, u'#'));
  ASSERT_NE(TheDisplay(), 0u);
  EXPECT_EQ(xtest::ThreadCount(), threads + 1);
  host.Destroy();
  EXPECT_EQ(xtest::ThreadCount(), threads);
  EXPECT_TRUE(xtest::WaitFor([] { return Displays().empty(); }, 1000));
  EXPECT_TRUE(host.Memory().Clean()) << host.Memory().Summary();
}

// A host that unloads the library under an object it never destroyed: once a
// window thread has run, the library stays loaded (dlclose runs nothing of
// ours under the dynamic loader's lock, and the thread's code stays mapped),
// the window lives on with its object, and the end of the process stops the
// thread. Run in a child process of the test program, on this test's display.
TEST_F(PanelWindow, UnloadUnderALiveObjectLeavesTheWindowToTheProcessEnd) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the careless host leaks its object by design";
#endif
  setenv("ORVIK_UNLOAD_CHILD", "1", 1);
  const std::vector<int> codes =
      testenv::RunSelfInParallel({"--gtest_filter=PanelUnloadChild.*", "--gtest_brief=1"}, 1);
  unsetenv("ORVIK_UNLOAD_CHILD");
  EXPECT_EQ(codes.at(0), 0);
  EXPECT_TRUE(xtest::WaitFor([] { return Displays().empty(); }, 1000));
}

TEST(PanelUnloadChild, CarelessHost) {
  if (std::getenv("ORVIK_UNLOAD_CHILD") == nullptr)
    GTEST_SKIP() << "the child of UnloadUnderALiveObjectLeavesTheWindowToTheProcessEnd";
  alarm(30); // a process end that hangs fails the parent's test
  const int threads = xtest::ThreadCount();
  PanelHost careless;
  careless.Output(careless.Open(), kRunningMark);
  const unsigned long display = TheDisplay();
  ASSERT_NE(display, 0u);
  careless.UnloadUnderLiveObject();
  const std::string path = testhost::BesideExecutable(PANELSIM_FILE);
  void* still = dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
  ASSERT_NE(still, nullptr);
  dlclose(still);
  EXPECT_EQ(xtest::ThreadCount(), threads + 1);
  // The running line still runs on the leaked object's thread.
  const int before = MarkOffset(display, 10);
  EXPECT_TRUE(xtest::WaitFor([&] { return MarkOffset(display, 10) > before; }, 2000));
}

// ---------------------------------------------------------------------------
// No display

TEST(PanelNoDisplay, KeepsItsRowsWithNoWindowAndNoThread) {
  xtest::UseNoDisplay();
  const int threads = xtest::ThreadCount();
  PanelHost host;
  ASSERT_TRUE(host.Ready());
  const std::u16string id = host.Open();
  EXPECT_EQ(host.Output(id, kRunningMark + u"\nЖ"), 1);
  EXPECT_EQ(host.Clear(id), 1);
  EXPECT_EQ(host.DeviceTest().substr(0, 28), u"Эмулятор дисплея покупателя ");
  EXPECT_EQ(xtest::ThreadCount(), threads);
  EXPECT_TRUE(host.Connection().Errors().empty());
}

} // namespace
