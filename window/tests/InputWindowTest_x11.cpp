// Input windows on X11, on a Xvfb display of the test's own, typed into and
// clicked with xdotool as a person would: what reaches the handler, what the
// fields hold afterwards, disabled buttons, texts set from another thread
// while someone types, the close box, and a destruction during a Submit.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "InputHandlerStub.h"
#include "TextCodec.h"
#include "XDisplay.h"
#include "layertest_dialogs.h"

#include "Window.h"

namespace {

using namespace std::chrono_literals;

constexpr int kFirst = 51, kSecond = 52, kReason = 53, kExtra1 = 61, kExtra2 = 62;

using THandler = windowtest::TInputHandlerStub;

class InputWindow : public testing::Test {
protected:
  void SetUp() override {
    const std::string missing = xtest::UseOwnDisplay();
    if (!missing.empty())
      GTEST_SKIP() << missing;
  }

  std::unique_ptr<ui::TInputWindow> Open() {
    ui::TInputWindowSpec spec;
    spec.Template = &dialogs::TEST_DLG_INPUT;
    spec.ClassName = "InputTest";
    spec.X = 40;
    spec.Y = 50;
    spec.Fields = {kFirst, kSecond};
    spec.FieldLimit = 20;
    spec.ReasonId = kReason;
    auto window = ui::OpenInputWindow(spec, handler);
    EXPECT_TRUE(window->Shown());
    EXPECT_TRUE(window->Open());
    EXPECT_TRUE(xtest::WaitFor([] { return xtest::Windows("InputTest").size() == 1; }));
    top = xtest::Windows("InputTest").empty() ? 0 : xtest::Windows("InputTest")[0];
    // The controls are there once the thread has made them.
    EXPECT_TRUE(xtest::WaitFor([this] { return xtest::ControlsOf(top).size() == 8; }));
    return window;
  }

  // The text of control index, as its window's name.
  std::string Text(int index) const {
    const std::vector<xtest::TChild> controls = xtest::ControlsOf(top);
    return static_cast<size_t>(index) < controls.size() ? controls[static_cast<size_t>(index)].Name : "?";
  }

  // A click in the middle of control index.
  void Click(int index) const {
    const std::vector<xtest::TChild> children = xtest::ControlsOf(top);
    const std::optional<xtest::TGeometry> window = xtest::GeometryOf(top);
    ASSERT_TRUE(window.has_value());
    ASSERT_EQ(children.size(), 8u);
    const xtest::TGeometry& at = children[static_cast<size_t>(index)].Geometry;
    xtest::Click(window->X + at.X + at.Width / 2, window->Y + at.Y + at.Height / 2);
  }

  static void Type(const std::string& text) { xtest::Run("xdotool type --delay 15 '" + text + "'"); }

