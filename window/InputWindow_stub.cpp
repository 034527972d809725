// Input windows where the platform's backend has none yet: the null backend's.
#include "Backend.h"

namespace ui {

std::unique_ptr<TInputWindow> OpenInputWindow(const TInputWindowSpec&, IInputHandler&) {
  return null::OpenInputWindow();
}

} // namespace ui
