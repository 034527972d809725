// The operator prompt on Linux: the operation window as an X window of its
// own, modal to the calling thread (it runs its own event loop on a
// connection of its own until the operator answers), centred on the screen.
// Its controls are child windows named with their texts, laid out in the
// dialog units of the Windows template. Where there is no display or no X
// library every operation is refused, as if the operator had closed the window.
#include "CardSim.h"

#include <algorithm>
#include <array>
#include <utility>

#include "X11_posix.h"

namespace {

constexpr char16_t kTitle[] = u"Операция по банковскому терминалу";
constexpr char16_t kAmountLabel[] = u"Сумма:";
constexpr char16_t kCloseCaption[] = u"Закрыть";

using x11::dialog::kFace;
using x11::dialog::kInk;

// The template's controls: position and size in dialog units.
constexpr x11::TDialogRect kDialogSize{0, 0, 191, 95};
constexpr x11::TDialogRect kOperationButton{13, 73, 94, 14};
constexpr x11::TDialogRect kLabel{13, 16, 25, 8};
constexpr x11::TDialogRect kAmount{41, 16, 123, 8};
constexpr x11::TDialogRect kCloseButton{118, 73, 50, 14};

class TOperationWindow {
public:
  TOperationWindow(x11::TConnection& connection, x11::TFont& font, const std::u16string& caption,
                   const std::u16string& amountText)
      : Connection_(connection), Font_(font), Units_(x11::DialogUnitsOf(font)),
        Window_(connection, {.Centred = true,
                             .Width = Units_.X(kDialogSize.Width),
                             .Height = Units_.Y(kDialogSize.Height),
                             .Title = kTitle,
                             .ClassName = "CardSim",
                             .Dialog = true,
                             .TakeFocus = true,
                             .Background = kFace,
                             .EventMask = KeyPressMask}),
        Controls_(connection, Window_.Id(), Units_), Texts_{caption, kAmountLabel, amountText,
                                                            kCloseCaption} {
    Controls_.Add(kOperationButton, caption, true);
    Controls_.Add(kLabel, kAmountLabel, false);
    Controls_.Add(kAmount, amountText, false);
    Controls_.Add(kCloseButton, kCloseCaption, true);
  }

  // Runs until the operator answers: kPromptApproved or kPromptRefused.
  int Run() {
    return x11::RunModal(Connection_, Window_, kPromptRefused,
                         [this](XEvent& event) { return Handle(event); });
  }

private:
  static constexpr int kOperation = 0; // the control indexes of the two buttons
  static constexpr int kClose = 3;

  static bool IsButton(int index) { return index == kOperation || index == kClose; }

  int Answer(int button) const { return button == kOperation ? kPromptApproved : kPromptRefused; }

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
      case XK_space:
        return Answer(Focus_); // the focused button, the operation's at first
      case XK_Escape:
        return kPromptRefused;
      case XK_Tab:
      case XK_ISO_Left_Tab:
      case XK_Left:
      case XK_Right:
      case XK_Up:
      case XK_Down:
        Focus_ = Focus_ == kOperation ? kClose : kOperation;
        Paint(kOperation);
        Paint(kClose);
        return 0;
      default:
        return 0;
      }
    case ButtonPress:
      if (event.xbutton.button == Button1)
        if (const int i = Controls_.IndexOf(event.xbutton.window); IsButton(i)) {
          Pressed_ = Focus_ = i;
          Paint(kOperation);
          Paint(kClose);
        }
      return 0;
    case ButtonRelease: {
      if (event.xbutton.button != Button1 || Pressed_ < 0)
        return 0;
      const int pressed = std::exchange(Pressed_, -1);
      Paint(pressed);
      return Controls_.ReleasedInside(event.xbutton, pressed) ? Answer(pressed) : 0;
    }
    default:
      return 0;
    }
  }

  void Paint(int index) {
    const x11::TDialogControls::TControl& control = Controls_[index];
    const std::u16string& text = Texts_[static_cast<size_t>(index)];
    x11::TCanvas canvas(Connection_, control.Id, control.Width, control.Height);
    if (IsButton(index)) {
      x11::PaintButton(canvas, Font_, text, index == Focus_, index == Pressed_);
    } else {
      canvas.Fill(0, 0, control.Width, control.Height, kFace);
      canvas.Text(Font_, 0, (control.Height - Font_.Height()) / 2 + Font_.Ascent(), text, kInk);
    }
    canvas.Show();
  }

  x11::TConnection& Connection_;
  x11::TFont& Font_;
  const x11::TDialogUnits Units_;
  x11::TTopWindow Window_;
  x11::TDialogControls Controls_;
  const std::array<std::u16string, 4> Texts_; // the controls' texts, by index
  int Focus_ = kOperation;
  int Pressed_ = -1;
};

class TWindowPrompt final : public IOperatorPrompt {
public:
  int Ask(const std::u16string& caption, const std::u16string& amountText) override {
    // No window can be shown: refused as if closed.
    return x11::RunDialog(kPromptRefused, [&](x11::TConnection& connection, x11::TFont& font) {
      TOperationWindow window(connection, font, caption, amountText);
      return window.Run();
    });
  }
};

} // namespace

std::unique_ptr<IOperatorPrompt> MakeSystemPrompt() {
  return std::make_unique<TWindowPrompt>();
}
