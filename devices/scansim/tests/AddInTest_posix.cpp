// Two processes, each with an open scanner on the same spool: every line of
// every file reaches the host of exactly one of them.
#include "InputHost.h"

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

} // namespace
