// The null backend: where nothing can be shown, a device window that never
// appears; the device goes the same way as with a window on the screen.
#include "Backend.h"

namespace ui::null {

namespace {

class TNullWindow final : public TDeviceWindow {
public:
  bool Repaint() override { return false; }
  bool Shown() const override { return false; }
};

} // namespace

std::unique_ptr<TDeviceWindow> OpenWindow() {
  return std::make_unique<TNullWindow>();
}

} // namespace ui::null
