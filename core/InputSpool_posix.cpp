// The input spool's files on Linux. A file is claimed by renaming it, within
// its folder, to a hidden name of this watcher's own: rename is atomic, so of
// two watchers (of any processes) exactly one moves a given file, and the
// other finds it gone. A writer that holds flock on the file is waited for.
#include "InputSpool.h"

#include "TextCodec.h"

#include <atomic>
#include <cerrno>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

int64_t NowMs() {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  return static_cast<int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

class TFd {
public:
  explicit TFd(int fd = -1) : fd_(fd) {}
  ~TFd() {
    if (fd_ >= 0)
      close(fd_);
  }
  TFd(const TFd&) = delete;
  TFd& operator=(const TFd&) = delete;
  int get() const { return fd_; }

private:
  int fd_;
};

class TClaimedPosix : public TClaimedFile {
public:
  TClaimedPosix(std::string original, std::string claimed)
      : original_(std::move(original)), claimed_(std::move(claimed)) {}
  ~TClaimedPosix() override {
    if (!done_)
      GiveBack();
  }

  bool Read(size_t limit, std::string& bytes, int& error) override {
    TFd fd(open(claimed_.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
    if (fd.get() < 0) {
      error = errno;
      return false;
    }
    bytes.clear();
    char buffer[65536];
    while (bytes.size() <= limit) {
      const ssize_t got = read(fd.get(), buffer, sizeof buffer);
      if (got < 0) {
        if (errno == EINTR)
          continue;
        error = errno;
        return false;
      }
      if (got == 0)
        break;
      bytes.append(buffer, static_cast<size_t>(got));
    }
    if (bytes.size() > limit + 1)
      bytes.resize(limit + 1);
    return true;
  }

  bool Remove(int& error) override {
    if (unlink(claimed_.c_str()) != 0) {
      error = errno;
      GiveBack();
      return false;
    }
    done_ = true;
    return true;
  }

private:
  // Back under its own name. link never replaces a file: should a new file
  // of that name have come meanwhile, this one comes back beside it, under
  // its name and a tilde. A file system without links takes a rename.
  void GiveBack() {
    done_ = true;
    if (link(claimed_.c_str(), original_.c_str()) == 0) {
      unlink(claimed_.c_str());
    } else if (errno == EEXIST) {
      for (int n = 1; n < 100; ++n)
        if (link(claimed_.c_str(), (original_ + "~" + std::to_string(n)).c_str()) == 0) {
          unlink(claimed_.c_str());
          return;
        }
    } else {
      rename(claimed_.c_str(), original_.c_str());
    }
  }

  std::string original_;
  std::string claimed_;
  bool done_ = false;
};

} // namespace

int MakeSpoolFolder(const fs::path& folder) {
  if (mkdir(folder.c_str(), 0700) == 0)
    return 0;
  if (errno != EEXIST)
    return errno;
  struct stat st {};
  if (stat(folder.c_str(), &st) != 0)
    return errno;
  return S_ISDIR(st.st_mode) ? 0 : ENOTDIR;
}

int ListSpoolFolder(const fs::path& folder, std::vector<TSpoolFile>& files) {
  files.clear();
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr)
    return errno;
  const int64_t now = NowMs();
  for (;;) {
    errno = 0;
    const dirent* entry = readdir(dir);
    if (entry == nullptr)
      break;
    const std::string name = entry->d_name;
    if (name.empty() || name[0] == '.')
      continue;
    const std::string path = folder.native() + "/" + name;
    struct stat st {};
    if (lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
      continue;
    TSpoolFile file;
    file.Path = path;
    file.Name = Utf8ToUtf16(name);
    file.Size = static_cast<uint64_t>(st.st_size);
    const int64_t written = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000 + st.st_mtim.tv_nsec / 1000000;
    file.QuietMs = now - written;
    files.push_back(std::move(file));
  }
  const int error = errno;
  closedir(dir);
  return error;
}

TClaim TClaimedFile::Claim(const TSpoolFile& file, std::unique_ptr<TClaimedFile>& claimed, int& error) {
  const std::string original = file.Path.native();
  {
    // A writer that holds its lock is still at work. The descriptor only
    // asks: what is read is what the rename below moved.
    TFd fd(open(original.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW));
    if (fd.get() < 0) {
      if (errno == ENOENT)
        return TClaim::Gone;
      error = errno;
      return TClaim::Failed;
    }
    if (flock(fd.get(), LOCK_SH | LOCK_NB) != 0)
      return TClaim::Busy; // locked by its writer (or being given back)
  }
  static std::atomic<unsigned long> counter{0};
  const size_t slash = original.rfind('/');
  const std::string folder = original.substr(0, slash + 1);
  // A short name of its own, whatever the length of the file's name.
  const std::string hidden =
      folder + ".claimed-" + std::to_string(getpid()) + "-" + std::to_string(counter.fetch_add(1));
  if (rename(original.c_str(), hidden.c_str()) != 0) {
    if (errno == ENOENT)
      return TClaim::Gone;
    error = errno;
    return TClaim::Failed;
  }
  claimed = std::make_unique<TClaimedPosix>(original, hidden);
  return TClaim::Taken;
}
