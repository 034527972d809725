// The paper window of the real library on Linux, on a Xvfb display of the
// test's own: place, title and state, the tape drawn as ink on paper with the
// barcode's bars, a window closed by the user made again by the next
// document; and where there is no display, no window and the file only.
#include "PrinterHost.h"
#include "XDisplay.h"

namespace {

using xtest::TGeometry;

class ReceiptWindow : public ReceiptSimAddin {
protected:
  void SetUp() override {
    const std::string missing = xtest::UseOwnDisplay();
    if (!missing.empty())
      GTEST_SKIP() << missing;
    ReceiptSimAddin::SetUp();
  }
};

unsigned long ThePaper() {
  const std::vector<unsigned long> windows = xtest::Windows("ReceiptSim");
  return windows.size() == 1 ? windows[0] : 0;
}

// Dark pixels in a band of rows of the window's picture.
int DarkPixels(const xtest::TPicture& picture, int top, int bottom) {
  int dark = 0;
  for (int y = std::max(top, 0); y < bottom && y < picture.Height; ++y)
    for (int x = 0; x < picture.Width; ++x) {
      const unsigned char* p = &picture.Rgb[(static_cast<size_t>(y) * picture.Width + x) * 3];
      dark += p[0] < 80 && p[1] < 80 && p[2] < 80;
    }
  return dark;
}

TEST_F(ReceiptWindow, ShowsTheTapeAboveOthersAndComesBackAfterClosing) {
  const std::u16string id = Open();
  EXPECT_EQ(Print(id, kReceipt), 1);
  const unsigned long paper = ThePaper();
  ASSERT_NE(paper, 0u);
  // 42 cells of 9 pixels and 26 rows of 18, with 8 pixels around.
  EXPECT_EQ(xtest::GeometryOf(paper), (TGeometry{330, 50, 42 * 9 + 16, 26 * 18 + 16}));
  EXPECT_EQ(xtest::PropertyOf(paper, "_NET_WM_NAME"), "Принтер чеков");
  EXPECT_EQ(xtest::PropertyOf(paper, "_NET_WM_STATE"), "_NET_WM_STATE_ABOVE");

  // The newest lines at the bottom: the cut row, above it the value, above
  // that two rows of bars, above them the text; the rest is blank paper.
  const int cut = 8 + 25 * 18;
  ASSERT_TRUE(xtest::WaitFor([&] {
    const auto picture = xtest::PictureOf(paper);
    return picture && DarkPixels(*picture, cut - 2 * 18, cut - 18) > 300;
  }));
  const auto picture = xtest::PictureOf(paper);
  ASSERT_TRUE(picture);
  EXPECT_GT(DarkPixels(*picture, cut - 4 * 18, cut - 3 * 18), 20); // the text
  EXPECT_GT(DarkPixels(*picture, cut - 18, cut), 20);              // the value
  EXPECT_EQ(DarkPixels(*picture, 0, cut - 4 * 18), 0);             // blank paper

  // Opening the drawer shows on the same window.
  EXPECT_EQ(Call(u"OpenCashDrawer", {Text(id)}), 1);
  EXPECT_EQ(ThePaper(), paper);

  xtest::CloseByWindowManager(paper);
  ASSERT_TRUE(xtest::WaitFor([] { return ThePaper() == 0; }));
  EXPECT_EQ(Print(id, kReceipt), 1);
  EXPECT_NE(ThePaper(), 0u);

  // The hidden tape: no window from the next document on.
  EXPECT_EQ(Call(u"SetParameter", {Text(u"Show"), BoolValue(false)}), 1);
  component.reset();
  ASSERT_TRUE(xtest::WaitFor([] { return ThePaper() == 0; }));
}

TEST_F(ReceiptSimAddin, WithoutADisplayOnlyTheFileIsWritten) {
  xtest::UseNoDisplay();
  const std::u16string tape = testenv::LogFilePath(u"ReceiptSim_3001_tape.txt");
  std::filesystem::remove(std::filesystem::path(tape));
  const int threads = xtest::ThreadCount();
  EXPECT_EQ(Print(Open(), kReceipt), 1);
  EXPECT_EQ(xtest::ThreadCount(), threads);
  EXPECT_NE(testenv::ReadFileBytes(tape).find("[EAN13 4601234567893]"), std::string::npos);
}

} // namespace
