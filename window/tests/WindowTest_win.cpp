// The Win32 backend of the window layer under Wine: device windows (picture,
// shared class, ticks, close), the canvas's cells, the dialogs of a template
// with a checked field, and painted dialogs run one inside another.
#include "DialogHook_win.h"
#include "Messages_win.h"
#include "Window_win.h"
#include "layertest_dialogs.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <utility>
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
  // The cells of 12 by 30 pixels of the top row that hold strongly green pixels.
  std::vector<int> LitCells() const {
    std::vector<int> lit;
    for (int column = 0; column < Width / 12; ++column) {
      int green = 0;
      for (int y = 0; y < 30 && y < Height; ++y)
        for (int x = column * 12; x < column * 12 + 12; ++x)
          green += (At(x, y) & 0xFF00) > 0xA000 && At(x, y) >> 16 < 60 && (At(x, y) & 0xFF) < 60;
      if (green > 3)
        lit.push_back(column);
    }
    return lit;
  }

  int Width;
  int Height;
  std::vector<uint32_t> Data;
};

using testhost::ClassOf;
using testhost::TextOf;

// The blue ground would show wherever the painter did not paint.
ui::TWindowSpec Spec(bool keepAbove, int tickMs = 0) {
  return {u"Окно проверки", "LayerTest", 60, 70, 120, 60, 0x0000FF, keepAbove, false, tickMs, 77};
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

TEST(Win32Window, OpensAtItsPlaceAndShowsThePaintersPicture) {
  TTestPainter painter;
  const auto window = ui::OpenWindow(Spec(true), painter);
  ASSERT_TRUE(window->Shown());
  const HWND handle = TheWindow();
  ASSERT_NE(handle, nullptr);

  // The devices' window tests check place, title, class and icon through
  // the real libraries; here what they cannot see.
  RECT frame{};
  GetWindowRect(handle, &frame);
  RECT client{};
  GetClientRect(handle, &client);
  EXPECT_EQ(std::pair(frame.left, frame.top), std::pair(60L, 70L));
  EXPECT_EQ(std::pair(client.right, client.bottom), std::pair(120L, 60L));
  EXPECT_NE(GetWindowLongW(handle, GWL_EXSTYLE) & WS_EX_TOPMOST, 0);

  // The painter's picture, colours the right way round, blanks left alone.
  PumpMessages(200);
  EXPECT_GT(painter.Paints, 0);
  const TPixels picture = TPixels::Of(handle);
  EXPECT_EQ(picture.At(1, 1), 0xFF0000u);
  EXPECT_EQ(picture.At(100, 50), 0x000000u);
  EXPECT_EQ(picture.LitCells(), (std::vector<int>{0, 2}));

  // Another window of the same kind shares the class; one not kept above
  // is not topmost.
  TTestPainter other;
  const auto second = ui::OpenWindow(Spec(false), other);
  const std::vector<HWND> both = testhost::ThreadWindowsOfClass(L"LayerTest_");
  ASSERT_EQ(both.size(), 2u);
  const HWND secondHandle = both[0] == handle ? both[1] : both[0];
  EXPECT_EQ(ClassOf(secondHandle), ClassOf(handle));
  EXPECT_EQ(GetWindowLongW(secondHandle, GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
}

TEST(Win32Window, TicksRepaintsAndEndsSafely) {
  TTestPainter painter;
  const auto window = ui::OpenWindow(Spec(true, 40), painter);
  const HWND handle = TheWindow();
  ASSERT_NE(handle, nullptr);
  PumpUntil(3000, [&] { return painter.Ticks >= 3; });
  EXPECT_GE(painter.Ticks, 3);
  EXPECT_GT(painter.Paints, painter.Ticks); // every tick that asked for it

  // Repaint paints the painter's new picture.
  painter.Row = u" B";
  EXPECT_TRUE(window->Repaint());
  PumpMessages(100);
  EXPECT_EQ(TPixels::Of(handle).LitCells(), (std::vector<int>{1}));

  // The close command: the object stays, without a window, and says so.
  SendMessageW(handle, WM_COMMAND, ui::win::kCommandClose, 0);
  EXPECT_FALSE(IsWindow(handle));
  EXPECT_FALSE(window->Repaint());
  EXPECT_TRUE(window->Shown()); // it was on the screen
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
  const std::vector<int> lit = pixels.LitCells();
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
  std::u16string shown; // the field, the reason line and button 3 as they come
  LRESULT limit = 0;
  {
    const testhost::TDialogHook hook(
        [&](HWND dialog) {
          if (seen != nullptr)
            return;
          seen = dialog;
          const HWND field = GetDlgItem(dialog, kField);
          shown = TextOf(field) + u"|" + TextOf(GetDlgItem(dialog, kReason)) + u"|" +
                  TextOf(GetDlgItem(dialog, 3));
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
  EXPECT_EQ(shown, u"12|введите число|Иное");
  EXPECT_EQ(limit, 5);
  EXPECT_EQ(checked, (std::vector<std::u16string>{u"x", u"7"}));
  EXPECT_EQ(reasonShown, u"не число");
  EXPECT_EQ(run.Field, u"7");

  // Another button ends it without the check (Escape and the close box are
  // the devices' tests').
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
  int outerTicksAfterInner = -1;

  inner.OnTick = [&] {
    if (inner.Ticks == 3 && dialogs.size() == 2) {
      RECT client{};
      GetClientRect(dialogs[1], &client);
      innerClient = {client.right, client.bottom};
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
  EXPECT_GT(inner.Paints, 0);
  EXPECT_GE(outer.Ticks, outerTicksAfterInner + 2);
  EXPECT_FALSE(hook.WatchdogFired());
}

} // namespace
