// The call log on Windows: %APPDATA%\Orvik, text in the system ANSI code
// page, every entry written at the end of the file under the writers' lock
// and flushed, or the file cut back to where it was.
#include "CallLog.h"

#include <windows.h>

#include <shlobj.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <cstdio>

namespace fs = std::filesystem;

namespace {

bool IsDirectory(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

intptr_t OpenAppend(const std::wstring& path) {
  // Writing at a given place (not append-only access): Append writes at the
  // end it finds under the writers' lock and can cut a failed write back.
  // Other processes' writers share the file.
  const HANDLE handle =
      CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                  OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  return handle == INVALID_HANDLE_VALUE ? -1 : reinterpret_cast<intptr_t>(handle);
}

// Writes all of bytes at offset; false with the system's error set on a
// failure (a write that takes nothing counts as a full disk).
bool WriteAt(HANDLE handle, uint64_t offset, std::string_view bytes) {
  while (!bytes.empty()) {
    OVERLAPPED place{};
    place.Offset = static_cast<DWORD>(offset);
    place.OffsetHigh = static_cast<DWORD>(offset >> 32);
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size(), 0x7FFFFFFF));
    DWORD done = 0;
    if (!WriteFile(handle, bytes.data(), chunk, &done, &place))
      return false;
    if (done == 0) {
      SetLastError(ERROR_DISK_FULL);
      return false;
    }
    bytes.remove_prefix(done);
    offset += done;
  }
  return true;
}

// Cuts the file back to size, keeping the system's error as the failure left it.
void CutBack(HANDLE handle, uint64_t size) {
  const DWORD saved = GetLastError();
  LARGE_INTEGER end{};
  end.QuadPart = static_cast<LONGLONG>(size);
  if (SetFilePointerEx(handle, end, nullptr, FILE_BEGIN))
    SetEndOfFile(handle);
  SetLastError(saved);
}

} // namespace

fs::path TCallLog::DataFolder(bool make, int* error) {
  wchar_t appData[MAX_PATH] = {};
  const int flags = CSIDL_APPDATA | (make ? CSIDL_FLAG_CREATE : 0);
  const HRESULT found = SHGetFolderPathW(nullptr, flags, nullptr, SHGFP_TYPE_CURRENT, appData);
  std::wstring folder = SUCCEEDED(found) ? appData : L"";
  if (folder.empty()) {
    if (error != nullptr)
      *error = FAILED(found) && HRESULT_FACILITY(found) == FACILITY_WIN32 ? HRESULT_CODE(found)
                                                                          : ERROR_PATH_NOT_FOUND;
    return {};
  }
  if (folder.back() != L'\\')
    folder += L'\\';
  folder += L"Orvik";
  if (make && !IsDirectory(folder) && !CreateDirectoryW(folder.c_str(), nullptr) && !IsDirectory(folder)) {
    if (error != nullptr)
      *error = static_cast<int>(GetLastError());
    return {};
  }
  return fs::path(folder);
}

std::unique_ptr<TCallLog> TCallLog::Open(std::u16string_view fileName, std::u16string& path) {
  path.clear();
  const fs::path folder = DataFolder(true);
  if (folder.empty())
    return nullptr;
  const fs::path file = folder / std::wstring(fileName.begin(), fileName.end());
  path = DisplayPath(file);
  const intptr_t handle = OpenAppend(file.native());
  if (handle == -1)
    return nullptr;
  return std::unique_ptr<TCallLog>(new TCallLog(handle));
}

std::unique_ptr<TCallLog> TCallLog::OpenFile(const fs::path& path, int* error) {
  const intptr_t handle = OpenAppend(path.native());
  if (handle == -1) {
    if (error != nullptr)
      *error = static_cast<int>(GetLastError());
    return nullptr;
  }
  return std::unique_ptr<TCallLog>(new TCallLog(handle));
}

