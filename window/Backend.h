// What the backends share, below the window layer's interface.
#pragma once

#include "Window.h"

namespace ui::null {

// The null backend's device window: never on the screen, so that the device's
// next output tries again.
std::unique_ptr<TDeviceWindow> OpenWindow();

// The null backend's input window: never on the screen, never open.
std::unique_ptr<TInputWindow> OpenInputWindow();

} // namespace ui::null
