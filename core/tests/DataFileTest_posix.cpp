// The files that tests read, when writing them fails for real (a file size
// limit, a data home under a file), and a data folder whose path is no UTF-8.
#include "CallLog.h"
#include "FileSizeLimit_posix.h"
#include "TestEnv.h"
#include "TestHost.h"
#include "Unattended.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

fs::path FreshFolder(const std::string& name) {
  const fs::path folder = fs::path(testenv::TemporaryFolder()) / name;
  fs::remove_all(folder);
  fs::create_directories(folder);
  return folder;
}

std::vector<std::string> Names(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder))
    names.push_back(entry.path().filename().native());
  return names;
}

TEST(DataFiles, AnAppendLandsWholeOrLeavesTheFileAsItWas) {
  const fs::path path = FreshFolder("append") / "file.txt";
  const auto file = TCallLog::OpenFile(path);
  ASSERT_NE(file, nullptr);
  ASSERT_TRUE(file->Append("0123456789"));
  {
    testenv::TFileSizeLimit limit(16);
    ASSERT_TRUE(limit.Set());
    // Six of the twelve bytes fit: a short write, then EFBIG.
    const std::string_view pieces[] = {"abcdef", "ghijkl"};
    EXPECT_FALSE(file->Append(pieces));
    EXPECT_EQ(file->Error(), EFBIG);
    EXPECT_EQ(testenv::ReadFileBytes(path), "0123456789");
    EXPECT_TRUE(file->Append("abcdef")); // up to the limit exactly
  }
  // More pieces than one writev takes arrive whole and in order.
  std::vector<std::string> texts;
  std::string joined;
  for (int i = 0; i < 3000; ++i) {
    texts.push_back(std::to_string(i) + (i % 7 == 0 ? "" : ","));
    joined += texts.back();
  }
  std::vector<std::string_view> pieces(texts.begin(), texts.end());
  pieces.insert(pieces.begin() + 5, std::string_view()); // empty pieces are passed over
  EXPECT_TRUE(file->Append(pieces));
  EXPECT_EQ(testenv::ReadFileBytes(path), "0123456789abcdef" + joined);
}

TEST(DataFiles, TheLogCountsLostEntriesAndSaysSoWhenItCanWriteAgain) {
  const fs::path path = FreshFolder("lost") / "emulator.log";
  const auto log = TCallLog::OpenFile(path);
  ASSERT_NE(log, nullptr);
  log->Write(u"первая");
  const std::string before = testenv::ReadFileBytes(path);
  {
    testenv::TFileSizeLimit limit(before.size() + 10); // a part of an entry would fit
    ASSERT_TRUE(limit.Set());
    log->Write(u"вторая");
    log->Write(u"третья");
    EXPECT_EQ(log->LostEntries(), 2u);
    EXPECT_EQ(testenv::ReadFileBytes(path), before);
  }
  log->Write(u"четвёртая");
  EXPECT_EQ(log->LostEntries(), 0u);
  std::vector<std::string> texts;
  std::istringstream lines(testenv::ReadFileBytes(path));
  for (std::string line; std::getline(lines, line);) {
    ASSERT_GT(line.size(), TCallLog::kStampSize);
    ASSERT_EQ(line[TCallLog::kStampSize - 1], '\t') << line;
    ASSERT_EQ(line.back(), '\r') << line;
    texts.push_back(line.substr(TCallLog::kStampSize, line.size() - TCallLog::kStampSize - 1));
  }
  EXPECT_EQ(texts, (std::vector<std::string>{"первая", "Не записано в журнал записей: 2", "четвёртая"}));
}

