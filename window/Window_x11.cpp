// Device windows on X11: each served by a thread of its own (WindowThread_x11.h)
// that owns the connection and the window, so that the window repaints and
// ticks while the host does other work. Where there is no display or no X
// library the window is the null backend's.
#include "Backend.h"

#include <chrono>
#include <memory>
#include <utility>

#include "Canvas_x11.h"
#include "WindowThread_x11.h"

namespace ui {

namespace {

// How long the host's call waits for a new window to appear.
constexpr auto kShowWait = std::chrono::seconds(3);

class TX11Window final : public TDeviceWindow {
public:
  TX11Window(std::unique_ptr<x11::TWindowThread> thread, bool shown)
      : Thread_(std::move(thread)), ShownAtOpen_(shown) {}

  bool Repaint() override { return Thread_->Repaint(); }
  // A slow display may have put it on the screen after the host stopped waiting.
  bool Shown() const override { return ShownAtOpen_ || Thread_->WaitShown(std::chrono::seconds(0)); }

private:
  std::unique_ptr<x11::TWindowThread> Thread_;
  const bool ShownAtOpen_;
};

void Paint(IPainter& painter, void* surface) {
  auto& canvas = *static_cast<x11::TPaintCanvas*>(surface);
  painter.Paint(canvas);
  canvas.Show();
}

} // namespace

std::unique_ptr<TDeviceWindow> OpenWindow(const TWindowSpec& spec, IPainter& painter) {
  const std::string displayName = x11::DisplayName();
  if (displayName.empty() || x11::Api() == nullptr)
    return null::OpenWindow();
  const int width = spec.Width;
  const int height = spec.Height;
  // Device windows never take the keyboard here: the host's window keeps it.
  auto thread = std::make_unique<x11::TWindowThread>(
      displayName,
      x11::TTopWindowSpec{.X = spec.X,
                          .Y = spec.Y,
                          .Width = width,
                          .Height = height,
                          .Title = spec.Title,
                          .ClassName = spec.ClassName,
                          .KeepAbove = spec.KeepAbove,
                          .Background = spec.Background},
      [width, height](x11::TConnection& connection, const x11::TTopWindow& window) {
        return std::make_shared<x11::TPaintCanvas>(connection, window.Id(), width, height);
      },
      [&painter](void* surface) { Paint(painter, surface); },
      spec.TickMs > 0 ? x11::TWindowThread::TSurfaceCall([&painter](void* surface) {
        if (painter.Tick())
          Paint(painter, surface);
      })
                      : nullptr,
      std::chrono::milliseconds(spec.TickMs));
  const bool shown = thread->WaitShown(kShowWait);
  if (!shown && thread->Ended())
    return null::OpenWindow(); // no window; the next output tries again
  // Shown, or a slow display still on its way: the window is the device's either way.
  return std::make_unique<TX11Window>(std::move(thread), shown);
}

} // namespace ui
