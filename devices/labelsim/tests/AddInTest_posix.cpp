// The label window of the real library on Linux, on a Xvfb display of the
// test's own: its place, title and size from the labels at screen size, the
// labels on their background, gone with Close; none with Show off or with the
// operator's answers automatic.
#include "LabelHost.h"
#include "XDisplay.h"

#include <chrono>
#include <cstdio>
#include <thread>

namespace {

class LabelWindowTest : public LabelSimAddin {
protected:
  void SetUp() override {
    const std::string missing = xtest::UseOwnDisplay();
    if (!missing.empty())
      GTEST_SKIP() << missing;
    LabelSimAddin::SetUp();
  }
  void TearDown() override {
    LabelSimAddin::TearDown();
    xtest::UseNoDisplay();
  }
};

unsigned long TheWindow() {
  const std::vector<unsigned long> windows = xtest::Windows("LabelSim");
  return windows.size() == 1 ? windows[0] : 0;
}

// What zbarimg reads in a file: its symbols' data, one a line.
std::string Zbar(const std::filesystem::path& file) {
  std::string out;
  if (FILE* pipe = popen(("zbarimg -q --raw '" + file.string() + "' 2>/dev/null").c_str(), "r")) {
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, pipe) != nullptr)
      out += buffer;
    pclose(pipe);
  }
  return out;
}

// Each copy's barcode reads back as its record's value, in the file a test
// would look at.
TEST_F(LabelSimAddin, TheCopiesBarcodesReadBackAsTheRecordsValues) {
  if (std::system("zbarimg --version >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "skipped: no zbarimg (zbar-tools)";
  const std::u16string id = Open();
  EXPECT_EQ(Call(u"SetParameter", {Text(u"Show"), BoolValue(false)}), 1);
  ASSERT_EQ(
      Print(id,
            Batch(kFormatting,
                  u"<Label Quantity=\"2\"><Record FieldName=\"Code\" Value=\"4601234567893\"/></Label>"
                  u"<Label Quantity=\"2\"><Record FieldName=\"Code\" Value=\"4601234567886\"/></Label>"),
            u"first"),
      1)
      << U8(LastError());
  const std::vector<std::string> files = Files();
  ASSERT_EQ(files.size(), 4u);
  for (size_t i = 0; i < files.size(); ++i)
    EXPECT_EQ(Zbar(Folder() / files[i]), i < 2 ? "4601234567893\n" : "4601234567886\n") << files[i];
}

// A label at 96 pixels an inch, from its dots at 203.
int Pixels(double mm) {
  return static_cast<int>(std::lround(Dots(mm, 203) * 96.0 / 203));
}

TEST_F(LabelWindowTest, ShowsTheLastLabelsSideBySideAndGoesWithClose) {
  const std::u16string id = Open();
  ASSERT_EQ(Print(id, Batch(kFormatting, u"<Label/><Label Quantity=\"3\"/>"), u"first"), 1)
      << U8(LastError());
  ASSERT_TRUE(xtest::WaitFor([] { return TheWindow() != 0; }));
  const unsigned long window = TheWindow();
  const int width = Pixels(58);
  const int height = Pixels(40);
  EXPECT_EQ(xtest::GeometryOf(window), (xtest::TGeometry{360, 90, 8 + 2 * (width + 8), height + 16}));
  EXPECT_EQ(xtest::PropertyOf(window, "_NET_WM_NAME"), "Принтер этикеток");

  // Grey around the labels, white paper at each label's corner.
  ASSERT_TRUE(xtest::WaitFor([&] {
    const auto picture = xtest::PictureOf(window);
    return picture && picture->Width > 20 && picture->Rgb[0] == 0x80;
  }));
  const auto picture = xtest::PictureOf(window);
  ASSERT_TRUE(picture);
  const auto at = [&](int x, int y) {
    return picture->Rgb[(static_cast<size_t>(y) * picture->Width + x) * 3];
  };
  EXPECT_EQ(at(4, 4), 0x80);
  EXPECT_EQ(at(9, 9), 0xFF);
  EXPECT_EQ(at(8 + width + 8 + 1, 9), 0xFF);
  EXPECT_EQ(at(8 + width + 4, 20), 0x80);

  // A next batch shows in the same window; Close takes it away.
  ASSERT_EQ(Print(id, Batch(u"", u"<Label/>"), u"last"), 1) << U8(LastError());
  EXPECT_EQ(TheWindow(), window);
  EXPECT_EQ(Call(u"Close", {Text(id)}), 1);
  EXPECT_TRUE(xtest::WaitFor([] { return TheWindow() == 0; }));
}

TEST_F(LabelWindowTest, NoWindowWithShowOffOrAnsweredAutomatically) {
  for (const bool automatic : {false, true}) {
    EXPECT_EQ(Call(u"SetParameter", {Text(u"Show"), BoolValue(automatic)}), 1);
    testhost::SetEnvironment("ORVIK_OPERATOR", automatic ? "approve" : nullptr);
    ASSERT_EQ(Print(Open(), Batch(kFormatting, u"<Label/>"), u"last"), 1) << U8(LastError());
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(TheWindow(), 0u) << automatic;
  }
  testhost::SetEnvironment("ORVIK_OPERATOR", nullptr);
}

} // namespace
