#include "Messages_win.h"

#include <algorithm>
#include <string>

namespace testhost {

void PumpMessages(DWORD ms) {
  const DWORD start = GetTickCount();
  while (GetTickCount() - start < ms) {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
}

namespace {

struct TClassSearch {
  std::wstring_view prefix;
  std::vector<HWND> found;
};

BOOL CALLBACK Collect(HWND window, LPARAM search) {
  auto& s = *reinterpret_cast<TClassSearch*>(search);
  wchar_t name[128] = {};
  GetClassNameW(window, name, 128);
  if (std::wstring_view(name).starts_with(s.prefix))
    s.found.push_back(window);
  return TRUE;
}

} // namespace

std::vector<HWND> ThreadWindowsOfClass(std::wstring_view prefix) {
  TClassSearch search{prefix, {}};
  EnumThreadWindows(GetCurrentThreadId(), Collect, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

std::wstring ClassOf(HWND window) {
  wchar_t name[256] = {};
  GetClassNameW(window, name, 256);
  return name;
}

std::u16string TextOf(HWND window) {
  wchar_t text[256] = {};
  const int length = window != nullptr ? GetWindowTextW(window, text, 256) : 0;
  return std::u16string(text, text + std::max(length, 0));
}

} // namespace testhost
