// Two processes, each with an open scanner on the same spool: every line of
// every file reaches the host of exactly one of them. The scanner's real
// window on a Xvfb display of the test's own, typed into and clicked as a
// person does.
#include "InputHost.h"
#include "ShownWindow_posix.h"

#include <cstdio>
#include <cstdlib>
#include <map>
#include <sstream>
#include <unistd.h>

namespace {

using namespace inputtest;
constexpr char kResultVariable[] = "ORVIK_TEST_SCAN_RESULTS";

// Run only in the child processes of the test below: opens a scanner, takes
// its events until the spool has stayed empty and quiet for a while, then
// writes the codes it received, one a line.
TEST(ScanWorker, DISABLED_TakesEventsUntilTheSpoolIsEmpty) {
  const char* results = std::getenv(kResultVariable);
  ASSERT_NE(results, nullptr);
  const fs::path spool = fs::path(std::getenv("XDG_DATA_HOME")) / "Orvik" / "ScanSim_3001_input";
  std::string out;
  {
    Device scanner(SCANSIM_FILE, u"Orvik_ScanSim_3001");
    const std::u16string id = scanner.Open();
    const auto start = std::chrono::steady_clock::now();
    for (int quiet = 0; quiet < 10 && std::chrono::steady_clock::now() - start < 30s;) {
      const std::vector<testhost::HostEvent> got = scanner.connection.TakeEvents(100, 100ms);
      for (const testhost::HostEvent& e : got)
        out += Narrow(e.data) + "\n";
      std::error_code error;
      const bool empty = fs::is_empty(spool, error) || error;
      quiet = got.empty() && empty ? quiet + 1 : 0;
    }
    EXPECT_TRUE(scanner.Close(id));
  }
  std::ofstream(fs::path(results) / std::to_string(getpid()), std::ios::binary) << out;
}

TEST(ScanProcesses, TwoProcessesOnOneSpoolDeliverEachLineOnce) {
  // The data folder the children find (each test program's main sets it).
  const fs::path spool = fs::path(testenv::TemporaryFolder()) / "data" / "Orvik" / "ScanSim_3001_input";
  const fs::path results = fs::path(testenv::TemporaryFolder()) / "scan-processes";
  std::error_code ignored;
  fs::remove_all(results, ignored);
  fs::create_directories(results);
  constexpr int kFiles = 100, kLines = 5;
  for (int f = 0; f < kFiles; ++f) {
    std::string text;
    for (int l = 0; l < kLines; ++l)
      text += std::to_string(f * 10 + l) + "\n";
    char name[16];
    std::snprintf(name, sizeof name, "%03d.txt", f);
    Drop(spool, name, text);
  }
  setenv(kResultVariable, results.c_str(), 1);
  const std::vector<int> codes =
      testenv::RunSelfInParallel({"--gtest_filter=ScanWorker.*", "--gtest_also_run_disabled_tests"}, 2);
  unsetenv(kResultVariable);
  ASSERT_EQ(codes, (std::vector<int>{0, 0}));

  std::map<std::string, int> seen;
  for (const fs::directory_entry& entry : fs::directory_iterator(results)) {
    std::istringstream lines(testenv::ReadFileBytes(entry.path()));
    int last = -1;
    for (std::string line; std::getline(lines, line);) {
      ++seen[line];
      EXPECT_GT(std::stoi(line), last) << "one process's codes out of order";
      last = std::stoi(line);
    }
  }
  EXPECT_EQ(seen.size(), size_t{kFiles * kLines});
  for (const auto& [line, count] : seen)
    EXPECT_EQ(count, 1) << line;
  EXPECT_TRUE(fs::is_empty(spool));
  fs::remove_all(results, ignored);
}

// ---------------------------------------------------------------------------
// The window

class ScanWindow : public InputWindowTest {
protected:
  ScanWindow() : InputWindowTest("ScanSim_3001") {}
};

// The controls of ORVIK_DLG_SCAN in template order.
constexpr size_t kScanControls = 10, kCodeField = 1, kScanReason = 3, kFirstRecent = 5;

TEST_F(ScanWindow, TypedCodesArriveOnceAndTheRecentButtonsSendThemAgain) {
  Device scanner(SCANSIM_FILE, u"Orvik_ScanSim_3001");
  EXPECT_TRUE(xtest::Windows("ScanSim").empty());
  const std::u16string id = scanner.Open();
  const TShownWindow window("ScanSim", kScanControls);
  ASSERT_NE(window.Id, 0u) << "no window at Open";
  EXPECT_EQ(xtest::PropertyOf(window.Id, "_NET_WM_NAME"), "Сканер штрихкода");
  const std::optional<xtest::TGeometry> place = xtest::GeometryOf(window.Id);
  ASSERT_TRUE(place.has_value());
  EXPECT_EQ(place->X, 50);
  EXPECT_EQ(place->Y, 170);
  EXPECT_EQ(window.Text(kFirstRecent), "") << "no code sent yet";

  // The field has the keyboard from the start.
  xtest::Type("4601234567893");
  xtest::Key("Return");
  std::vector<testhost::HostEvent> got = Events(scanner, 1);
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].source, id);
  EXPECT_EQ(got[0].event, u"Штрихкод");
  EXPECT_EQ(got[0].data, u"4601234567893");
  EXPECT_TRUE(window.WaitText(kFirstRecent, "4601234567893"));
  EXPECT_EQ(window.Text(kCodeField), "");

  // Nothing typed: refused with its reason, nothing sent.
  xtest::Key("Return");
  EXPECT_TRUE(window.WaitText(kScanReason, "Пустой штрихкод"));
  EXPECT_TRUE(Events(scanner, 0).empty());

  xtest::Type("2000000000015");
  xtest::Key("Return");
  got = Events(scanner, 1);
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].data, u"2000000000015");
  EXPECT_TRUE(window.WaitText(kFirstRecent, "2000000000015")) << "the newest first";
  EXPECT_EQ(window.Text(kFirstRecent + 1), "4601234567893");
  EXPECT_EQ(window.Text(kScanReason), "") << "a taken code clears the reason";

  // The older code's button sends it again, and it goes first.
  window.Click(kFirstRecent + 1);
  got = Events(scanner, 1);
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].source, id);
  EXPECT_EQ(got[0].data, u"4601234567893");
  EXPECT_TRUE(window.WaitText(kFirstRecent, "4601234567893"));
  EXPECT_EQ(window.Text(kFirstRecent + 1), "2000000000015");
  EXPECT_EQ(window.Text(kFirstRecent + 2), "");

  ASSERT_TRUE(scanner.Close(id));
  EXPECT_TRUE(xtest::WaitFor([] { return xtest::Windows("ScanSim").empty(); }))
      << "the window outlived Close";
  EXPECT_TRUE(Events(scanner, 0).empty());

  const std::u16string log = LogText(component, logStart);
  EXPECT_NE(log.find(u"Из окна ввода получено: 4601234567893"), std::u16string::npos);
  EXPECT_NE(log.find(u"Повтор из окна ввода: 4601234567893"), std::u16string::npos);
  const std::string expected =
      testhost::Utf16ToUtf8(id + u"\tШтрихкод\t4601234567893\r\n" + id + u"\tШтрихкод\t2000000000015\r\n" +
                            id + u"\tШтрихкод\t4601234567893\r\n");
  EXPECT_EQ(Record(expected), expected);
}

// No window where nobody is to type: the setting off, or the operator's
// answers automatic.
TEST_F(ScanWindow, NoWindowWithoutThePersonOrTheSetting) {
  for (const bool automatic : {false, true}) {
    Device scanner(SCANSIM_FILE, u"Orvik_ScanSim_3001");
    ASSERT_TRUE(scanner.Set(u"Show", testhost::BoolValue(automatic)));
    testhost::SetEnvironment("ORVIK_OPERATOR", automatic ? "approve" : nullptr);
    const std::u16string id = scanner.Open();
    std::this_thread::sleep_for(300ms);
    EXPECT_TRUE(xtest::Windows("ScanSim").empty()) << automatic;
    EXPECT_TRUE(scanner.Close(id));
  }
  testhost::SetEnvironment("ORVIK_OPERATOR", nullptr);
}

} // namespace
