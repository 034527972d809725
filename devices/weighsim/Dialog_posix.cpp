// The weighing window on Linux: an X window of its own, modal to the calling
// thread (it runs its own event loop on a connection of its own until the
// operator answers), centred on the screen, laid out in the dialog units of
// the Windows template. Its controls are child windows named with their
// texts; the weight field's name follows what is typed. Where there is no
// display or no X library the window cannot be shown and the weighing fails.
#include "WeighSim.h"

#include <algorithm>
#include <array>
#include <utility>

#include "X11_posix.h"

namespace {

constexpr char16_t kLabel[] = u"Вес брутто, кг:";
constexpr char16_t kWeighCaption[] = u"Взвесить";
constexpr char16_t kCloseCaption[] = u"Закрыть";
constexpr size_t kWeightMaxUnits = 64;

constexpr x11::TColour kField = 0xFFFFFF;
constexpr x11::TColour kSelection = 0x0078D7;
constexpr x11::TColour kSelectedInk = 0xFFFFFF;
constexpr x11::TColour kFaultInk = 0xC00000;

// The template's controls: position and size in dialog units.
constexpr x11::TDialogRect kDialogSize{0, 0, 191, 95};
constexpr x11::TDialogRect kControls[] = {
    {13, 18, 60, 8},   // the label
    {76, 16, 102, 12}, // the weight
    {13, 36, 165, 20}, // the hint, or what is wrong with the weight
    {13, 73, 94, 14},  // "Взвесить"
    {118, 73, 60, 14}, // "Закрыть"
};
enum TIndex { kLabelIndex, kWeight, kHint, kWeigh, kClose, kControlCount };

// The character a key types into the weight, or 0.
char16_t TypedUnit(x11::TConnection& connection, XKeyEvent& event) {
  KeySym key = x11::KeyOf(connection, event);
  if (key >= XK_KP_Space && key <= XK_KP_Delete) // the keypad without Num Lock's level
    key = connection.X.XLookupKeysym(&event, 1);
  if (key >= XK_0 && key <= XK_9)
    return static_cast<char16_t>(u'0' + (key - XK_0));
  if (key >= XK_KP_0 && key <= XK_KP_9)
    return static_cast<char16_t>(u'0' + (key - XK_KP_0));
  switch (key) {
  case XK_period:
  case XK_KP_Decimal:
    return u'.';
  case XK_comma:
  case XK_KP_Separator:
    return u',';
  case XK_minus:
  case XK_KP_Subtract:
    return u'-';
  default:
    return 0;
  }
}

// The words of text on at most two lines no wider than width (a word wider
// than that stands on a line of its own); what does not fit is left out.
std::array<std::u16string, 2> WrapTwoLines(x11::TFont& font, std::u16string_view text, int width) {
  std::array<std::u16string, 2> lines;
  size_t line = 0;
  for (size_t start = 0; start < text.size();) {
    const size_t end = std::min(text.find(u' ', start), text.size());
    const std::u16string word(text.substr(start, end - start));
    std::u16string joined = lines[line].empty() ? word : lines[line] + u" " + word;
    if (!lines[line].empty() && font.Width(joined) > width) {
      if (++line == lines.size())
        break;
      joined = word;
    }
    lines[line] = std::move(joined);
    start = end + 1;
  }
  return lines;
}

class TWeighWindow {
public:
  TWeighWindow(x11::TConnection& connection, x11::TFont& font, const std::u16string& weight)
      : Connection_(connection), Font_(font), Units_(x11::DialogUnitsOf(font)), Weight_(weight),
        Window_(connection, {.Centred = true,
                             .Width = Units_.X(kDialogSize.Width),
                             .Height = Units_.Y(kDialogSize.Height),
                             .Title = kWeighWindowTitle,
                             .ClassName = "WeighSim",
                             .Dialog = true,
                             .TakeFocus = true,
                             .Background = x11::dialog::kFace,
                             .EventMask = KeyPressMask}),
        Controls_(connection, Window_.Id(), Units_) {
    const std::u16string_view texts[] = {kLabel, weight, kWeighHint, kWeighCaption, kCloseCaption};
    for (int i = 0; i < kControlCount; ++i)
      Controls_.Add(kControls[i], texts[i], i != kLabelIndex && i != kHint);
    Hint_ = kWeighHint;
  }

  // Runs until the operator answers; on kWeightEntered the sound weight typed.
  int Run(std::u16string& weight) {
    const int answer =
        x11::RunModal(Connection_, Window_, kWeightRefused, [this](XEvent& event) { return Handle(event); });
    if (answer == kWeightEntered)
      weight = Weight_;
    return answer;
  }

private:
  void Focus(int index) {
    Focus_ = index;
    for (int i : {kWeight, kWeigh, kClose})
      Paint(i);
  }

  // The weighing button: an answer with a sound weight, else the fault shown
  // and the weight selected for typing again.
  int Confirm() {
    const TWeightReading reading = ReadWeight(Weight_);
    if (reading.Fault == TWeightFault::Ok)
      return kWeightEntered;
    Hint_ = WeightFaultText(reading.Fault, u"Вес");
    Fault_ = true;
    Selected_ = true;
    Paint(kHint);
    Focus(kWeight);
    return 0;
  }

  int Activate(int index) { return index == kClose ? kWeightRefused : Confirm(); }

