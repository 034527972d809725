// What the backends share, below the window layer's interface.
#pragma once

#include "Window.h"

namespace ui::null {

// The null backend's device window: never on the screen, so that the device's
// next output tries again.
std::unique_ptr<TDeviceWindow> OpenWindow();

} // namespace ui::null
