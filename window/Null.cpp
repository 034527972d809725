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

class TNullInputWindow final : public TInputWindow {
public:
  bool Shown() const override { return false; }
  bool Open() const override { return false; }
  void SetTexts(std::vector<std::pair<int, std::u16string>>) override {}
};

} // namespace

std::unique_ptr<TDeviceWindow> OpenWindow() {
  return std::make_unique<TNullWindow>();
}

std::unique_ptr<TInputWindow> OpenInputWindow() {
  return std::make_unique<TNullInputWindow>();
}

} // namespace ui::null
