// The system's clocks on Windows.
#include "Clock.h"

#include <windows.h>

uint32_t SystemTickCount() {
  return GetTickCount();
}

TLocalTime LocalTimeNow() {
  SYSTEMTIME local{};
  GetLocalTime(&local);
  return {local.wYear, local.wMonth, local.wDay, local.wHour, local.wMinute, local.wSecond};
}
