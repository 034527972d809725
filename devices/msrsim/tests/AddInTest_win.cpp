// The card reader's real window under Wine: tracks set in the three fields
// and Enter pressed arrive once, framed by the prefix and suffix set before
// Open; the recent button sends the card again; Close destroys the window.
#include "ShownWindow_win.h"

namespace {

using namespace inputtest;

class MsrWindow : public InputTest {
protected:
  MsrWindow() : InputTest("MsrSim_3001") {}
};

// The controls of ORVIK_DLG_MSR (resources/msrsim.rc).
constexpr int kTrack1 = 100, kTrack2 = 101, kTrack3 = 102, kFirstRecent = 111;
constexpr wchar_t kTitle[] = L"Считыватель магнитных карт";

TEST_F(MsrWindow, TracksSentFromTheWindowArriveFramedAndTheRecentButtonSendsThemAgain) {
  Device reader(MSRSIM_FILE, u"Orvik_MsrSim_3001");
  ASSERT_TRUE(reader.Set(u"Prefix", testhost::IntValue(37)));
  ASSERT_TRUE(reader.Set(u"Suffix", testhost::IntValue(63)));
  const std::u16string id = reader.Open();
  const HWND dialog = FindInputWindow(kTitle);
  ASSERT_NE(dialog, nullptr) << "no window at Open";
  RECT frame{};
  GetWindowRect(dialog, &frame);
  EXPECT_EQ(frame.left, 50);
  EXPECT_EQ(frame.top, 430);

  SetItemText(dialog, kTrack1, L"B4111111111111111^IVANOV/I^2512");
  SetItemText(dialog, kTrack2, L"4111111111111111=2512");
  PressEnter(GetDlgItem(dialog, kTrack2));
  std::vector<testhost::HostEvent> got = Events(reader, 1);
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].source, id);
  EXPECT_EQ(got[0].event, u"ДанныеКарты");
  EXPECT_EQ(got[0].data, u"%B4111111111111111^IVANOV/I^2512?4111111111111111=2512?");
  EXPECT_TRUE(WaitUntil([&] {
    return ItemText(dialog, kFirstRecent) == u"B4111111111111111^IVANOV/I^2512 | 4111111111111111=2512";
  }));
  EXPECT_EQ(ItemText(dialog, kTrack1), u"");
  EXPECT_EQ(ItemText(dialog, kTrack2), u"");

  SetItemText(dialog, kTrack3, L"999");
  PressEnter(GetDlgItem(dialog, kTrack3));
  got = Events(reader, 1);
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].data, u"%999?");

  ASSERT_TRUE(WaitUntil([&] { return ItemText(dialog, kFirstRecent + 1) != u""; }));
  PostMessageW(GetDlgItem(dialog, kFirstRecent + 1), BM_CLICK, 0, 0);
  got = Events(reader, 1);
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].data, u"%B4111111111111111^IVANOV/I^2512?4111111111111111=2512?");

  ASSERT_TRUE(reader.Close(id));
  EXPECT_TRUE(WaitUntil([&] { return !IsWindow(dialog); })) << "the window outlived Close";
  EXPECT_TRUE(Events(reader, 0).empty());
}

} // namespace
