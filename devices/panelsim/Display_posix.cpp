// The display window on Linux: an X window at 50,50, kept above the others,
// served by a thread of its own that runs the running line and repaints while
// the host does other work; and the modal device-test window, served on the
// calling thread. With no display or no X library nothing is shown and the
// rows are kept, as before there were windows.
#include "PanelSim.h"

#include <fcntl.h>
#include <pthread.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <utility>

#include "TextCodec.h"
#include "X11_posix.h"

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

class TDisplayThread;

// Display windows whose threads run, so that unloading the library stops
// them all. A plain list and a statically initialised mutex: neither has a
// destructor that a late call after the unit's end could trip over.
pthread_mutex_t LiveLock = PTHREAD_MUTEX_INITIALIZER;
TDisplayThread* LiveHead = nullptr;

// The thread of one display window. The host's thread makes it, asks it to
// repaint and ends it; the window thread owns the connection and the window
// and calls the object only for the ticks and the painting, under the
// object's StateLock.
class TDisplayThread {
public:
  TDisplayThread(TPanelSim_2001& owner, const std::string& displayName, int32_t columns, int32_t rows,
                 bool ticking)
      : Owner_(owner), Width_(InnerWidth(columns)), Height_(InnerHeight(rows)), Rows_(rows),
        Ticking_(ticking) {
    Link();
    if (pipe2(Wake_, O_CLOEXEC | O_NONBLOCK) != 0) {
      Wake_[0] = Wake_[1] = -1;
      State_ = TState::Ended;
      return;
    }
    try {
      Thread_ = std::thread([this, displayName] { Run(displayName); });
    } catch (...) {
      State_ = TState::Ended;
    }
  }

  ~TDisplayThread() {
    Stop();
    Unlink();
    for (int fd : Wake_)
      if (fd >= 0)
        close(fd);
  }
  TDisplayThread(const TDisplayThread&) = delete;
  TDisplayThread& operator=(const TDisplayThread&) = delete;

  // Waits until the window is on the screen (true) or the thread gave up.
  bool WaitShown(Clock::duration limit) {
    std::unique_lock lock(Lock_);
    Changed_.wait_for(lock, limit, [this] { return State_ != TState::Starting; });
    return State_ == TState::Shown;
  }

  // The window was closed (by the user or by someone else) or never came.
  bool Ended() {
    const std::lock_guard lock(Lock_);
    return State_ == TState::Ended;
  }

  void Repaint() {
    {
      const std::lock_guard lock(Lock_);
      if (RepaintAsked_)
        return;
      RepaintAsked_ = true;
    }
    Wake();
  }

  // Closes the window and ends the thread; nothing of it runs afterwards.
  void Stop() {
    {
      const std::lock_guard lock(Lock_);
      StopAsked_ = true;
    }
    Wake();
    if (Thread_.joinable())
      Thread_.join();
  }

  static void StopAll() {
    pthread_mutex_lock(&LiveLock);
    for (TDisplayThread* display = LiveHead; display != nullptr; display = display->Next_)
      display->Stop();
    pthread_mutex_unlock(&LiveLock);
  }

private:
  enum class TState { Starting, Shown, Ended };

  void Link() {
    pthread_mutex_lock(&LiveLock);
    Next_ = LiveHead;
    if (LiveHead != nullptr)
      LiveHead->Previous_ = this;
    LiveHead = this;
    pthread_mutex_unlock(&LiveLock);
  }
  void Unlink() {
    pthread_mutex_lock(&LiveLock);
    if (Previous_ != nullptr)
      Previous_->Next_ = Next_;
    else if (LiveHead == this)
      LiveHead = Next_;
    if (Next_ != nullptr)
      Next_->Previous_ = Previous_;
    Previous_ = Next_ = nullptr;
    pthread_mutex_unlock(&LiveLock);
  }

  void Wake() {
    const char byte = 1;
    if (Wake_[1] >= 0 && write(Wake_[1], &byte, 1) < 0) {
      // The pipe is full: the thread has wake-ups enough to read.
    }
  }

  void SetState(TState state) {
    {
      const std::lock_guard lock(Lock_);
      State_ = state;
    }
    Changed_.notify_all();
  }

