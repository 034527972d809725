// Console and files on Windows: the command line is taken in UTF-16 and
// turned into UTF-8; output is written as UTF-8 bytes without newline
// translation, so that a captured file reads as UTF-8.
#include "Console.h"

#include "TestHost.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

#include <cstdio>

namespace addinhost {

namespace {

std::wstring Wide(const std::string& utf8) {
  const std::u16string text = testhost::Utf8ToUtf16(utf8);
  return std::wstring(text.begin(), text.end());
}

} // namespace

std::vector<std::string> Utf8Arguments(int argc, char** argv) {
  int count = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (wide == nullptr)
    return std::vector<std::string>(argv, argv + argc);
  std::vector<std::string> arguments;
  for (int i = 0; i < count; ++i) {
    const std::wstring arg(wide[i]);
    arguments.push_back(testhost::Utf16ToUtf8(std::u16string(arg.begin(), arg.end())));
  }
  LocalFree(wide);
  return arguments;
}

void PrepareUtf8Output() {
  SetConsoleOutputCP(CP_UTF8);
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
  _setmode(_fileno(stdin), _O_BINARY);
}

std::FILE* OpenForReading(const std::string& path, std::string& error) {
  std::FILE* file = _wfopen(Wide(path).c_str(), L"rb");
  if (file == nullptr)
    error = "cannot be opened";
  return file;
}

} // namespace addinhost
