// Shows a device's modal operator window for a screenshot: loads the add-in
// through the test host, opens a device and calls the method that asks the
// operator (the card terminal's payment by default, with the amount as its
// third parameter; the electronic scale's GetWeight with its class). When the
// window is activated, its screen rectangle goes to the "ready" file; the
// window then stays until the "done" file appears (or 60 s pass) and is
// closed with its "Закрыть" button.
//   cardshot.exe <add-in> <ready file> <done file> [amount] [method] [class]
#include "TestHost.h"

#include <windows.h>

#include <cstdio>
#include <string>

namespace {

std::wstring doneFile;
std::wstring readyFile;
HWND shownDialog = nullptr;
DWORD shownAt = 0;

void CALLBACK Poll(HWND, UINT, UINT_PTR timer, DWORD) {
  if (shownDialog == nullptr)
    return;
  const bool done = GetFileAttributesW(doneFile.c_str()) != INVALID_FILE_ATTRIBUTES;
  if (done || GetTickCount() - shownAt > 60000) {
    KillTimer(nullptr, timer);
    PostMessageW(GetDlgItem(shownDialog, 2), BM_CLICK, 0, 0);
  }
}

LRESULT CALLBACK Hook(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_ACTIVATE && shownDialog == nullptr) {
    HWND window = reinterpret_cast<HWND>(wParam);
    wchar_t className[64] = {};
    GetClassNameW(window, className, 64);
    if (std::wstring(className) == L"#32770") {
      shownDialog = window;
      shownAt = GetTickCount();
      SetTimer(nullptr, 0, 100, Poll);
    }
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

// Once the dialog is on the screen and painted, tell the script where it is.
void CALLBACK Announce(HWND, UINT, UINT_PTR timer, DWORD) {
  if (shownDialog == nullptr || !IsWindowVisible(shownDialog))
    return;
  KillTimer(nullptr, timer);
  SetForegroundWindow(shownDialog);
  RedrawWindow(shownDialog, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  RECT r{};
  GetWindowRect(shownDialog, &r);
  const std::wstring partial = readyFile + L".part";
  if (FILE* f = _wfopen(partial.c_str(), L"w")) {
    std::fprintf(f, "%ld %ld %ld %ld\n", r.left, r.top, r.right - r.left, r.bottom - r.top);
    std::fclose(f);
    MoveFileExW(partial.c_str(), readyFile.c_str(), MOVEFILE_REPLACE_EXISTING);
  }
}

std::string Utf8(const std::wstring& text) {
  return testhost::Utf16ToUtf8(std::u16string(text.begin(), text.end()));
}

} // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 4) {
    std::fputs("usage: cardshot <add-in> <ready file> <done file> [amount] [method] [class]\n", stderr);
    return 2;
  }
  readyFile = argv[2];
  doneFile = argv[3];
  const double amount = argc > 4 ? _wtof(argv[4]) : 1234.5;
  const std::wstring method = argc > 5 ? argv[5] : L"PayByPaymentCard";
  const std::wstring className = argc > 6 ? argv[6] : L"Orvik_CardSim_2001";

  std::string error;
  const auto ready =
      testhost::OpenObject(Utf8(argv[1]), std::u16string(className.begin(), className.end()), error);
  if (!ready) {
    std::fprintf(stderr, "cardshot: %s\n", error.c_str());
    return 1;
  }
  testhost::CountingMemory& memory = ready->memory;
  testhost::Component* component = ready->component.get();
  testhost::ValueList open(memory, 1);
  tVariant result = testhost::EmptyValue();
  component->CallAsFunc(component->RequireMethod(u"Open"), result, open);
  testhost::ReleaseValue(memory, result);

  testhost::ValueList params(memory);
  params.Add(open[0]);
  open[0] = testhost::EmptyValue();
  const long index = component->RequireMethod(std::u16string(method.begin(), method.end()));
  for (long k = 1; k < component->GetNParams(index); ++k)
    params.Add(k == 2 ? testhost::DoubleValue(amount) : testhost::EmptyValue());

  HHOOK hook = SetWindowsHookExW(WH_CBT, Hook, nullptr, GetCurrentThreadId());
  const UINT_PTR announce = SetTimer(nullptr, 0, 300, Announce);
  component->CallAsFunc(index, result, params);
  KillTimer(nullptr, announce);
  UnhookWindowsHookEx(hook);
  std::printf("cardshot: %s\n", testhost::DescribeValue(result).c_str());
  testhost::ReleaseValue(memory, result);
  return shownDialog != nullptr ? 0 : 1;
}
