// receiptshot on Windows: this thread serves the paper window's messages, as
// the host's message loop would.
#include "ReceiptShot.h"

#include <windows.h>

#include <cstdio>
#include <cwchar>

namespace {

BOOL CALLBACK FindPaper(HWND window, LPARAM found) {
  wchar_t name[64] = {};
  GetClassNameW(window, name, 64);
  if (std::wcsncmp(name, L"ReceiptSim_", 11) == 0) {
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
  }
  return TRUE;
}

void Pump(DWORD ms) {
  const DWORD start = GetTickCount();
  while (GetTickCount() - start < ms) {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
      DispatchMessageW(&message);
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
  }
}

} // namespace

bool HoldPaperWindow(const std::string& ready, const std::string& done) {
  Pump(500); // painted
  HWND paper = nullptr;
  EnumThreadWindows(GetCurrentThreadId(), FindPaper, reinterpret_cast<LPARAM>(&paper));
  RECT rect{};
  if (paper == nullptr || !GetWindowRect(paper, &rect))
    return false;
  const std::string temporary = ready + ".part";
  FILE* file = std::fopen(temporary.c_str(), "w");
  if (file == nullptr)
    return false;
  std::fprintf(file, "%ld %ld %ld %ld\n", rect.left, rect.top, rect.right - rect.left,
               rect.bottom - rect.top);
  std::fclose(file);
  MoveFileExA(temporary.c_str(), ready.c_str(), MOVEFILE_REPLACE_EXISTING);
  for (int i = 0; i < 600 && GetFileAttributesA(done.c_str()) == INVALID_FILE_ATTRIBUTES; ++i)
    Pump(100);
  return true;
}
