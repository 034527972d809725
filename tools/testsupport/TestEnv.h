// What the test programs share: the log folder of the test, the decoding of
// the log, the version the build carries, and processes and environment. The
// operating system's side is one file per platform (TestEnv_posix.cpp,
// TestEnv_win.cpp). Every test program's main (TestMain.cpp) calls
// PrepareLogHome before the first test, so no test writes to the user's log.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace testenv {

// Points the log folder at a fresh temporary folder where the platform lets a
// test do so (Linux: XDG_DATA_HOME); done once per process, and inherited by
// child processes.
void PrepareLogHome();
// Whether a test may point the log folder somewhere else for a while.
bool CanRedirectLogHome();
// Points the log folder at folder (UTF-8) until RestoreLogHome.
void RedirectLogHome(const std::string& folder);
void RestoreLogHome();
// The temporary folder of PrepareLogHome (UTF-8), empty where there is none.
std::string TemporaryFolder();

// Full path of a log file as the core should make it.
std::u16string LogFilePath(const std::u16string& fileName);
// The log text as the platform encodes it, decoded (Windows: the system's ANSI
// code page, 1251 in the tests; elsewhere UTF-8).
std::u16string DecodeLog(const std::string& bytes);
// The system's ANSI code page on Windows, 65001 elsewhere.
unsigned LogCodePage();

// The bytes of a file from offset from on; empty when it cannot be read.
std::string ReadFileBytes(const std::filesystem::path& path, uintmax_t from = 0);
// The size of a file in bytes; 0 when it cannot be read. A log's end is found
// this way, not by reading it: the logs of a kept test prefix grow large.
uintmax_t FileSize(const std::filesystem::path& path);

// The version the libraries of this build carry (the generated version header).
std::u16string BuildVersion();
// The version an emulator linked into this test program reports.
std::u16string VersionOfTestProgram();

// Runs this test program count times at once with the given arguments and
// waits for all; gives their exit codes (-1 for one that could not start).
std::vector<int> RunSelfInParallel(const std::vector<std::string>& arguments, int count);
unsigned long ProcessId();

} // namespace testenv
