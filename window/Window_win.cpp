// Device windows of the Win32 backend: a window class per kind of window and
// load of the library, the window procedure that hands painting and timer
// ticks to the device's painter, and the window commands close, print and
// copy.
#include "Window_win.h"
#include "Backend.h"

#include <commdlg.h>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace ui::win {

HINSTANCE ThisModule() {
  HMODULE module = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCWSTR>(&ThisModule), &module);
  return module;
}

namespace {

constexpr DWORD kStyle = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;

// The tick count of the load: every load of the library names its classes
// afresh, so that a class left behind by an earlier load is never reused.
const int32_t LoadTick = static_cast<int32_t>(GetTickCount());

LRESULT CALLBACK DeviceWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Cuts window off from its object: its procedure becomes DefWindowProcW and its
// user data null, so that no message still on its way (a queued timer tick,
// say) reaches a freed object.
void Detach(HWND window) {
  SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&DefWindowProcW));
  SetWindowLongPtrW(window, GWLP_USERDATA, 0);
}

// A window class of this library for device windows, one per kind of window.
// When the library is unloaded, windows of the class whose object the device
// never destroyed are cut off and, where this thread owns them, destroyed,
// and the class is unregistered.
class TDeviceWindowClass {
public:
  explicit TDeviceWindowClass(const char* prefix)
      : Prefix_(prefix),
        Name_(std::wstring(Prefix_.begin(), Prefix_.end()) + L"_" + std::to_wstring(LoadTick)) {}
  ~TDeviceWindowClass() {
    if (!Registered_)
      return;
    for (HWND window : LeftoverWindows()) {
      Detach(window);
      DestroyWindow(window);
    }
    UnregisterClassW(Name_.c_str(), Instance_);
  }
  TDeviceWindowClass(const TDeviceWindowClass&) = delete;
  TDeviceWindowClass& operator=(const TDeviceWindowClass&) = delete;

  const std::string& Prefix() const { return Prefix_; }
  const wchar_t* Name() const { return Name_.c_str(); }
  HINSTANCE Instance() const { return Instance_; }

  // Registers the class once, with a brush of background; true when it is.
  bool Register(TColour background) {
    if (Registered_)
      return true;
    Instance_ = ThisModule();
    WNDCLASSW windowClass{};
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = DeviceWindowProc;
    windowClass.hInstance = Instance_;
    windowClass.hIcon = LoadIconW(Instance_, MAKEINTRESOURCEW(kWindowIcon));
    windowClass.hbrBackground = CreateSolidBrush(Colour(background));
    windowClass.lpszClassName = Name_.c_str();
    if (RegisterClassW(&windowClass) != 0)
      Registered_ = true; // the class owns its brush from now on
    else if (windowClass.hbrBackground != nullptr)
      DeleteObject(windowClass.hbrBackground);
    return Registered_;
  }

private:
  struct TSearch {
    const std::wstring* Name;
    std::vector<HWND> Found;
  };

  static BOOL CALLBACK Collect(HWND window, LPARAM data) {
    auto* search = reinterpret_cast<TSearch*>(data);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    wchar_t name[256] = {};
    if (process == GetCurrentProcessId() && GetClassNameW(window, name, 256) > 0 && *search->Name == name)
      search->Found.push_back(window);
    return TRUE;
  }

  // The windows of this class in this process.
  std::vector<HWND> LeftoverWindows() const {
    TSearch search{&Name_, {}};
    EnumWindows(Collect, reinterpret_cast<LPARAM>(&search));
    return search.Found;
  }

  std::string Prefix_;
  std::wstring Name_;
  bool Registered_ = false;
  HINSTANCE Instance_ = nullptr;
};

// The classes of this load, made as the kinds of window are first opened and
// gone with the library.
class TClasses {
public:
  TDeviceWindowClass* Registered(const char* prefix, TColour background) {
    const std::lock_guard lock(Mutex_);
    for (const auto& known : Classes_)
      if (known->Prefix() == prefix)
        return known->Register(background) ? known.get() : nullptr;
    Classes_.push_back(std::make_unique<TDeviceWindowClass>(prefix));
    return Classes_.back()->Register(background) ? Classes_.back().get() : nullptr;
  }

private:
  std::mutex Mutex_;
  std::vector<std::unique_ptr<TDeviceWindowClass>> Classes_;
};
TClasses Classes;

// Prints one page through the standard print dialog, owned by owner; the
// painter's PreparePrintout and DrawPrintout supply the picture.
void Print(HWND owner, IPainter& painter, const std::u16string& documentName) {
  PRINTDLGW dialog{};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = owner;
  dialog.Flags = PD_RETURNDC | PD_USEDEVMODECOPIESANDCOLLATE;
  dialog.nCopies = 1;
  dialog.nFromPage = 0xFFFF;
  dialog.nToPage = 0xFFFF;
  dialog.nMinPage = 1;
  dialog.nMaxPage = 0xFFFF;
  const BOOL chosen = PrintDlgW(&dialog);
  // The dialog hands out its printer settings as well; nothing here keeps them.
  if (dialog.hDevMode != nullptr)
    GlobalFree(dialog.hDevMode);
  if (dialog.hDevNames != nullptr)
    GlobalFree(dialog.hDevNames);
  if (!chosen || dialog.hDC == nullptr)
    return;

  const HDC dc = dialog.hDC;
  const double dotsPerMmX = GetDeviceCaps(dc, LOGPIXELSX) / 25.4;
  const double dotsPerMmY = GetDeviceCaps(dc, LOGPIXELSY) / 25.4;
  try {
    painter.PreparePrintout(dotsPerMmX, dotsPerMmY);
    DOCINFOW document{};
    document.cbSize = sizeof document;
    document.lpszDocName = Wide(documentName);
    if (StartDocW(dc, &document) > 0) {
      if (StartPage(dc) > 0) {
        {
          TGdiCanvas canvas(dc, GetDeviceCaps(dc, HORZRES), GetDeviceCaps(dc, VERTRES));
          painter.DrawPrintout(canvas, dotsPerMmX, dotsPerMmY);
        }
        EndPage(dc);
      }
      EndDoc(dc);
    }
  } catch (...) {
    DeleteDC(dc);
    throw;
  }
  DeleteDC(dc);
}

