// The console services that need no operating-system call of their own.
#include "Console.h"

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

bool ReadLine(std::FILE* file, std::string& line) {
  line.clear();
  bool any = false;
  for (int c = std::getc(file); c != EOF; c = std::getc(file)) {
    any = true;
    if (c == '\n')
      return true;
    line.push_back(static_cast<char>(c));
  }
  return any;
}

} // namespace addinhost
