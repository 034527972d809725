// Dialogs on X11: a dialog laid out from its template and a painted dialog,
// each an X window of its own, modal to the calling thread (it runs its own
// event loop on a connection of its own until the operator answers) and
// centred on the screen. A dialog's controls are child windows named with
// their texts, laid out in the dialog units of the 13-pixel sans-serif font;
// what the operator's keys and clicks do is TDialogState's.
#include "DialogState.h"

#include <algorithm>
#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "Canvas_x11.h"

namespace ui {

namespace {

using Clock = std::chrono::steady_clock;

constexpr x11::TColour kField = 0xFFFFFF;
constexpr x11::TColour kSelection = 0x0078D7;
constexpr x11::TColour kSelectedInk = 0xFFFFFF;
constexpr x11::TColour kFaultInk = 0xC00000;

// What a key does in a dialog: a key of its own or a character typed.
struct TKeyPress {
  std::optional<TDialogKey> Key;
  char32_t Character = 0;
};

// The keypad's arrows are its digits without Num Lock, and type them.
TKeyPress Translate(x11::TConnection& connection, XKeyEvent& event) {
  const KeySym key = x11::KeyOf(connection, event);
  switch (key) {
  case XK_Tab:
    return {(event.state & ShiftMask) != 0 ? TDialogKey::BackTab : TDialogKey::Tab};
  case XK_ISO_Left_Tab:
    return {TDialogKey::BackTab};
  case XK_Left:
    return {TDialogKey::Left};
  case XK_Right:
    return {TDialogKey::Right};
  case XK_Up:
    return {TDialogKey::Up};
  case XK_Down:
    return {TDialogKey::Down};
  case XK_Return:
  case XK_KP_Enter:
    return {TDialogKey::Enter};
  case XK_space:
    return {TDialogKey::Space};
  case XK_Escape:
    return {TDialogKey::Escape};
  case XK_BackSpace:
    return {TDialogKey::Backspace};
  case XK_Delete:
    return {TDialogKey::Delete};
  default:
    return {std::nullopt, CharOfKeysym(static_cast<uint32_t>(key))};
  }
}

class TDialogWindow {
public:
  TDialogWindow(x11::TConnection& connection, x11::TFont& font, TDialogRun& run)
      : Connection_(connection), Font_(font), Units_(x11::DialogUnitsOf(font)), State_(run),
        Window_(connection, {.Centred = true,
                             .Width = Units_.X(run.Template.Width),
                             .Height = Units_.Y(run.Template.Height),
                             .Title = run.Template.Title != nullptr ? run.Template.Title : u"",
                             .ClassName = run.ClassName != nullptr ? run.ClassName : "Orvik",
                             .Dialog = true,
                             .TakeFocus = true,
                             .Background = x11::dialog::kFace,
                             .EventMask = KeyPressMask}),
        Controls_(connection, Window_.Id(), Units_) {
    for (int i = 0; i < static_cast<int>(State_.Count()); ++i) {
      const TControlTemplate& control = State_.Control(i);
      Controls_.Add(control.X, control.Y, control.Width, control.Height, State_.Text(i),
                    control.Kind != TControlKind::Label);
    }
  }

  int Run() {
    if (!Window_.Show())
      return kNoWindow;
    std::optional<int> answer;
    for (;;) {
      const x11::TModalTurn turn = x11::ServeModal(Connection_, Window_, -1, [&](XEvent& event) {
        answer = Handle(event);
        Update();
        return answer.has_value();
      });
      if (turn == x11::TModalTurn::Closed)
        return kCancel;
      if (answer)
        return *answer;
    }
  }

private:
  std::optional<int> Handle(XEvent& event) {
    switch (event.type) {
    case Expose:
      if (event.xexpose.count == 0)
        if (const int i = Controls_.IndexOf(event.xexpose.window); i >= 0)
          Paint(i);
      return std::nullopt;
    case KeyPress: {
      const TKeyPress press = Translate(Connection_, event.xkey);
      return press.Key ? State_.Key(*press.Key) : State_.Type(press.Character);
    }
    case ButtonPress:
      if (event.xbutton.button == Button1)
        State_.Press(Controls_.IndexOf(event.xbutton.window));
      return std::nullopt;
    case ButtonRelease:
      if (event.xbutton.button != Button1 || State_.Pressed() < 0)
        return std::nullopt;
      return State_.Release(Controls_.ReleasedInside(event.xbutton, State_.Pressed()));
    default:
      return std::nullopt;
    }
  }

