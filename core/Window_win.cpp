// Device windows on Windows: the core's window procedure and the window
// commands close, print and copy.
#include "Window_win.h"

#include <algorithm>
#include <commdlg.h>
#include <string>

HINSTANCE ThisModule() {
  HMODULE module = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCWSTR>(&ThisModule), &module);
  return module;
}

namespace {

TSetEmulator* EmulatorOf(HWND window) {
  return reinterpret_cast<TSetEmulator*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

int ClientWidth(HWND window) {
  RECT rect{};
  GetClientRect(window, &rect);
  return rect.right - rect.left;
}

int ClientHeight(HWND window) {
  RECT rect{};
  GetClientRect(window, &rect);
  return rect.bottom - rect.top;
}

int Clamp(long long position, int maximum) {
  return static_cast<int>(std::clamp<long long>(position, 0, std::max(0, maximum)));
}

// A scroll request of a scroll bar (WM_HSCROLL, WM_VSCROLL).
LRESULT Scroll(HWND window, int bar, WPARAM wParam, const TSetEmulator& emulator) {
  int minimum = 0;
  int maximum = 0;
  if (!GetScrollRange(window, bar, &minimum, &maximum))
    return 0;
  const long long step = emulator.ScrollStep;
  const int current = GetScrollPos(window, bar);
  long long position = current;
  switch (LOWORD(wParam)) {
  case SB_LINEUP: // SB_LINELEFT
    position -= step;
    break;
  case SB_LINEDOWN: // SB_LINERIGHT
    position += step;
    break;
  case SB_PAGEUP: // SB_PAGELEFT
    position -= 10 * step;
    break;
  case SB_PAGEDOWN: // SB_PAGERIGHT
    position += 10 * step;
    break;
  case SB_THUMBPOSITION:
  case SB_THUMBTRACK:
    position = HIWORD(wParam);
    break;
  default:
    break;
  }
  SetScrollPos(window, bar, Clamp(position, maximum), TRUE);
  InvalidateRect(window, nullptr, TRUE);
  return 0;
}

LRESULT Wheel(HWND window, WPARAM wParam, const TSetEmulator& emulator) {
  int minimum = 0;
  int maximum = 0;
  if (!GetScrollRange(window, SB_VERT, &minimum, &maximum))
    return 0;
  const long long step = emulator.ScrollStep;
  const bool forward = HIWORD(wParam) <= 32767;
  const int current = GetScrollPos(window, SB_VERT);
  const int position = Clamp(current + (forward ? -2 : 2) * step, maximum);
  if (position != current) {
    SetScrollPos(window, SB_VERT, position, TRUE);
    InvalidateRect(window, nullptr, TRUE);
  }
  return 0;
}

LRESULT Dispatch(HWND window, UINT message, WPARAM wParam, LPARAM lParam, TSetEmulator& emulator) {
  switch (message) {
  case WM_PAINT:
    emulator.PaintWindow(window);
    return 0;
  case WM_COMMAND:
    emulator.HandleWindowCommand(window, LOWORD(wParam));
    return DefWindowProcW(window, message, wParam, lParam);
  case WM_SIZE:
    SetScrollRange(window, SB_HORZ, 0, std::max(0, emulator.ContentWidth - ClientWidth(window)), TRUE);
    SetScrollRange(window, SB_VERT, 0, std::max(0, emulator.ContentHeight - ClientHeight(window)), TRUE);
    return 0;
  case WM_HSCROLL:
    return Scroll(window, SB_HORZ, wParam, emulator);
  case WM_VSCROLL:
    return Scroll(window, SB_VERT, wParam, emulator);
  case WM_MOUSEWHEEL:
    return Wheel(window, wParam, emulator);
  case WM_DESTROY:
    if (emulator.WindowHandle == window)
      emulator.WindowHandle = nullptr;
    return DefWindowProcW(window, message, wParam, lParam);
  case WM_TIMER:
    emulator.TimerTick(window);
    return 0;
  default:
    return DefWindowProcW(window, message, wParam, lParam);
  }
}

} // namespace

LRESULT CALLBACK DisplayWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE)
    return 1;
  TSetEmulator* emulator = EmulatorOf(window);
  if (emulator == nullptr)
    return DefWindowProcW(window, message, wParam, lParam);
  // No error may cross the system's frames of the message dispatch.
  try {
    return Dispatch(window, message, wParam, lParam, *emulator);
  } catch (...) {
    return 0;
  }
}

