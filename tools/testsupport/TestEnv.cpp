#include "TestEnv.h"

#include "TestHost.h"
#include "orvik_version.h"

#include <fstream>
#include <sstream>

namespace testenv {

std::u16string BuildVersion() {
  return testhost::Utf8ToUtf16(ORVIK_VERSION_TEXT);
}

std::string ReadFileBytes(const std::filesystem::path& path, uintmax_t from) {
  std::ifstream in(path, std::ios::binary);
  if (!in || !in.seekg(static_cast<std::streamoff>(from)))
    return {};
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

uintmax_t FileSize(const std::filesystem::path& path) {
  std::error_code error;
  const uintmax_t size = std::filesystem::file_size(path, error);
  return error ? 0 : size;
}

} // namespace testenv
