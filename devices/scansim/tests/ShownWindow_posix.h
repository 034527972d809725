// The input devices' real windows on a Xvfb display of the test's own: the
// window found by its X class, read by its controls in template order and
// driven with xdotool as a person types and clicks.
#pragma once

#include "InputHost.h"
#include "XDisplay.h"

namespace inputtest {

// The one window of a class of this process, once its thread has made all
// its controls; Id is 0 when none came.
class TShownWindow {
public:
  TShownWindow(const std::string& className, size_t controls) {
    xtest::WaitFor([&] {
      const std::vector<unsigned long> windows = xtest::Windows(className);
      Id = windows.size() == 1 ? windows[0] : 0;
      return Id != 0 && xtest::ControlsOf(Id).size() == controls;
    });
  }

  // The text of control index, as its window's name ("?" when there is none).
  std::string Text(size_t index) const {
    const std::vector<xtest::TChild> controls = xtest::ControlsOf(Id);
    return index < controls.size() ? controls[index].Name : "?";
  }
  bool WaitText(size_t index, const std::string& text) const {
    return xtest::WaitFor([&] { return Text(index) == text; });
  }

  // A click in the middle of control index.
  void Click(size_t index) const {
    const std::vector<xtest::TChild> controls = xtest::ControlsOf(Id);
    const std::optional<xtest::TGeometry> window = xtest::GeometryOf(Id);
    ASSERT_TRUE(window.has_value());
    ASSERT_LT(index, controls.size());
    const xtest::TGeometry& at = controls[index].Geometry;
    xtest::Click(window->X + at.X + at.Width / 2, window->Y + at.Y + at.Height / 2);
  }

  unsigned long Id = 0;
};

// A test of a device's window: the display is the test's own while it runs,
// none afterwards, so that the other tests of the program open no window.
class InputWindowTest : public InputTest {
protected:
  using InputTest::InputTest;
  void SetUp() override {
    const std::string missing = xtest::UseOwnDisplay();
    if (!missing.empty())
      GTEST_SKIP() << missing;
    InputTest::SetUp();
  }
  void TearDown() override {
    InputTest::TearDown();
    xtest::UseNoDisplay();
  }

  // The events the host has, waited for until count came (or 5 s), then
  // 300 ms more for any that should not come.
  static std::vector<testhost::HostEvent> Events(Device& device, size_t count) {
    std::vector<testhost::HostEvent> got = device.connection.TakeEvents(count, 5s);
    for (testhost::HostEvent& extra : device.connection.TakeEvents(1, 300ms))
      got.push_back(std::move(extra));
    return got;
  }
};

} // namespace inputtest
