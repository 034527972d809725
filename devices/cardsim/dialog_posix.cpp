// The operator prompt where there are no native windows: every card operation
// is refused exactly as if the operator had closed the operation window.
#include "CardSim.h"

namespace {

class TNoWindowPrompt final : public IOperatorPrompt {
public:
  int Ask(const std::u16string&, const std::u16string&) override { return kPromptRefused; }
};

} // namespace

std::unique_ptr<IOperatorPrompt> MakeSystemPrompt() {
  return std::make_unique<TNoWindowPrompt>();
}
