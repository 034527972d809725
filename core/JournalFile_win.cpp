// The journal file on Windows: a handle shared for reading, writing and
// moving, LockFileEx on a byte far beyond any end for the lock, writes at an
// offset and FlushFileBuffers for a durable record, SetEndOfFile to cut a
// failed one back.
#include "JournalFile.h"

#include <windows.h>

#include <algorithm>

namespace fs = std::filesystem;

namespace {

HANDLE Handle(intptr_t handle) {
  return reinterpret_cast<HANDLE>(handle);
}

int LastError() {
  return static_cast<int>(GetLastError());
}

OVERLAPPED LockRegion() {
  OVERLAPPED region{};
  region.OffsetHigh = 0x7FFFFFFF;
  return region;
}

OVERLAPPED At(uint64_t offset) {
  OVERLAPPED place{};
  place.Offset = static_cast<DWORD>(offset);
  place.OffsetHigh = static_cast<DWORD>(offset >> 32);
  return place;
}

bool SetSize(HANDLE handle, uint64_t size) {
  FILE_END_OF_FILE_INFO end{};
  end.EndOfFile.QuadPart = static_cast<LONGLONG>(size);
  return SetFileInformationByHandle(handle, FileEndOfFileInfo, &end, sizeof end) != 0;
}

HANDLE OpenShared(const fs::path& path, DWORD access, DWORD disposition) {
  // Moving aside (a reset) must work while other processes hold it open.
  return CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                     disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}

} // namespace

std::unique_ptr<TJournalFile> TJournalFile::Open(const fs::path& path, int& error) {
  error = 0;
  const HANDLE handle = OpenShared(path, GENERIC_READ | GENERIC_WRITE, OPEN_ALWAYS);
  if (handle == INVALID_HANDLE_VALUE) {
    error = LastError();
    return nullptr;
  }
  return std::unique_ptr<TJournalFile>(new TJournalFile(reinterpret_cast<intptr_t>(handle)));
}

TJournalFile::~TJournalFile() {
  CloseHandle(Handle(handle_));
}

int TJournalFile::Lock() {
  OVERLAPPED region = LockRegion();
  return LockFileEx(Handle(handle_), LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &region) ? 0 : LastError();
}

void TJournalFile::Unlock() {
  OVERLAPPED region = LockRegion();
  UnlockFileEx(Handle(handle_), 0, 1, 0, &region);
}

bool TJournalFile::IsAt(const fs::path& path) const {
  const HANDLE named = OpenShared(path, 0, OPEN_EXISTING);
  if (named == INVALID_HANDLE_VALUE)
    return false;
  BY_HANDLE_FILE_INFORMATION a{};
  BY_HANDLE_FILE_INFORMATION b{};
  const bool same = GetFileInformationByHandle(named, &a) &&
                    GetFileInformationByHandle(Handle(handle_), &b) &&
                    a.dwVolumeSerialNumber == b.dwVolumeSerialNumber &&
                    a.nFileIndexHigh == b.nFileIndexHigh && a.nFileIndexLow == b.nFileIndexLow;
  CloseHandle(named);
  return same;
}

int TJournalFile::Size(uint64_t& size) const {
  LARGE_INTEGER value{};
  if (!GetFileSizeEx(Handle(handle_), &value))
    return LastError();
  size = static_cast<uint64_t>(value.QuadPart);
  return 0;
}

int TJournalFile::Read(uint64_t offset, size_t count, std::string& bytes) const {
  bytes.resize(count);
  size_t done = 0;
  while (done < count) {
    OVERLAPPED place = At(offset + done);
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(count - done, 1u << 30));
    DWORD got = 0;
    if (!ReadFile(Handle(handle_), bytes.data() + done, chunk, &got, &place)) {
      if (GetLastError() == ERROR_HANDLE_EOF)
        break;
      return LastError();
    }
    if (got == 0)
      break;
    done += got;
  }
  bytes.resize(done);
  return 0;
}

int TJournalFile::WriteDurably(uint64_t offset, std::string_view bytes) {
  const HANDLE handle = Handle(handle_);
  int error = 0;
  uint64_t at = offset;
  while (!bytes.empty()) {
    OVERLAPPED place = At(at);
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size(), 1u << 30));
    DWORD done = 0;
    if (!WriteFile(handle, bytes.data(), chunk, &done, &place)) {
      error = LastError();
      break;
    }
    if (done == 0) {
      error = ERROR_DISK_FULL;
      break;
    }
    bytes.remove_prefix(done);
    at += done;
  }
  if (error == 0 && !FlushFileBuffers(handle))
    error = LastError();
  if (error != 0) {
    SetSize(handle, offset);
    FlushFileBuffers(handle);
  }
  return error;
}

int TJournalFile::CutTo(uint64_t size) {
  if (!SetSize(Handle(handle_), size) || !FlushFileBuffers(Handle(handle_)))
    return LastError();
  return 0;
}

int TJournalFile::Rename(const fs::path& from, const fs::path& to) {
  return MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_WRITE_THROUGH) ? 0 : LastError();
}

bool TJournalFile::Exists(const fs::path& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}
