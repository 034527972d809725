// The core's side of a device window on Windows: the window procedure that
// hands painting, timer ticks and commands to the emulator object, and the
// window commands print and copy.
#pragma once

#include "DeviceSet.h"

#include <string_view>
#include <windows.h>

// This library's own module (the DLL, not the host's program): its resources
// hold the dialog templates, the icon and the version block.
HINSTANCE ThisModule();

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

namespace devicewindow {

// Prints one page through the standard print dialog, owned by owner; the
// object's PreparePrintout and DrawPrintout supply the picture.
void PrintWindow(HWND owner, TSetEmulator& emulator, std::u16string_view documentName);
// Puts a copy of bitmap on the clipboard; nothing happens when there is no
// bitmap or the clipboard is busy.
void CopyBitmapToClipboard(HBITMAP bitmap);

} // namespace devicewindow
