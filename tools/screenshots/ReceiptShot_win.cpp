// receiptshot on Windows: this thread serves the paper window's messages, as
// the host's message loop would.
#include "Messages_win.h"
#include "ReceiptShot.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

bool HoldPaperWindow(const std::string& classPrefix, const std::string& ready, const std::string& done) {
  testhost::PumpMessages(500); // painted
  const std::vector<HWND> papers =
      testhost::ThreadWindowsOfClass(std::wstring(classPrefix.begin(), classPrefix.end()));
  RECT rect{};
  if (papers.empty() || !GetWindowRect(papers[0], &rect))
    return false;
  // A window placed beyond a small screen's edge (the fiscal register's sits
  // to the right of the printer's) is moved onto it, whole, for the picture.
  const LONG width = rect.right - rect.left, height = rect.bottom - rect.top;
  const LONG screenWidth = GetSystemMetrics(SM_CXSCREEN), screenHeight = GetSystemMetrics(SM_CYSCREEN);
  if (rect.right > screenWidth || rect.bottom > screenHeight) {
    SetWindowPos(papers[0], nullptr, std::max<LONG>(0, std::min(rect.left, screenWidth - width)),
                 std::max<LONG>(0, std::min(rect.top, screenHeight - height)), 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    testhost::PumpMessages(300);
    if (!GetWindowRect(papers[0], &rect))
      return false;
  }
  const std::string temporary = ready + ".part";
  FILE* file = std::fopen(temporary.c_str(), "w");
  if (file == nullptr)
    return false;
  std::fprintf(file, "%ld %ld %ld %ld\n", rect.left, rect.top, rect.right - rect.left,
               rect.bottom - rect.top);
  std::fclose(file);
  MoveFileExA(temporary.c_str(), ready.c_str(), MOVEFILE_REPLACE_EXISTING);
  for (int i = 0; i < 600 && GetFileAttributesA(done.c_str()) == INVALID_FILE_ATTRIBUTES; ++i)
    testhost::PumpMessages(100);
  return true;
}
