// The display window on Windows: the window class of the library, the
// always-on-top display window with its running-line timer, its painting, and
// the modal device-test window.
#include "PanelSim.h"
#include "Window_win.h"

namespace {

// The display windows' class, one per loaded library.
TDeviceWindowClass Unit(L"PanelSim_");

// The object whose device test runs, and the test window's timer.
TPanelSim_2001* TestObject = nullptr;
UINT_PTR TestTimerId = 0;

constexpr DWORD kDisplayStyle = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX; // 0x00CA0000
constexpr DWORD kDisplayExStyle = WS_EX_CLIENTEDGE | WS_EX_TOPMOST;       // 0x00000208
constexpr COLORREF kTextColour = RGB(0, 255, 0);

// A window rectangle whose client area holds columns by rows cells with a
// one-pixel margin inside a border; only its width and height matter.
void FitWindowRect(RECT& rect, DWORD style, DWORD exStyle, int32_t columns, int32_t rows) {
  rect.right = rect.left + kPanelCellWidth * columns + 2 * GetSystemMetrics(SM_CXBORDER) + 2;
  rect.bottom = rect.top + kPanelRowPitch * rows + 2 * GetSystemMetrics(SM_CYBORDER) + 2;
  AdjustWindowRectEx(&rect, style, FALSE, exStyle);
}

INT_PTR CALLBACK TestDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM /*lParam*/) {
  try {
    switch (message) {
    case WM_INITDIALOG: {
      TestTimerId = TestObject != nullptr && TestObject->RunningLine
                        ? SetTimer(dialog, kPanelTimerId, kPanelTimerPeriodMs, nullptr)
                        : 0;
      const int32_t columns = TestObject != nullptr ? TestObject->Columns : kPanelDefaultColumns;
      const int32_t rows = TestObject != nullptr ? TestObject->Rows : kPanelDefaultRows;
      RECT rect{};
      GetWindowRect(dialog, &rect);
      FitWindowRect(rect, static_cast<DWORD>(GetWindowLongW(dialog, GWL_STYLE)),
                    static_cast<DWORD>(GetWindowLongW(dialog, GWL_EXSTYLE)), columns, rows);
      SetWindowPos(dialog, nullptr, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, 0);
      break;
    }
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
        if (TestTimerId != 0)
          KillTimer(dialog, TestTimerId);
        TestTimerId = 0;
        EndDialog(dialog, IDCANCEL);
      }
      break;
    case WM_PAINT:
      if (TestObject != nullptr)
        TestObject->PaintWindow(dialog);
      break;
    case WM_TIMER:
      if (TestObject != nullptr)
        TestObject->TimerTick(dialog);
      break;
    default:
      break;
    }
  } catch (...) {
    // No error may cross the dialog manager's frames.
  }
  return FALSE;
}

} // namespace

bool TPanelSim_2001::ShowDisplayWindow() {
  const HWND existing = static_cast<HWND>(WindowHandle);
  if (existing != nullptr && IsWindow(existing)) {
    InvalidateRect(existing, nullptr, TRUE);
    return true;
  }
  WindowHandle = nullptr;
  if (!Unit.Register(BackgroundColour))
    return false;

  RECT rect{0, 0, 0, 0};
  FitWindowRect(rect, kDisplayStyle, kDisplayExStyle, Columns, Rows);
  const HWND window = CreateWindowExW(kDisplayExStyle, Unit.Name(), nullptr, kDisplayStyle, kPanelWindowX,
                                      kPanelWindowY, rect.right - rect.left, rect.bottom - rect.top, nullptr,
                                      nullptr, Unit.Instance(), nullptr);
  if (window == nullptr)
    return false;
  WindowHandle = window;
  SetWindowTextW(window, Wide(kPanelWindowTitle));
  AttachEmulator(window, this);
  ShowWindow(window, SW_SHOW);
  DisplayTimerId = RunningLine ? SetTimer(window, kPanelTimerId, kPanelTimerPeriodMs, nullptr) : 0;
  return true;
}

void TPanelSim_2001::DestroyDisplayWindow() {
  if (TestObject == this)
    TestObject = nullptr;
  const HWND window = static_cast<HWND>(WindowHandle);
  if (window == nullptr)
    return;
  if (DisplayTimerId != 0)
    KillTimer(window, DisplayTimerId);
  DisplayTimerId = 0;
  DetachEmulator(window);
  DestroyWindow(window);
  WindowHandle = nullptr;
}

void TPanelSim_2001::RefreshAfterTick(void* window) {
  const HWND display = static_cast<HWND>(WindowHandle);
  const HWND ticking = static_cast<HWND>(window);
  if (display != nullptr)
    InvalidateRect(display, nullptr, TRUE);
  // The test window shows each step at once as well.
  if (ticking != nullptr && ticking != display)
    InvalidateRect(ticking, nullptr, TRUE);
  if (ticking != nullptr)
    PaintWindow(ticking);
}

void TPanelSim_2001::RunTestWindow() {
  // A test started from within another one's window gets the window to
  // itself and hands it back afterwards.
  TPanelSim_2001* const previousObject = TestObject;
  const UINT_PTR previousTimer = TestTimerId;
  TestObject = this;
  TestTimerId = 0;
  DialogBoxParamA(ThisModule(), MAKEINTRESOURCEA(kPanelTestDialog), GetActiveWindow(), TestDlgProc, 0);
  TestObject = previousObject;
  TestTimerId = previousTimer;
}

void TPanelSim_2001::PaintWindow(void* window) {
  const HWND handle = static_cast<HWND>(window);
  PAINTSTRUCT paint{};
  const HDC dc = BeginPaint(handle, &paint);
  if (dc == nullptr)
    return;

  LOGFONTA description{};
  description.lfHeight = kPanelRowPitch;
  description.lfWidth = kPanelCellWidth;
  description.lfWeight = FW_BOLD;
  description.lfPitchAndFamily = FIXED_PITCH | FF_DECORATIVE; // 0x51
  description.lfCharSet = ANSI_CHARSET;
  const HFONT font = CreateFontIndirectA(&description);
  const HGDIOBJ previousFont = font != nullptr ? SelectObject(dc, font) : nullptr;

  RECT client{};
  GetClientRect(handle, &client);
  HBRUSH black = nullptr;
  if (TestObject != nullptr) {
    // The test window has no black ground of its own.
    black = CreateSolidBrush(RGB(0, 0, 0));
    if (black != nullptr)
      FillRect(dc, &client, black);
  }
  SetBkColor(dc, BackgroundColour);
  SetTextColor(dc, kTextColour);

  RECT row{client.left + 1, client.top + 1, client.right, client.top + 32};
  for (int i = 0; i < kPanelRowSlots; ++i) {
    RECT cell = row;
    cell.right = cell.left + kPanelCellWidth;
    const int32_t count = Lines.CellCount(i, Columns);
    for (int32_t j = 0; j < count; ++j) {
      wchar_t unit = Lines.CellUnit(i, j);
      if (unit != 0)
        DrawTextW(dc, &unit, 1, &cell, 0);
      OffsetRect(&cell, kPanelCellWidth, 0);
    }
    row.top += kPanelRowPitch;
    row.bottom = row.top + kPanelRowPitch;
  }

  if (previousFont != nullptr)
    SelectObject(dc, previousFont);
  if (black != nullptr)
    DeleteObject(black);
  if (font != nullptr)
    DeleteObject(font);
  EndPaint(handle, &paint);
}
