// Window commands of a device window. Linux has no device windows: commands
// are ignored.
#include "DeviceSet.h"

void TSetEmulator::HandleWindowCommand(void* /*window*/, int /*command*/) {}
