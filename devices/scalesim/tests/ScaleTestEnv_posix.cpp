#include "ScaleTestEnv.h"

#include "v8napi.h"

#include <cstdlib>
#include <filesystem>

namespace scaletest {

namespace {
std::string folder;
}

void PrepareLogHome() {
  if (!folder.empty())
    return;
  char pattern[] = "/tmp/orvik-scale-XXXXXX";
  if (mkdtemp(pattern) == nullptr)
    std::abort();
  folder = pattern;
  setenv("XDG_DATA_HOME", folder.c_str(), 1);
  std::atexit([] {
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
  });
}

std::u16string DecodeLog(const std::string& bytes) {
  return Utf8ToUtf16(bytes);
}

} // namespace scaletest
