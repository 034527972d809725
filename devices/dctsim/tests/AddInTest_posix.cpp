// The terminal's real window on a Xvfb display of the test's own, typed into
// and clicked as a person does: a record typed with its quantity is
// collected, a goods button puts its code in the field, DownloadTable hands
// both back.
#include "DctHost.h"
#include "ShownWindow_posix.h"

namespace {

using namespace dcttest;

class DctWindow : public TerminalTest {
protected:
  void SetUp() override {
    const std::string missing = xtest::UseOwnDisplay();
    if (!missing.empty())
      GTEST_SKIP() << missing;
    TerminalTest::SetUp();
  }
  void TearDown() override {
    TerminalTest::TearDown();
    xtest::UseNoDisplay();
  }
};

// The controls of ORVIK_DLG_DCT in template order.
constexpr size_t kControls = 13, kCodeField = 1, kQuantityField = 3, kReason = 5, kCollected = 6,
                 kFirstGood = 8;

TEST_F(DctWindow, TypedRecordsAndPickedGoodsAreCollected) {
  Terminal terminal;
  const std::u16string id = terminal.Open();
  const TShownWindow window("DctSim", kControls);
  ASSERT_NE(window.Id, 0u) << "no window at Open";
  EXPECT_EQ(xtest::PropertyOf(window.Id, "_NET_WM_NAME"), "Терминал сбора данных");
  const std::optional<xtest::TGeometry> place = xtest::GeometryOf(window.Id);
  ASSERT_TRUE(place.has_value());
  EXPECT_EQ(place->X, 400);
  EXPECT_EQ(place->Y, 330);
  ASSERT_TRUE(
      terminal.Upload(id, u"<Table><Record BarCode=\"4601234567893\" Name=\"Молоко\"/></Table>", u"last"));
  EXPECT_TRUE(window.WaitText(kFirstGood, "4601234567893  Молоко"));
  EXPECT_EQ(window.Text(kFirstGood + 1), "");

  // The code field has the keyboard; Tab goes to the quantity.
  xtest::Type("999");
  xtest::Key("Tab");
  xtest::Type("2,5");
  xtest::Key("Return");
  EXPECT_TRUE(window.WaitText(kCollected, "Последний: 999 (нет в товарах), всего 2.5. Собрано позиций: 1"));
  EXPECT_EQ(window.Text(kCodeField), "");

  xtest::Key("Return");
  EXPECT_TRUE(window.WaitText(kReason, "Пустой штрихкод"));

  window.Click(kFirstGood);
  EXPECT_TRUE(window.WaitText(kCodeField, "4601234567893"));
  window.Click(kQuantityField);
  xtest::Type("3");
  xtest::Key("Return");
  EXPECT_TRUE(window.WaitText(kCollected, "Последний: Молоко, всего 3. Собрано позиций: 2"));

  EXPECT_EQ(terminal.Download(id),
            u"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<Table>\r\n"
            u"<Record BarCode=\"999\" BarCodeBase64=\"OTk5\" Quantity=\"2.5\"/>\r\n"
            u"<Record BarCode=\"4601234567893\" BarCodeBase64=\"NDYwMTIzNDU2Nzg5Mw==\" Quantity=\"3\" "
            u"Name=\"Молоко\"/>\r\n</Table>\r\n");
  EXPECT_EQ(Collected(), "999\t2.5\r\n4601234567893\t3\r\n");
  ASSERT_TRUE(terminal.Clear(id));
  EXPECT_TRUE(window.WaitText(kCollected, "Собрано позиций: 0"));

  ASSERT_TRUE(terminal.Close(id));
  EXPECT_TRUE(xtest::WaitFor([] { return xtest::Windows("DctSim").empty(); })) << "the window outlived Close";
}

} // namespace
