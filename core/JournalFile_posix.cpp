// The journal file on Linux: a descriptor, flock for the lock, pwrite and
// fdatasync for a durable record, ftruncate to cut a failed one back.
#include "JournalFile.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

int Fd(intptr_t handle) {
  return static_cast<int>(handle);
}

// Flushes the folder entry of a file just made, so that the file itself
// survives a crash of the system.
void SyncFolder(const fs::path& path) {
  const fs::path folder = path.has_parent_path() ? path.parent_path() : fs::path(".");
  const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd >= 0) {
    fsync(fd);
    close(fd);
  }
}

} // namespace

std::unique_ptr<TJournalFile> TJournalFile::Open(const fs::path& path, int& error) {
  error = 0;
  int fd;
  bool made = false;
  do {
    fd = open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0 && errno == ENOENT) {
      fd = open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
      made = fd >= 0;
      if (fd < 0 && errno == EEXIST) // another process made it first
        errno = EINTR;
    }
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) {
    error = errno;
    return nullptr;
  }
  if (made)
    SyncFolder(path);
  return std::unique_ptr<TJournalFile>(new TJournalFile(fd));
}

TJournalFile::~TJournalFile() {
  close(Fd(handle_));
}

int TJournalFile::Lock() {
  while (flock(Fd(handle_), LOCK_EX) != 0)
    if (errno != EINTR)
      return errno;
  return 0;
}

void TJournalFile::Unlock() {
  flock(Fd(handle_), LOCK_UN);
}

bool TJournalFile::IsAt(const fs::path& path) const {
  struct stat named {};
  struct stat open {};
  return stat(path.c_str(), &named) == 0 && fstat(Fd(handle_), &open) == 0 && named.st_dev == open.st_dev &&
         named.st_ino == open.st_ino;
}

int TJournalFile::Size(uint64_t& size) const {
  struct stat st {};
  if (fstat(Fd(handle_), &st) != 0)
    return errno;
  size = static_cast<uint64_t>(st.st_size);
  return 0;
}

int TJournalFile::Read(uint64_t offset, size_t count, std::string& bytes) const {
  bytes.resize(count);
  size_t done = 0;
  while (done < count) {
    const ssize_t n =
        pread(Fd(handle_), bytes.data() + done, count - done, static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR)
      continue;
    if (n < 0)
      return errno;
    if (n == 0)
      break;
    done += static_cast<size_t>(n);
  }
  bytes.resize(done);
  return 0;
}

int TJournalFile::WriteDurably(uint64_t offset, std::string_view bytes) {
  const int fd = Fd(handle_);
  int error = 0;
  uint64_t at = offset;
  while (!bytes.empty()) {
    const ssize_t n = pwrite(fd, bytes.data(), bytes.size(), static_cast<off_t>(at));
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0) {
      error = n == 0 ? ENOSPC : errno; // a write that takes nothing is a full disk
      break;
    }
    bytes.remove_prefix(static_cast<size_t>(n));
    at += static_cast<uint64_t>(n);
  }
  // fdatasync carries the new size with the data: one flush per record.
  if (error == 0 && fdatasync(fd) != 0 && errno != EINVAL) // EINVAL: a file that cannot be synced
    error = errno;
  if (error != 0) {
    while (ftruncate(fd, static_cast<off_t>(offset)) != 0 && errno == EINTR) {
    }
    fdatasync(fd);
  }
  return error;
}

int TJournalFile::CutTo(uint64_t size) {
  const int fd = Fd(handle_);
  while (ftruncate(fd, static_cast<off_t>(size)) != 0)
    if (errno != EINTR)
      return errno;
  if (fdatasync(fd) != 0 && errno != EINVAL)
    return errno;
  return 0;
}

int TJournalFile::Rename(const fs::path& from, const fs::path& to) {
  if (rename(from.c_str(), to.c_str()) != 0)
    return errno;
  SyncFolder(to);
  return 0;
}

bool TJournalFile::Exists(const fs::path& path) {
  struct stat st {};
  return lstat(path.c_str(), &st) == 0;
}