// A device window on the screen. It is the window's user data; a window the
// user closed leaves it without one.
class TWin32Window final : public TDeviceWindow {
public:
  TWin32Window(const TWindowSpec& spec, IPainter& painter) : Spec_(spec), Painter_(painter) {}
  ~TWin32Window() override { Close(); }

  bool Open(const TDeviceWindowClass& windowClass) {
    const DWORD exStyle = WS_EX_CLIENTEDGE | (Spec_.KeepAbove ? WS_EX_TOPMOST : 0);
    RECT rect{0, 0, Spec_.Width, Spec_.Height};
    AdjustWindowRectEx(&rect, kStyle, FALSE, exStyle);
    Window_ = CreateWindowExW(exStyle, windowClass.Name(), nullptr, kStyle, Spec_.X, Spec_.Y,
                              rect.right - rect.left, rect.bottom - rect.top, nullptr, nullptr,
                              windowClass.Instance(), nullptr);
    if (Window_ == nullptr)
      return false;
    Shown_ = true;
    SetWindowTextW(Window_, Wide(Spec_.Title));
    SetWindowLongPtrW(Window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    ShowWindow(Window_, Spec_.Activate ? SW_SHOW : SW_SHOWNOACTIVATE);
    if (Spec_.TickMs > 0)
      Timer_ = SetTimer(Window_, Spec_.TimerId, static_cast<UINT>(Spec_.TickMs), nullptr);
    return true;
  }

  bool Repaint() override {
    if (Window_ == nullptr || !IsWindow(Window_))
      return false;
    InvalidateRect(Window_, nullptr, FALSE);
    return true;
  }
  bool Shown() const override { return Shown_; }

  LRESULT Dispatch(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT:
      PaintClient(window, Painter_, Spec_.Background);
      return 0;
    case WM_ERASEBKGND:
      return 1; // the paint covers the whole area
    case WM_TIMER:
      if (Painter_.Tick()) {
        // Each step is shown at once, not when the queue comes to it.
        InvalidateRect(window, nullptr, FALSE);
        UpdateWindow(window);
      }
      return 0;
    case WM_COMMAND:
      Command(window, LOWORD(wParam));
      return DefWindowProcW(window, message, wParam, lParam);
    case WM_DESTROY:
      // Closed by the user (or the close command): the object stays, without
      // a window, and Repaint says so.
      SetWindowLongPtrW(window, GWLP_USERDATA, 0);
      Window_ = nullptr;
      Timer_ = 0;
      return DefWindowProcW(window, message, wParam, lParam);
    default:
      return DefWindowProcW(window, message, wParam, lParam);
    }
  }

private:
  void Command(HWND window, int command) {
    switch (command) {
    case kCommandClose:
      DestroyWindow(window);
      break;
    case kCommandPrint:
      Print(window, Painter_, Spec_.PrintName.empty() ? Spec_.Title : Spec_.PrintName);
      break;
    case kCommandCopy:
      // The window keeps no picture to give: the clipboard, with what the
      // user had on it, is left alone.
      break;
    default:
      break;
    }
  }

  void Close() {
    const HWND window = Window_;
    if (window == nullptr)
      return;
    Window_ = nullptr;
    if (Timer_ != 0)
      KillTimer(window, Timer_);
    Timer_ = 0;
    Detach(window);
    DestroyWindow(window);
  }

  TWindowSpec Spec_;
  IPainter& Painter_;
  HWND Window_ = nullptr;
  UINT_PTR Timer_ = 0;
  bool Shown_ = false;
};

LRESULT CALLBACK DeviceWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  // The title is set after the window is made.
  if (message == WM_NCCREATE)
    return 1;
  auto* object = reinterpret_cast<TWin32Window*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (object == nullptr)
    return DefWindowProcW(window, message, wParam, lParam);
  // No error may cross the system's frames of the message dispatch.
  try {
    return object->Dispatch(window, message, wParam, lParam);
  } catch (...) {
    return 0;
  }
}

} // namespace

} // namespace ui::win

namespace ui {

std::unique_ptr<TDeviceWindow> OpenWindow(const TWindowSpec& spec, IPainter& painter) {
  win::TDeviceWindowClass* windowClass =
      win::Classes.Registered(spec.ClassName != nullptr ? spec.ClassName : "Orvik", spec.Background);
  if (windowClass == nullptr)
    return null::OpenWindow();
  auto window = std::make_unique<win::TWin32Window>(spec, painter);
  if (!window->Open(*windowClass))
    return null::OpenWindow();
  return window;
}

} // namespace ui
