// Input windows of the Win32 backend: each a dialog of this library's
// resource made on a thread of its own, whose message loop hands the dialog
// its keys (IsDialogMessageW: Tab and Enter work whatever the host's loop
// does). The default button gives the fields to the handler, the other
// buttons their identifiers; Escape does nothing; the close box destroys the
// window. New texts from any thread wait in a list and a private message
// tells the thread to take them.
#include "Backend.h"
#include "Window_win.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace ui::win {

namespace {

// To the dialog: take the texts that wait. To the thread: end the window.
constexpr UINT kTakeTexts = WM_APP + 0x31;
constexpr UINT kStop = WM_APP + 0x32;

using TTexts = std::vector<std::pair<int, std::u16string>>;

std::u16string TextOfItem(HWND dialog, int id) {
  const HWND item = GetDlgItem(dialog, id);
  const int length = item != nullptr ? GetWindowTextLengthW(item) : 0;
  if (length <= 0)
    return {};
  std::u16string text(static_cast<size_t>(length) + 1, u'\0');
  const int read = GetWindowTextW(item, reinterpret_cast<wchar_t*>(text.data()), length + 1);
  text.resize(static_cast<size_t>(std::max(read, 0)));
  return text;
}

class TWin32InputWindow final : public TInputWindow {
public:
  TWin32InputWindow(const TInputWindowSpec& spec, IInputHandler& handler) : Spec_(spec), Handler_(handler) {}

  // Asks the thread to end the window until it does (a message may be lost
  // to a full queue), then joins it.
  ~TWin32InputWindow() override {
    Stopping_ = true;
    if (!Thread_.joinable())
      return;
    std::unique_lock lock(Lock_);
    while (!Finished_) {
      PostThreadMessageW(ThreadId_, kStop, 0, 0);
      Changed_.wait_for(lock, std::chrono::milliseconds(100), [this] { return Finished_; });
    }
    lock.unlock();
    Thread_.join();
  }

  // Starts the thread and waits until it has made the window or failed to:
  // false when there is no window. The library stays loaded from then on: a
  // host that unloads it under a window it never destroyed must not unmap
  // the code the thread runs.
  bool Start() {
    HMODULE pinned = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                       reinterpret_cast<LPCWSTR>(&ThisModule), &pinned);
    try {
      Thread_ = std::thread([this] { Run(); });
    } catch (...) {
      return false;
    }
    std::unique_lock lock(Lock_);
    Changed_.wait(lock, [this] { return Made_ != TMade::Pending; });
    return Made_ == TMade::Yes;
  }

  bool Shown() const override { return true; }
  bool Open() const override { return !Closed_; }

  void SetTexts(TTexts texts) override {
    {
      const std::lock_guard lock(Lock_);
      for (auto& text : texts)
        Pending_.push_back(std::move(text));
    }
    if (!Closed_)
      PostMessageW(Dialog_, kTakeTexts, 0, 0);
  }

private:
  enum class TMade { Pending, Yes, No };

  void Made(TMade made) {
    {
      const std::lock_guard lock(Lock_);
      Made_ = made;
    }
    Changed_.notify_all();
  }

  void Run() {
    Serve();
    {
      const std::lock_guard lock(Lock_);
      Finished_ = true;
    }
    Changed_.notify_all();
  }

