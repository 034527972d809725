// The system's clock as the devices read it.
#pragma once

#include <cstdint>

// Milliseconds since the system started, wrapping at 2^32 as Windows counts
// them (Clock_win.cpp, Clock_posix.cpp).
uint32_t SystemTickCount();