  // The controls renamed and repainted as the last event changed them.
  void Update() {
    for (int i : State_.TakeRenames())
      if (Controls_[i].Id != 0)
        x11::SetWindowText(Connection_, Controls_[i].Id, State_.Text(i));
    for (int i : State_.TakeRepaints())
      Paint(i);
  }

  void Paint(int index) {
    const x11::TDialogControls::TControl& child = Controls_[index];
    if (child.Id == 0)
      return;
    x11::TCanvas canvas(Connection_, child.Id, child.Width, child.Height);
    const std::u16string& text = State_.Text(index);
    switch (State_.Control(index).Kind) {
    case TControlKind::Button:
      x11::PaintButton(canvas, Font_, text, State_.Focus() == index, State_.Pressed() == index);
      break;
    case TControlKind::Field:
      PaintField(canvas, text, State_.Focus() == index);
      break;
    case TControlKind::Label:
      PaintLabel(canvas, text, State_.Control(index).WordWrap, State_.Faulty(index));
      break;
    }
    canvas.Show();
  }

  // White with a border, the text selected or followed by the caret.
  void PaintField(x11::TCanvas& canvas, const std::u16string& text, bool focused) {
    const int width = canvas.Width();
    const int height = canvas.Height();
    const bool selected = State_.Selected();
    canvas.Fill(0, 0, width, height, kField);
    canvas.Frame(0, 0, width, height, focused ? x11::dialog::kFocusBorder : x11::dialog::kButtonBorder);
    const int textWidth = Font_.Width(text);
    if (selected && !text.empty())
      canvas.Fill(3, 2, textWidth, height - 4, kSelection);
    canvas.Text(Font_, 3, (height - Font_.Height()) / 2 + Font_.Ascent(), text,
                selected ? kSelectedInk : x11::dialog::kInk);
    if (focused && !selected)
      canvas.Fill(3 + textWidth, 2, 1, height - 4, x11::dialog::kInk); // the caret
  }

  // One line centred in a label of one line's height; in a taller one the
  // words wrapped from the top, as many lines as it holds.
  void PaintLabel(x11::TCanvas& canvas, const std::u16string& text, bool wrap, bool fault) {
    const int height = canvas.Height();
    const int line = std::max(Font_.Height(), 1);
    const x11::TColour ink = fault ? kFaultInk : x11::dialog::kInk;
    canvas.Fill(0, 0, canvas.Width(), height, x11::dialog::kFace);
    if (height < 2 * line) {
      canvas.Text(Font_, 0, (height - Font_.Height()) / 2 + Font_.Ascent(), text, ink);
      return;
    }
    const std::vector<std::u16string> lines =
        wrap ? WrapWords(text, canvas.Width(), static_cast<size_t>(height / line),
                         [this](std::u16string_view part) { return Font_.Width(part); })
             : std::vector<std::u16string>{text};
    for (size_t i = 0; i < lines.size(); ++i)
      canvas.Text(Font_, 0, Font_.Ascent() + static_cast<int>(i) * line, lines[i], ink);
  }

  x11::TConnection& Connection_;
  x11::TFont& Font_;
  const x11::TDialogUnits Units_;
  TDialogState State_;
  x11::TTopWindow Window_;
  x11::TDialogControls Controls_;
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
