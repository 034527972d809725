// Two processes watch one spool folder: every line of every file is delivered
// by exactly one of them, each in the order of the names.
#include "InputSpool.h"
#include "TestEnv.h"
#include "TextCodec.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <thread>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
constexpr char kFolderVariable[] = "ORVIK_TEST_SPOOL_FOLDER";
constexpr char kResultVariable[] = "ORVIK_TEST_SPOOL_RESULTS";

// Run only in the child processes the test below starts: watches the folder
// until it has stayed empty for a while, then writes "file<TAB>item" lines.
TEST(SpoolWorker, DISABLED_WatchesUntilTheFolderIsEmpty) {
  const char* folder = std::getenv(kFolderVariable);
  const char* results = std::getenv(kResultVariable);
  ASSERT_TRUE(folder != nullptr && results != nullptr);
  std::string out;
  TInputSpool spool(
      folder,
      [&out](std::u16string_view item, std::u16string_view file) {
        out += Utf16ToUtf8(file) + "\t" + Utf16ToUtf8(item) + "\n";
      },
      [](std::u16string_view) {});
  const auto start = std::chrono::steady_clock::now();
  for (int empty = 0; empty < 20 && std::chrono::steady_clock::now() - start < std::chrono::seconds(30);) {
    spool.Poll();
    std::vector<TSpoolFile> left;
    ASSERT_EQ(ListSpoolFolder(folder, left), 0);
    empty = left.empty() ? empty + 1 : 0;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  std::ofstream(fs::path(results) / std::to_string(getpid()), std::ios::binary) << out;
}

TEST(InputSpool, TwoProcessesOfOneFolderDeliverEveryLineOnce) {
  const fs::path base = fs::path(testenv::TemporaryFolder()) / "spool-processes";
  const fs::path folder = base / "input", results = base / "results";
  std::error_code ignored;
  fs::remove_all(base, ignored);
  fs::create_directories(folder);
  fs::create_directories(results);
  constexpr int kFiles = 200, kLines = 5;
  for (int f = 0; f < kFiles; ++f) {
    char name[16];
    std::snprintf(name, sizeof name, "%03d", f);
    {
      std::ofstream out(folder / (std::string(name) + ".tmp"), std::ios::binary);
      for (int l = 0; l < kLines; ++l)
        out << f << "-" << l << "\n";
    }
    fs::rename(folder / (std::string(name) + ".tmp"), folder / name);
  }
  setenv(kFolderVariable, folder.c_str(), 1);
  setenv(kResultVariable, results.c_str(), 1);
  const std::vector<int> codes =
      testenv::RunSelfInParallel({"--gtest_filter=SpoolWorker.*", "--gtest_also_run_disabled_tests"}, 2);
  unsetenv(kFolderVariable);
  unsetenv(kResultVariable);
  ASSERT_EQ(codes, (std::vector<int>{0, 0}));

  std::map<std::string, int> seen;
  int watchers = 0;
  for (const fs::directory_entry& entry : fs::directory_iterator(results)) {
    ++watchers;
    std::istringstream lines(testenv::ReadFileBytes(entry.path()));
    std::string line, lastFile;
    while (std::getline(lines, line)) {
      const std::string file = line.substr(0, line.find('\t'));
      const std::string item = line.substr(line.find('\t') + 1);
      EXPECT_LE(lastFile, file) << "one watcher goes in the order of the names";
      lastFile = file;
      EXPECT_EQ(std::stoi(item), std::stoi(file)) << "an item of its own file";
      ++seen[item];
    }
  }
  EXPECT_EQ(watchers, 2);
  EXPECT_EQ(seen.size(), size_t{kFiles * kLines});
  for (const auto& [item, count] : seen)
    EXPECT_EQ(count, 1) << item;
  EXPECT_TRUE(fs::is_empty(folder)) << "every file removed, no claimed leftovers";
}

} // namespace
