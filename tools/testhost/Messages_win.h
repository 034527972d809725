// The host's side of a device window's thread on Windows: the message loop a
// host runs between calls, this thread's windows of a device's class, and
// what a window says of itself.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

namespace testhost {

// Serves this thread's messages, as the host's message loop does, for ms
// milliseconds.
void PumpMessages(DWORD ms);

// This thread's top-level windows whose class name starts with prefix
// ("PanelSim_", "ReceiptSim_": a device window class of a library).
std::vector<HWND> ThreadWindowsOfClass(std::wstring_view prefix);

// A window's class name, and its text (a title, a control's caption).
std::wstring ClassOf(HWND window);
std::u16string TextOf(HWND window);

} // namespace testhost
