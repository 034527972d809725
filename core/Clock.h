// The system's clock as the devices read it.
#pragma once

#include <cstdint>

// Milliseconds since the system started, wrapping at 2^32 as Windows counts
// them (Clock_win.cpp, Clock_posix.cpp).
uint32_t SystemTickCount();

// The date and time of the local calendar now, as the user's clock shows it.
struct TLocalTime {
  int Year = 0, Month = 0, Day = 0, Hour = 0, Minute = 0, Second = 0;
};
TLocalTime LocalTimeNow();
