// The display window of the real library on Windows (run under Wine with a
// display): geometry and title, green text in its cells, the running line as
// the host's message loop drives it, closing and remaking, the modal device
// test, the window commands, and the end of the object and of the library.
#include "PanelHost.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

namespace {

using testhost::ValueList;

constexpr UINT_PTR kTimerId = 12110;

// Serves the thread's messages (the host's message loop) for ms
// milliseconds, or until done() holds. observe(message) sees every message
// after it was dispatched.
template <class Done, class Observe> bool PumpUntil(DWORD ms, Done done, Observe observe) {
  const DWORD start = GetTickCount();
  for (;;) {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
      observe(message);
      if (done())
        return true;
    }
    if (done())
      return true;
    if (GetTickCount() - start >= ms)
      return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
}

void Pump(DWORD ms) {
  PumpUntil(
      ms, [] { return false; }, [](const MSG&) {});
}

std::wstring ClassOf(HWND window) {
  wchar_t name[128] = {};
  GetClassNameW(window, name, 128);
  return name;
}

std::u16string TitleOf(HWND window) {
  wchar_t title[128] = {};
  GetWindowTextW(window, title, 128);
  return std::u16string(title, title + std::wcslen(title));
}

BOOL CALLBACK CollectDisplay(HWND window, LPARAM list) {
  if (std::wcsncmp(ClassOf(window).c_str(), L"PanelSim_", 9) == 0)
    reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
  return TRUE;
}

// The display windows of this thread (class "PanelSim_" + a number).
std::vector<HWND> DisplayWindows() {
  std::vector<HWND> found;
  EnumThreadWindows(GetCurrentThreadId(), CollectDisplay, reinterpret_cast<LPARAM>(&found));
  return found;
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

// The client area of a window as its surface holds it.
struct Picture {
  int width = 0;
  int height = 0;
  std::vector<COLORREF> pixels; // row by row, RGB()

  COLORREF At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }

  static Picture Of(HWND window) {
    Picture picture;
    const SIZE size = ClientSize(window);
    picture.width = size.cx;
    picture.height = size.cy;
    if (size.cx <= 0 || size.cy <= 0)
      return picture;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = size.cx;
    info.bmiHeader.biHeight = -size.cy; // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    const HDC windowDc = GetDC(window);
    const HDC memoryDc = CreateCompatibleDC(windowDc);
    const HBITMAP bitmap = CreateDIBSection(memoryDc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    const HGDIOBJ previous = SelectObject(memoryDc, bitmap);
    BitBlt(memoryDc, 0, 0, size.cx, size.cy, windowDc, 0, 0, SRCCOPY);
    GdiFlush();
    const auto* quads = static_cast<const RGBQUAD*>(bits);
    for (int i = 0; i < size.cx * size.cy; ++i)
      picture.pixels.push_back(RGB(quads[i].rgbRed, quads[i].rgbGreen, quads[i].rgbBlue));
    SelectObject(memoryDc, previous);
    DeleteObject(bitmap);
    DeleteDC(memoryDc);
    ReleaseDC(window, windowDc);
    return picture;
  }

  static bool Green(COLORREF c) { return GetGValue(c) > 160 && GetRValue(c) < 60 && GetBValue(c) < 60; }

  // Strongly green pixels in a cell (0-based row and column).
  int GreenInCell(int row, int column) const {
    int count = 0;
    const int left = 1 + 12 * column;
    const int top = 1 + 30 * row;
    for (int y = top; y < top + 30 && y < height; ++y)
      for (int x = left; x < left + 12 && x < width; ++x)
        count += Green(At(x, y)) ? 1 : 0;
    return count;
  }

  // The columns of a row that show something.
  std::vector<int> LitCells(int row, int columns) const {
    std::vector<int> lit;
    for (int column = 0; column < columns; ++column)
      if (GreenInCell(row, column) > 5)
        lit.push_back(column);
    return lit;
  }

  // Pixels that are neither black nor a shade of pure green.
  int Foreign() const {
    int count = 0;
    for (COLORREF c : pixels)
      count += GetRValue(c) != 0 || GetBValue(c) != 0 ? 1 : 0;
    return count;
  }
};

// A CBT hook on this thread that notes every dialog (class #32770) when it
// is activated, and hands it to a handler.
class DialogWatch {
public:
  using Handler = void (*)(HWND dialog);
  explicit DialogWatch(Handler handler) {
    current_ = this;
    handler_ = handler;
    hook_ = SetWindowsHookExW(WH_CBT, Proc, nullptr, GetCurrentThreadId());
  }
  ~DialogWatch() {
    UnhookWindowsHookEx(hook_);
    current_ = nullptr;
  }
  DialogWatch(const DialogWatch&) = delete;
  DialogWatch& operator=(const DialogWatch&) = delete;

  std::vector<HWND> Dialogs;

private:
  static LRESULT CALLBACK Proc(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_ACTIVATE && current_ != nullptr) {
      const HWND window = reinterpret_cast<HWND>(wParam);
      if (ClassOf(window) == L"#32770") {
        bool known = false;
        for (HWND seen : current_->Dialogs)
          known = known || seen == window;
        if (!known) {
          current_->Dialogs.push_back(window);
          if (current_->handler_ != nullptr)
            current_->handler_(window);
        }
      }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
  }
  static inline DialogWatch* current_ = nullptr;
  Handler handler_ = nullptr;
  HHOOK hook_ = nullptr;
};

// ---------------------------------------------------------------------------

TEST(PanelWindow, AppearsAtItsPlaceWithTitleAndSize) {
  PanelHost host;
  ASSERT_TRUE(host.Ready());
  const std::u16string id = host.Open();
  ASSERT_TRUE(DisplayWindows().empty());
  EXPECT_EQ(host.Output(id, u"Hello\nWorld"), 1);
  const HWND display = TheDisplay();
  ASSERT_NE(display, nullptr);

  RECT rect{};
  GetWindowRect(display, &rect);
  EXPECT_EQ(rect.left, 50);
  EXPECT_EQ(rect.top, 50);
  EXPECT_EQ(TitleOf(display), u"Дисплей покупателя");
  EXPECT_TRUE(IsWindowVisible(display));
  EXPECT_TRUE(GetWindowLongW(display, GWL_EXSTYLE) & WS_EX_TOPMOST);
  const DWORD style = static_cast<DWORD>(GetWindowLongW(display, GWL_STYLE));
  EXPECT_EQ(style & (WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX),
            DWORD{WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX});
  EXPECT_FALSE(style & (WS_THICKFRAME | WS_MAXIMIZEBOX));
  EXPECT_EQ(ClientSize(display).cx, 244);
  EXPECT_EQ(ClientSize(display).cy, 64);
  // "PanelSim_" and the tick count of the load, a signed decimal number.
  const std::wstring suffix = ClassOf(display).substr(9);
  ASSERT_FALSE(suffix.empty());
  EXPECT_EQ(suffix.find_first_not_of(L"-0123456789"), std::wstring::npos);

  // Further output repaints the same window; settings changed meanwhile wait
  // for the next window.
  host.SetParameter(u"DeviceColumns", testhost::IntValue(5));
  EXPECT_EQ(host.Output(id, u"again"), 1);
  EXPECT_EQ(host.Clear(id), 1);
  EXPECT_EQ(TheDisplay(), display);
  EXPECT_EQ(ClientSize(display).cx, 244);

  // Another object with other settings has a window of its own.
  PanelHost other;
  const std::u16string otherId = other.Open();
  other.SetParameter(u"DeviceColumns", testhost::IntValue(30));
  other.SetParameter(u"DeviceRows", testhost::IntValue(3));
  EXPECT_EQ(other.Output(otherId, u"x"), 1);
  const std::vector<HWND> windows = DisplayWindows();
  ASSERT_EQ(windows.size(), 2u);
  const HWND second = windows[0] == display ? windows[1] : windows[0];
  EXPECT_EQ(ClientSize(second).cx, 12 * 30 + 4);
  EXPECT_EQ(ClientSize(second).cy, 30 * 3 + 4);
  GetWindowRect(second, &rect);
  EXPECT_EQ(rect.left, 50);
  EXPECT_EQ(rect.top, 50);
  EXPECT_TRUE(host.Connection().Errors().empty());
}

TEST(PanelWindow, ShowsPureGreenTextInItsCells) {
  PanelHost host;
  ASSERT_TRUE(host.Ready());
  const std::u16string id = host.Open();
  host.Output(id, u"   ##\n  Ж");
  const HWND display = TheDisplay();
  ASSERT_NE(display, nullptr);
  Pump(300);
  const Picture picture = Picture::Of(display);
  EXPECT_EQ(picture.LitCells(0, 20), (std::vector<int>{3, 4}));
  EXPECT_EQ(picture.LitCells(1, 20), (std::vector<int>{2}));
  EXPECT_EQ(picture.Foreign(), 0);
  EXPECT_FALSE(Picture::Green(picture.At(0, 0)));

  // Clearing leaves a black display.
  host.Clear(id);
  Pump(300);
  const Picture cleared = Picture::Of(display);
  EXPECT_TRUE(cleared.LitCells(0, 20).empty());
  EXPECT_TRUE(cleared.LitCells(1, 20).empty());
}

TEST(PanelWindow, RunningLineMovesOnEveryTickAndRestsAtTheEnd) {
  PanelHost host;
  ASSERT_TRUE(host.Ready());
  const std::u16string id = host.Open();
  // 21 characters in 20 columns: the mark at index 10 stands in column 10
  // at offset 0 and in column 9 at offset 1.
  host.Output(id, std::u16string(10, u' ') + u"#" + std::u16string(10, u' ') + u"\nfits");
  const HWND display = TheDisplay();
  ASSERT_NE(display, nullptr);

  std::vector<int> offsets;
  std::vector<DWORD> times;
  PumpUntil(
      12000, [&] { return offsets.size() >= 13; },
      [&](const MSG& message) {
        if (message.message != WM_TIMER || message.hwnd != display)
          return;
        const std::vector<int> lit = Picture::Of(display).LitCells(0, 20);
        offsets.push_back(lit.size() == 1 ? 10 - lit[0] : -1);
        times.push_back(GetTickCount());
      });
  // One step, ten ticks of rest at the end, back to the start, on again.
  const std::vector<int> expected{1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0, 1};
  EXPECT_EQ(offsets, expected);
  ASSERT_GE(times.size(), 2u);
  const double period = double(times.back() - times.front()) / double(times.size() - 1);
  EXPECT_GE(period, 350.0);
  EXPECT_LE(period, 2000.0);
  EXPECT_EQ(Picture::Of(display).LitCells(1, 20), (std::vector<int>{0, 1, 2, 3}));
}

TEST(PanelWindow, NoTimerWithoutRunningLine) {
  PanelHost host;
  ASSERT_TRUE(host.Ready());
  const std::u16string id = host.Open();
  host.SetParameter(u"Scroll", testhost::BoolValue(false));
  host.Output(id, std::u16string(30, u'#'));
  const HWND display = TheDisplay();
  ASSERT_NE(display, nullptr);
  int ticks = 0;
  PumpUntil(
      1000, [] { return false; },
      [&](const MSG& message) { ticks += message.message == WM_TIMER && message.hwnd == display; });
  EXPECT_EQ(ticks, 0);
}

TEST(PanelWindow, ClosedWindowIsMadeAgainByTheNextOutput) {
  PanelHost host;
  ASSERT_TRUE(host.Ready());
  const std::u16string id = host.Open();
  host.Output(id, u"first");
  const HWND first = TheDisplay();
  ASSERT_NE(first, nullptr);

  // The close box.
  SendMessageW(first, WM_SYSCOMMAND, SC_CLOSE, 0);
  Pump(100);
  EXPECT_FALSE(IsWindow(first));
  EXPECT_TRUE(DisplayWindows().empty());

  EXPECT_EQ(host.Output(id, std::u16string(25, u'x')), 1);
  const HWND second = TheDisplay();
  ASSERT_NE(second, nullptr);
  RECT rect{};
  GetWindowRect(second, &rect);
  EXPECT_EQ(rect.left, 50);
  EXPECT_EQ(rect.top, 50);
  // With a timer of its own.
  bool ticked = false;
  PumpUntil(
      3000, [&] { return ticked; },
      [&](const MSG& message) {
        ticked = ticked || (message.message == WM_TIMER && message.hwnd == second);
      });
  EXPECT_TRUE(ticked);

  // The close command of a device window; then clearing makes a window too.
  SendMessageW(second, WM_COMMAND, 40501, 0);
  EXPECT_FALSE(IsWindow(second));
  EXPECT_EQ(host.Clear(id), 1);
  EXPECT_NE(TheDisplay(), nullptr);

  // Not shown on screen: an open window stays, none is made.
  host.SetParameter(u"Show", testhost::BoolValue(false));
  EXPECT_EQ(host.Output(id, u"hidden"), 1);
  EXPECT_NE(TheDisplay(), nullptr);
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
  std::vector<int> offsets; // offset of row 2 seen at each sample
  int foreign = -1;
  bool watchdog = false;
  DWORD started = 0;
};
TestRun TestWindowRun;

// Runs inside the test window's modal loop: samples the window a few times,
// then presses Escape.
void CALLBACK SampleTestWindow(HWND, UINT, UINT_PTR, DWORD) {
  const HWND dialog = TestWindowRun.dialog;
  if (dialog == nullptr || !IsWindow(dialog)) {
    if (GetTickCount() - TestWindowRun.started > 10000)
      TestWindowRun.watchdog = true;
    return;
  }
  if (TestWindowRun.title.empty()) {
    TestWindowRun.title = TitleOf(dialog);
    TestWindowRun.client = ClientSize(dialog);
  }
  const Picture picture = Picture::Of(dialog);
  // Row 2 runs the digit groups: the blank after the first group stands in
  // column 10 - offset.
  int offset = -1;
  for (int column = 0; column <= 10; ++column)
    if (picture.GreenInCell(1, column) == 0) {
      offset = 10 - column;
      break;
    }
  TestWindowRun.offsets.push_back(offset);
  if (TestWindowRun.offsets.size() == 8) {
    TestWindowRun.foreign = picture.Foreign();
    PostMessageW(dialog, WM_KEYDOWN, VK_ESCAPE, 0);
    PostMessageW(dialog, WM_KEYUP, VK_ESCAPE, 0);
  }
  if (GetTickCount() - TestWindowRun.started > 10000) {
    TestWindowRun.watchdog = true;
    PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
  }
}

TEST(PanelWindow, DeviceTestRunsInItsOwnWindowUntilEscape) {
  PanelHost host;
  ASSERT_TRUE(host.Ready());
  const std::u16string id = host.Open();
  TestWindowRun = TestRun{};
  TestWindowRun.started = GetTickCount();
  DialogWatch watch([](HWND dialog) { TestWindowRun.dialog = dialog; });
  const UINT_PTR sampler = SetTimer(nullptr, 0, 250, SampleTestWindow);
  const std::u16string description = host.DeviceTest();
  KillTimer(nullptr, sampler);

  EXPECT_FALSE(TestWindowRun.watchdog);
  ASSERT_NE(TestWindowRun.dialog, nullptr);
  EXPECT_FALSE(IsWindow(TestWindowRun.dialog));
  EXPECT_EQ(TestWindowRun.title, u"Тест устройства");
  EXPECT_EQ(TestWindowRun.client.cx, 244);
  EXPECT_EQ(TestWindowRun.client.cy, 64);
  EXPECT_EQ(TestWindowRun.foreign, 0);
  // The digit row ran: offsets grew one step per 400 ms tick.
  ASSERT_EQ(TestWindowRun.offsets.size(), 8u);
  EXPECT_GE(TestWindowRun.offsets.front(), 0);
  EXPECT_GT(TestWindowRun.offsets.back(), TestWindowRun.offsets.front());
  EXPECT_EQ(description.substr(0, 28), u"Эмулятор дисплея покупателя ");
  EXPECT_TRUE(DisplayWindows().empty()); // the test makes no display window

  // The test rows stay: a display made now shows the title in row 1.
  host.Output(id, u"");
  const HWND display = TheDisplay();
  ASSERT_NE(display, nullptr);
  Pump(200);
  EXPECT_EQ(Picture::Of(display).LitCells(0, 20).size(), 15u); // 16 characters, one of them a blank
}

TEST(PanelWindow, DeviceTestWindowFollowsTheRowsAndTheShowSetting) {
  PanelHost host;
  ASSERT_TRUE(host.Ready());
  host.SetParameter(u"DeviceRows", testhost::IntValue(1));
  host.SetParameter(u"Scroll", testhost::BoolValue(false));
  TestWindowRun = TestRun{};
  TestWindowRun.started = GetTickCount();
  {
    DialogWatch watch([](HWND dialog) { TestWindowRun.dialog = dialog; });
    const UINT_PTR sampler = SetTimer(nullptr, 0, 100, SampleTestWindow);
    host.DeviceTest();
    KillTimer(nullptr, sampler);
  }
  EXPECT_FALSE(TestWindowRun.watchdog);
  EXPECT_EQ(TestWindowRun.client.cx, 244);
  EXPECT_EQ(TestWindowRun.client.cy, 34);
  EXPECT_EQ(TestWindowRun.offsets.size(), 8u);

  // Not shown on screen: no window at all.
  host.SetParameter(u"Show", testhost::BoolValue(false));
  DialogWatch watch(nullptr);
  EXPECT_EQ(host.DeviceTest().substr(0, 28), u"Эмулятор дисплея покупателя ");
  EXPECT_TRUE(watch.Dialogs.empty());
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
    DialogWatch watch([](HWND box) {
      std::printf("closing dialog \"%s\"\n", testhost::Utf16ToUtf8(TitleOf(box)).c_str());
      PostMessageW(box, WM_COMMAND, IDOK, 0);
    });
    SendMessageW(display, WM_COMMAND, 40502, 0);
    for (HWND dialog : watch.Dialogs)
      EXPECT_FALSE(IsWindow(dialog));
  }
  EXPECT_TRUE(IsWindow(display));

  // The user's clipboard survives a copy with no picture to copy.
  const wchar_t kept[] = L"keep me";
  ASSERT_TRUE(OpenClipboard(nullptr));
  EmptyClipboard();
  const HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, sizeof kept);
  std::memcpy(GlobalLock(block), kept, sizeof kept);
  GlobalUnlock(block);
  ASSERT_NE(SetClipboardData(CF_UNICODETEXT, block), nullptr);
  CloseClipboard();
  SendMessageW(display, WM_COMMAND, 40503, 0);
  ASSERT_TRUE(OpenClipboard(nullptr));
  const HANDLE text = GetClipboardData(CF_UNICODETEXT);
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(std::wstring(static_cast<const wchar_t*>(GlobalLock(text))), L"keep me");
  GlobalUnlock(text);
  EmptyClipboard();
  CloseClipboard();

