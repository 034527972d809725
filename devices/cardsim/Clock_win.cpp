// The system tick count on Windows.
#include "CardSim.h"

#include <windows.h>

uint32_t SystemTickCount() {
  return GetTickCount();
}