  void Type(XKeyEvent& key) {
    const KeySym sym = x11::KeyOf(Connection_, key);
    if (sym == XK_BackSpace || sym == XK_Delete) {
      if (Selected_)
        Weight_.clear();
      else if (!Weight_.empty())
        Weight_.pop_back();
    } else if (const char16_t unit = TypedUnit(Connection_, key)) {
      if (Selected_)
        Weight_.clear();
      if (Weight_.size() < kWeightMaxUnits)
        Weight_ += unit;
    } else {
      return;
    }
    Selected_ = false;
    x11::SetWindowText(Connection_, Controls_[kWeight].Id, Weight_);
    Paint(kWeight);
  }

  // The answer an event gives, or 0.
  int Handle(XEvent& event) {
    switch (event.type) {
    case Expose:
      if (event.xexpose.count == 0)
        if (const int i = Controls_.IndexOf(event.xexpose.window); i >= 0)
          Paint(i);
      return 0;
    case KeyPress:
      switch (x11::KeyOf(Connection_, event.xkey)) {
      case XK_Return:
      case XK_KP_Enter:
        return Activate(Focus_);
      case XK_space:
        return Focus_ == kWeight ? 0 : Activate(Focus_);
      case XK_Escape:
        return kWeightRefused;
      case XK_Tab:
        Focus(Focus_ == kWeight ? kWeigh : Focus_ == kWeigh ? kClose : kWeight);
        return 0;
      case XK_ISO_Left_Tab:
        Focus(Focus_ == kWeight ? kClose : Focus_ == kClose ? kWeigh : kWeight);
        return 0;
      default:
        if (Focus_ == kWeight)
          Type(event.xkey);
        return 0;
      }
    case ButtonPress:
      if (event.xbutton.button == Button1)
        if (const int i = Controls_.IndexOf(event.xbutton.window);
            i == kWeight || i == kWeigh || i == kClose) {
          Pressed_ = i == kWeight ? -1 : i;
          Selected_ = Selected_ && i != kWeight;
          Focus(i);
        }
      return 0;
    case ButtonRelease: {
      if (event.xbutton.button != Button1 || Pressed_ < 0)
        return 0;
      const int pressed = std::exchange(Pressed_, -1);
      Paint(pressed);
      return Controls_.ReleasedInside(event.xbutton, pressed) ? Activate(pressed) : 0;
    }
    default:
      return 0;
    }
  }

  void Paint(int index) {
    const x11::TDialogControls::TControl& child = Controls_[index];
    x11::TCanvas canvas(Connection_, child.Id, child.Width, child.Height);
    const int baseline = (child.Height - Font_.Height()) / 2 + Font_.Ascent();
    switch (index) {
    case kWeigh:
      x11::PaintButton(canvas, Font_, kWeighCaption, Focus_ == kWeigh, Pressed_ == kWeigh);
      break;
    case kClose:
      x11::PaintButton(canvas, Font_, kCloseCaption, Focus_ == kClose, Pressed_ == kClose);
      break;
    case kWeight: {
      canvas.Fill(0, 0, child.Width, child.Height, kField);
      canvas.Frame(0, 0, child.Width, child.Height,
                   Focus_ == kWeight ? x11::dialog::kFocusBorder : x11::dialog::kButtonBorder);
      const int width = Font_.Width(Weight_);
      if (Selected_ && !Weight_.empty())
        canvas.Fill(3, 2, width, child.Height - 4, kSelection);
      canvas.Text(Font_, 3, baseline, Weight_, Selected_ ? kSelectedInk : x11::dialog::kInk);
      if (Focus_ == kWeight && !Selected_)
        canvas.Fill(3 + width, 2, 1, child.Height - 4, x11::dialog::kInk); // the caret
      break;
    }
    case kHint: {
      canvas.Fill(0, 0, child.Width, child.Height, x11::dialog::kFace);
      const std::array<std::u16string, 2> lines = WrapTwoLines(Font_, Hint_, child.Width);
      for (size_t i = 0; i < lines.size(); ++i)
        canvas.Text(Font_, 0, Font_.Ascent() + static_cast<int>(i) * Font_.Height(), lines[i],
                    Fault_ ? kFaultInk : x11::dialog::kInk);
      break;
    }
    default:
      canvas.Fill(0, 0, child.Width, child.Height, x11::dialog::kFace);
      canvas.Text(Font_, 0, baseline, kLabel, x11::dialog::kInk);
    }
    canvas.Show();
  }

  x11::TConnection& Connection_;
  x11::TFont& Font_;
  const x11::TDialogUnits Units_;
  std::u16string Weight_;
  std::u16string Hint_;
  bool Fault_ = false;
  bool Selected_ = true; // the prefilled weight is replaced by what is typed
  x11::TTopWindow Window_;
  x11::TDialogControls Controls_;
  int Focus_ = kWeight;
  int Pressed_ = -1;
};

class TWindowPrompt final : public IWeightPrompt {
public:
  int Ask(std::u16string& weight) override {
    return x11::RunDialog(kWeightNoWindow, [&weight](x11::TConnection& connection, x11::TFont& font) {
      TWeighWindow window(connection, font, weight);
      return window.Run(weight);
    });
  }
};

} // namespace

std::unique_ptr<IWeightPrompt> MakeWeightPrompt() {
  return std::make_unique<TWindowPrompt>();
}
