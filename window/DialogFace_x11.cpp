// The face of a dialog laid out from its template on X11 (DialogFace_x11.h).
#include "DialogState.h"

#include <algorithm>
#include <string>
#include <vector>

#include "DialogFace_x11.h"

namespace x11 {

namespace {

constexpr TColour kField = 0xFFFFFF;
constexpr TColour kSelection = 0x0078D7;
constexpr TColour kSelectedInk = 0xFFFFFF;
constexpr TColour kFaultInk = 0xC00000;

// What a key does in a dialog: a key of its own or a character typed.
struct TKeyPress {
  std::optional<ui::TDialogKey> Key;
  char32_t Character = 0;
};

// The keypad's arrows are its digits without Num Lock, and type them.
TKeyPress Translate(TConnection& connection, XKeyEvent& event) {
  const KeySym key = KeyOf(connection, event);
  switch (key) {
  case XK_Tab:
    return {(event.state & ShiftMask) != 0 ? ui::TDialogKey::BackTab : ui::TDialogKey::Tab};
  case XK_ISO_Left_Tab:
    return {ui::TDialogKey::BackTab};
  case XK_Left:
    return {ui::TDialogKey::Left};
  case XK_Right:
    return {ui::TDialogKey::Right};
  case XK_Up:
    return {ui::TDialogKey::Up};
  case XK_Down:
    return {ui::TDialogKey::Down};
  case XK_Return:
  case XK_KP_Enter:
    return {ui::TDialogKey::Enter};
  case XK_space:
    return {ui::TDialogKey::Space};
  case XK_Escape:
    return {ui::TDialogKey::Escape};
  case XK_BackSpace:
    return {ui::TDialogKey::Backspace};
  case XK_Delete:
    return {ui::TDialogKey::Delete};
  default:
    return {std::nullopt, ui::CharOfKeysym(static_cast<uint32_t>(key))};
  }
}

} // namespace

TDialogFace::TDialogFace(TConnection& connection, TFont& font, TDialogUnits units, Window dialog,
                         ui::TDialogState& state)
    : Connection_(connection), Font_(font), State_(state), Controls_(connection, dialog, units) {
  for (int i = 0; i < static_cast<int>(State_.Count()); ++i) {
    const ui::TControlTemplate& control = State_.Control(i);
    Controls_.Add(control.X, control.Y, control.Width, control.Height, State_.Text(i),
                  control.Kind != ui::TControlKind::Label);
  }
}

std::optional<int> TDialogFace::Handle(XEvent& event) {
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

void TDialogFace::Update() {
  for (int i : State_.TakeRenames())
    if (Controls_[i].Id != 0)
      SetWindowText(Connection_, Controls_[i].Id, State_.Text(i));
  for (int i : State_.TakeRepaints())
    Paint(i);
}

void TDialogFace::PaintAll() {
  for (int i = 0; i < static_cast<int>(State_.Count()); ++i)
    Paint(i);
}

void TDialogFace::Paint(int index) {
  const TDialogControls::TControl& child = Controls_[index];
  if (child.Id == 0)
    return;
  TCanvas canvas(Connection_, child.Id, child.Width, child.Height);
  switch (State_.Control(index).Kind) {
  case ui::TControlKind::Button:
    PaintButton(canvas, Font_, State_.Text(index), State_.Focus() == index, State_.Pressed() == index,
                State_.Disabled(index));
    break;
  case ui::TControlKind::Field:
    PaintField(canvas, index);
    break;
  case ui::TControlKind::Label:
    PaintLabel(canvas, index);
    break;
  }
  canvas.Show();
}

// White with a border, the text selected or followed by the caret.
void TDialogFace::PaintField(TCanvas& canvas, int index) {
  const std::u16string& text = State_.Text(index);
  const bool focused = State_.Focus() == index;
  const int width = canvas.Width();
  const int height = canvas.Height();
  const bool selected = State_.Selected(index);
  canvas.Fill(0, 0, width, height, kField);
  canvas.Frame(0, 0, width, height, focused ? dialog::kFocusBorder : dialog::kButtonBorder);
  const int textWidth = Font_.Width(text);
  if (selected && !text.empty())
    canvas.Fill(3, 2, textWidth, height - 4, kSelection);
  canvas.Text(Font_, 3, (height - Font_.Height()) / 2 + Font_.Ascent(), text,
              selected ? kSelectedInk : dialog::kInk);
  if (focused && !selected)
    canvas.Fill(3 + textWidth, 2, 1, height - 4, dialog::kInk); // the caret
}

// One line centred in a label of one line's height; in a taller one the
// words wrapped from the top, as many lines as it holds.
void TDialogFace::PaintLabel(TCanvas& canvas, int index) {
  const std::u16string& text = State_.Text(index);
  const int height = canvas.Height();
  const int line = std::max(Font_.Height(), 1);
  const TColour ink = State_.Faulty(index) ? kFaultInk : dialog::kInk;
  canvas.Fill(0, 0, canvas.Width(), height, dialog::kFace);
  if (height < 2 * line) {
    canvas.Text(Font_, 0, (height - Font_.Height()) / 2 + Font_.Ascent(), text, ink);
    return;
  }
  const std::vector<std::u16string> lines =
      State_.Control(index).WordWrap
          ? ui::WrapWords(text, canvas.Width(), static_cast<size_t>(height / line),
                          [this](std::u16string_view part) { return Font_.Width(part); })
          : std::vector<std::u16string>{text};
  for (size_t i = 0; i < lines.size(); ++i)
    canvas.Text(Font_, 0, Font_.Ascent() + static_cast<int>(i) * line, lines[i], ink);
}

} // namespace x11
