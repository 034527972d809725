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
#include <iterator>

namespace addinhost {

namespace {

std::wstring Wide(const std::string& utf8) {
  const std::u16string text = testhost::Utf8ToUtf16(utf8);
  return std::wstring(text.begin(), text.end());
}

// A line typed at a console, read as UTF-16 from the console itself: the bytes
// of standard input would be in the console's code page. A line that starts
// with Ctrl+Z ends the input, as for other console programs.
bool ReadConsoleLine(HANDLE input, std::string& line) {
  static std::u16string pending; // what the console gave past the last line
  for (;;) {
    if (const size_t nl = pending.find(u'\n'); nl != std::u16string::npos) {
      std::u16string text = pending.substr(0, nl);
      pending.erase(0, nl + 1);
      if (!text.empty() && text.back() == u'\r')
        text.pop_back();
      if (text.starts_with(u'\x1A'))
        return false;
      line = testhost::Utf16ToUtf8(text);
      return true;
    }
    wchar_t buffer[1024];
    DWORD read = 0;
    if (!ReadConsoleW(input, buffer, static_cast<DWORD>(std::size(buffer)), &read, nullptr) || read == 0) {
      if (pending.empty() || pending.starts_with(u'\x1A'))
        return false;
      line = testhost::Utf16ToUtf8(pending);
      pending.clear();
      return true;
    }
    pending.append(buffer, buffer + read);
  }
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

bool ReadStandardInputLine(std::string& line) {
  line.clear();
  const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  DWORD mode = 0;
  if (input != nullptr && input != INVALID_HANDLE_VALUE && GetConsoleMode(input, &mode))
    return ReadConsoleLine(input, line);
  // A pipe or a file: UTF-8 bytes, untranslated (binary mode).
  return ReadLine(stdin, line);
}

} // namespace addinhost
