// Tests of modal dialogs on Windows. A WH_CBT hook on the calling thread hands
// every dialog (class #32770) that this thread activates to a callback, which
// reads it and posts the operator's answer; a watchdog thread cancels the
// thread's dialogs when the hook's owner is not done within 20 s, and ends
// the program when even that does not end the call, so that no run can hang.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>

namespace testhost {

class TDialogHook {
public:
  // what names the dialog in the watchdog's message.
  TDialogHook(std::function<void(HWND dialog)> activated, std::string what);
  ~TDialogHook();
  TDialogHook(const TDialogHook&) = delete;
  TDialogHook& operator=(const TDialogHook&) = delete;

  // Whether the watchdog had to cancel a dialog.
  bool WatchdogFired() const { return watchdogFired_; }

private:
  static LRESULT CALLBACK Hook(int code, WPARAM wParam, LPARAM lParam);
  static BOOL CALLBACK Cancel(HWND window, LPARAM);
  void Watch(DWORD thread);

  static inline TDialogHook* current_ = nullptr;
  std::function<void(HWND)> activated_;
  std::string what_;
  HHOOK hook_ = nullptr;
  HANDLE done_ = nullptr;
  std::atomic<bool> watchdogFired_{false};
  std::thread watchdog_;
};

} // namespace testhost