  THandler handler;
  unsigned long top = 0;
};

// The control indices of TEST_DLG_INPUT.
constexpr int kFirstIndex = 1, kSecondIndex = 3, kReasonIndex = 4, kExtra1Index = 6, kExtra2Index = 7;

TEST_F(InputWindow, EnterSendsTheFieldsAndTheirFateShows) {
  const auto window = Open();
  ASSERT_NE(top, 0u);
  const std::optional<xtest::TGeometry> place = xtest::GeometryOf(top);
  ASSERT_TRUE(place.has_value());
  EXPECT_EQ(place->X, 40);
  EXPECT_EQ(place->Y, 50);
  EXPECT_NE(xtest::PropertyOf(top, "_NET_WM_STATE").find("_NET_WM_STATE_ABOVE"), std::string::npos);

  // The first field has the keyboard; Tab takes it to the second one.
  Type("4601234");
  xtest::Key("Tab");
  Type("abc");
  ASSERT_TRUE(xtest::WaitFor([this] { return Text(kSecondIndex) == "abc"; }));
  xtest::Key("Return");
  ASSERT_TRUE(xtest::WaitFor([this] { return handler.SubmitCount() == 1; }));
  EXPECT_EQ(handler.LastSubmit(), (std::vector<std::u16string>{u"4601234", u"abc"}));
  EXPECT_TRUE(xtest::WaitFor([this] { return Text(kFirstIndex).empty() && Text(kSecondIndex).empty(); }));

  // Refused: the reason shows and the texts stay; the first field is
  // selected, so that what is typed next replaces it.
  handler.Answer(u"Не тот код");
  Type("123");
  xtest::Key("Return");
  ASSERT_TRUE(xtest::WaitFor([this] { return handler.SubmitCount() == 2; }));
  EXPECT_TRUE(xtest::WaitFor([this] { return Text(kReasonIndex) == "Не тот код"; }));
  EXPECT_EQ(Text(kFirstIndex), "123");
  Type("9");
  EXPECT_TRUE(xtest::WaitFor([this] { return Text(kFirstIndex) == "9"; }));
  // Escape does not close an input window.
  xtest::Key("Escape");
  std::this_thread::sleep_for(100ms);
  EXPECT_TRUE(window->Open());
}

TEST_F(InputWindow, ButtonsSendTheirIdentifiersUnlessDisabled) {
  const auto window = Open();
  ASSERT_NE(top, 0u);
  Click(kExtra2Index);
  ASSERT_TRUE(xtest::WaitFor([this] { return handler.Commanded(); }));
  EXPECT_EQ(handler.TakeCommands(), std::vector<int>{kExtra2});

  window->SetTexts({{kExtra1, u""}, {kExtra2, u"7777"}});
  ASSERT_TRUE(xtest::WaitFor([this] { return Text(kExtra1Index).empty() && Text(kExtra2Index) == "7777"; }));
  Click(kExtra1Index);
  Click(kExtra2Index);
  ASSERT_TRUE(xtest::WaitFor([this] { return handler.Commanded(); }));
  std::this_thread::sleep_for(100ms);
  EXPECT_EQ(handler.TakeCommands(), std::vector<int>{kExtra2});

  // Enabled again by a text.
  window->SetTexts({{kExtra1, u"5555"}});
  ASSERT_TRUE(xtest::WaitFor([this] { return Text(kExtra1Index) == "5555"; }));
  Click(kExtra1Index);
  ASSERT_TRUE(xtest::WaitFor([this] { return handler.Commanded(); }));
  EXPECT_EQ(handler.TakeCommands(), std::vector<int>{kExtra1});
}

// The buttons' texts change from another thread, as a device's would after
// each input, while the person types: the typing is neither lost nor torn.
TEST_F(InputWindow, TextsSetFromAnotherThreadLeaveTheTypingAlone) {
  const auto window = Open();
  ASSERT_NE(top, 0u);
  Click(kFirstIndex); // the click gives the field the keyboard back
  std::atomic<bool> stop{false};
  std::thread setter([&] {
    for (int i = 0; !stop; ++i) {
      window->SetTexts({{kExtra1, i % 2 == 0 ? u"" : u"A" + std::u16string(1, char16_t(u'0' + i % 10))},
                        {kReason, u"Счёт " + std::u16string(1, char16_t(u'0' + i % 10))}});
      std::this_thread::sleep_for(2ms);
    }
  });
  Type("0123456789abcdef");
  stop = true;
  setter.join();
  EXPECT_TRUE(xtest::WaitFor([this] { return Text(kFirstIndex) == "0123456789abcdef"; }));
  xtest::Key("Return");
  ASSERT_TRUE(xtest::WaitFor([this] { return handler.SubmitCount() == 1; }));
  EXPECT_EQ(handler.LastSubmit(), (std::vector<std::u16string>{u"0123456789abcdef", u""}));
}

TEST_F(InputWindow, TheCloseBoxClosesIt) {
  const auto window = Open();
  ASSERT_NE(top, 0u);
  xtest::CloseByWindowManager(top);
  EXPECT_TRUE(xtest::WaitFor([&] { return !window->Open(); }));
  EXPECT_TRUE(window->Shown());
  EXPECT_TRUE(xtest::WaitFor([] { return xtest::Windows("InputTest").empty(); }));
  window->SetTexts({{kExtra1, u"1"}}); // nobody there to take it: nothing happens
}

// A Submit that takes its time: the destruction waits for it, and the Enter
// pressed meanwhile never reaches the handler.
TEST_F(InputWindow, DestructionWaitsForTheHandlerAndNothingRunsAfter) {
  auto window = Open();
  ASSERT_NE(top, 0u);
  handler.Delay = 200ms;
  Type("1");
  xtest::Key("Return Return");
  ASSERT_TRUE(xtest::WaitFor([this] { return handler.Running == 1; }));
  window.reset();
  EXPECT_EQ(handler.Running, 0);
  const int done = handler.Done;
  EXPECT_EQ(done, 1);
  std::this_thread::sleep_for(300ms);
  EXPECT_EQ(handler.Done, done);
  EXPECT_TRUE(xtest::Windows("InputTest").empty());
}

// Where nothing can be shown the window is the null backend's.
TEST(InputWindowWithoutDisplay, IsNeverShownNorOpen) {
  xtest::UseNoDisplay();
  THandler handler;
  ui::TInputWindowSpec spec;
  spec.Template = &dialogs::TEST_DLG_INPUT;
  spec.Fields = {kFirst};
  const auto window = ui::OpenInputWindow(spec, handler);
  EXPECT_FALSE(window->Shown());
  EXPECT_FALSE(window->Open());
  window->SetTexts({{kExtra1, u""}});
}

} // namespace
