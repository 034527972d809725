// The display window on Linux: an X window at 50,50, kept above the others,
// served by a thread of its own that runs the running line and repaints while
// the host does other work; and the modal device-test window, served on the
// calling thread. With no display or no X library nothing is shown and the
// rows are kept, as before there were windows.
#include "PanelSim.h"

#include <algorithm>
#include <chrono>
#include <memory>
#include <mutex>

#include "TextCodec.h"
#include "WindowThread_posix.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr x11::TColour kBackground = 0x000000;
constexpr x11::TColour kTextColour = 0x00FF00;
constexpr std::chrono::milliseconds kTick{kPanelTimerPeriodMs};
// How long the host's call waits for a new display window to appear.
constexpr auto kShowWait = std::chrono::seconds(3);
constexpr char16_t kTestWindowTitle[] = u"Тест устройства";

// The size of the inner area of a window for columns by rows cells, with the
// same one-pixel margin inside a one-pixel border as on Windows.
int InnerWidth(int32_t columns) {
  return kPanelCellWidth * columns + 4;
}
int InnerHeight(int32_t rows) {
  return kPanelRowPitch * rows + 4;
}

// A window the rows are painted into: the display window on its thread, or
// the device-test window on the host's.
struct TPanelSurface {
  TPanelSurface(x11::TConnection& connection, const x11::TTopWindow& window, int width, int height, int rows,
                bool isDisplay)
      : Canvas(connection, window.Id(), width, height), Rows(rows), IsDisplay(isDisplay),
        Font(x11::TFont::Open(connection, {.Monospace = true,
                                           .Bold = true,
                                           .PixelSize = kPanelRowPitch - 6,
                                           .MaxAdvance = kPanelCellWidth})) {}
  x11::TCanvas Canvas;
  const int Rows;
  const bool IsDisplay;
  std::unique_ptr<x11::TFont> Font;
};

} // namespace

bool TPanelSim_2001::ShowDisplayWindow() {
  if (auto* display = static_cast<x11::TWindowThread*>(WindowHandle)) {
    if (display->Repaint())
      return true;
    DestroyDisplayWindow(); // closed by the user: the output makes a new one
  }
  const std::string displayName = x11::DisplayName();
  if (displayName.empty() || x11::Api() == nullptr)
    return false;
  const int width = InnerWidth(Columns);
  const int height = InnerHeight(Rows);
  const int rows = Rows;
  auto display = std::make_unique<x11::TWindowThread>(
      displayName,
      x11::TTopWindowSpec{.X = kPanelWindowX,
                          .Y = kPanelWindowY,
                          .Width = width,
                          .Height = height,
                          .Title = kPanelWindowTitle,
                          .ClassName = "PanelSim",
                          .KeepAbove = true,
                          .Background = kBackground},
      [width, height, rows](x11::TConnection& connection, const x11::TTopWindow& window) {
        return std::make_shared<TPanelSurface>(connection, window, width, height, rows, true);
      },
      [this](void* surface) { PaintWindow(surface); },
      RunningLine ? x11::TWindowThread::TSurfaceCall([this](void* surface) { TimerTick(surface); }) : nullptr,
      kTick);
  const bool shown = display->WaitShown(kShowWait);
  if (!shown && display->Ended())
    return false; // no window; the next output tries again
  // Shown, or a slow display still on its way: the window is ours either way.
  WindowHandle = display.release();
  DisplayTimerId = RunningLine ? kPanelTimerId : 0;
  return shown;
}

void TPanelSim_2001::DestroyDisplayWindow() {
  delete static_cast<x11::TWindowThread*>(WindowHandle); // stops its thread first
  WindowHandle = nullptr;
  DisplayTimerId = 0;
}

void TPanelSim_2001::RefreshAfterTick(void* window) {
  const auto* surface = static_cast<TPanelSurface*>(window);
  if (surface == nullptr)
    return;
  PaintWindow(window);
  // A tick of the test window (on the host's thread) moves the display's rows too.
  if (!surface->IsDisplay)
    if (auto* display = static_cast<x11::TWindowThread*>(WindowHandle))
      display->Repaint();
}

