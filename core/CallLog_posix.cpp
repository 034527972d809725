// The call log on Linux: $XDG_DATA_HOME/Orvik (by default ~/.local/share/Orvik),
// UTF-8 text, every entry appended with one write (writev) and synced.
#include "CallLog.h"

#include "TextCodec.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>
#include <vector>

namespace {

bool IsDirectory(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Creates one directory; true when it exists afterwards.
bool MakeDirectory(const std::string& path) {
  if (mkdir(path.c_str(), 0700) == 0)
    return true;
  return errno == EEXIST && IsDirectory(path);
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
// when they are no UTF-8); empty when it cannot be found or made.
std::string DataFolderBytes(bool make) {
  std::string folder = DataHome();
  while (folder.size() > 1 && folder.back() == '/')
    folder.pop_back();
  if (folder.empty() || (make && !MakeDirectories(folder)))
    return {};
  folder += "/Orvik";
  if (make && !MakeDirectory(folder))
    return {};
  return folder;
}

} // namespace

std::u16string TCallLog::DataFolder(bool make) {
  return Utf8ToUtf16(DataFolderBytes(make));
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

std::unique_ptr<TCallLog> TCallLog::OpenFile(const std::u16string& path) {
  const intptr_t fd = OpenAppend(Utf16ToUtf8(path));
  if (fd < 0)
    return nullptr;
  return std::unique_ptr<TCallLog>(new TCallLog(fd));
}

TCallLog::~TCallLog() {
  close(static_cast<int>(handle_));
}

bool TCallLog::Append(std::span<const std::string_view> pieces) {
  const int fd = static_cast<int>(handle_);
  // With O_APPEND every write lands at the current end of the file; a local
  // file takes the whole entry, all its pieces, in one writev, so entries of
  // several writers never mix. The loop only finishes a write that a signal or
  // a full disk cut short.
  constexpr size_t kMaxPieces = 8;
  iovec vectors[kMaxPieces];
  size_t count = 0;
  for (const std::string_view piece : pieces.first(std::min(pieces.size(), kMaxPieces)))
    if (!piece.empty())
      vectors[count++] = iovec{const_cast<char*>(piece.data()), piece.size()};
  iovec* next = vectors;
  while (count > 0) {
    const ssize_t n = writev(fd, next, static_cast<int>(count));
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0)
      return false;
    size_t done = static_cast<size_t>(n);
    for (; count > 0 && done >= next->iov_len; ++next, --count)
      done -= next->iov_len;
    if (count > 0) {
      next->iov_base = static_cast<char*>(next->iov_base) + done;
      next->iov_len -= done;
    }
  }
  return fdatasync(fd) == 0;
}

std::string TCallLog::Timestamp() {
  const time_t now = time(nullptr);
  tm local{};
  localtime_r(&now, &local);
  char text[80];
  std::snprintf(text, sizeof text, "%02d.%02d.%04d %02d:%02d:%02d", local.tm_mday, local.tm_mon + 1,
                local.tm_year + 1900, local.tm_hour, local.tm_min, local.tm_sec);
  return text;
}
