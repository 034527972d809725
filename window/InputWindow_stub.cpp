// Input windows on Windows until its backend draws them: the null backend's.
#include "Backend.h"

namespace ui {

std::unique_ptr<TInputWindow> OpenInputWindow(const TInputWindowSpec&, IInputHandler&) {
  return null::OpenInputWindow();
}

} // namespace ui
