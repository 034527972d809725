// Environment variables on POSIX systems: their bytes are taken as UTF-8.
#include "Unattended.h"

#include "TextCodec.h"

#include <cstdlib>

std::optional<std::u16string> EnvironmentVariable(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr)
    return std::nullopt;
  return Utf8ToUtf16(value);
}