TEST(DataFiles, ARecordIsReplacedWholeOrKeptAndNoTemporaryIsLeft) {
  const fs::path base = FreshFolder("record");
  const fs::path folder = base / "data" / "Orvik";
  testenv::RedirectLogHome((base / "data").native());
  EXPECT_TRUE(WriteDataFile(u"record.txt", u"старый"));
  {
    testenv::TFileSizeLimit limit(4);
    ASSERT_TRUE(limit.Set());
    const TDataFileResult replaced = WriteDataFile(u"record.txt", u"новый текст");
    EXPECT_EQ(replaced.Error, u"файл превысил допустимый размер");
    EXPECT_EQ(replaced.Path, testhost::Utf8ToUtf16((folder / "record.txt").native()));
    EXPECT_FALSE(AppendDataFile(u"record.txt", u"!"));
  }
  EXPECT_EQ(testenv::ReadFileBytes(folder / "record.txt"), "старый");
  EXPECT_EQ(Names(folder), std::vector<std::string>{"record.txt"});

  // A data home under a file: no folder, and the message says so.
  std::ofstream(base / "plain") << "x";
  testenv::RedirectLogHome((base / "plain" / "data").native());
  const TDataFileResult noFolder = AppendDataFile(u"tape.txt", u"x");
  testenv::RestoreLogHome();
  EXPECT_EQ(noFolder.Path, u"tape.txt");
  EXPECT_EQ(noFolder.Error.rfind(u"нет папки данных (", 0), 0u) << testhost::Utf16ToUtf8(noFolder.Error);
}

TEST(DataFiles, AnAppendMakesTheFolderAgainWhenItWasRemovedBetweenLines) {
  const fs::path data = FreshFolder("remade");
  testenv::RedirectLogHome(data.native());
  EXPECT_TRUE(AppendDataFile(u"events.txt", u"1\n"));
  fs::remove_all(data / "Orvik");
  const TDataFileResult again = AppendDataFile(u"events.txt", u"2\n");
  testenv::RestoreLogHome();
  EXPECT_TRUE(again) << testhost::Utf16ToUtf8(again.Error);
  EXPECT_EQ(again.Path, testhost::Utf8ToUtf16((data / "Orvik" / "events.txt").native()));
  EXPECT_EQ(testenv::ReadFileBytes(data / "Orvik" / "events.txt"), "2\n");
}

TEST(DataFiles, ADataFolderWhosePathIsNoUtf8WorksLikeAnyOther) {
  const fs::path data = FreshFolder("bytes") / "\xff\xfe";
  const fs::path folder = data / "Orvik";
  fs::create_directories(folder);
  std::ofstream(folder / "operator.txt") << "refuse\n";
  testenv::RedirectLogHome(data.native());
  testhost::SetEnvironment("ORVIK_OPERATOR", "approve");
  const TOperatorSetting setting = ReadOperatorSetting();
  EXPECT_EQ(setting.Mode, TOperatorMode::Refuse);
  EXPECT_EQ(setting.Source, TOperatorSource::File);
  testhost::SetEnvironment("ORVIK_OPERATOR", nullptr);

  EXPECT_TRUE(WriteDataFile(u"PanelSim_3001_display.txt", u"Строка\r\n"));
  EXPECT_TRUE(AppendDataFile(u"ReceiptSim_3001_tape.txt", u"Чек\r\n"));
  std::u16string logPath;
  EXPECT_NE(TCallLog::Open(u"UnitSim_3001_emulator.log", logPath), nullptr);
  testenv::RestoreLogHome();
  EXPECT_EQ(testenv::ReadFileBytes(folder / "PanelSim_3001_display.txt"), "Строка\r\n");
  EXPECT_EQ(testenv::ReadFileBytes(folder / "ReceiptSim_3001_tape.txt"), "Чек\r\n");
  EXPECT_TRUE(fs::exists(folder / "UnitSim_3001_emulator.log"));
  // The path shown (Settings, the log) has stand-ins for the bytes.
  EXPECT_TRUE(logPath.ends_with(u"\uFFFD\uFFFD/Orvik/UnitSim_3001_emulator.log"))
      << testhost::Utf16ToUtf8(logPath);
}

} // namespace
