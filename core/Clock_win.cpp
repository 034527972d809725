// The system tick count on Windows.
#include "Clock.h"

#include <windows.h>

uint32_t SystemTickCount() {
  return GetTickCount();
}
