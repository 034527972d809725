// The call log on Linux: $XDG_DATA_HOME/Orvik (by default ~/.local/share/Orvik),
// UTF-8 text, every entry appended with one write (writev) and synced.
#include "CallLog.h"

#include "v8napi.h"

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

namespace {

// Four units from i on are all ASCII; w receives them.
bool AsciiQuad(const char16_t* s, size_t i, uint64_t& w) {
  std::memcpy(&w, s + i, 8);
  return (w & 0xFF80FF80FF80FF80ull) == 0;
}

} // namespace

// UTF-8; a lone surrogate is written as U+FFFD. Runs of ASCII, most of any
// log, go four units at a time.
size_t TCallLog::EncodedSize(std::u16string_view text) {
  const char16_t* s = text.data();
  const size_t n = text.size();
  size_t bytes = 0;
  for (size_t i = 0; i < n;) {
    uint64_t w = 0;
    if (i + 4 <= n && AsciiQuad(s, i, w)) {
      bytes += 4;
      i += 4;
      continue;
    }
    const char16_t c = s[i];
    if (c < 0x80) {
      bytes += 1;
    } else if (c < 0x800) {
      bytes += 2;
    } else if (c >= 0xD800 && c <= 0xDBFF && i + 1 < n && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
      bytes += 4;
      ++i;
    } else {
      bytes += 3; // also a lone surrogate, written as U+FFFD
    }
    ++i;
  }
  return bytes;
}

char* TCallLog::Encode(char* p, std::u16string_view text) {
  const char16_t* s = text.data();
  const size_t n = text.size();
  for (size_t i = 0; i < n;) {
    uint64_t w = 0;
    if (i + 4 <= n && AsciiQuad(s, i, w)) {
      p[0] = static_cast<char>(w);
      p[1] = static_cast<char>(w >> 16);
      p[2] = static_cast<char>(w >> 32);
      p[3] = static_cast<char>(w >> 48);
      p += 4;
      i += 4;
      continue;
    }
    uint32_t c = s[i++];
    if (c < 0x80) {
      *p++ = static_cast<char>(c);
      continue;
    }
    if (c >= 0xD800 && c <= 0xDBFF && i < n && s[i] >= 0xDC00 && s[i] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (s[i] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = 0xFFFD; // a lone surrogate has no UTF-8 form
    }
    if (c < 0x800) {
      *p++ = static_cast<char>(0xC0 | (c >> 6));
      *p++ = static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      *p++ = static_cast<char>(0xE0 | (c >> 12));
      *p++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      *p++ = static_cast<char>(0x80 | (c & 0x3F));
    } else {
      *p++ = static_cast<char>(0xF0 | (c >> 18));
      *p++ = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      *p++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      *p++ = static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return p;
}