  void Serve() {
    ThreadId_ = GetCurrentThreadId();
    MSG message;
    PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE); // the thread's queue, for kStop
    const TDialogTemplate& dialog = *Spec_.Template;
    const HWND window = CreateDialogParamW(
        ThisModule(), dialog.Name != nullptr ? Wide(dialog.Name) : MAKEINTRESOURCEW(dialog.Number), nullptr,
        Proc, reinterpret_cast<LPARAM>(this));
    if (window == nullptr) {
      Closed_ = true;
      Made(TMade::No);
      return;
    }
    Dialog_ = window;
    ShowWindow(window, SW_SHOW);
    SetForegroundWindow(window);
    Made(TMade::Yes);
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
      if (message.hwnd == nullptr && message.message == kStop) {
        DestroyWindow(window); // its WM_DESTROY ends the loop
        continue;
      }
      if (!IsDialogMessageW(window, &message)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
      }
    }
    Closed_ = true;
    if (IsWindow(window))
      DestroyWindow(window);
  }

  bool IsField(int id) const {
    return std::find(Spec_.Fields.begin(), Spec_.Fields.end(), id) != Spec_.Fields.end();
  }

  bool IsButton(int id) const {
    const TControlTemplate* control = Spec_.Template->Control(id);
    return control != nullptr && control->Kind == TControlKind::Button;
  }

  bool IsDefault(int id) const {
    const TControlTemplate* control = Spec_.Template->Control(id);
    return id == IDOK || (control != nullptr && control->Kind == TControlKind::Button && control->Default);
  }

  // The first field takes the keyboard, its text selected or not.
  void FocusFirstField(HWND dialog, bool select) {
    if (Spec_.Fields.empty())
      return;
    const HWND field = GetDlgItem(dialog, Spec_.Fields.front());
    if (field == nullptr)
      return;
    SendMessageW(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(field), TRUE);
    SendMessageW(field, EM_SETSEL, select ? 0 : -1, -1);
  }

  void Initialise(HWND dialog) {
    SetWindowPos(dialog, Spec_.KeepAbove ? HWND_TOPMOST : nullptr, Spec_.X, Spec_.Y, 0, 0,
                 SWP_NOSIZE | SWP_NOACTIVATE | (Spec_.KeepAbove ? 0 : SWP_NOZORDER));
    for (const int id : Spec_.Fields)
      SendDlgItemMessageW(dialog, id, EM_LIMITTEXT, static_cast<WPARAM>(Spec_.FieldLimit), 0);
    for (const TControlTemplate& control : Spec_.Template->Controls)
      if (control.Kind == TControlKind::Button && (control.Text == nullptr || control.Text[0] == 0))
        EnableWindow(GetDlgItem(dialog, control.Id), FALSE);
    if (Spec_.ReasonId != 0)
      ReasonText_ = TextOfItem(dialog, Spec_.ReasonId);
    TakeTexts(dialog);
    FocusFirstField(dialog, false);
  }

  void TakeTexts(HWND dialog) {
    TTexts texts;
    {
      const std::lock_guard lock(Lock_);
      texts.swap(Pending_);
    }
    for (auto& [id, text] : texts) {
      const HWND item = GetDlgItem(dialog, id);
      if (item == nullptr)
        continue;
      if (IsField(id) && text.size() > Spec_.FieldLimit)
        text.resize(Spec_.FieldLimit);
      if (id == Spec_.ReasonId)
        ReasonText_ = text;
      if (IsButton(id)) {
        if (text.empty() && GetFocus() == item)
          FocusFirstField(dialog, false); // a disabled button would hold the keyboard
        EnableWindow(item, text.empty() ? FALSE : TRUE);
      }
      SetWindowTextW(item, Wide(text));
    }
  }

  // The default button: the fields go to the handler; taken, they are
  // emptied; refused, the reason shows and the first field is selected.
  void Submit(HWND dialog) {
    std::vector<std::u16string> fields;
    for (const int id : Spec_.Fields)
      fields.push_back(TextOfItem(dialog, id));
    if (Stopping_)
      return;
    std::u16string reason;
    try {
      reason = Handler_.Submit(fields);
    } catch (...) {
      reason = u"Ввод не принят";
    }
    if (reason.empty()) {
      for (const int id : Spec_.Fields)
        SetDlgItemTextW(dialog, id, L"");
      if (Spec_.ReasonId != 0)
        SetDlgItemTextW(dialog, Spec_.ReasonId, Wide(ReasonText_));
      FocusFirstField(dialog, false);
    } else {
      if (Spec_.ReasonId != 0)
        SetDlgItemTextW(dialog, Spec_.ReasonId, Wide(reason));
      FocusFirstField(dialog, true);
    }
  }

  void Command(HWND dialog, int id, int code) {
    if (IsField(id) || code != BN_CLICKED || id == IDCANCEL) // Escape gives IDCANCEL: nothing
      return;
    const HWND item = GetDlgItem(dialog, id);
    if (item != nullptr && !IsWindowEnabled(item))
      return;
    if (IsDefault(id)) {
      Submit(dialog);
    } else if (IsButton(id) && !Stopping_) {
      try {
        Handler_.Command(id);
      } catch (...) {
        // The window goes on.
      }
    }
  }

  static INT_PTR CALLBACK Proc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    // No error may cross the dialog manager's frames.
    try {
      if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        reinterpret_cast<TWin32InputWindow*>(lParam)->Initialise(dialog);
        return FALSE; // the focus is set
      }
      auto* self = reinterpret_cast<TWin32InputWindow*>(GetWindowLongPtrW(dialog, DWLP_USER));
      if (self == nullptr)
        return FALSE;
      switch (message) {
      case WM_COMMAND:
        self->Command(dialog, LOWORD(wParam), HIWORD(wParam));
        return TRUE;
      case kTakeTexts:
        self->TakeTexts(dialog);
        return TRUE;
      case WM_CLOSE: // the close box; answered here, it never becomes IDCANCEL
        self->Closed_ = true;
        DestroyWindow(dialog);
        return TRUE;
      case WM_DESTROY:
        self->Closed_ = true;
        PostQuitMessage(0);
        return FALSE;
      default:
        return FALSE;
      }
    } catch (...) {
      return TRUE;
    }
  }

  const TInputWindowSpec Spec_;
  IInputHandler& Handler_;
  std::atomic<bool> Stopping_{false};
  std::atomic<bool> Closed_{false};
  std::atomic<HWND> Dialog_{nullptr};
  std::atomic<DWORD> ThreadId_{0};
  std::u16string ReasonText_; // on the thread: the reason label's text while no input is refused
  std::mutex Lock_;           // guards the four below
  std::condition_variable Changed_;
  TMade Made_ = TMade::Pending;
  bool Finished_ = false; // the thread is done with the window
  TTexts Pending_;
  std::thread Thread_;
};

} // namespace

} // namespace ui::win

namespace ui {

std::unique_ptr<TInputWindow> OpenInputWindow(const TInputWindowSpec& spec, IInputHandler& handler) {
  if (spec.Template == nullptr)
    return null::OpenInputWindow();
  auto window = std::make_unique<win::TWin32InputWindow>(spec, handler);
  if (!window->Start())
    return null::OpenInputWindow(); // no template, or no window could be made
  return window;
}

} // namespace ui
