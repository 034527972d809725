// Window commands of a device window (close, print, copy).
#include "DeviceSet.h"

void TSetEmulator::HandleWindowCommand(void* /*window*/, int /*command*/) {}
