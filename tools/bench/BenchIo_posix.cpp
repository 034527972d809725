#include "BenchIo.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <sys/resource.h>
#include <unistd.h>

namespace benchio {

std::string MakeTemporaryFolder() {
  char pattern[] = "/tmp/orvik-bench-XXXXXX";
  if (mkdtemp(pattern) == nullptr)
    return {};
  return pattern;
}

void RemoveFolder(const std::string& folder) {
  std::error_code ignored;
  std::filesystem::remove_all(folder, ignored);
}

bool WriteAndFlush(const std::string& path, std::string_view bytes) {
  const int fd = open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0)
    return false;
  bool ok = true;
  while (ok && !bytes.empty()) {
    const ssize_t n = write(fd, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR)
      continue;
    ok = n > 0;
    if (ok)
      bytes.remove_prefix(static_cast<size_t>(n));
  }
  ok = fdatasync(fd) == 0 && ok;
  close(fd);
  return ok;
}

long long PeakResidentBytes() {
  // VmHWM follows ResetPeak; the resource usage does not.
  if (FILE* f = std::fopen("/proc/self/status", "r")) {
    char line[256];
    long long kb = -1;
    while (kb < 0 && std::fgets(line, sizeof line, f) != nullptr)
      if (std::sscanf(line, "VmHWM: %lld kB", &kb) != 1)
        kb = -1;
    std::fclose(f);
    if (kb >= 0)
      return kb * 1024;
  }
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<long long>(usage.ru_maxrss) * 1024;
}

bool ResetPeak() {
  const int fd = open("/proc/self/clear_refs", O_WRONLY | O_CLOEXEC);
  if (fd < 0)
    return false;
  const bool done = write(fd, "5", 1) == 1;
  close(fd);
  return done;
}

long long ResidentBytes() {
  long long pages = 0;
  long long resident = 0;
  if (FILE* f = std::fopen("/proc/self/statm", "r")) {
    if (std::fscanf(f, "%lld %lld", &pages, &resident) != 2)
      resident = 0;
    std::fclose(f);
  }
  return resident * sysconf(_SC_PAGESIZE);
}

} // namespace benchio
