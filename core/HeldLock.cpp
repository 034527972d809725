#include "HeldLock.h"

#include "CallLog.h"
#include "JournalFile.h"
#include "Unattended.h"

THeldLock::THeldLock(const std::filesystem::path& path, std::u16string_view what) {
  int error = 0;
  File_ = TJournalFile::Open(path, error);
  if (File_ == nullptr) {
    Error_ = TDataFileResult{TCallLog::DisplayPath(path), TCallLog::ErrorText(error)}.FailureText(what);
    return;
  }
  if (const int locked = File_->Lock(); locked != 0) {
    Error_ =
        u"Не удалось заблокировать файл " + TCallLog::DisplayPath(path) + u": " + TCallLog::ErrorText(locked);
    File_.reset();
  }
}

THeldLock::~THeldLock() {
  if (File_ != nullptr)
    File_->Unlock();
}
