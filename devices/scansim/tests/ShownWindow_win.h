// The input devices' real windows under Wine. The window is a dialog served
// by a thread of its own, which the calling thread's hooks never see: it is
// found by its title on the dialog class, given field texts with WM_SETTEXT,
// Enter as the keyboard sends it to the field, and clicks with BM_CLICK.
#pragma once

#include "InputHost.h"
#include "Messages_win.h"

#include <windows.h>

namespace inputtest {

inline bool WaitUntil(const std::function<bool()>& done, int ms = 5000) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (!done()) {
    if (std::chrono::steady_clock::now() >= end)
      return done();
    std::this_thread::sleep_for(10ms);
  }
  return true;
}

// The dialog of that title, waited for; null when none came.
inline HWND FindInputWindow(const wchar_t* title) {
  HWND found = nullptr;
  WaitUntil([&] { return (found = FindWindowW(L"#32770", title)) != nullptr && IsWindowVisible(found); });
  return found;
}

inline std::u16string ItemText(HWND dialog, int id) {
  return testhost::TextOf(GetDlgItem(dialog, id));
}

inline void SetItemText(HWND dialog, int id, const wchar_t* text) {
  SendMessageW(GetDlgItem(dialog, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
}

// Enter, as the keyboard gives it to the control with the focus.
inline void PressEnter(HWND control) {
  PostMessageW(control, WM_KEYDOWN, VK_RETURN, 1);
  PostMessageW(control, WM_CHAR, L'\r', 1);
  PostMessageW(control, WM_KEYUP, VK_RETURN, 0xC0000001);
}

// The events the host has, waited for until count came (or 5 s), then 300 ms
// more for any that should not come.
inline std::vector<testhost::HostEvent> Events(Device& device, size_t count) {
  std::vector<testhost::HostEvent> got = device.connection.TakeEvents(count, 5s);
  for (testhost::HostEvent& extra : device.connection.TakeEvents(1, 300ms))
    got.push_back(std::move(extra));
  return got;
}

} // namespace inputtest
