// The real library with its data folder on a full disk (a 64 KB tmpfs, where
// one can be mounted): the tape keeps whole documents only, every print that
// did not land says so, the call log keeps whole entries and says how many it
// lost.
#include "PrinterHost.h"
#include "XDisplay.h"

#include <sys/mount.h>

#include <cerrno>
#include <cstring>
#include <regex>

namespace {

namespace fs = std::filesystem;

// The library with its data folder on a tmpfs of 64 KB of its own.
class ReceiptOnASmallDisk : public ReceiptSimAddin {
protected:
  void SetUp() override {
    xtest::UseNoDisplay();
    disk_ = fs::path(testenv::TemporaryFolder()) / "small-disk";
    fs::create_directories(disk_);
    if (mount("tmpfs", disk_.c_str(), "tmpfs", 0, "size=64k") != 0)
      GTEST_SKIP() << "a tmpfs cannot be mounted here: " << std::strerror(errno);
    mounted_ = true;
    testenv::RedirectLogHome(disk_.native());
    ReceiptSimAddin::SetUp();
  }
  void TearDown() override {
    ReceiptSimAddin::TearDown(); // the library's object goes first
    if (mounted_) {
      testenv::RestoreLogHome();
      umount2(disk_.c_str(), MNT_DETACH);
    }
  }

  fs::path disk_;
  bool mounted_ = false;
};

// Document n: twenty text lines of 40 characters, and the tape text it gives.
std::u16string Document(int n) {
  std::u16string xml = u"<Document><Positions>";
  for (int k = 0; k < 20; ++k)
    xml += u"<TextString Text=\"" + Utf8ToUtf16(std::to_string(n) + "-" + std::to_string(k) + ":") +
           std::u16string(30, u'ж') + u"\"/>";
  return xml + u"</Positions></Document>";
}
std::string Tape(int n) {
  std::string text;
  for (int k = 0; k < 20; ++k) {
    text += std::to_string(n) + "-" + std::to_string(k) + ":";
    for (int i = 0; i < 30; ++i)
      text += "ж";
    text += "\r\n";
  }
  return text + std::string(17, '~') + " отрез " + std::string(18, '~') + "\r\n";
}

// Whether the log holds whole entries only: every line is an entry's first
// (a time stamp) or within a call entry, and every call entry ends with its
// result and a blank line before the next begins.
testing::AssertionResult WholeEntries(const std::string& log) {
  static const std::regex stamp(R"(^\d\d\.\d\d\.\d{4} \d\d:\d\d:\d\d\t)");
  enum { Between, InCall, AfterResult } state = Between;
  size_t start = 0;
  for (size_t end; (end = log.find("\r\n", start)) != std::string::npos; start = end + 2) {
    const std::string line = log.substr(start, end - start);
    if (state == AfterResult) {
      if (!line.empty())
        return testing::AssertionFailure() << "no blank line after a result: " << line;
      state = Between;
    } else if (std::regex_search(line, stamp)) {
      if (state == InCall)
        return testing::AssertionFailure() << "an entry starts inside a call: " << line;
      state = line.substr(20).starts_with("Метод: ") ? InCall : Between;
    } else if (state == Between) {
      return testing::AssertionFailure() << "a line outside any entry: " << line;
    } else if (line.starts_with("Результат=")) {
      state = AfterResult;
    }
  }
  if (start != log.size() || state != Between)
    return testing::AssertionFailure() << "the log ends inside an entry";
  return testing::AssertionSuccess();
}

TEST_F(ReceiptOnASmallDisk, PrintsWholeDocumentsUntilFullThenAgainWhenSpaceIsFreed) {
  // A filler takes a quarter of the disk, to be freed once it is full.
  std::ofstream(disk_ / "filler", std::ios::binary) << std::string(16 * 1024, 'x');
  const std::u16string id = Open();
  const std::u16string tapePath = testenv::LogFilePath(u"ReceiptSim_3001_tape.txt");
  const std::u16string full = u"Не удалось записать ленту в файл " + tapePath + u": нет места на диске";
  std::string printed;
  int refused = 0;
  for (int n = 1; n <= 60 && refused < 3; ++n) {
    if (Print(id, Document(n)) == 1) {
      EXPECT_EQ(refused, 0) << "document " << n << " printed on a full disk";
      printed += Tape(n);
    } else {
      EXPECT_EQ(U8(LastError()), U8(full)) << n;
      ++refused;
    }
  }
  EXPECT_EQ(refused, 3) << "the disk never filled";
  EXPECT_EQ(testenv::ReadFileBytes(tapePath), printed);

  fs::remove(disk_ / "filler");
  EXPECT_EQ(Print(id, Document(61)), 1);
  EXPECT_EQ(LastError(), u"");
  EXPECT_EQ(testenv::ReadFileBytes(tapePath), printed + Tape(61));
  component.reset(); // its last entry too

  const std::string log = testenv::ReadFileBytes(testenv::LogFilePath(u"ReceiptSim_3001_emulator.log"));
  EXPECT_TRUE(WholeEntries(log));
  EXPECT_NE(log.find("\tНе записано в журнал записей: "), std::string::npos);
}

} // namespace
