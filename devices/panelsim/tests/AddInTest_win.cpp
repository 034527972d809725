// The display window of the real library on Windows (run under Wine with a
// display): geometry and title, green text in its cells, the running line as
// the host's message loop drives it, closing and remaking, the modal device
// test, the window commands, and the end of the object and of the library.
#include "DialogHook_win.h"
#include "Messages_win.h"
#include "PanelHost.h"

#include <windows.h>

#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

namespace {

// Serves the thread's messages (the host's message loop) for at most ms
// milliseconds, until done() holds; observe(message) sees each one after its
// dispatch.
template <class Done, class Observe> void PumpUntil(DWORD ms, Done done, Observe observe) {
  const DWORD start = GetTickCount();
  while (!done() && GetTickCount() - start < ms) {
    MSG message;
    while (!done() && PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      DispatchMessageW(&message);
      observe(message);
    }
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
}

using testhost::PumpMessages;

using testhost::ClassOf;

std::u16string TitleOf(HWND window) {
  return testhost::TextOf(window);
}

// The display windows of this thread (class "PanelSim_" + a number).
std::vector<HWND> DisplayWindows() {
  return testhost::ThreadWindowsOfClass(L"PanelSim_");
}

HWND TheDisplay() {
  const std::vector<HWND> windows = DisplayWindows();
  return windows.size() == 1 ? windows[0] : nullptr;
}

SIZE ClientSize(HWND window) {
  RECT rect{};
  GetClientRect(window, &rect);
  return {rect.right - rect.left, rect.bottom - rect.top};
}

POINT TopLeft(HWND window) {
  RECT rect{};
  GetWindowRect(window, &rect);
  return {rect.left, rect.top};
}

// The client area as the window's surface holds it.
struct Picture {
  explicit Picture(HWND window) : size(ClientSize(window)) {
    BITMAPINFO info{};
    info.bmiHeader = {sizeof info.bmiHeader, size.cx, -size.cy, 1, 32, BI_RGB};
    void* bits = nullptr;
    const HDC source = GetDC(window);
    const HDC copy = CreateCompatibleDC(source);
    const HBITMAP bitmap = CreateDIBSection(copy, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    const HGDIOBJ previous = SelectObject(copy, bitmap);
    BitBlt(copy, 0, 0, size.cx, size.cy, source, 0, 0, SRCCOPY);
    GdiFlush();
    pixels.resize(static_cast<size_t>(size.cx) * size.cy);
    std::memcpy(pixels.data(), bits, pixels.size() * sizeof(RGBQUAD));
    SelectObject(copy, previous);
    DeleteObject(bitmap);
    DeleteDC(copy);
    ReleaseDC(window, source);
  }

  // The cells of a row (0-based) that show strongly green pixels.
  std::vector<int> LitCells(int row, int columns) const {
    std::vector<int> lit;
    for (int column = 0; column < columns; ++column) {
      int green = 0;
      for (int y = 1 + 30 * row; y < 31 + 30 * row && y < size.cy; ++y)
        for (int x = 1 + 12 * column; x < 13 + 12 * column && x < size.cx; ++x) {
          const RGBQUAD& p = pixels[static_cast<size_t>(y) * size.cx + x];
          green += p.rgbGreen > 160 && p.rgbRed < 60 && p.rgbBlue < 60;
        }
      if (green > 5)
        lit.push_back(column);
    }
    return lit;
  }

  // Pixels with any red or blue: neither black nor a shade of pure green.
  int Foreign() const {
    int count = 0;
    for (const RGBQUAD& p : pixels)
      count += p.rgbRed != 0 || p.rgbBlue != 0;
    return count;
  }

  SIZE size;
  std::vector<RGBQUAD> pixels;
};

// ---------------------------------------------------------------------------

TEST(PanelWindow, AppearsAtItsPlaceWithTitleAndSize) {
  PanelHost host;
  ASSERT_TRUE(host.Ready());
  const std::u16string id = host.Open();
  EXPECT_EQ(host.Output(id, u"Hello\nWorld"), 1);
  const HWND display = TheDisplay();
  ASSERT_NE(display, nullptr);
  EXPECT_EQ(TopLeft(display).x, 50);
  EXPECT_EQ(TopLeft(display).y, 50);
  EXPECT_EQ(TitleOf(display), u"Дисплей покупателя");
  EXPECT_TRUE(IsWindowVisible(display));
  EXPECT_TRUE(GetWindowLongW(display, GWL_EXSTYLE) & WS_EX_TOPMOST);
  EXPECT_EQ(ClientSize(display).cx, 244);
  EXPECT_EQ(ClientSize(display).cy, 64);
  // "PanelSim_" and the tick count of the load, a signed decimal number.
  EXPECT_EQ(ClassOf(display).find_first_not_of(L"-0123456789", 9), std::wstring::npos);

  // Further output repaints the same window; a size set meanwhile waits for
  // the next window.
  host.SetParameter(u"DeviceColumns", testhost::IntValue(5));
  EXPECT_EQ(host.Output(id, u"again"), 1);
  EXPECT_EQ(TheDisplay(), display);
  EXPECT_EQ(ClientSize(display).cx, 244);

  // Another object, another size, a window of its own at the same place.
  PanelHost other;
  other.SetParameter(u"DeviceColumns", testhost::IntValue(30));
  other.SetParameter(u"DeviceRows", testhost::IntValue(3));
  EXPECT_EQ(other.Output(other.Open(), u"x"), 1);
  const std::vector<HWND> windows = DisplayWindows();
  ASSERT_EQ(windows.size(), 2u);
  const HWND second = windows[0] == display ? windows[1] : windows[0];
  EXPECT_EQ(ClientSize(second).cx, 12 * 30 + 4);
  EXPECT_EQ(ClientSize(second).cy, 30 * 3 + 4);
  EXPECT_EQ(TopLeft(second).x, 50);
}

TEST(PanelWindow, ShowsPureGreenTextInItsCells) {
  PanelHost host;
  ASSERT_TRUE(host.Ready());
  const std::u16string id = host.Open();
  host.Output(id, u"   ##\n  Ж");
  const HWND display = TheDisplay();
  ASSERT_NE(display, nullptr);
  PumpMessages(300);
  const Picture picture(display);
  EXPECT_EQ(picture.LitCells(0, 20), (std::vector<int>{3, 4}));
  EXPECT_EQ(picture.LitCells(1, 20), (std::vector<int>{2}));
  EXPECT_EQ(picture.Foreign(), 0);

  host.Clear(id);
  PumpMessages(300);
  EXPECT_TRUE(Picture(display).LitCells(0, 20).empty());
}

TEST(PanelWindow, RunningLineMovesOnEveryTickAndRestsAtTheEnd) {
  PanelHost host;
  ASSERT_TRUE(host.Ready());
  // 21 characters in 20 columns: the mark stands in column 10 at offset 0
  // and in column 9 at offset 1.
  host.Output(host.Open(), std::u16string(10, u' ') + u"#" + std::u16string(10, u' ') + u"\nfits");
  const HWND display = TheDisplay();
  ASSERT_NE(display, nullptr);

  std::vector<int> offsets;
  std::vector<DWORD> times;
  PumpUntil(
      12000, [&] { return offsets.size() >= 13; },
      [&](const MSG& message) {
        if (message.message != WM_TIMER || message.hwnd != display)
          return;
        const std::vector<int> lit = Picture(display).LitCells(0, 20);
        offsets.push_back(lit.size() == 1 ? 10 - lit[0] : -1);
        times.push_back(GetTickCount());
      });
  // One step, ten ticks of rest at the end, back to the start, on again.
  EXPECT_EQ(offsets, (std::vector<int>{1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0, 1}));
  ASSERT_GE(times.size(), 2u);
  const double period = double(times.back() - times.front()) / double(times.size() - 1);
  EXPECT_GE(period, 350.0);
  EXPECT_LE(period, 2000.0);
  EXPECT_EQ(Picture(display).LitCells(1, 20), (std::vector<int>{0, 1, 2, 3}));
}

TEST(PanelWindow, ClosedWindowIsMadeAgainByTheNextOutput) {
  PanelHost host;
  ASSERT_TRUE(host.Ready());
  const std::u16string id = host.Open();
  host.Output(id, u"first");
  const HWND first = TheDisplay();
  ASSERT_NE(first, nullptr);
  SendMessageW(first, WM_SYSCOMMAND, SC_CLOSE, 0); // the close box
  EXPECT_FALSE(IsWindow(first));

  EXPECT_EQ(host.Output(id, std::u16string(25, u'x')), 1);
  const HWND second = TheDisplay();
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(TopLeft(second).x, 50);
  EXPECT_EQ(TopLeft(second).y, 50);
  bool ticked = false; // with a timer of its own
  PumpUntil(
      3000, [&] { return ticked; },
      [&](const MSG& message) {
        ticked = ticked || (message.message == WM_TIMER && message.hwnd == second);
      });
  EXPECT_TRUE(ticked);

  // The close command; then clearing makes a window too.
  SendMessageW(second, WM_COMMAND, 40501, 0);
  EXPECT_FALSE(IsWindow(second));
  EXPECT_EQ(host.Clear(id), 1);
  ASSERT_NE(TheDisplay(), nullptr);

  // Not shown on screen: an open window stays, none is made.
  host.SetParameter(u"Show", testhost::BoolValue(false));
  EXPECT_EQ(host.Output(id, u"hidden"), 1);
  ASSERT_NE(TheDisplay(), nullptr);
  SendMessageW(TheDisplay(), WM_CLOSE, 0, 0);
  EXPECT_EQ(host.Output(id, u"hidden"), 1);
  EXPECT_TRUE(DisplayWindows().empty());
}

// ---------------------------------------------------------------------------
// The device test

struct TestRun {
  HWND dialog = nullptr;
  std::u16string title;
  SIZE client{};
  std::vector<int> offsets; // of row 2, at each look
  int foreign = -1;
  DWORD started = 0;
};
TestRun Seen;

// Runs inside the test window's modal loop: looks at the window eight times,
// then presses Escape; gives up after ten seconds.
void CALLBACK LookAtTestWindow(HWND, UINT, UINT_PTR, DWORD) {
  const HWND dialog = Seen.dialog;
  if (GetTickCount() - Seen.started > 10000 && dialog != nullptr)
    PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
  if (dialog == nullptr || !IsWindow(dialog) || Seen.offsets.size() >= 8)
    return;
  Seen.title = TitleOf(dialog);
  Seen.client = ClientSize(dialog);
  // Row 2 runs the digit groups: the blank after the first group stands in
  // column 10 - offset.
  const Picture picture(dialog);
  const std::vector<int> lit = picture.LitCells(1, 11);
  int blank = 0;
  while (blank < static_cast<int>(lit.size()) && lit[blank] == blank)
    ++blank;
  Seen.offsets.push_back(10 - blank);
  if (Seen.offsets.size() == 8) {
    Seen.foreign = picture.Foreign();
    PostMessageW(dialog, WM_KEYDOWN, VK_ESCAPE, 0);
  }
}

void RunDeviceTest(PanelHost& host, UINT lookEveryMs) {
  Seen = TestRun{};
  Seen.started = GetTickCount();
  const testhost::TDialogHook watch([](HWND dialog) { Seen.dialog = dialog; }, "the device test window");
  const UINT_PTR timer = SetTimer(nullptr, 0, lookEveryMs, LookAtTestWindow);
  EXPECT_EQ(host.DeviceTest().substr(0, 28), u"Эмулятор дисплея покупателя ");
  KillTimer(nullptr, timer);
}

TEST(PanelWindow, DeviceTestRunsInItsOwnWindowUntilEscape) {
  PanelHost host;
  ASSERT_TRUE(host.Ready());
  RunDeviceTest(host, 250);
  ASSERT_NE(Seen.dialog, nullptr);
  EXPECT_FALSE(IsWindow(Seen.dialog));
  EXPECT_LT(GetTickCount() - Seen.started, 10000u);
  EXPECT_EQ(Seen.title, u"Тест устройства");
  EXPECT_EQ(Seen.client.cx, 244);
  EXPECT_EQ(Seen.client.cy, 64);
  EXPECT_EQ(Seen.foreign, 0);
  ASSERT_EQ(Seen.offsets.size(), 8u); // the digit row ran
  EXPECT_GT(Seen.offsets.back(), Seen.offsets.front());
  EXPECT_TRUE(DisplayWindows().empty());

  // The test rows stay: a display made now shows the title in row 1 (16
  // characters, one of them a blank).
  host.Output(host.Open(), u"");
  ASSERT_NE(TheDisplay(), nullptr);
  PumpMessages(200);
  EXPECT_EQ(Picture(TheDisplay()).LitCells(0, 20).size(), 15u);
  SendMessageW(TheDisplay(), WM_CLOSE, 0, 0);

  // One row, no running line: a lower window whose row 2 stands still.
  host.SetParameter(u"DeviceRows", testhost::IntValue(1));
  host.SetParameter(u"Scroll", testhost::BoolValue(false));
  RunDeviceTest(host, 100);
  EXPECT_EQ(Seen.client.cx, 244);
  EXPECT_EQ(Seen.client.cy, 34);

  // Not shown on screen: no window at all.
  host.SetParameter(u"Show", testhost::BoolValue(false));
  RunDeviceTest(host, 100);
  EXPECT_EQ(Seen.dialog, nullptr);
}

// ---------------------------------------------------------------------------
// Window commands, the end of the object and of the library

TEST(PanelWindow, PrintAndCopyCommandsWithNothingToGiveDoNoHarm) {
  PanelHost host;
  ASSERT_TRUE(host.Ready());
  const std::u16string id = host.Open();
  host.Output(id, u"commands");
  const HWND display = TheDisplay();
  ASSERT_NE(display, nullptr);
  {
    // No printer: the print dialog says so in a message box, which is closed.
    const testhost::TDialogHook watch([](HWND box) { PostMessageW(box, WM_COMMAND, IDOK, 0); },
                                      "the print message box");
    SendMessageW(display, WM_COMMAND, 40502, 0);
  }
  EXPECT_TRUE(IsWindow(display));

  // The user's clipboard survives a copy with no picture to copy.
  const wchar_t kept[] = L"keep me";
  ASSERT_TRUE(OpenClipboard(nullptr));
  EmptyClipboard();
  const HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, sizeof kept);
  std::memcpy(GlobalLock(block), kept, sizeof kept);
  GlobalUnlock(block);
  SetClipboardData(CF_UNICODETEXT, block);
  CloseClipboard();
  SendMessageW(display, WM_COMMAND, 40503, 0);
  ASSERT_TRUE(OpenClipboard(nullptr));
  const HANDLE text = GetClipboardData(CF_UNICODETEXT);
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(std::wstring(static_cast<const wchar_t*>(GlobalLock(text))), L"keep me");
  GlobalUnlock(text);
  EmptyClipboard();
  CloseClipboard();

  // Other commands, and the scroll messages of a display without scroll bars.
  SendMessageW(display, WM_COMMAND, 40504, 0);
  SendMessageW(display, WM_VSCROLL, SB_PAGEDOWN, 0);
  SendMessageW(display, WM_HSCROLL, MAKEWPARAM(SB_THUMBTRACK, 500), 0);
  SendMessageW(display, WM_MOUSEWHEEL, MAKEWPARAM(0, 0xFF88), 0);
  PumpMessages(100);
  EXPECT_EQ(host.Output(id, u"still here"), 1);
  EXPECT_EQ(TheDisplay(), display);
  EXPECT_TRUE(host.Connection().Errors().empty());
}

TEST(PanelWindow, DestroyedObjectTakesItsWindowAndHearsNoMore) {
  PanelHost host;
  ASSERT_TRUE(host.Ready());
  host.Output(host.Open(), std::u16string(40, u'#'));
  const HWND display = TheDisplay();
  ASSERT_NE(display, nullptr);
  const auto procedure = reinterpret_cast<WNDPROC>(GetClassLongPtrW(display, GCLP_WNDPROC));

  // A tick falls due and messages wait in the queue when the object goes.
  Sleep(500);
  PostMessageW(display, WM_TIMER, 12110, 0);
  PostMessageW(display, WM_PAINT, 0, 0);
  host.Destroy();
  EXPECT_FALSE(IsWindow(display));
  PumpMessages(600);
  // Even a message handed straight to the procedure finds no object.
  EXPECT_EQ(CallWindowProcW(procedure, display, WM_TIMER, 12110, 0), 0);
  CallWindowProcW(procedure, display, WM_COMMAND, 40501, 0);
  EXPECT_TRUE(DisplayWindows().empty());
  EXPECT_TRUE(host.Memory().Clean()) << host.Memory().Summary();
}

TEST(PanelWindow, WindowClassAndWindowsGoWithTheLibrary) {
  PanelHost host;
  ASSERT_TRUE(host.Ready());
  host.Output(host.Open(), u"class");
  const HWND display = TheDisplay();
  ASSERT_NE(display, nullptr);
  const std::wstring name = ClassOf(display);
  const auto instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(display, GWLP_HINSTANCE));
  WNDCLASSEXW info{};
  info.cbSize = sizeof info;
  ASSERT_TRUE(GetClassInfoExW(instance, name.c_str(), &info));
  EXPECT_EQ(info.style, UINT{CS_HREDRAW | CS_VREDRAW});
  EXPECT_NE(info.hIcon, nullptr);
  host.Unload();
  if (GetModuleHandleA(PANELSIM_FILE) != nullptr)
    GTEST_SKIP() << "the library is still loaded by someone else";
  EXPECT_FALSE(GetClassInfoExW(instance, name.c_str(), &info));

  // A careless host unloads the library under a live object whose running
  // line ticks: its window goes with the library, and no tick reaches code
  // that is gone.
  PanelHost careless;
  careless.Output(careless.Open(), std::u16string(40, u'#'));
  const HWND left = TheDisplay();
  ASSERT_NE(left, nullptr);
  EXPECT_NE(ClassOf(left), name); // a fresh class for every load
  careless.UnloadUnderLiveObject();
  EXPECT_FALSE(IsWindow(left));
  PumpMessages(1000);
}

} // namespace
