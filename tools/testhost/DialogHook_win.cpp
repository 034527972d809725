// The dialog hook and watchdog of the Windows dialog tests.
#include "DialogHook_win.h"

#include <cstdio>

namespace testhost {

TDialogHook::TDialogHook(std::function<void(HWND dialog)> activated, std::string what)
    : activated_(std::move(activated)), what_(std::move(what)) {
  current_ = this;
  hook_ = SetWindowsHookExW(WH_CBT, &TDialogHook::Hook, nullptr, GetCurrentThreadId());
  done_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  watchdog_ = std::thread([this, thread = GetCurrentThreadId()] { Watch(thread); });
}

TDialogHook::~TDialogHook() {
  SetEvent(done_);
  watchdog_.join();
  CloseHandle(done_);
  if (hook_ != nullptr)
    UnhookWindowsHookEx(hook_);
  current_ = nullptr;
}

LRESULT CALLBACK TDialogHook::Hook(int code, WPARAM wParam, LPARAM lParam) {
  // Under Wine the hook also hears of windows that other processes on the
  // same display activate (another test running at the same time): only
  // this thread's dialogs are ours to answer.
  const auto window = reinterpret_cast<HWND>(wParam);
  if (code == HCBT_ACTIVATE && current_ != nullptr &&
      GetWindowThreadProcessId(window, nullptr) == GetCurrentThreadId()) {
    wchar_t className[64] = {};
    GetClassNameW(window, className, 64);
    if (std::wstring(className) == L"#32770")
      current_->activated_(window);
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

BOOL CALLBACK TDialogHook::Cancel(HWND window, LPARAM) {
  PostMessageW(window, WM_COMMAND, IDCANCEL, 0);
  return TRUE;
}

void TDialogHook::Watch(DWORD thread) {
  if (WaitForSingleObject(done_, 20000) == WAIT_OBJECT_0)
    return;
  watchdogFired_ = true;
  EnumThreadWindows(thread, &TDialogHook::Cancel, 0);
  if (WaitForSingleObject(done_, 20000) != WAIT_OBJECT_0) {
    std::fprintf(stderr, "watchdog: the %s does not close; giving up\n", what_.c_str());
    std::fflush(stderr);
    TerminateProcess(GetCurrentProcess(), 3);
  }
}

} // namespace testhost
