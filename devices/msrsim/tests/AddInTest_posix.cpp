// The card reader's real window on a Xvfb display of the test's own: the
// tracks typed field by field with Tab between them, as a person does.
#include "ShownWindow_posix.h"

namespace {

using namespace inputtest;

class MsrWindow : public InputWindowTest {
protected:
  MsrWindow() : InputWindowTest("MsrSim_3001") {}
};

// The controls of ORVIK_DLG_MSR in template order.
constexpr size_t kMsrControls = 14, kTrack1 = 1, kTrack2 = 3, kTrack3 = 5, kFirstRecent = 9;

TEST_F(MsrWindow, TypedTracksArriveFramedAndTheRecentButtonSendsThemAgain) {
  Device reader(MSRSIM_FILE, u"Orvik_MsrSim_3001");
  ASSERT_TRUE(reader.Set(u"Prefix", testhost::IntValue(37)));
  ASSERT_TRUE(reader.Set(u"Suffix", testhost::IntValue(63)));
  const std::u16string id = reader.Open();
  const TShownWindow window("MsrSim", kMsrControls);
  ASSERT_NE(window.Id, 0u) << "no window at Open";
  EXPECT_EQ(xtest::PropertyOf(window.Id, "_NET_WM_NAME"), "Считыватель магнитных карт");
  const std::optional<xtest::TGeometry> place = xtest::GeometryOf(window.Id);
  ASSERT_TRUE(place.has_value());
  EXPECT_EQ(place->X, 50);
  EXPECT_EQ(place->Y, 430);

  xtest::Type("B4111111111111111^IVANOV/I^2512");
  xtest::Key("Tab");
  xtest::Type("4111111111111111=2512");
  xtest::Key("Return");
  std::vector<testhost::HostEvent> got = Events(reader, 1);
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].source, id);
  EXPECT_EQ(got[0].event, u"ДанныеКарты");
  EXPECT_EQ(got[0].data, u"%B4111111111111111^IVANOV/I^2512?4111111111111111=2512?");
  EXPECT_TRUE(window.WaitText(kFirstRecent, "B4111111111111111^IVANOV/I^2512 | 4111111111111111=2512"))
      << "the empty third field is no part of the card: " << window.Text(kFirstRecent);
  EXPECT_EQ(window.Text(kTrack1), "");
  EXPECT_EQ(window.Text(kTrack2), "");

  // Track 3 alone: the first field has the keyboard again, two Tabs on.
  xtest::Key("Tab Tab");
  xtest::Type("999");
  EXPECT_TRUE(window.WaitText(kTrack3, "999"));
  xtest::Key("Return");
  got = Events(reader, 1);
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].data, u"%999?");
  EXPECT_TRUE(window.WaitText(kFirstRecent, " |  | 999"));

  window.Click(kFirstRecent + 1);
  got = Events(reader, 1);
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].source, id);
  EXPECT_EQ(got[0].data, u"%B4111111111111111^IVANOV/I^2512?4111111111111111=2512?");

  ASSERT_TRUE(reader.Close(id));
  EXPECT_TRUE(xtest::WaitFor([] { return xtest::Windows("MsrSim").empty(); })) << "the window outlived Close";
  EXPECT_TRUE(Events(reader, 0).empty());
}

} // namespace
