// What the benchmark needs from the operating system (BenchIo_posix.cpp).
#pragma once

#include <string>
#include <string_view>

namespace benchio {

// A fresh temporary folder (removed by RemoveFolder).
std::string MakeTemporaryFolder();
void RemoveFolder(const std::string& folder);
// Appends bytes to a new file with one write and flushes them to disk as the
// call log does; false on failure.
bool WriteAndFlush(const std::string& path, std::string_view bytes);
// The process's peak resident memory in bytes since the start or since the
// last ResetPeak.
long long PeakResidentBytes();
// Starts a new peak from the memory resident now (where the system allows;
// false when the peak still counts from the start).
bool ResetPeak();
// The process's current resident memory in bytes.
long long ResidentBytes();

} // namespace benchio
