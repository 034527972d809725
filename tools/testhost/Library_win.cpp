// Loading a DLL, finding the program's folder and setting up its environment
// on Windows.
#include "TestHost.h"

#include <windows.h>

#include <shlobj.h>

#include <iterator>

namespace testhost {

namespace {

std::wstring Wide(const std::string& utf8) {
  const std::u16string text = Utf8ToUtf16(utf8);
  return std::wstring(text.begin(), text.end());
}

std::string Narrow(const std::wstring& text) {
  return Utf16ToUtf8(std::u16string(text.begin(), text.end()));
}

std::string SystemMessage(DWORD code) {
  wchar_t* buffer = nullptr;
  const DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                          FORMAT_MESSAGE_IGNORE_INSERTS,
                                      nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::wstring text = length != 0 && buffer != nullptr ? std::wstring(buffer, length) : std::wstring();
  if (buffer != nullptr)
    LocalFree(buffer);
  while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' '))
    text.pop_back();
  return Narrow(text) + " (error " + std::to_string(code) + ")";
}

class WindowsLibrary final : public SharedLibrary {
public:
  explicit WindowsLibrary(HMODULE module) : module_(module) {}
  ~WindowsLibrary() override { FreeLibrary(module_); }
  void* Symbol(const char* name) const override {
    return reinterpret_cast<void*>(GetProcAddress(module_, name));
  }

private:
  HMODULE module_;
};

} // namespace

std::unique_ptr<SharedLibrary> OpenSharedLibrary(const std::string& path, std::string& error) {
  // A full path keeps LoadLibrary off the system's search order: the host
  // always means a file.
  const std::wstring given = Wide(path);
  wchar_t full[MAX_PATH * 4];
  const DWORD length = GetFullPathNameW(given.c_str(), static_cast<DWORD>(std::size(full)), full, nullptr);
  const std::wstring file = length != 0 && length < std::size(full) ? std::wstring(full, length) : given;
  HMODULE module = LoadLibraryExW(file.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  if (module == nullptr) {
    error = path + ": " + SystemMessage(GetLastError());
    return nullptr;
  }
  return std::make_unique<WindowsLibrary>(module);
}

std::string ExecutableDirectory() {
  wchar_t path[MAX_PATH * 4];
  const DWORD length = GetModuleFileNameW(nullptr, path, static_cast<DWORD>(std::size(path)));
  if (length == 0 || length >= std::size(path))
    return ".";
  std::wstring full(path, length);
  const size_t slash = full.find_last_of(L"\\/");
  return slash == std::wstring::npos ? "." : Narrow(full.substr(0, slash));
}

std::string BesideExecutable(const std::string& fileName) {
  return ExecutableDirectory() + "\\" + fileName;
}

void SetEnvironment(const char* name, const char* value) {
  SetEnvironmentVariableW(Wide(name).c_str(), value != nullptr ? Wide(value).c_str() : nullptr);
}

std::string FreshDataFolder() {
  wchar_t appData[MAX_PATH] = {};
  if (FAILED(
          SHGetFolderPathW(nullptr, CSIDL_APPDATA | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT, appData)))
    return {};
  const std::wstring folder = std::wstring(appData) + L"\\Orvik";
  CreateDirectoryW(folder.c_str(), nullptr);
  return Narrow(folder);
}

} // namespace testhost
