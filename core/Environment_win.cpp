// Environment variables on Windows, read from the process's own block in
// UTF-16 (the C runtime's copy would miss changes made through the system).
#include "Unattended.h"

#include <windows.h>

std::optional<std::u16string> EnvironmentVariable(const char* name) {
  const std::string narrow = name;
  const std::wstring wideName(narrow.begin(), narrow.end()); // names are ASCII
  std::wstring value(64, L'\0');
  for (;;) {
    SetLastError(ERROR_SUCCESS);
    const DWORD n = GetEnvironmentVariableW(wideName.c_str(), value.data(), static_cast<DWORD>(value.size()));
    if (n == 0) {
      if (GetLastError() == ERROR_ENVVAR_NOT_FOUND)
        return std::nullopt;
      return std::u16string(); // set, but empty
    }
    if (n < value.size()) {
      value.resize(n);
      return std::u16string(value.begin(), value.end());
    }
    value.resize(n); // n is the size needed, with its terminating zero
  }
}
