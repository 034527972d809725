// The paper window of the real library on Windows (run under Wine with a
// display): place, title and topmost state, the tape drawn as ink on paper
// with the barcode's bars as the host's message loop paints it, and a window
// closed by the user made again by the next document.
#include "Messages_win.h"
#include "PrinterHost.h"

#include <windows.h>

#include <cwchar>

namespace {

using testhost::PumpMessages;

HWND ThePaper() {
  const std::vector<HWND> found = testhost::ThreadWindowsOfClass(L"ReceiptSim_");
  return found.size() == 1 ? found[0] : nullptr;
}

// Dark pixels of the client area in a band of rows.
int DarkPixels(HWND window, int top, int bottom) {
  RECT client{};
  GetClientRect(window, &client);
  const HDC dc = GetDC(window);
  int dark = 0;
  for (int y = top; y < bottom && y < client.bottom; ++y)
    for (int x = 0; x < client.right; ++x) {
      const COLORREF p = GetPixel(dc, x, y);
      dark += GetRValue(p) < 80 && GetGValue(p) < 80 && GetBValue(p) < 80;
    }
  ReleaseDC(window, dc);
  return dark;
}

TEST_F(ReceiptSimAddin, PaperWindowShowsTheTapeAboveOthers) {
  const std::u16string id = Open();
  EXPECT_EQ(Print(id, kReceipt), 1);
  PumpMessages(300);
  const HWND paper = ThePaper();
  ASSERT_NE(paper, nullptr);
  wchar_t title[64] = {};
  GetWindowTextW(paper, title, 64);
  EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(title)), u"Принтер чеков");
  EXPECT_NE(GetWindowLongW(paper, GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
  RECT client{};
  GetClientRect(paper, &client);
  EXPECT_EQ(client.right, 42 * 9 + 16);
  EXPECT_EQ(client.bottom, 26 * 18 + 16);

  // The newest lines at the bottom: text, two rows of bars, the value, the
  // cut; blank paper above.
  const int cut = 8 + 25 * 18;
  EXPECT_GT(DarkPixels(paper, cut - 2 * 18, cut - 18), 300); // bars
  EXPECT_GT(DarkPixels(paper, cut - 4 * 18, cut - 3 * 18), 20);
  EXPECT_EQ(DarkPixels(paper, 0, cut - 4 * 18), 0);

  SendMessageW(paper, WM_CLOSE, 0, 0);
  EXPECT_EQ(ThePaper(), nullptr);
  EXPECT_EQ(Call(u"OpenCashDrawer", {Text(id)}), 1);
  PumpMessages(100);
  EXPECT_NE(ThePaper(), nullptr);
  component.reset();
  EXPECT_EQ(ThePaper(), nullptr);
}

} // namespace
