// The core's side of a device window on Windows: the window procedure that
// hands painting, timer ticks and commands to the emulator object, and the
// window commands print and copy.
#pragma once

#include "DeviceSet.h"

#include <string>
#include <string_view>
#include <vector>
#include <windows.h>

// This library's own module (the DLL, not the host's program): its resources
// hold the dialog templates, the icon and the version block.
HINSTANCE ThisModule();

// Text for the wide-character functions: the same UTF-16 units.
inline const wchar_t* Wide(const char16_t* text) {
  return reinterpret_cast<const wchar_t*>(text);
}
inline const wchar_t* Wide(const std::u16string& text) {
  return Wide(text.c_str());
}

// The window procedure of every device window. The emulator object is the
// window's user data (AttachEmulator); a window without one gets default
// processing only.
LRESULT CALLBACK DisplayWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Makes emulator the object that window's messages go to.
void AttachEmulator(HWND window, TSetEmulator* emulator);
// Cuts window off from its object before the object goes: the window's
// procedure becomes DefWindowProcW and its user data null, so that no message
// still on its way (a queued timer tick, say) reaches a freed object.
void DetachEmulator(HWND window);

// A window class of this library for device windows (DisplayWndProc, the
// device window's icon), one per kind of window. Its name carries the tick
// count of the load, so that every load of the library uses a fresh class;
// when the library is unloaded, windows of the class whose object the host
// never destroyed are cut off and, where this thread owns them, destroyed,
// and the class is unregistered.
class TDeviceWindowClass {
public:
  explicit TDeviceWindowClass(const wchar_t* prefix);
  ~TDeviceWindowClass();
  TDeviceWindowClass(const TDeviceWindowClass&) = delete;
  TDeviceWindowClass& operator=(const TDeviceWindowClass&) = delete;

  // Registers the class once, with a brush of background; true when it is.
  bool Register(COLORREF background);
  bool Registered() const { return Registered_; }
  const wchar_t* Name() const { return Name_.c_str(); }
  HINSTANCE Instance() const { return Instance_; }

private:
  std::vector<HWND> LeftoverWindows() const; // the windows of this class in this process

  std::wstring Name_;
  bool Registered_ = false;
  HINSTANCE Instance_ = nullptr;
};

namespace devicewindow {

// Prints one page through the standard print dialog, owned by owner; the
// object's PreparePrintout and DrawPrintout supply the picture.
void PrintWindow(HWND owner, TSetEmulator& emulator, std::u16string_view documentName);
// Puts a copy of bitmap on the clipboard; nothing happens when there is no
// bitmap or the clipboard is busy.
void CopyBitmapToClipboard(HBITMAP bitmap);

} // namespace devicewindow
