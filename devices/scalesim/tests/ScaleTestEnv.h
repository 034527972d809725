// What the scale's tests need from the operating system, one file per platform
// (ScaleTestEnv_posix.cpp, ScaleTestEnv_win.cpp).
#pragma once

#include <string>

namespace scaletest {

// Sends the call log to a fresh temporary folder where the platform lets a
// test do so (Linux: XDG_DATA_HOME, removed at exit); elsewhere the log goes
// to the user's folder as usual.
void PrepareLogHome();
// Log bytes as text (Windows: the ANSI code page; elsewhere UTF-8).
std::u16string DecodeLog(const std::string& bytes);

} // namespace scaletest