void AttachEmulator(HWND window, TSetEmulator* emulator) {
  SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(emulator));
}

void DetachEmulator(HWND window) {
  SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&DefWindowProcW));
  SetWindowLongPtrW(window, GWLP_USERDATA, 0);
}

// ---------------------------------------------------------------------------
// Window classes

TDeviceWindowClass::TDeviceWindowClass(const wchar_t* prefix)
    : Name_(prefix + std::to_wstring(static_cast<int32_t>(GetTickCount()))) {}

TDeviceWindowClass::~TDeviceWindowClass() {
  if (!Registered_)
    return;
  for (HWND window : LeftoverWindows()) {
    DetachEmulator(window);
    DestroyWindow(window);
  }
  UnregisterClassW(Name_.c_str(), Instance_);
  Registered_ = false;
}

bool TDeviceWindowClass::Register(COLORREF background) {
  if (Registered_)
    return true;
  Instance_ = ThisModule();
  WNDCLASSW windowClass{};
  windowClass.style = CS_HREDRAW | CS_VREDRAW;
  windowClass.lpfnWndProc = DisplayWndProc;
  windowClass.hInstance = Instance_;
  windowClass.hIcon = LoadIconA(Instance_, MAKEINTRESOURCEA(kDeviceWindowIcon));
  windowClass.hbrBackground = CreateSolidBrush(background);
  windowClass.lpszClassName = Name_.c_str();
  if (RegisterClassW(&windowClass) != 0) {
    Registered_ = true; // the class owns its brush from now on
  } else if (windowClass.hbrBackground != nullptr) {
    DeleteObject(windowClass.hbrBackground);
  }
  return Registered_;
}

namespace {

struct TWindowSearch {
  const std::wstring* Name;
  std::vector<HWND> Found;
};

BOOL CALLBACK CollectWindow(HWND window, LPARAM data) {
  auto* search = reinterpret_cast<TWindowSearch*>(data);
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  wchar_t name[64] = {};
  if (process == GetCurrentProcessId() && GetClassNameW(window, name, 64) > 0 && *search->Name == name)
    search->Found.push_back(window);
  return TRUE;
}

} // namespace

std::vector<HWND> TDeviceWindowClass::LeftoverWindows() const {
  TWindowSearch search{&Name_, {}};
  EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&search));
  return search.Found;
}

// ---------------------------------------------------------------------------
// Window commands

void TSetEmulator::HandleWindowCommand(void* window, int command) {
  const HWND handle = static_cast<HWND>(window);
  switch (command) {
  case kCommandCloseWindow:
    DestroyWindow(handle);
    break;
  case kCommandPrintWindow:
    devicewindow::PrintWindow(handle, *this, EquipmentName);
    break;
  case kCommandCopyWindow:
    devicewindow::CopyBitmapToClipboard(static_cast<HBITMAP>(WindowBitmap));
    break;
  default:
    break;
  }
}

namespace devicewindow {

void PrintWindow(HWND owner, TSetEmulator& emulator, std::u16string_view documentName) {
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
    emulator.PreparePrintout(dotsPerMmX, dotsPerMmY);
    const std::wstring name(documentName.begin(), documentName.end());
    DOCINFOW document{};
    document.cbSize = sizeof document;
    document.lpszDocName = name.c_str();
    if (StartDocW(dc, &document) > 0) {
      if (StartPage(dc) > 0) {
        emulator.DrawPrintout(dc, dotsPerMmX, dotsPerMmY);
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

void CopyBitmapToClipboard(HBITMAP bitmap) {
  // Without a bitmap there is nothing to give, and emptying the clipboard
  // would only throw away what the user had on it.
  if (bitmap == nullptr)
    return;
  if (!OpenClipboard(nullptr))
    return;
  if (EmptyClipboard()) {
    // The clipboard owns what it is given: it gets a copy, so that the
    // window's own bitmap stays the window's.
    const HANDLE copy = CopyImage(bitmap, IMAGE_BITMAP, 0, 0, 0);
    if (copy != nullptr && SetClipboardData(CF_BITMAP, copy) == nullptr)
      DeleteObject(copy);
  }
  CloseClipboard();
}

} // namespace devicewindow
