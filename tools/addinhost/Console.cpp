// The console services that need no operating-system call of their own.
#include "Console.h"

#include <iostream>
#include <iterator>

namespace addinhost {

bool ReadWholeFile(const std::string& path, std::string& contents, std::string& error) {
  std::FILE* file = OpenForReading(path, error);
  if (file == nullptr)
    return false;
  contents.clear();
  char buffer[65536];
  size_t n = 0;
  while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0)
    contents.append(buffer, n);
  const bool failed = std::ferror(file) != 0;
  std::fclose(file);
  if (failed)
    error = "read error";
  return !failed;
}

std::string ReadStandardInput() {
  return std::string(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
}

} // namespace addinhost
