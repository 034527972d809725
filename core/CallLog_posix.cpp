// The call log on Linux: $XDG_DATA_HOME/Orvik (by default ~/.local/share/Orvik),
// UTF-8 text, every entry appended with one write (writev) under the writers'
// lock (flock) and synced, or the file cut back to where it was. Paths stay
// the bytes the environment and the file system give.
#include "CallLog.h"

#include "TextCodec.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>
#include <vector>

#ifndef IOV_MAX
#define IOV_MAX 1024 // the limit Linux has had since 2.0
#endif

namespace fs = std::filesystem;

namespace {

bool IsDirectory(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Creates one directory; true when it exists afterwards.
bool MakeDirectory(const std::string& path) {
  if (mkdir(path.c_str(), 0700) == 0)
    return true;
  if (errno != EEXIST)
    return false;
  if (IsDirectory(path))
    return true;
  errno = ENOTDIR; // a file of that name is in the way
  return false;
}

// Creates the directory and every missing parent, as desktop programs do
// for their data home.
bool MakeDirectories(const std::string& path) {
  if (IsDirectory(path))
    return true;
  for (size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1)) {
    const std::string parent = path.substr(0, slash);
    if (!IsDirectory(parent) && !MakeDirectory(parent))
      return false;
  }
  return MakeDirectory(path);
}

std::string HomeDirectory() {
  const char* home = std::getenv("HOME");
  if (home != nullptr && home[0] == '/')
    return home;
  std::vector<char> buffer(16384);
  passwd entry{};
  passwd* found = nullptr;
  if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr &&
      found->pw_dir != nullptr && found->pw_dir[0] == '/')
    return found->pw_dir;
  return {};
}

// The data home: $XDG_DATA_HOME when it is an absolute path (a relative one
// is ignored), else ~/.local/share. Empty when neither can be found.
std::string DataHome() {
  const char* xdg = std::getenv("XDG_DATA_HOME");
  if (xdg != nullptr && xdg[0] == '/')
    return xdg;
  const std::string home = HomeDirectory();
  if (home.empty())
    return {};
  return home + (home.back() == '/' ? "" : "/") + ".local/share";
}

