// Input windows on X11: each served by a window thread of its own
// (WindowThread_x11.h) that owns the connection, the window and the dialog's
// state, laid out and painted as the modal dialogs are (TDialogFace). The
// handler runs on that thread with the X lock let go; new texts from any
// thread wait in a list until the thread, woken through its pipe, takes them.
#include "Backend.h"
#include "DialogState.h"

#include <chrono>
#include <memory>
#include <mutex>
#include <span>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "DialogFace_x11.h"
#include "WindowThread_x11.h"

namespace ui {

namespace {

// How long the host's call waits for a new window to appear.
constexpr auto kShowWait = std::chrono::seconds(3);

// What the window's thread keeps on the window: the font, the dialog's state
// and its face. Made and destroyed on that thread, with the connection open.
struct TInputFace {
  explicit TInputFace(const TDialogTemplate& dialog) : Run(dialog) {}
  std::unique_ptr<x11::TFont> Font;
  TDialogRun Run;
  std::unique_ptr<TDialogState> State;
  std::unique_ptr<x11::TDialogFace> Face;
};

using TTexts = std::vector<std::pair<int, std::u16string>>;

class TX11InputWindow final : public TInputWindow {
public:
  TX11InputWindow(const std::string& displayName, const TInputWindowSpec& spec, IInputHandler& handler)
      : Spec_(spec), Handler_(handler) {
    Thread_ = std::make_unique<x11::TWindowThread>(
        displayName,
        x11::TTopWindowSpec{.X = spec.X,
                            .Y = spec.Y,
                            .Title = spec.Template->Title != nullptr ? spec.Template->Title : u"",
                            .ClassName = spec.ClassName != nullptr ? spec.ClassName : "Orvik",
                            .KeepAbove = spec.KeepAbove,
                            .TakeFocus = true, // the first field takes what the person types
                            .Background = x11::dialog::kFace,
                            .EventMask = KeyPressMask},
        [this](x11::TConnection& connection, const x11::TTopWindow& window) {
          return Make(connection, window);
        },
        [](void* surface) { FaceOf(surface).PaintAll(); }, nullptr, std::chrono::milliseconds(0),
        x11::TWindowThread::TInputHooks{
            .Prepare = [this](x11::TConnection& connection,
                              x11::TTopWindowSpec& top) { Fit(connection, top); },
            .Event =
                [](void* surface, XEvent& event) {
                  x11::TDialogFace& face = FaceOf(surface);
                  face.Handle(event);
                  face.Update();
                },
            .Woken = [this](void* surface) { Apply(*static_cast<TInputFace*>(surface)); }});
  }

  // Waits until it is shown or the thread gave up; false when it gave up.
  bool Start() {
    ShownAtOpen_ = Thread_->WaitShown(kShowWait);
    return ShownAtOpen_ || !Thread_->Ended();
  }

  bool Shown() const override { return ShownAtOpen_ || Thread_->WaitShown(std::chrono::seconds(0)); }
  bool Open() const override { return !Thread_->Ended(); }

  void SetTexts(TTexts texts) override {
    {
      const std::lock_guard lock(Lock_);
      for (auto& text : texts)
        Pending_.push_back(std::move(text));
    }
    Thread_->Poke();
  }

private:
  static x11::TDialogFace& FaceOf(void* surface) { return *static_cast<TInputFace*>(surface)->Face; }

  // The window's size from the template in the dialog units of its font.
  void Fit(x11::TConnection& connection, x11::TTopWindowSpec& top) const {
    if (const auto font = x11::TFont::Open(connection, {.PixelSize = 13})) {
      const x11::TDialogUnits units = x11::DialogUnitsOf(*font);
      top.Width = units.X(Spec_.Template->Width);
      top.Height = units.Y(Spec_.Template->Height);
    }
  }

  std::shared_ptr<void> Make(x11::TConnection& connection, const x11::TTopWindow& window) {
    auto face = std::make_shared<TInputFace>(*Spec_.Template);
    face->Font = x11::TFont::Open(connection, {.PixelSize = 13});
    if (!face->Font)
      throw std::runtime_error("no font"); // the thread gives the window up
    face->Run.ClassName = Spec_.ClassName;
    face->Run.FieldLimit = Spec_.FieldLimit;
    face->Run.ReasonId = Spec_.ReasonId;
    face->State = std::make_unique<TDialogState>(
        face->Run,
        TInputCalls{Spec_.Fields, [this](std::span<const std::u16string> fields) { return Submit(fields); },
                    [this](int id) { Command(id); }});
    face->Face = std::make_unique<x11::TDialogFace>(connection, *face->Font, x11::DialogUnitsOf(*face->Font),
                                                    window.Id(), *face->State);
    Apply(*face);
    connection.X.XMapSubwindows(connection.Dpy, window.Id());
    connection.X.XFlush(connection.Dpy);
    return face;
  }

  // The texts set so far, on the window's thread.
  void Apply(TInputFace& face) {
    TTexts texts;
    {
      const std::lock_guard lock(Lock_);
      texts.swap(Pending_);
    }
    for (auto& [id, text] : texts)
      face.State->SetText(id, std::move(text));
    face.Face->Update();
  }

  // The handler's calls let the X lock go: they may take their time, and must
  // not hold up the other windows.
  std::u16string Submit(std::span<const std::u16string> fields) {
    const x11::TXRelease release;
    try {
      return Handler_.Submit(fields);
    } catch (...) {
      return u"Ввод не принят";
    }
  }

  void Command(int id) {
    const x11::TXRelease release;
    try {
      Handler_.Command(id);
    } catch (...) {
      // The window goes on.
    }
  }

  const TInputWindowSpec Spec_;
  IInputHandler& Handler_;
  bool ShownAtOpen_ = false;
  std::mutex Lock_; // guards Pending_
  TTexts Pending_;
  std::unique_ptr<x11::TWindowThread> Thread_; // last: stopped and joined first
};

} // namespace

std::unique_ptr<TInputWindow> OpenInputWindow(const TInputWindowSpec& spec, IInputHandler& handler) {
  const std::string displayName = x11::DisplayName();
  if (spec.Template == nullptr || displayName.empty() || x11::Api() == nullptr)
    return null::OpenInputWindow();
  auto window = std::make_unique<TX11InputWindow>(displayName, spec, handler);
  if (!window->Start())
    return null::OpenInputWindow(); // no window; the device may try again
  return window;
}

} // namespace ui