  void Run(const std::string& displayName) {
    try {
      const x11::TXGuard guard; // let go while the thread waits
      if (auto connection = x11::TConnection::Open(displayName)) {
        x11::TTopWindow window(*connection, {.X = kPanelWindowX,
                                             .Y = kPanelWindowY,
                                             .Width = Width_,
                                             .Height = Height_,
                                             .Title = kPanelWindowTitle,
                                             .ClassName = "PanelSim",
                                             .KeepAbove = true,
                                             .Background = kBackground,
                                             .EventMask = ExposureMask});
        if (window.Show()) {
          TPanelSurface surface(*connection, window, Width_, Height_, Rows_, true);
          Owner_.PaintWindow(&surface);
          SetState(TState::Shown);
          Serve(*connection, window, surface);
        }
      }
    } catch (...) {
      // No error may leave the thread; the window is gone with its objects.
    }
    SetState(TState::Ended);
  }

  // The window's loop: X events, the host's requests and the ticks, until the
  // window is closed or the host stops it.
  void Serve(x11::TConnection& connection, const x11::TTopWindow& window, TPanelSurface& surface) {
    Clock::time_point next = Clock::now() + kTick;
    for (;;) {
      int timeout = -1;
      if (Ticking_)
        timeout = static_cast<int>(std::max<long long>(
            0, std::chrono::ceil<std::chrono::milliseconds>(next - Clock::now()).count()));
      connection.Wait(Wake_[0], timeout);
      char drain[64];
      while (read(Wake_[0], drain, sizeof drain) > 0) {
      }
      bool paint = false;
      {
        const std::lock_guard lock(Lock_);
        if (StopAsked_)
          return;
        paint = std::exchange(RepaintAsked_, false);
      }
      while (connection.X.XPending(connection.Dpy) > 0) {
        XEvent event;
        connection.X.XNextEvent(connection.Dpy, &event);
        if (window.IsCloseRequest(event) || window.IsDestroyed(event))
          return;
        if (event.type == Expose && event.xexpose.count == 0)
          paint = true;
      }
      if (Ticking_ && Clock::now() >= next) {
        Owner_.TimerTick(&surface); // paints when a row moved
        next += kTick;
        if (next < Clock::now())
          next = Clock::now() + kTick; // late (a suspended machine): no burst of ticks
      }
      if (paint)
        Owner_.PaintWindow(&surface);
    }
  }

  TPanelSim_2001& Owner_;
  const int Width_;
  const int Height_;
  const int Rows_;
  const bool Ticking_;
  std::mutex Lock_; // guards the three below
  std::condition_variable Changed_;
  TState State_ = TState::Starting;
  bool StopAsked_ = false;
  bool RepaintAsked_ = false;
  int Wake_[2] = {-1, -1};
  std::thread Thread_;
  TDisplayThread* Previous_ = nullptr; // under LiveLock
  TDisplayThread* Next_ = nullptr;
};

// When the library is unloaded (or the process ends) under objects the host
// never destroyed, their threads stop first: no tick may run in code that is
// gone. The windows go with their threads.
struct TUnloadStop {
  ~TUnloadStop() { TDisplayThread::StopAll(); }
} UnloadStop;

} // namespace

bool TPanelSim_2001::ShowDisplayWindow() {
  if (auto* display = static_cast<TDisplayThread*>(WindowHandle)) {
    if (!display->Ended()) {
      display->Repaint();
      return true;
    }
    DestroyDisplayWindow(); // closed by the user: the output makes a new one
  }
  const std::string displayName = x11::DisplayName();
  if (displayName.empty() || x11::Api() == nullptr)
    return false;
  auto display = std::make_unique<TDisplayThread>(*this, displayName, Columns, Rows, RunningLine);
  const bool shown = display->WaitShown(kShowWait);
  if (!shown && display->Ended())
    return false; // no window; the next output tries again
  // Shown, or a slow display still on its way: the window is ours either way.
  WindowHandle = display.release();
  DisplayTimerId = RunningLine ? kPanelTimerId : 0;
  return shown;
}

void TPanelSim_2001::DestroyDisplayWindow() {
  delete static_cast<TDisplayThread*>(WindowHandle); // stops its thread first
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
    if (auto* display = static_cast<TDisplayThread*>(WindowHandle))
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