intptr_t OpenAppend(const std::string& path) {
  int fd;
  do {
    fd = open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

// The data folder as the file system names it (bytes, kept as they are even
// when they are no UTF-8); empty when it cannot be found or made, with errno
// telling why.
std::string DataFolderBytes(bool make) {
  std::string folder = DataHome();
  while (folder.size() > 1 && folder.back() == '/')
    folder.pop_back();
  if (folder.empty()) {
    errno = ENOENT;
    return {};
  }
  if (make && !MakeDirectories(folder))
    return {};
  folder += "/Orvik";
  if (make && !MakeDirectory(folder))
    return {};
  return folder;
}

// Writes all of bytes at the file's position; false with errno on a failure
// (a write that takes nothing counts as a full disk).
bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = write(fd, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR)
      continue;
    if (n < 0)
      return false;
    if (n == 0) {
      errno = ENOSPC;
      return false;
    }
    bytes.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

// Cuts the file back to size, keeping errno as the failure left it.
void CutBack(int fd, off_t size) {
  const int saved = errno;
  while (ftruncate(fd, size) != 0 && errno == EINTR) {
  }
  errno = saved;
}

} // namespace

fs::path TCallLog::DataFolder(bool make, int* error) {
  errno = 0;
  std::string folder = DataFolderBytes(make);
  if (folder.empty() && error != nullptr)
    *error = errno != 0 ? errno : ENOENT;
  return fs::path(std::move(folder));
}

std::unique_ptr<TCallLog> TCallLog::Open(std::u16string_view fileName, std::u16string& path) {
  path.clear();
  const std::string folder = DataFolderBytes(true);
  if (folder.empty())
    return nullptr;
  const std::string file = folder + "/" + Utf16ToUtf8(fileName);
  path = Utf8ToUtf16(file);
  const intptr_t fd = OpenAppend(file);
  if (fd < 0)
    return nullptr;
  return std::unique_ptr<TCallLog>(new TCallLog(fd));
}

std::unique_ptr<TCallLog> TCallLog::OpenFile(const fs::path& path, int* error) {
  const intptr_t fd = OpenAppend(path.native());
  if (fd < 0) {
    if (error != nullptr)
      *error = errno;
    return nullptr;
  }
  return std::unique_ptr<TCallLog>(new TCallLog(fd));
}

TCallLog::~TCallLog() {
  close(static_cast<int>(handle_));
}

bool TCallLog::Append(std::span<const std::string_view> pieces) {
  const int fd = static_cast<int>(handle_);
  // One writev takes up to IOV_MAX pieces: those beyond are joined into the
  // last.
  std::vector<iovec> vectors;
  vectors.reserve(std::min<size_t>(pieces.size(), IOV_MAX));
  std::string joined;
  for (const std::string_view piece : pieces) {
    if (piece.empty())
      continue;
    if (vectors.size() + 1 < IOV_MAX)
      vectors.push_back(iovec{const_cast<char*>(piece.data()), piece.size()});
    else
      joined.append(piece);
  }
  if (!joined.empty())
    vectors.push_back(iovec{joined.data(), joined.size()});

  // Every writer of the file takes this lock, so the size noted under it is
  // where this write begins (O_APPEND puts it at the end), and a write that
  // fails part way is cut off before anyone appends after it. A lock the file
  // system refuses still leaves the write and its cutting back.
  int locked;
  do {
    locked = flock(fd, LOCK_EX);
  } while (locked != 0 && errno == EINTR);
  struct stat st {};
  const bool noted = fstat(fd, &st) == 0;
  bool written = noted;
  // The loop only finishes a write that a signal or a file size limit cut
  // short; whatever then fails is taken back whole.
  iovec* next = vectors.data();
  size_t count = vectors.size();
  while (written && count > 0) {
    const ssize_t n = writev(fd, next, static_cast<int>(count));
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0) {
      if (n == 0)
        errno = ENOSPC;
      written = false;
      break;
    }
    size_t done = static_cast<size_t>(n);
    for (; count > 0 && done >= next->iov_len; ++next, --count)
      done -= next->iov_len;
    if (count > 0) {
      next->iov_base = static_cast<char*>(next->iov_base) + done;
      next->iov_len -= done;
    }
  }
  if (written && fdatasync(fd) != 0 && errno != EINVAL) // EINVAL: a file that cannot be synced
    written = false;
  if (!written) {
    error_ = errno;
    if (noted)
      CutBack(fd, st.st_size);
  }
  if (locked == 0)
    flock(fd, LOCK_UN);
  return written;
}

int TCallLog::ReplaceWhole(const fs::path& path, std::string_view bytes) {
  // A name of its own for the new text (writers in other processes each have
  // theirs); the rename puts one whole text in place.
  static std::atomic<uint64_t> counter{0};
  const std::string prefix = path.native() + ".tmp" + std::to_string(getpid()) + "-";
  std::string temporary;
  int fd = -1;
  for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
    temporary = prefix + std::to_string(++counter);
    do {
      fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0 && errno != EEXIST) // a name left by a process of this number long gone
      return errno;
  }
  if (fd < 0)
    return EEXIST;
  bool written = WriteAll(fd, bytes) && fdatasync(fd) == 0;
  int error = written ? 0 : errno;
  if (close(fd) != 0 && written) {
    written = false;
    error = errno;
  }
  if (written && rename(temporary.c_str(), path.c_str()) != 0) {
    written = false;
    error = errno;
  }
  if (!written)
    unlink(temporary.c_str());
  return error;
}

std::u16string TCallLog::DisplayPath(const fs::path& path) {
  return Utf8ToUtf16(path.native());
}

std::u16string TCallLog::ErrorText(int code) {
  switch (code) {
  case ENOSPC:
  case EDQUOT:
    return u"нет места на диске";
  case EFBIG:
    return u"файл превысил допустимый размер";
  case EACCES:
  case EPERM:
  case EROFS:
    return u"нет доступа";
  default:
    return Utf8ToUtf16(std::strerror(code));
  }
}
