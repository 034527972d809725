// Input windows of the Win32 backend under Wine, driven from the test's
// thread as a person's keys and clicks reach them: the window's own thread
// must turn Enter in a field into the default button, keep Escape from
// closing it, ignore a disabled button and end cleanly however it goes.
#include "InputHandlerStub.h"
#include "Messages_win.h"
#include "Window_win.h"
#include "layertest_dialogs.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>
#include <windows.h>

namespace {

using namespace std::chrono_literals;

constexpr int kFirst = 51, kSecond = 52, kReason = 53, kExtra1 = 61, kExtra2 = 62;

using THandler = windowtest::TInputHandlerStub;

bool WaitFor(const std::function<bool()>& done, int ms = 3000) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (!done()) {
    if (std::chrono::steady_clock::now() >= end)
      return done();
    std::this_thread::sleep_for(10ms);
  }
  return true;
}

HWND TheWindow() {
  return FindWindowW(L"#32770", L"Ввод проверки");
}

std::u16string TextOf(int id) {
  return testhost::TextOf(GetDlgItem(TheWindow(), id));
}

// Enter as the keyboard gives it to the control with the focus.
void PressKey(HWND control, WPARAM key) {
  PostMessageW(control, WM_KEYDOWN, key, 1);
  if (key == VK_RETURN || key == VK_ESCAPE)
    PostMessageW(control, WM_CHAR, key == VK_RETURN ? L'\r' : 0x1B, 1);
  PostMessageW(control, WM_KEYUP, key, 0xC0000001);
}

class Win32InputWindow : public testing::Test {
protected:
  std::unique_ptr<ui::TInputWindow> Open() {
    ui::TInputWindowSpec spec;
    spec.Template = &dialogs::TEST_DLG_INPUT;
    spec.X = 40;
    spec.Y = 50;
    spec.Fields = {kFirst, kSecond};
    spec.FieldLimit = 20;
    spec.ReasonId = kReason;
    auto window = ui::OpenInputWindow(spec, handler);
    EXPECT_TRUE(window->Shown());
    EXPECT_TRUE(window->Open());
    EXPECT_NE(TheWindow(), nullptr);
    return window;
  }

  THandler handler;
};

TEST_F(Win32InputWindow, EnterInAFieldSendsTheFieldsAndTheirFateShows) {
  const auto window = Open();
  const HWND dialog = TheWindow();
  ASSERT_NE(dialog, nullptr);
  RECT frame{};
  GetWindowRect(dialog, &frame);
  EXPECT_EQ(frame.left, 40);
  EXPECT_EQ(frame.top, 50);
  EXPECT_NE(GetWindowLongW(dialog, GWL_EXSTYLE) & WS_EX_TOPMOST, 0);

  const HWND first = GetDlgItem(dialog, kFirst);
  SendMessageW(first, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"4601234"));
  SendMessageW(GetDlgItem(dialog, kSecond), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"abc"));
  PressKey(first, VK_RETURN);
  ASSERT_TRUE(WaitFor([&] { return handler.SubmitCount() == 1; }));
  EXPECT_EQ(handler.LastSubmit(), (std::vector<std::u16string>{u"4601234", u"abc"}));
  EXPECT_NE(handler.Thread, std::this_thread::get_id());
  EXPECT_TRUE(WaitFor([] { return TextOf(kFirst).empty() && TextOf(kSecond).empty(); }));

  handler.Answer(u"Не тот код");
  SendMessageW(first, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"123"));
  PressKey(first, VK_RETURN);
  ASSERT_TRUE(WaitFor([&] { return handler.SubmitCount() == 2; }));
  EXPECT_TRUE(WaitFor([] { return TextOf(kReason) == u"Не тот код"; }));
  EXPECT_EQ(TextOf(kFirst), u"123");

  // Escape leaves the window as it is.
  PressKey(first, VK_ESCAPE);
  Sleep(100);
  EXPECT_TRUE(window->Open());
  EXPECT_EQ(handler.SubmitCount(), 2u);
}

TEST_F(Win32InputWindow, ButtonsSendTheirIdentifiersUnlessDisabled) {
  const auto window = Open();
  const HWND dialog = TheWindow();
  ASSERT_NE(dialog, nullptr);
  PostMessageW(GetDlgItem(dialog, kExtra2), BM_CLICK, 0, 0);
  ASSERT_TRUE(WaitFor([&] { return handler.Commanded(); }));
  EXPECT_EQ(handler.TakeCommands(), std::vector<int>{kExtra2});

  window->SetTexts({{kExtra1, u""}, {kExtra2, u"7777"}});
  const HWND extra1 = GetDlgItem(dialog, kExtra1);
  ASSERT_TRUE(WaitFor([&] { return !IsWindowEnabled(extra1) && TextOf(kExtra2) == u"7777"; }));
  PostMessageW(extra1, BM_CLICK, 0, 0);
  PostMessageW(GetDlgItem(dialog, kExtra2), BM_CLICK, 0, 0);
  ASSERT_TRUE(WaitFor([&] { return handler.Commanded(); }));
  Sleep(100);
  EXPECT_EQ(handler.TakeCommands(), std::vector<int>{kExtra2});

  window->SetTexts({{kExtra1, u"5555"}});
  ASSERT_TRUE(WaitFor([&] { return IsWindowEnabled(extra1) != FALSE; }));
  PostMessageW(extra1, BM_CLICK, 0, 0);
  ASSERT_TRUE(WaitFor([&] { return handler.Commanded(); }));
  EXPECT_EQ(handler.TakeCommands(), std::vector<int>{kExtra1});
}

TEST_F(Win32InputWindow, TheCloseBoxClosesIt) {
  const auto window = Open();
  ASSERT_NE(TheWindow(), nullptr);
  PostMessageW(TheWindow(), WM_CLOSE, 0, 0);
  EXPECT_TRUE(WaitFor([&] { return !window->Open(); }));
  EXPECT_TRUE(WaitFor([] { return TheWindow() == nullptr; }));
  window->SetTexts({{kExtra1, u"1"}}); // nobody there to take it: nothing happens
  EXPECT_EQ(handler.SubmitCount(), 0u);
}

// A Submit that takes its time: the destruction waits for it, and the Enter
// pressed meanwhile never reaches the handler.
TEST_F(Win32InputWindow, DestructionWaitsForTheHandlerAndNothingRunsAfter) {
  auto window = Open();
  const HWND first = GetDlgItem(TheWindow(), kFirst);
  ASSERT_NE(first, nullptr);
  handler.Delay = 200ms;
  PressKey(first, VK_RETURN);
  PressKey(first, VK_RETURN);
  ASSERT_TRUE(WaitFor([&] { return handler.Running == 1; }));
  window.reset();
  EXPECT_EQ(handler.Running, 0);
  EXPECT_EQ(handler.Done, 1);
  Sleep(300);
  EXPECT_EQ(handler.Done, 1);
  EXPECT_EQ(TheWindow(), nullptr);
}

// A template the library's resource lacks: the null backend's window, at once.
TEST(Win32InputWindowWithoutTemplate, IsNeverShownNorOpen) {
  static constexpr ui::TDialogTemplate kMissing{u"TEST_DLG_MISSING", 0, u"Нет", 100, 50, {}};
  THandler handler;
  ui::TInputWindowSpec spec;
  spec.Template = &kMissing;
  const auto window = ui::OpenInputWindow(spec, handler);
  EXPECT_FALSE(window->Shown());
  EXPECT_FALSE(window->Open());
  window->SetTexts({{kExtra1, u""}});
}

} // namespace
