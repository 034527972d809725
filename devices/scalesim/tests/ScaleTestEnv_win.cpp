#include "ScaleTestEnv.h"

#include <windows.h>

namespace scaletest {

void PrepareLogHome() {}

std::u16string DecodeLog(const std::string& bytes) {
  if (bytes.empty())
    return {};
  const int size = static_cast<int>(bytes.size());
  const int length = MultiByteToWideChar(CP_ACP, 0, bytes.data(), size, nullptr, 0);
  std::wstring wide(static_cast<size_t>(length), L'\0');
  MultiByteToWideChar(CP_ACP, 0, bytes.data(), size, wide.data(), length);
  return std::u16string(wide.begin(), wide.end());
}

} // namespace scaletest
