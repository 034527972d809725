// The call log on Windows: %APPDATA%\Orvik, text in the system ANSI code
// page, every entry appended with one write through an append-only handle and
// flushed.
#include "CallLog.h"

#include <windows.h>

#include <shlobj.h>

#include <algorithm>
#include <climits>
#include <cstdio>

namespace {

bool IsDirectory(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

intptr_t OpenAppend(const std::wstring& path) {
  // Append-only access (no FILE_WRITE_DATA): Windows puts every write at the
  // current end of the file as one step, so writers in several processes never
  // overwrite or split each other's entries. Read access is there only for the
  // writers' lock (Append).
  const HANDLE handle =
      CreateFileW(path.c_str(), FILE_APPEND_DATA | FILE_READ_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                  nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  return handle == INVALID_HANDLE_VALUE ? -1 : reinterpret_cast<intptr_t>(handle);
}

std::wstring Wide(std::u16string_view text) {
  return std::wstring(text.begin(), text.end());
}

} // namespace

std::u16string TCallLog::DataFolder(bool make) {
  wchar_t appData[MAX_PATH] = {};
  const int flags = CSIDL_APPDATA | (make ? CSIDL_FLAG_CREATE : 0);
  if (FAILED(SHGetFolderPathW(nullptr, flags, nullptr, SHGFP_TYPE_CURRENT, appData)))
    return {};
  std::wstring folder = appData;
  if (folder.empty())
    return {};
  if (folder.back() != L'\\')
    folder += L'\\';
  folder += L"Orvik";
  if (make && !IsDirectory(folder) && !CreateDirectoryW(folder.c_str(), nullptr) && !IsDirectory(folder))
    return {};
  return std::u16string(folder.begin(), folder.end());
}

std::unique_ptr<TCallLog> TCallLog::Open(std::u16string_view fileName, std::u16string& path) {
  path.clear();
  const std::u16string folder = DataFolder(true);
  if (folder.empty())
    return nullptr;
  path = folder + u"\\" + std::u16string(fileName);
  const intptr_t handle = OpenAppend(Wide(path));
  if (handle == -1)
    return nullptr;
  return std::unique_ptr<TCallLog>(new TCallLog(handle));
}

std::unique_ptr<TCallLog> TCallLog::OpenFile(const std::u16string& path) {
  const intptr_t handle = OpenAppend(Wide(path));
  if (handle == -1)
    return nullptr;
  return std::unique_ptr<TCallLog>(new TCallLog(handle));
}

TCallLog::~TCallLog() {
  CloseHandle(reinterpret_cast<HANDLE>(handle_));
}

bool TCallLog::Append(std::span<const std::string_view> pieces) {
  const HANDLE handle = reinterpret_cast<HANDLE>(handle_);
  // Wine (8.0), unlike Windows, finds the end of the file and writes there in
  // two steps, so concurrent writers in several processes overwrite and split
  // each other's entries. An exclusive lock on one byte far beyond any real end
  // of the file serialises the writers of every process, and keeps the pieces
  // of one entry together; on Windows it is one uncontended call, and a failed
  // lock leaves the append as it is.
  OVERLAPPED region{};
  region.Offset = 0;
  region.OffsetHigh = 0x7FFFFFFF;
  const bool locked = LockFileEx(handle, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &region) != 0;
  // One WriteFile takes a whole piece; the loop only finishes a write that
  // the system cut short, and splits pieces beyond what one call can carry.
  bool written = true;
  for (std::string_view bytes : pieces) {
    while (written && !bytes.empty()) {
      const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size(), 0x7FFFFFFF));
      DWORD done = 0;
      written = WriteFile(handle, bytes.data(), chunk, &done, nullptr) && done != 0;
      if (written)
        bytes.remove_prefix(done);
    }
  }
  if (locked)
    UnlockFileEx(handle, 0, 1, 0, &region);
  return written && FlushFileBuffers(handle) != 0;
}

std::string TCallLog::Timestamp() {
  SYSTEMTIME local{};
  GetLocalTime(&local);
  char text[80];
  std::snprintf(text, sizeof text, "%02u.%02u.%04u %02u:%02u:%02u", local.wDay, local.wMonth, local.wYear,
                local.wHour, local.wMinute, local.wSecond);
  return text;
}
