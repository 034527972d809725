// The fiscal memory across processes on Linux (the Windows build shares the
// memory's code; only the file primitive differs): a writer killed at random
// moments, two writers at once, and a full disk.
#include "ChildProcess_posix.h"
#include "FiscalMemoryTest.h"
#include "TestHost.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <random>
#include <sys/mount.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

using namespace fmemtest;
using fiscal::TDocumentType;
using fiscal::TFiscalMemory;

constexpr char kJournalVariable[] = "FMEM_CHILD_JOURNAL";
constexpr char kCountVariable[] = "FMEM_CHILD_COUNT";

std::unique_ptr<TFiscalMemory> MemoryAt(const fs::path& journal) {
  return std::make_unique<TFiscalMemory>(
      journal, [] { return kMorning; }, kSerial, kKey);
}

// Starts this program as a writer of journal: count receipts, 0 for ever.
pid_t StartWriter(const fs::path& journal, int count) {
  return testenv::StartSelf("FiscalMemoryWriter.Commits",
                            {std::string(kJournalVariable) + "=" + journal.string(),
                             std::string(kCountVariable) + "=" + std::to_string(count)});
}

int Wait(pid_t child) {
  return testenv::WaitChild(child);
}

// The writer's side, run only as a child of the tests below.
TEST(FiscalMemoryWriter, Commits) {
  const char* journal = std::getenv(kJournalVariable);
  if (journal == nullptr)
    GTEST_SKIP() << "run by the process tests only";
  const int count = std::atoi(std::getenv(kCountVariable));
  auto memory = MemoryAt(journal);
  fiscal::TDocument sale = Sale(12345, 20000, 7655);
  sale.Extra = R"({"lines":[{"name":")" + std::string(300, 'x') + R"(","qty":1000}]})";
  for (int i = 0; count == 0 || i < count; ++i)
    ASSERT_GT(CommitOne(*memory, sale), 0);
}

class FiscalMemoryProcesses : public testing::Test {
protected:
  void SetUp() override {
    folder_ = FreshFolder(testing::UnitTest::GetInstance()->current_test_info()->name());
    journal_ = folder_ / "FiscalSim_journal.jsonl";
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
  }
  fs::path folder_;
  fs::path journal_;
};

TEST_F(FiscalMemoryProcesses, AWriterKilledAtAnyMomentLeavesWholeNumberedDocuments) {
  RegisterAndOpen(*MemoryAt(journal_));
  std::mt19937 random(20261209);
  std::uniform_int_distribution<int> pause(0, 40000); // microseconds
  int64_t before = 2;
  for (int round = 0; round < 40; ++round) {
    const pid_t child = StartWriter(journal_, 0);
    ASSERT_GT(child, 0);
    std::this_thread::sleep_for(std::chrono::microseconds(5000 + pause(random)));
    kill(child, SIGKILL);
    ASSERT_EQ(Wait(child), -SIGKILL);

    auto memory = MemoryAt(journal_);
    fiscal::TFiscalState state;
    {
      auto transaction = memory->Begin();
      ASSERT_TRUE(transaction) << testing::PrintToString(transaction.Error());
      state = transaction.State();
    }
    bool torn = true;
    int64_t count = 0;
    ASSERT_TRUE(Contiguous(Lines(journal_, &torn), count)) << "round " << round;
    ASSERT_FALSE(torn) << "round " << round;
    ASSERT_GE(count, before);
    ASSERT_EQ(state.NextDocumentNumber, count + 1);
    ASSERT_EQ(state.CashBalance, 12345 * (count - 2 - round) + 100 * round);
    ASSERT_EQ(CommitOne(*memory, Sale(100, 100)), count + 1) << "round " << round;
    before = count + 1;
  }
}

TEST_F(FiscalMemoryProcesses, TwoWritersAtOnceTakeDistinctContiguousNumbers) {
  RegisterAndOpen(*MemoryAt(journal_));
  const pid_t a = StartWriter(journal_, 200);
  const pid_t b = StartWriter(journal_, 200);
  ASSERT_GT(a, 0);
  ASSERT_GT(b, 0);
  EXPECT_EQ(Wait(a), 0);
  EXPECT_EQ(Wait(b), 0);
  int64_t count = 0;
  const std::vector<std::string> lines = Lines(journal_);
  EXPECT_TRUE(Contiguous(lines, count));
  EXPECT_EQ(count, 402);
  for (size_t i = 2; i < lines.size(); ++i)
    ASSERT_EQ(Member(lines[i], "1042"), static_cast<int64_t>(i) - 1) << lines[i];
  auto memory = MemoryAt(journal_);
  EXPECT_EQ(memory->Begin().State().CashBalance, 400 * 12345);
}

TEST_F(FiscalMemoryProcesses, AFullDiskRecordsNothingAndNumberingGoesOn) {
  const fs::path disk = folder_ / "small-disk";
  fs::create_directories(disk);
  if (mount("tmpfs", disk.c_str(), "tmpfs", 0, "size=64k") != 0)
    GTEST_SKIP() << "a tmpfs cannot be mounted here: " << std::strerror(errno);
  struct Unmount {
    fs::path at;
    ~Unmount() { umount2(at.c_str(), MNT_DETACH); }
  } unmount{disk};
  const fs::path journal = disk / "FiscalSim_journal.jsonl";
  auto memory = MemoryAt(journal);
  RegisterAndOpen(*memory);
  ASSERT_EQ(CommitOne(*memory, Sale(100, 100)), 3);

  // Fill the disk to the last byte.
  {
    const int fd = open((disk / "filler").c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    ASSERT_GE(fd, 0);
    const std::string block(4096, 'f');
    while (write(fd, block.data(), block.size()) > 0) {
    }
    while (write(fd, block.data(), 1) > 0) {
    }
    close(fd);
  }
  const std::string before = testenv::ReadFileBytes(journal);
  fiscal::TDocument big = Sale(200, 200); // more than a page: needs room the disk has not
  big.Extra = R"({"note":")" + std::string(9000, 'n') + "\"}";
  std::u16string error;
  EXPECT_EQ(CommitOne(*memory, big, &error), -1);
  EXPECT_EQ(error, u"Не удалось записать документ в файл " + testhost::Utf8ToUtf16(journal.string()) +
                       u": нет места на диске");
  EXPECT_EQ(testenv::ReadFileBytes(journal), before);
  EXPECT_EQ(MemoryAt(journal)->Begin().State().NextDocumentNumber, 4);

  fs::remove(disk / "filler");
  EXPECT_EQ(CommitOne(*memory, big), 4);
  EXPECT_EQ(CommitOne(*MemoryAt(journal), Sale(100, 100)), 5);
}

} // namespace
