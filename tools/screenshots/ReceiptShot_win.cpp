// receiptshot on Windows: this thread serves the paper window's messages, as
// the host's message loop would.
#include "Messages_win.h"
#include "ReceiptShot.h"

#include <windows.h>

#include <cstdio>
#include <vector>

bool HoldPaperWindow(const std::string& ready, const std::string& done) {
  testhost::PumpMessages(500); // painted
  const std::vector<HWND> papers = testhost::ThreadWindowsOfClass(L"ReceiptSim_");
  RECT rect{};
  if (papers.empty() || !GetWindowRect(papers[0], &rect))
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
    testhost::PumpMessages(100);
  return true;
}
