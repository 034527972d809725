// Two processes printing labels into one data folder at once (Linux; the
// lock's code is the core's on both platforms): every label numbered once,
// every copy's PNG and every record line kept.
#include "ChildProcess_posix.h"
#include "LabelHost.h"

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>
#include <thread>

namespace {

namespace fs = std::filesystem;

constexpr int kBatches = 30; // of two labels, the first of two copies
constexpr char kReadyVariable[] = "LABELSIM_CHILD_READY";
constexpr char kGoVariable[] = "LABELSIM_CHILD_GO";

// Waits for a file to appear, a minute at most: whether it did.
bool AwaitFile(const fs::path& path) {
  for (int waited = 0; waited < 60000 && !fs::exists(path); ++waited)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  return fs::exists(path);
}

// The Name values of one process's labels: "<who><batch>a" and "<who><batch>b".
std::u16string Labels(char16_t who, int batch) {
  const std::u16string name = who + Utf8ToUtf16(std::to_string(batch));
  return u"<Label Quantity=\"2\"><Record FieldName=\"Name\" Value=\"" + name +
         u"a\"/></Label><Label><Record FieldName=\"Name\" Value=\"" + name + u"b\"/></Label>";
}

// One process's side: its batches, each a whole job, one after another.
class LabelPrinting : public LabelSimAddin {
protected:
  void PrintAll(char16_t who) {
    const std::u16string id = Open();
    ASSERT_EQ(Call(u"SetParameter", {Text(u"Show"), BoolValue(false)}), 1);
    for (int batch = 0; batch < kBatches; ++batch)
      ASSERT_EQ(Print(id, Batch(kFormatting, Labels(who, batch)), u"last"), 1) << U8(LastError());
  }
};

// The child's side, run only by the test below: the folder is the parent's
// and stays as it is.
class LabelPrintingChild : public LabelPrinting {
protected:
  void SetUp() override {
    if (std::getenv(kGoVariable) == nullptr)
      GTEST_SKIP() << "run by the process test only";
    testenv::AddInFixture::SetUp();
  }
};

TEST_F(LabelPrintingChild, Prints) {
  std::ofstream(std::getenv(kReadyVariable)) << "ready";
  ASSERT_TRUE(AwaitFile(std::getenv(kGoVariable)));
  PrintAll(u'C');
}

TEST_F(LabelPrinting, TwoProcessesAtOnceNumberEveryLabelOnceAndKeepEveryFile) {
  const fs::path ready = fs::path(testenv::TemporaryFolder()) / "labels-ready";
  const fs::path go = fs::path(testenv::TemporaryFolder()) / "labels-go";
  fs::remove(ready);
  fs::remove(go);
  const pid_t child =
      testenv::StartSelf("LabelPrintingChild.Prints", {std::string(kReadyVariable) + "=" + ready.string(),
                                                       std::string(kGoVariable) + "=" + go.string()});
  ASSERT_GT(child, 0);
  EXPECT_TRUE(AwaitFile(ready));
  std::ofstream(go) << "go";
  PrintAll(u'P');
  EXPECT_EQ(testenv::WaitChild(child), 0);
  fs::remove(ready);
  fs::remove(go);

  // Every line: its number, its copies, its values, its files.
  std::set<int> numbers;
  std::set<std::string> names, files;
  std::istringstream records(Records());
  int lines = 0;
  for (std::string line; std::getline(records, line); ++lines) {
    ASSERT_TRUE(line.ends_with('\r')) << line;
    line.pop_back();
    std::vector<std::string> fields;
    std::istringstream split(line);
    for (std::string field; std::getline(split, field, '\t');)
      fields.push_back(field);
    ASSERT_GE(fields.size(), 3u) << line;
    EXPECT_TRUE(numbers.insert(std::atoi(fields[0].c_str())).second) << "a number twice: " << line;
    int copies = 0;
    for (const std::string& field : fields) {
      if (field.starts_with("Name=")) {
        EXPECT_TRUE(names.insert(field.substr(5)).second) << "a label twice: " << line;
      }
      if (field.ends_with(".png")) {
        ++copies;
        EXPECT_TRUE(field.starts_with(fields[0] + "-")) << line;
        EXPECT_TRUE(files.insert(field).second) << line;
      }
    }
    EXPECT_EQ(std::to_string(copies), fields[1]) << line;
  }
  EXPECT_EQ(lines, 2 * 2 * kBatches);
  ASSERT_FALSE(numbers.empty());
  EXPECT_EQ(*numbers.begin(), 1);
  EXPECT_EQ(*numbers.rbegin(), 2 * 2 * kBatches);
  std::set<std::string> expected;
  for (const char who : {'C', 'P'})
    for (int batch = 0; batch < kBatches; ++batch)
      for (const char* label : {"a", "b"})
        expected.insert(who + std::to_string(batch) + label);
  EXPECT_EQ(names, expected);
  // The folder holds exactly the files the record names, each a PNG.
  const std::vector<std::string> present = Files();
  EXPECT_EQ(std::set<std::string>(present.begin(), present.end()), files);
  for (const std::string& file : files)
    EXPECT_TRUE(testenv::ReadFileBytes(Folder() / file).starts_with("\x89PNG")) << file;
}

} // namespace
