// The input spool's files on Windows. A file is claimed by opening it with no
// sharing at all: while this watcher holds it, every other open fails, the
// writer's included, and a writer that still holds it makes the open fail.
// It is deleted through that same handle (the deletion takes effect when the
// handle closes), so no other watcher can open it between reading and
// removing. Renaming claims (MoveFileW) lose files under Wine when two
// processes race; exclusive opens do not.
#include "InputSpool.h"

#include <windows.h>

namespace fs = std::filesystem;

namespace {

int64_t TicksOf(const FILETIME& time) {
  return static_cast<int64_t>((static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime);
}

class TClaimedWin : public TClaimedFile {
public:
  explicit TClaimedWin(HANDLE handle) : handle_(handle) {}
  ~TClaimedWin() override { CloseHandle(handle_); }

  bool Read(size_t limit, std::string& bytes, int& error) override {
    bytes.clear();
    char buffer[65536];
    while (bytes.size() <= limit) {
      DWORD got = 0;
      if (!ReadFile(handle_, buffer, sizeof buffer, &got, nullptr)) {
        error = static_cast<int>(GetLastError());
        return false;
      }
      if (got == 0)
        break;
      bytes.append(buffer, got);
    }
    if (bytes.size() > limit + 1)
      bytes.resize(limit + 1);
    return true;
  }

  bool Remove(int& error) override {
    FILE_DISPOSITION_INFO disposition{};
    disposition.DeleteFile = TRUE;
    if (SetFileInformationByHandle(handle_, FileDispositionInfo, &disposition, sizeof disposition))
      return true;
    error = static_cast<int>(GetLastError());
    return false;
  }

private:
  HANDLE handle_;
};

} // namespace

int MakeSpoolFolder(const fs::path& folder) {
  if (CreateDirectoryW(folder.c_str(), nullptr))
    return 0;
  const DWORD error = GetLastError();
  if (error != ERROR_ALREADY_EXISTS)
    return static_cast<int>(error);
  const DWORD attributes = GetFileAttributesW(folder.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES)
    return static_cast<int>(GetLastError());
  return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? 0 : static_cast<int>(ERROR_DIRECTORY);
}

int ListSpoolFolder(const fs::path& folder, std::vector<TSpoolFile>& files) {
  files.clear();
  const std::wstring pattern = folder.native() + L"\\*";
  WIN32_FIND_DATAW found{};
  HANDLE search = FindFirstFileW(pattern.c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND ? 0 : static_cast<int>(error);
  }
  FILETIME now{};
  GetSystemTimeAsFileTime(&now);
  DWORD error = 0;
  do {
    const std::wstring name = found.cFileName;
    if (name.empty() || name[0] == L'.')
      continue;
    if ((found.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0)
      continue;
    TSpoolFile file;
    file.Path = folder.native() + L"\\" + name;
    file.Name.assign(name.begin(), name.end());
    file.Size = (static_cast<uint64_t>(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
    file.QuietMs = (TicksOf(now) - TicksOf(found.ftLastWriteTime)) / 10000;
    files.push_back(std::move(file));
  } while (FindNextFileW(search, &found));
  error = GetLastError();
  FindClose(search);
  return error == ERROR_NO_MORE_FILES ? 0 : static_cast<int>(error);
}

TClaim TClaimedFile::Claim(const TSpoolFile& file, std::unique_ptr<TClaimedFile>& claimed, int& error) {
  const std::wstring path = file.Path.native();
  HANDLE handle = CreateFileW(path.c_str(), GENERIC_READ | DELETE, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    const DWORD code = GetLastError();
    switch (code) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
      return TClaim::Gone;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_ACCESS_DENIED: // also a file another watcher is deleting
      return TClaim::Busy;
    default:
      error = static_cast<int>(code);
      return TClaim::Failed;
    }
  }
  claimed = std::make_unique<TClaimedWin>(handle);
  return TClaim::Taken;
}
