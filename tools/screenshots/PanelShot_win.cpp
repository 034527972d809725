// Shows the customer display of a PANELSIM library for a screenshot: loads
// the library as the host does, writes two rows (the second one running) or
// runs the device test, and once the window has settled writes its screen
// rectangle and that of its client area ("left top width height" twice) to a
// file; then keeps the window alive for a while, serving its messages, and
// ends.
//   panelshot <library> display|test <rectangle file> [hold ms]
#include "Messages_win.h"
#include "TestHost.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>
#include <vector>

namespace {

constexpr UINT kSettleMs = 2200; // the running line has moved a few steps by then

HWND TestWindow = nullptr;
HHOOK Hook = nullptr;
std::string RectangleFile;
UINT HoldMs = 4000;
DWORD Started = 0;
bool Written = false;

bool WriteRectangle(HWND window) {
  RECT rect{};
  RECT client{};
  POINT origin{0, 0};
  if (window == nullptr || !GetWindowRect(window, &rect) || !GetClientRect(window, &client) ||
      !ClientToScreen(window, &origin))
    return false;
  const std::string temporary = RectangleFile + ".part";
  FILE* file = std::fopen(temporary.c_str(), "w");
  if (file == nullptr)
    return false;
  std::fprintf(file, "%ld %ld %ld %ld %ld %ld %ld %ld\n", rect.left, rect.top, rect.right - rect.left,
               rect.bottom - rect.top, origin.x, origin.y, client.right, client.bottom);
  std::fclose(file);
  return MoveFileExA(temporary.c_str(), RectangleFile.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
}

LRESULT CALLBACK CbtHook(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_ACTIVATE && TestWindow == nullptr) {
    wchar_t name[16] = {};
    GetClassNameW(reinterpret_cast<HWND>(wParam), name, 16);
    if (wcscmp(name, L"#32770") == 0)
      TestWindow = reinterpret_cast<HWND>(wParam);
  }
  return CallNextHookEx(Hook, code, wParam, lParam);
}

// Runs inside the device test's own message loop.
void CALLBACK TestTimer(HWND, UINT, UINT_PTR, DWORD) {
  const DWORD elapsed = GetTickCount() - Started;
  if (!Written && elapsed >= kSettleMs && TestWindow != nullptr)
    Written = WriteRectangle(TestWindow);
  if (elapsed >= kSettleMs + HoldMs && TestWindow != nullptr)
    PostMessageW(TestWindow, WM_COMMAND, IDCANCEL, 0);
}

} // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: panelshot <library> display|test <rectangle file> [hold ms]\n");
    return 2;
  }
  const std::string mode = argv[2];
  RectangleFile = argv[3];
  if (argc > 4)
    HoldMs = static_cast<UINT>(std::atoi(argv[4]));

  std::string error;
  const auto ready = testhost::OpenObject(argv[1], u"Orvik_PanelSim_3001", error);
  if (!ready) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  testhost::CountingMemory& memory = ready->memory;
  testhost::Component* component = ready->component.get();

  testhost::ValueList open(memory);
  open.Add(testhost::EmptyValue());
  tVariant result = testhost::EmptyValue();
  component->CallAsFunc(component->RequireMethod(u"Open"), result, open);
  const std::u16string id = testhost::TextOf(open[0]);

  Started = GetTickCount();
  if (mode == "test") {
    Hook = SetWindowsHookExW(WH_CBT, CbtHook, nullptr, GetCurrentThreadId());
    const UINT_PTR timer = SetTimer(nullptr, 0, 100, TestTimer);
    testhost::ValueList test(memory);
    test.Add(testhost::EmptyValue());
    test.Add(testhost::EmptyValue());
    component->CallAsFunc(component->RequireMethod(u"DeviceTest"), result, test);
    KillTimer(nullptr, timer);
    UnhookWindowsHookEx(Hook);
  } else {
    testhost::ValueList output(memory);
    output.AddString(id);
    output.AddString(u"Итого: 1 234,50 руб.\nСпасибо за покупку! Приходите к нам ещё!");
    component->CallAsFunc(component->RequireMethod(u"StringOutputOnPanelSim"), result, output);
    testhost::PumpMessages(kSettleMs);
    const std::vector<HWND> displays = testhost::ThreadWindowsOfClass(L"PanelSim_");
    Written = WriteRectangle(displays.empty() ? nullptr : displays[0]);
    testhost::PumpMessages(HoldMs);
  }
  testhost::ReleaseValue(memory, result);
  return Written ? 0 : 1;
}
