// The tape window of the real library on Linux, on a Xvfb display of the
// test's own: its title, its place beside the receipt printer's, and what a
// document adds to it.
#include "FiscalHost.h"
#include "XDisplay.h"

namespace {

unsigned long TheTape() {
  const std::vector<unsigned long> windows = xtest::Windows("FiscalSim");
  return windows.size() == 1 ? windows[0] : 0;
}

TEST_F(FiscalSimAddin, ShowsTheTapeBesideTheReceiptPrinter) {
  const std::string missing = xtest::UseOwnDisplay();
  if (!missing.empty())
    GTEST_SKIP() << missing;
  std::vector<std::u16string> out;
  ASSERT_EQ(CallOn(*component, u"Open", {EmptyValue()}, &out), 1);
  EXPECT_EQ(CallOn(*component, u"OpenCashDrawer", {StringValue(memory, out.at(0))}), 1);
  const unsigned long tape = TheTape();
  ASSERT_NE(tape, 0u);
  // Right of the receipt printer's paper (330, 42 cells of 9 pixels and a margin).
  EXPECT_EQ(xtest::GeometryOf(tape), (xtest::TGeometry{760, 50, 42 * 9 + 16, 26 * 18 + 16}));
  EXPECT_EQ(xtest::PropertyOf(tape, "_NET_WM_NAME"), "Фискальный регистратор");
  component.reset();
  ASSERT_TRUE(xtest::WaitFor([] { return TheTape() == 0; }));
}

} // namespace
