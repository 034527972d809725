// The label window of the real library under Wine: found by its title, its
// inner size from the labels at screen size, topmost, gone with Close; none
// with Show off.
#include "LabelHost.h"
#include "Messages_win.h"

#include <windows.h>

namespace {

HWND TheWindow() {
  return FindWindowW(nullptr, reinterpret_cast<const wchar_t*>(kTitle));
}

TEST_F(LabelSimAddin, WindowShowsTheLastLabelsAndGoesWithClose) {
  const std::u16string id = Open();
  EXPECT_EQ(Call(u"SetParameter", {Text(u"Show"), BoolValue(false)}), 1);
  ASSERT_EQ(Print(id, Batch(kFormatting, u"<Label/>"), u"last"), 1) << U8(LastError());
  testhost::PumpMessages(100);
  EXPECT_EQ(TheWindow(), nullptr);

  EXPECT_EQ(Call(u"SetParameter", {Text(u"Show"), BoolValue(true)}), 1);
  ASSERT_EQ(Print(id, Batch(kFormatting, u"<Label/><Label/>"), u"last"), 1) << U8(LastError());
  testhost::PumpMessages(300);
  const HWND window = TheWindow();
  ASSERT_NE(window, nullptr);
  EXPECT_NE(GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
  RECT client{};
  GetClientRect(window, &client);
  const int width = static_cast<int>(std::lround(Dots(58, 203) * 96.0 / 203));
  const int height = static_cast<int>(std::lround(Dots(40, 203) * 96.0 / 203));
  EXPECT_EQ(client.right, 8 + 2 * (width + 8));
  EXPECT_EQ(client.bottom, height + 16);
  const HDC dc = GetDC(window);
  EXPECT_EQ(GetPixel(dc, 4, 4), RGB(0x80, 0x80, 0x80));
  EXPECT_EQ(GetPixel(dc, 9, 9), RGB(0xFF, 0xFF, 0xFF));
  ReleaseDC(window, dc);

  EXPECT_EQ(Call(u"Close", {Text(id)}), 1);
  testhost::PumpMessages(100);
  EXPECT_EQ(TheWindow(), nullptr);
}

} // namespace
