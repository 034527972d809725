// Dialogs on X11: a dialog laid out from its template and a painted dialog,
// each an X window of its own, modal to the calling thread (it runs its own
// event loop on a connection of its own until the operator answers) and
// centred on the screen. A dialog's controls are child windows named with
// their texts, laid out in the dialog units of the 13-pixel sans-serif font;
// what the operator's keys and clicks do is TDialogState's, how the controls
// look TDialogFace's.
#include "DialogState.h"

#include <algorithm>
#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "Canvas_x11.h"
#include "DialogFace_x11.h"

namespace ui {

namespace {

using Clock = std::chrono::steady_clock;

class TDialogWindow {
public:
  TDialogWindow(x11::TConnection& connection, x11::TFont& font, TDialogRun& run)
      : Connection_(connection), Units_(x11::DialogUnitsOf(font)), State_(run),
        Window_(connection, {.Centred = true,
                             .Width = Units_.X(run.Template.Width),
                             .Height = Units_.Y(run.Template.Height),
                             .Title = run.Template.Title != nullptr ? run.Template.Title : u"",
                             .ClassName = run.ClassName != nullptr ? run.ClassName : "Orvik",
                             .Dialog = true,
                             .TakeFocus = true,
                             .Background = x11::dialog::kFace,
                             .EventMask = KeyPressMask}),
        Face_(connection, font, Units_, Window_.Id(), State_) {}

  int Run() {
    if (!Window_.Show())
      return kNoWindow;
    std::optional<int> answer;
    for (;;) {
      const x11::TModalTurn turn = x11::ServeModal(Connection_, Window_, -1, [&](XEvent& event) {
        answer = Face_.Handle(event);
        Face_.Update();
        return answer.has_value();
      });
      if (turn == x11::TModalTurn::Closed)
        return kCancel;
      if (answer)
        return *answer;
    }
  }

private:
  x11::TConnection& Connection_;
  const x11::TDialogUnits Units_;
  TDialogState State_;
  x11::TTopWindow Window_;
  x11::TDialogFace Face_;
};

} // namespace

int RunDialog(TDialogRun& run) {
  const x11::TXGuard guard; // let go while the dialog waits
  auto connection = x11::TConnection::Open(x11::DisplayName());
  if (!connection)
    return kNoDisplay;
  auto font = x11::TFont::Open(*connection, {.PixelSize = 13});
  if (!font)
    return kNoWindow;
  TDialogWindow window(*connection, *font, run);
  return window.Run();
}

void RunPaintedDialog(const TDialogTemplate& dialog, const char* className, int width, int height,
                      IPainter& painter, int tickMs, unsigned /*timerId*/) {
  const x11::TXGuard guard; // let go while the window waits
  auto connection = x11::TConnection::Open(x11::DisplayName());
  if (!connection)
    return;
  // Black until the painter's first picture, as a display's face.
  x11::TTopWindow window(*connection, {.Centred = true,
                                       .Width = width,
                                       .Height = height,
                                       .Title = dialog.Title != nullptr ? dialog.Title : u"",
                                       .ClassName = className != nullptr ? className : "Orvik",
                                       .Dialog = true,
                                       .TakeFocus = true,
                                       .Background = 0x000000,
                                       .EventMask = ExposureMask | KeyPressMask});
  if (!window.Show())
    return;
  x11::TPaintCanvas canvas(*connection, window.Id(), width, height);
  const auto paint = [&] {
    painter.Paint(canvas);
    canvas.Show();
  };
  paint();
  const std::chrono::milliseconds period(std::max(tickMs, 0));
  Clock::time_point next = Clock::now() + period;
  // Modal: the host's call returns when the operator closes the window.
  for (;;) {
    const int timeout =
        tickMs > 0 ? static_cast<int>(std::max<long long>(
                         0, std::chrono::ceil<std::chrono::milliseconds>(next - Clock::now()).count()))
                   : -1;
    bool repaint = false;
    const x11::TModalTurn turn = x11::ServeModal(*connection, window, timeout, [&](XEvent& event) {
      if (event.type == KeyPress) {
        const KeySym key = x11::KeyOf(*connection, event.xkey);
        if (key == XK_Return || key == XK_KP_Enter || key == XK_Escape)
          return true;
      }
      if (event.type == Expose && event.xexpose.count == 0)
        repaint = true;
      return false;
    });
    if (turn != x11::TModalTurn::Going)
      return;
    if (tickMs > 0 && Clock::now() >= next) {
      repaint = painter.Tick() || repaint;
      next += period;
      if (next < Clock::now())
        next = Clock::now() + period; // late (a suspended machine): no burst of ticks
    }
    if (repaint)
      paint();
  }
}

} // namespace ui