void TPanelSim_2001::RunTestWindow() {
  const x11::TXGuard guard; // let go while the window waits
  auto connection = x11::TConnection::Open(x11::DisplayName());
  if (!connection)
    return;
  const int width = InnerWidth(Columns);
  const int height = InnerHeight(Rows);
  x11::TTopWindow window(*connection, {.Centred = true,
                                       .Width = width,
                                       .Height = height,
                                       .Title = kTestWindowTitle,
                                       .ClassName = "PanelSimTest",
                                       .Dialog = true,
                                       .TakeFocus = true,
                                       .Background = kBackground,
                                       .EventMask = ExposureMask | KeyPressMask});
  if (!window.Show())
    return;
  TPanelSurface surface(*connection, window, width, height, Rows, false);
  PaintWindow(&surface);
  const bool ticking = RunningLine;
  Clock::time_point next = Clock::now() + kTick;
  // Modal: the host's call returns when the operator closes the window.
  for (;;) {
    const int timeout =
        ticking ? static_cast<int>(std::max<long long>(
                      0, std::chrono::ceil<std::chrono::milliseconds>(next - Clock::now()).count()))
                : -1;
    connection->Wait(-1, timeout);
    bool paint = false;
    while (connection->X.XPending(connection->Dpy) > 0) {
      XEvent event;
      connection->X.XNextEvent(connection->Dpy, &event);
      if (window.IsCloseRequest(event) || window.IsDestroyed(event))
        return;
      if (event.type == KeyPress) {
        const KeySym key = x11::KeyOf(*connection, event.xkey);
        if (key == XK_Return || key == XK_KP_Enter || key == XK_Escape)
          return;
      }
      if (event.type == Expose && event.xexpose.count == 0)
        paint = true;
    }
    if (ticking && Clock::now() >= next) {
      TimerTick(&surface);
      next += kTick;
      if (next < Clock::now())
        next = Clock::now() + kTick;
    }
    if (paint)
      PaintWindow(&surface);
  }
}

void TPanelSim_2001::PaintWindow(void* window) {
  auto* surface = static_cast<TPanelSurface*>(window);
  if (surface == nullptr)
    return;
  // What the cells show, taken under the lock; the drawing goes without it.
  std::u16string cells[kPanelRowSlots];
  const int rows = std::clamp(surface->Rows, 0, kPanelRowSlots);
  {
    const std::lock_guard lock(StateLock);
    for (int i = 0; i < rows; ++i) {
      const int32_t count = Lines.CellCount(i, Columns);
      for (int32_t j = 0; j < count; ++j)
        cells[i] += Lines.CellUnit(i, j);
    }
  }
  x11::TCanvas& canvas = surface->Canvas;
  canvas.Fill(0, 0, canvas.Width(), canvas.Height(), kBackground);
  if (x11::TFont* font = surface->Font.get()) {
    const int baseline = (kPanelRowPitch - font->Height()) / 2 + font->Ascent();
    for (int i = 0; i < rows; ++i) {
      const int top = 1 + kPanelRowPitch * i;
      // Cells past the window's right edge are not drawn.
      const int columns =
          std::min<int>(static_cast<int>(cells[i].size()), (canvas.Width() - 1) / kPanelCellWidth + 1);
      for (int j = 0; j < columns; ++j) {
        const char16_t unit = cells[i][static_cast<size_t>(j)];
        if (unit == 0 || unit == u' ' || IsSurrogate(unit))
          continue; // blank, past the text, or half a character
        const std::u16string_view glyph(&cells[i][static_cast<size_t>(j)], 1);
        const int left = 1 + kPanelCellWidth * j + (kPanelCellWidth - font->Width(glyph)) / 2;
        canvas.Text(*font, left, top + baseline, glyph, kTextColour);
      }
    }
  }
  canvas.Show();
}
