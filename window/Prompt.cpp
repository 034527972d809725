// The operator prompt of the screen: every dialog asked runs as the platform
// shows it.
#include "Window.h"

namespace ui {

namespace {

class TScreenPrompt final : public IOperatorPrompt {
public:
  int Ask(TDialogRun& run) override { return RunDialog(run); }
};

} // namespace

std::unique_ptr<IOperatorPrompt> ScreenPrompt() {
  return std::make_unique<TScreenPrompt>();
}

} // namespace ui
