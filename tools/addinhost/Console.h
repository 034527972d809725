// The few operating-system services addinhost needs, UTF-8 throughout.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace addinhost {

// The command line as UTF-8, whatever the system's code page.
std::vector<std::string> Utf8Arguments(int argc, char** argv);
// Makes stdout and stderr carry UTF-8 bytes unchanged.
void PrepareUtf8Output();
// Opens a file for reading in binary mode (UTF-8 path); null with a message.
std::FILE* OpenForReading(const std::string& path, std::string& error);
// Reads a whole file (UTF-8 path); false with a message.
bool ReadWholeFile(const std::string& path, std::string& contents, std::string& error);
// Reads one line of bytes, taking no byte past its line feed, which is dropped
// (a carriage return before it stays). False at the end of the file.
bool ReadLine(std::FILE* file, std::string& line);
// Reads one line of standard input, waiting only for that line; the line feed
// is dropped (a carriage return before it stays). False at the end of input.
bool ReadStandardInputLine(std::string& line);

} // namespace addinhost
