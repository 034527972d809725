// The scanner's real window under Wine: a code set in the field and Enter
// pressed there arrives once from the DeviceID; its recent button sends it
// again; an empty field sends nothing; Close destroys the window.
#include "ShownWindow_win.h"

namespace {

using namespace inputtest;

class ScanWindow : public InputTest {
protected:
  ScanWindow() : InputTest("ScanSim_3001") {}
};

// The controls of ORVIK_DLG_SCAN (resources/scansim.rc).
constexpr int kCodeField = 100, kReason = 103, kFirstRecent = 111;
constexpr wchar_t kTitle[] = L"Сканер штрихкода";

TEST_F(ScanWindow, CodesSentFromTheWindowArriveOnceAndTheRecentButtonSendsThemAgain) {
  Device scanner(SCANSIM_FILE, u"Orvik_ScanSim_3001");
  EXPECT_EQ(FindWindowW(L"#32770", kTitle), nullptr);
  const std::u16string id = scanner.Open();
  const HWND dialog = FindInputWindow(kTitle);
  ASSERT_NE(dialog, nullptr) << "no window at Open";
  RECT frame{};
  GetWindowRect(dialog, &frame);
  EXPECT_EQ(frame.left, 50);
  EXPECT_EQ(frame.top, 170);
  EXPECT_NE(GetWindowLongW(dialog, GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
  const HWND field = GetDlgItem(dialog, kCodeField);
  EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, kFirstRecent))) << "no code sent yet";

  SetItemText(dialog, kCodeField, L"4601234567893");
  PressEnter(field);
  std::vector<testhost::HostEvent> got = Events(scanner, 1);
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].source, id);
  EXPECT_EQ(got[0].event, u"Штрихкод");
  EXPECT_EQ(got[0].data, u"4601234567893");
  EXPECT_TRUE(WaitUntil([&] { return ItemText(dialog, kFirstRecent) == u"4601234567893"; }));
  EXPECT_EQ(ItemText(dialog, kCodeField), u"");

  PressEnter(field);
  EXPECT_TRUE(WaitUntil([&] { return ItemText(dialog, kReason) == u"Пустой штрихкод"; }));
  EXPECT_TRUE(Events(scanner, 0).empty()) << "an empty field sent";

  SetItemText(dialog, kCodeField, L"2000000000015");
  PressEnter(field);
  got = Events(scanner, 1);
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].data, u"2000000000015");
  EXPECT_TRUE(WaitUntil([&] { return ItemText(dialog, kFirstRecent) == u"2000000000015"; }));
  EXPECT_EQ(ItemText(dialog, kFirstRecent + 1), u"4601234567893");

  PostMessageW(GetDlgItem(dialog, kFirstRecent + 1), BM_CLICK, 0, 0);
  got = Events(scanner, 1);
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].source, id);
  EXPECT_EQ(got[0].data, u"4601234567893");
  EXPECT_TRUE(WaitUntil([&] { return ItemText(dialog, kFirstRecent) == u"4601234567893"; }));

  ASSERT_TRUE(scanner.Close(id));
  EXPECT_TRUE(WaitUntil([&] { return !IsWindow(dialog); })) << "the window outlived Close";
  EXPECT_EQ(FindWindowW(L"#32770", kTitle), nullptr);
  EXPECT_TRUE(Events(scanner, 0).empty());
  const std::u16string log = LogText(component, logStart);
  EXPECT_NE(log.find(u"Из окна ввода получено: 4601234567893"), std::u16string::npos);
  EXPECT_NE(log.find(u"Повтор из окна ввода: 4601234567893"), std::u16string::npos);
}

} // namespace
