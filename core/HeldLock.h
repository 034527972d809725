// A lock file of the data folder held for a scope: every process that takes
// the same file waits until it is let go, so that what a device reads, numbers
// and writes there under it is one step for all of them.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

class TJournalFile;

class THeldLock {
public:
  // Waits for the lock. what names it in a failure, in the accusative
  // ("блокировку"), as TDataFileResult::FailureText words it.
  THeldLock(const std::filesystem::path& path, std::u16string_view what);
  ~THeldLock();
  THeldLock(const THeldLock&) = delete;
  THeldLock& operator=(const THeldLock&) = delete;

  // Empty when the lock is held; otherwise why it is not, naming the file.
  const std::u16string& Error() const { return Error_; }

private:
  std::unique_ptr<TJournalFile> File_;
  std::u16string Error_;
};