  // Other commands and the scroll messages of a display without scroll bars.
  SendMessageW(display, WM_COMMAND, 40504, 0);
  SendMessageW(display, WM_VSCROLL, SB_PAGEDOWN, 0);
  SendMessageW(display, WM_HSCROLL, MAKEWPARAM(SB_THUMBTRACK, 500), 0);
  SendMessageW(display, WM_MOUSEWHEEL, MAKEWPARAM(0, 0xFF88), 0);
  Pump(100);
  EXPECT_TRUE(IsWindow(display));
  EXPECT_EQ(host.Output(id, u"still here"), 1);
  EXPECT_TRUE(host.Connection().Errors().empty());
}

TEST(PanelWindow, DestroyedObjectTakesItsWindowAndHearsNoMore) {
  PanelHost host;
  ASSERT_TRUE(host.Ready());
  const std::u16string id = host.Open();
  host.Output(id, std::u16string(40, u'#'));
  const HWND display = TheDisplay();
  ASSERT_NE(display, nullptr);
  const auto procedure = reinterpret_cast<WNDPROC>(GetClassLongPtrW(display, GCLP_WNDPROC));
  ASSERT_NE(procedure, nullptr);

  // A tick falls due and messages wait in the queue when the object goes.
  Sleep(500);
  PostMessageW(display, WM_TIMER, kTimerId, 0);
  PostMessageW(display, WM_COMMAND, 40503, 0);
  host.Destroy();
  EXPECT_FALSE(IsWindow(display));
  Pump(600);

  // Even a message handed straight to the procedure finds no object.
  EXPECT_EQ(CallWindowProcW(procedure, display, WM_TIMER, kTimerId, 0), 0);
  CallWindowProcW(procedure, display, WM_PAINT, 0, 0);
  CallWindowProcW(procedure, display, WM_COMMAND, 40501, 0);
  EXPECT_TRUE(DisplayWindows().empty());
  EXPECT_TRUE(host.Memory().Faults().empty());
  EXPECT_EQ(host.Memory().LiveBlocks(), 0u) << host.Memory().Summary();
}

TEST(PanelWindow, WindowClassGoesWithTheLibrary) {
  PanelHost host;
  ASSERT_TRUE(host.Ready());
  const std::u16string id = host.Open();
  host.Output(id, u"class");
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

  // A new load registers a class of its own and works as before.
  PanelHost again;
  ASSERT_TRUE(again.Ready());
  EXPECT_EQ(again.Output(again.Open(), u"again"), 1);
  EXPECT_NE(TheDisplay(), nullptr);
}

TEST(PanelWindow, LibraryUnloadedUnderALiveObjectLeavesNoWindowBehind) {
  PanelHost host;
  ASSERT_TRUE(host.Ready());
  host.Output(host.Open(), std::u16string(40, u'#')); // a running line: the timer ticks
  const HWND display = TheDisplay();
  ASSERT_NE(display, nullptr);
  host.UnloadUnderLiveObject();
  if (GetModuleHandleA(PANELSIM_FILE) != nullptr)
    GTEST_SKIP() << "the library is still loaded by someone else";
  EXPECT_FALSE(IsWindow(display));
  Pump(1000); // no tick may reach the code that is gone
  EXPECT_TRUE(DisplayWindows().empty());
}

} // namespace
