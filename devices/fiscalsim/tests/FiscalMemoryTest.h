// What the fiscal memory's tests share: a journal in a folder of its own, a
// clock the test moves, and a reading of the journal that does not go through
// the memory.
#pragma once

#include "FiscalMemory.h"
#include "TestEnv.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace fmemtest {

namespace fs = std::filesystem;

// 2026-12-09T10:00:00, the moment the tests' registers start at.
inline const fiscal::TLocalSeconds kMorning = *fiscal::ParseDateTime("2026-12-09T10:00:00");
inline constexpr char kSerial[] = "9999078900001234";
inline constexpr char kKey[] = "test-drive-key";

// A folder of its own for each test, removed afterwards.
inline fs::path FreshFolder(const std::string& name) {
  const std::string base = testenv::TemporaryFolder();
  const fs::path folder = (base.empty() ? fs::temp_directory_path() : fs::path(base)) /
                          ("fmem-" + name + "-" + std::to_string(testenv::ProcessId()));
  std::error_code ignored;
  fs::remove_all(folder, ignored);
  fs::create_directories(folder);
  return folder;
}

inline fiscal::TDocument Doc(fiscal::TDocumentType type) {
  fiscal::TDocument document;
  document.Type = type;
  return document;
}

inline fiscal::TDocument Sale(int64_t total, int64_t cash, int64_t change = 0, int operation = 1) {
  fiscal::TDocument document = Doc(fiscal::TDocumentType::Receipt);
  document.OperationType = operation;
  document.Total = total;
  document.Cash = cash;
  document.Change = change;
  document.Electronic = total - (cash - change);
  return document;
}

// Commits one document in a transaction of its own; the committed document
// number (0 for one that is not fiscal), or -1 with the failure in error.
inline int64_t CommitOne(fiscal::TFiscalMemory& memory, const fiscal::TDocument& document,
                         std::u16string* error = nullptr) {
  auto transaction = memory.Begin();
  if (!transaction) {
    if (error != nullptr)
      *error = transaction.Error();
    return -1;
  }
  const fiscal::TCommitResult result = transaction.Commit(document);
  if (error != nullptr)
    *error = result.Error;
  return result.Ok ? result.Document.Number : -1;
}

// A registered register with an open shift.
inline void RegisterAndOpen(fiscal::TFiscalMemory& memory) {
  ASSERT_EQ(CommitOne(memory, Doc(fiscal::TDocumentType::Registration)), 1);
  ASSERT_EQ(CommitOne(memory, Doc(fiscal::TDocumentType::OpenShift)), 2);
}

// The journal's lines as the file holds them; torn says whether the last
// piece had no line feed.
inline std::vector<std::string> Lines(const fs::path& journal, bool* torn = nullptr) {
  const std::string bytes = testenv::ReadFileBytes(journal);
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t end; (end = bytes.find('\n', start)) != std::string::npos; start = end + 1)
    lines.push_back(bytes.substr(start, end - start));
  if (torn != nullptr)
    *torn = start < bytes.size();
  return lines;
}

// The integer of "key":N in a line, -1 when absent.
inline int64_t Member(const std::string& line, const std::string& key) {
  const std::string head = "\"" + key + "\":";
  const size_t at = line.find(head);
  return at == std::string::npos ? -1 : std::stoll(line.substr(at + head.size()));
}

// Whether the fiscal lines are numbered 1..n with none missing or repeated.
inline testing::AssertionResult Contiguous(const std::vector<std::string>& lines, int64_t& count) {
  count = 0;
  for (const std::string& line : lines) {
    const int64_t number = Member(line, "1040");
    if (number < 0)
      continue;
    if (number != count + 1)
      return testing::AssertionFailure() << "document " << number << " after " << count << ": " << line;
    ++count;
  }
  return testing::AssertionSuccess();
}

} // namespace fmemtest
