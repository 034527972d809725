// Console and files on Linux: arguments and output are UTF-8 already.
#include "Console.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace addinhost {

std::vector<std::string> Utf8Arguments(int argc, char** argv) {
  return std::vector<std::string>(argv, argv + argc);
}

void PrepareUtf8Output() {}

std::FILE* OpenForReading(const std::string& path, std::string& error) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr)
    error = std::strerror(errno);
  return file;
}

bool ReadStandardInputLine(std::string& line) {
  return ReadLine(stdin, line);
}

} // namespace addinhost