TCallLog::~TCallLog() {
  CloseHandle(reinterpret_cast<HANDLE>(handle_));
}

bool TCallLog::Append(std::span<const std::string_view> pieces) {
  const HANDLE handle = reinterpret_cast<HANDLE>(handle_);
  // An exclusive lock on one byte far beyond any real end of the file
  // serialises the writers of every process: under it the end found is where
  // this entry goes, nobody appends after a failed write before it is cut
  // back, and the pieces of one entry stay together. (Wine 8 does not append
  // as one step, so the lock is needed there even for the end.) A failed
  // lock leaves the append as it is.
  OVERLAPPED region{};
  region.Offset = 0;
  region.OffsetHigh = 0x7FFFFFFF;
  const bool locked = LockFileEx(handle, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &region) != 0;
  LARGE_INTEGER size{};
  const bool noted = GetFileSizeEx(handle, &size) != 0;
  bool written = noted;
  uint64_t offset = static_cast<uint64_t>(size.QuadPart);
  for (const std::string_view bytes : pieces) {
    if (!written)
      break;
    written = WriteAt(handle, offset, bytes);
    offset += bytes.size();
  }
  written = written && FlushFileBuffers(handle) != 0;
  if (!written) {
    error_ = static_cast<int>(GetLastError());
    if (noted)
      CutBack(handle, static_cast<uint64_t>(size.QuadPart));
  }
  if (locked)
    UnlockFileEx(handle, 0, 1, 0, &region);
  return written;
}

int TCallLog::ReplaceWhole(const fs::path& path, std::string_view bytes) {
  // A name of its own for the new text (writers in other processes each have
  // theirs); the rename puts one whole text in place.
  static std::atomic<uint64_t> counter{0};
  const std::wstring prefix = path.native() + L".tmp" + std::to_wstring(GetCurrentProcessId()) + L"-";
  std::wstring temporary;
  HANDLE handle = INVALID_HANDLE_VALUE;
  for (int attempt = 0; handle == INVALID_HANDLE_VALUE && attempt < 100; ++attempt) {
    temporary = prefix + std::to_wstring(++counter);
    handle =
        CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS)
      return static_cast<int>(GetLastError());
  }
  if (handle == INVALID_HANDLE_VALUE)
    return ERROR_FILE_EXISTS;
  bool written = WriteAt(handle, 0, bytes) && FlushFileBuffers(handle) != 0;
  int error = written ? 0 : static_cast<int>(GetLastError());
  CloseHandle(handle);
  if (written &&
      !MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    written = false;
    error = static_cast<int>(GetLastError());
  }
  if (!written)
    DeleteFileW(temporary.c_str());
  return error;
}

std::u16string TCallLog::DisplayPath(const fs::path& path) {
  const std::wstring& wide = path.native();
  return std::u16string(wide.begin(), wide.end());
}

std::u16string TCallLog::ErrorText(int code) {
  switch (code) {
  case ERROR_DISK_FULL:
  case ERROR_HANDLE_DISK_FULL:
    return u"нет места на диске";
  case ERROR_FILE_TOO_LARGE:
    return u"файл превысил допустимый размер";
  case ERROR_ACCESS_DENIED:
  case ERROR_WRITE_PROTECT:
  case ERROR_SHARING_VIOLATION:
  case ERROR_LOCK_VIOLATION:
    return u"нет доступа";
  default:
    break;
  }
  wchar_t* text = nullptr;
  const DWORD n = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
      static_cast<DWORD>(code), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::u16string reason;
  if (n != 0 && text != nullptr)
    reason.assign(text, text + n);
  if (text != nullptr)
    LocalFree(text);
  while (!reason.empty() &&
         (reason.back() == u'\n' || reason.back() == u'\r' || reason.back() == u' ' || reason.back() == u'.'))
    reason.pop_back();
  if (reason.empty())
    reason = u"ошибка " + Decimal(code);
  return reason;
}
