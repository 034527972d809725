// The Win32 backend of the window layer under Wine: device windows (place,
// styles, class, picture, ticks, close and end of the object), the canvas's
// cells, the dialogs of a template with a checked field, and painted dialogs
// run one inside another.
#include "DialogHook_win.h"
#include "Messages_win.h"
#include "Window_win.h"
#include "layertest_dialogs.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <vector>
#include <windows.h>

namespace {

using testhost::PumpMessages;

const ui::TFontSpec kCellFont{true, true, 24, 12, 30};

// Paints the ground black with a red mark in the top left corner, and text in
// cells of 12 by 30 in green.
class TTestPainter final : public ui::IPainter {
public:
  void Paint(ui::ICanvas& canvas) override {
    ++Paints;
    canvas.Fill(0, 0, canvas.Width(), canvas.Height(), 0x000000);
    canvas.Fill(0, 0, 4, 4, 0xFF0000);
    canvas.Cells(kCellFont, 0, 0, 12, 30, Row, 0x00FF00);
  }
  bool Tick() override {
    ++Ticks;
    if (OnTick)
      OnTick();
    return true;
  }

  std::u16string Row = u"A B";
  int Paints = 0;
  int Ticks = 0;
  std::function<void()> OnTick;
};

// Pixels of a device context's area as 0xRRGGBB.
struct TPixels {
  TPixels(HDC source, int width, int height) : Width(width), Height(height) {
    BITMAPINFO info{};
    info.bmiHeader = {sizeof info.bmiHeader, width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    const HDC copy = CreateCompatibleDC(source);
    const HBITMAP bitmap = CreateDIBSection(copy, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    const HGDIOBJ previous = SelectObject(copy, bitmap);
    BitBlt(copy, 0, 0, width, height, source, 0, 0, SRCCOPY);
    GdiFlush();
    Data.resize(static_cast<size_t>(width) * height);
    std::memcpy(Data.data(), bits, Data.size() * 4);
    SelectObject(copy, previous);
    DeleteObject(bitmap);
    DeleteDC(copy);
  }
  static TPixels Of(HWND window) {
    RECT client{};
    GetClientRect(window, &client);
    const HDC dc = GetDC(window);
    TPixels pixels(dc, client.right, client.bottom);
    ReleaseDC(window, dc);
    return pixels;
  }
  uint32_t At(int x, int y) const { return Data[static_cast<size_t>(y) * Width + x] & 0xFFFFFF; }
  // Whether a cell of the given size holds strongly green pixels.
  bool Lit(int column, int cellWidth, int cellHeight) const {
    int green = 0;
    for (int y = 0; y < cellHeight && y < Height; ++y)
      for (int x = column * cellWidth; x < (column + 1) * cellWidth && x < Width; ++x) {
        const uint32_t p = At(x, y);
        green += ((p >> 8) & 0xFF) > 160 && (p >> 16) < 60 && (p & 0xFF) < 60;
      }
    return green > 3;
  }
  std::vector<int> LitCells(int columns, int cellWidth, int cellHeight) const {
    std::vector<int> lit;
    for (int column = 0; column < columns; ++column)
      if (Lit(column, cellWidth, cellHeight))
        lit.push_back(column);
    return lit;
  }

  int Width;
  int Height;
  std::vector<uint32_t> Data;
};

std::wstring ClassOf(HWND window) {
  wchar_t name[128] = {};
  GetClassNameW(window, name, 128);
  return name;
}

std::u16string TextOf(HWND window) {
  wchar_t text[256] = {};
  const int length = window != nullptr ? GetWindowTextW(window, text, 256) : 0;
  return std::u16string(text, text + length);
}

ui::TWindowSpec Spec(bool keepAbove, int tickMs = 0) {
  ui::TWindowSpec spec;
  spec.Title = u"Окно проверки";
  spec.ClassName = "LayerTest";
  spec.X = 60;
  spec.Y = 70;
  spec.Width = 120;
  spec.Height = 60;
  spec.Background = 0x0000FF; // shows wherever the painter did not paint
  spec.KeepAbove = keepAbove;
  spec.TickMs = tickMs;
  spec.TimerId = 77;
  return spec;
}

HWND TheWindow() {
  const std::vector<HWND> found = testhost::ThreadWindowsOfClass(L"LayerTest_");
  return found.size() == 1 ? found[0] : nullptr;
}

template <class Done> void PumpUntil(DWORD ms, Done done) {
  const DWORD start = GetTickCount();
  while (!done() && GetTickCount() - start < ms)
    PumpMessages(10);
}

// ---------------------------------------------------------------------------
// Device windows

TEST(Win32Window, OpensAtItsPlaceWithItsClassStylesAndPicture) {
  TTestPainter painter;
  const auto window = ui::OpenWindow(Spec(true), painter);
  ASSERT_TRUE(window->Shown());
  const HWND handle = TheWindow();
  ASSERT_NE(handle, nullptr);

  RECT frame{};
  GetWindowRect(handle, &frame);
  EXPECT_EQ(frame.left, 60);
  EXPECT_EQ(frame.top, 70);
  RECT client{};
  GetClientRect(handle, &client);
  EXPECT_EQ(client.right, 120);
  EXPECT_EQ(client.bottom, 60);
  EXPECT_EQ(TextOf(handle), u"Окно проверки");
  EXPECT_TRUE(IsWindowVisible(handle));
  const auto style = static_cast<DWORD>(GetWindowLongW(handle, GWL_STYLE));
  const auto exStyle = static_cast<DWORD>(GetWindowLongW(handle, GWL_EXSTYLE));
  EXPECT_EQ(style & (WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_THICKFRAME | WS_MAXIMIZEBOX),
            DWORD{WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX});
  EXPECT_EQ(exStyle & (WS_EX_CLIENTEDGE | WS_EX_TOPMOST), DWORD{WS_EX_CLIENTEDGE | WS_EX_TOPMOST});

  // "LayerTest_" and the tick count of the load, a signed number; the class
  // has the library's icon.
  const std::wstring name = ClassOf(handle);
  EXPECT_EQ(name.find_first_not_of(L"-0123456789", 10), std::wstring::npos);
  WNDCLASSEXW info{};
  info.cbSize = sizeof info;
  ASSERT_TRUE(GetClassInfoExW(ui::win::ThisModule(), name.c_str(), &info));
  EXPECT_NE(info.hIcon, nullptr);

  // The painter's picture, colours the right way round, blanks left alone.
  PumpMessages(200);
  EXPECT_GT(painter.Paints, 0);
  const TPixels picture = TPixels::Of(handle);
  EXPECT_EQ(picture.At(1, 1), 0xFF0000u);
  EXPECT_EQ(picture.At(100, 50), 0x000000u);
  EXPECT_EQ(picture.LitCells(4, 12, 30), (std::vector<int>{0, 2}));

  // Another window of the same kind shares the class; one not kept above
  // is not topmost.
  TTestPainter other;
  const auto second = ui::OpenWindow(Spec(false), other);
  const std::vector<HWND> both = testhost::ThreadWindowsOfClass(L"LayerTest_");
  ASSERT_EQ(both.size(), 2u);
  const HWND secondHandle = both[0] == handle ? both[1] : both[0];
  EXPECT_EQ(ClassOf(secondHandle), name);
  EXPECT_EQ(GetWindowLongW(secondHandle, GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
}

TEST(Win32Window, TicksRepaintsAndEndsSafely) {
  TTestPainter painter;
  auto window = ui::OpenWindow(Spec(true, 40), painter);
  HWND handle = TheWindow();
  ASSERT_NE(handle, nullptr);
  PumpUntil(3000, [&] { return painter.Ticks >= 3; });
  EXPECT_GE(painter.Ticks, 3);
  EXPECT_GT(painter.Paints, painter.Ticks); // every tick that asked for it

  // Repaint paints the painter's new picture.
  painter.Row = u" B";
  EXPECT_TRUE(window->Repaint());
  PumpMessages(100);
  EXPECT_EQ(TPixels::Of(handle).LitCells(4, 12, 30), (std::vector<int>{1}));

  // The close command: the object stays, without a window, and says so.
  SendMessageW(handle, WM_COMMAND, ui::win::kCommandClose, 0);
  EXPECT_FALSE(IsWindow(handle));
  EXPECT_FALSE(window->Repaint());
  window.reset();

  // The object goes while a tick and a paint wait in the queue: they reach
  // nothing, and the window goes with it.
  window = ui::OpenWindow(Spec(true, 40), painter);
  handle = TheWindow();
  ASSERT_NE(handle, nullptr);
  PumpMessages(50);
  PostMessageW(handle, WM_TIMER, 77, 0);
  PostMessageW(handle, WM_PAINT, 0, 0);
  const int ticks = painter.Ticks;
  const int paints = painter.Paints;
  window.reset();
  EXPECT_FALSE(IsWindow(handle));
  PumpMessages(200);
  EXPECT_EQ(painter.Ticks, ticks);
  EXPECT_EQ(painter.Paints, paints);
}

// ---------------------------------------------------------------------------
// The canvas

TEST(Win32Canvas, CellsTakeOneCharacterEachAndLeaveBlanks) {
  const HDC screen = GetDC(nullptr);
  const HDC dc = CreateCompatibleDC(screen);
  const HBITMAP bitmap = CreateCompatibleBitmap(screen, 12 * 8, 30);
  const HGDIOBJ previous = SelectObject(dc, bitmap);
  {
    ui::win::TGdiCanvas canvas(dc, 12 * 8, 30);
    canvas.Fill(0, 0, 12 * 8, 30, 0x000000);
    // A blank, a lone surrogate and a NUL leave their cells; a pair is one
    // character, so the last W stands in cell 6.
    const std::u16string text = u"W W\xD800W\U0001F600W";
    canvas.Cells(kCellFont, 0, 0, 12, 30, text, 0x00FF00);
    EXPECT_GT(canvas.TextWidth(kCellFont, u"WW"), canvas.TextWidth(kCellFont, u"W"));
  }
  const TPixels pixels(dc, 12 * 8, 30);
  const std::vector<int> lit = pixels.LitCells(8, 12, 30);
  EXPECT_TRUE(std::find(lit.begin(), lit.end(), 1) == lit.end());
  EXPECT_TRUE(std::find(lit.begin(), lit.end(), 3) == lit.end());
  for (int column : {0, 2, 4, 6})
    EXPECT_TRUE(std::find(lit.begin(), lit.end(), column) != lit.end()) << column;
  // The canvas gives the context back as it found it.
  EXPECT_EQ(GetBkMode(dc), OPAQUE);
  SelectObject(dc, previous);
  DeleteObject(bitmap);
  DeleteDC(dc);
  ReleaseDC(nullptr, screen);
}

// ---------------------------------------------------------------------------
// Dialogs

constexpr int kField = 46;
constexpr int kReason = 47;

TEST(Win32Dialog, FieldIsCheckedUntilSoundAndButtonsEndIt) {
  // The operator types "x", confirms, reads the reason, types "7" over the
  // selected text and confirms again.
  ui::TDialogRun run(dialogs::TEST_DLG_FIELD);
  run.Texts = {{kReason, u"введите число"}, {3, u"Иное"}};
  run.FieldId = kField;
  run.Field = u"12";
  run.FieldLimit = 5;
  run.ReasonId = kReason;
  HWND seen = nullptr;
  std::vector<std::u16string> checked;
  std::u16string reasonShown;
  run.Check = [&](const std::u16string& text) -> std::u16string {
    checked.push_back(text);
    if (checked.size() == 2)
      reasonShown = TextOf(GetDlgItem(seen, kReason));
    return text == u"7" ? u"" : u"не число";
  };
  std::u16string prefilled, hint, other;
  LRESULT limit = 0;
  {
    const testhost::TDialogHook hook(
        [&](HWND dialog) {
          if (seen != nullptr)
            return;
          seen = dialog;
          const HWND field = GetDlgItem(dialog, kField);
          prefilled = TextOf(field);
          hint = TextOf(GetDlgItem(dialog, kReason));
          other = TextOf(GetDlgItem(dialog, 3));
          limit = SendMessageW(field, EM_GETLIMITTEXT, 0, 0);
          SetWindowTextW(field, L"x");
          PostMessageW(GetDlgItem(dialog, 1), BM_CLICK, 0, 0);
          PostMessageW(field, WM_CHAR, L'7', 0);
          PostMessageW(GetDlgItem(dialog, 1), BM_CLICK, 0, 0);
        },
        "the field dialog");
    EXPECT_EQ(ui::RunDialog(run), ui::kOk);
  }
  ASSERT_NE(seen, nullptr);
  EXPECT_EQ(prefilled, u"12");
  EXPECT_EQ(hint, u"введите число");
  EXPECT_EQ(other, u"Иное");
  EXPECT_EQ(limit, 5);
  EXPECT_EQ(checked, (std::vector<std::u16string>{u"x", u"7"}));
  EXPECT_EQ(reasonShown, u"не число");
  EXPECT_EQ(run.Field, u"7");

  // Escape, the close box and another button end it without the check.
  const auto answer = [&](auto press) {
    checked.clear();
    run.Field = u"12";
    seen = nullptr;
    const testhost::TDialogHook hook(
        [&](HWND dialog) {
          if (seen == nullptr)
            press(seen = dialog);
        },
        "the field dialog");
    return ui::RunDialog(run);
  };
  EXPECT_EQ(answer([](HWND d) { PostMessageW(d, WM_KEYDOWN, VK_ESCAPE, 0); }), ui::kCancel);
  EXPECT_EQ(answer([](HWND d) { PostMessageW(d, WM_SYSCOMMAND, SC_CLOSE, 0); }), ui::kCancel);
  EXPECT_EQ(answer([](HWND d) { PostMessageW(GetDlgItem(d, 3), BM_CLICK, 0, 0); }), 3);
  // Notifications of the edit field end nothing.
  EXPECT_EQ(answer([](HWND d) {
              SendMessageW(d, WM_COMMAND, MAKEWPARAM(kField, EN_CHANGE), 0);
              PostMessageW(d, WM_COMMAND, IDCANCEL, 0);
            }),
            ui::kCancel);
  EXPECT_TRUE(checked.empty());
  EXPECT_EQ(run.Field, u"12");

  // Without a field Enter ends it at once.
  run.FieldId = 0;
  EXPECT_EQ(answer([](HWND d) { PostMessageW(d, WM_COMMAND, IDOK, 0); }), ui::kOk);
  EXPECT_TRUE(checked.empty());

  // A template the library does not have.
  const ui::TDialogTemplate missing{u"NO_SUCH_DIALOG", 0, u"", 10, 10, {}};
  ui::TDialogRun nowhere(missing);
  EXPECT_EQ(ui::RunDialog(nowhere), ui::kNoWindow);
}

// One painted dialog run from within another's tick: each keeps its own
// painter and timer, and the outer one goes on ticking after the inner ends.
TEST(Win32Dialog, PaintedDialogsNestWithTheirOwnPainters) {
  TTestPainter outer;
  TTestPainter inner;
  std::vector<HWND> dialogs;
  SIZE innerClient{};
  std::u16string innerTitle;
  uint32_t innerMark = 0;
  int outerTicksAfterInner = -1;

  inner.OnTick = [&] {
    if (inner.Ticks == 3 && dialogs.size() == 2) {
      RECT client{};
      GetClientRect(dialogs[1], &client);
      innerClient = {client.right, client.bottom};
      innerTitle = TextOf(dialogs[1]);
      innerMark = TPixels::Of(dialogs[1]).At(1, 1);
      PostMessageW(dialogs[1], WM_KEYDOWN, VK_ESCAPE, 0);
    }
  };
  bool innerRan = false;
  outer.OnTick = [&] {
    if (!innerRan) {
      innerRan = true;
      ui::RunPaintedDialog(dialogs::Dialog4424, "Inner", 244, 64, inner, 30, 9);
      outerTicksAfterInner = outer.Ticks;
    } else if (outerTicksAfterInner >= 0 && outer.Ticks >= outerTicksAfterInner + 2 && dialogs.size() == 2) {
      PostMessageW(dialogs[0], WM_COMMAND, IDOK, 0);
    }
  };
  // The outer one is activated again when the inner one ends.
  const testhost::TDialogHook hook(
      [&](HWND dialog) {
        if (std::find(dialogs.begin(), dialogs.end(), dialog) == dialogs.end())
          dialogs.push_back(dialog);
      },
      "the painted dialogs");
  ui::RunPaintedDialog(dialogs::Dialog4424, "Outer", 100, 50, outer, 30, 9);

  ASSERT_EQ(dialogs.size(), 2u);
  EXPECT_FALSE(IsWindow(dialogs[0]));
  EXPECT_FALSE(IsWindow(dialogs[1]));
  EXPECT_EQ(innerClient.cx, 244);
  EXPECT_EQ(innerClient.cy, 64);
  EXPECT_EQ(innerTitle, u"Картина");
  EXPECT_EQ(innerMark, 0xFF0000u);
  EXPECT_GT(inner.Paints, 0);
  EXPECT_GE(outer.Ticks, outerTicksAfterInner + 2);
  EXPECT_FALSE(hook.WatchdogFired());
}

} // namespace
