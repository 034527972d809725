#include "TestEnv.h"

#include <windows.h>

#include <shlobj.h>

namespace testenv {

void PrepareLogHome() {} // the log lives in the (test) profile's application data
bool CanRedirectLogHome() {
  return false;
}
void RedirectLogHome(const std::string&) {}
void RestoreLogHome() {}
std::string TemporaryFolder() {
  return {};
}

std::u16string LogFilePath(const std::u16string& fileName) {
  wchar_t folder[MAX_PATH] = {};
  SHGetFolderPathW(nullptr, CSIDL_APPDATA | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT, folder);
  std::wstring path = folder;
  if (!path.empty() && path.back() != L'\\')
    path += L'\\';
  path += L"Orvik\\";
  return std::u16string(path.begin(), path.end()) + fileName;
}

std::u16string DecodeLog(const std::string& bytes) {
  if (bytes.empty())
    return {};
  const int n = MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
  std::wstring wide(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), wide.data(), n);
  return std::u16string(wide.begin(), wide.end());
}

unsigned LogCodePage() {
  return GetACP();
}

// A test program carries no version resource.
std::u16string VersionOfTestProgram() {
  return u"0.0.0.0";
}

std::vector<int> RunSelfInParallel(const std::vector<std::string>& arguments, int count) {
  wchar_t self[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring command = L"\"" + std::wstring(self) + L"\"";
  for (const std::string& argument : arguments)
    command += L" " + std::wstring(argument.begin(), argument.end());
  std::vector<int> codes(static_cast<size_t>(count), -1);
  std::vector<HANDLE> processes(static_cast<size_t>(count), nullptr);
  for (HANDLE& process : processes) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    std::wstring line = command;
    if (CreateProcessW(self, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) {
      CloseHandle(info.hThread);
      process = info.hProcess;
    }
  }
  for (size_t i = 0; i < processes.size(); ++i) {
    if (processes[i] == nullptr)
      continue;
    DWORD code = 0;
    if (WaitForSingleObject(processes[i], INFINITE) == WAIT_OBJECT_0 &&
        GetExitCodeProcess(processes[i], &code))
      codes[i] = static_cast<int>(code);
    CloseHandle(processes[i]);
  }
  return codes;
}

unsigned long ProcessId() {
  return GetCurrentProcessId();
}

} // namespace testenv
