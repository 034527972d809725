// The operator prompt on Windows: the modal dialog ORVIK_DLG_PAY from this
// library's resources, owned by the host's active window.
#include "CardSim.h"
#include "Window_win.h"

#include <windows.h>

namespace {

constexpr int kAmountControl = 45;
constexpr int kOperationButton = 1;
constexpr int kCloseButton = 2;

struct PromptTexts {
  const std::u16string* caption;
  const std::u16string* amount;
};

INT_PTR CALLBACK PayDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
  case WM_INITDIALOG: {
    const auto* texts = reinterpret_cast<const PromptTexts*>(lParam);
    SetDlgItemTextW(dialog, kAmountControl, Wide(*texts->amount));
    SetDlgItemTextW(dialog, kOperationButton, Wide(*texts->caption));
    return TRUE; // the system sets the default focus
  }
  case WM_COMMAND:
    // Enter arrives as the default button's command (1); Escape and the
    // caption's close box as IDCANCEL, which is the "Закрыть" button's id.
    switch (LOWORD(wParam)) {
    case kOperationButton:
      EndDialog(dialog, kPromptApproved);
      return TRUE;
    case kCloseButton:
      EndDialog(dialog, kPromptRefused);
      return TRUE;
    default:
      break;
    }
    break;
  default:
    break;
  }
  return FALSE;
}

class TDialogPrompt final : public IOperatorPrompt {
public:
  int Ask(const std::u16string& caption, const std::u16string& amountText) override {
    const PromptTexts texts{&caption, &amountText};
    const INT_PTR answer = DialogBoxParamW(ThisModule(), L"ORVIK_DLG_PAY", GetActiveWindow(), PayDialogProc,
                                           reinterpret_cast<LPARAM>(&texts));
    if (answer == -1 || answer == 0) // no template, or no owner-compatible window could be made
      return kPromptFailed;
    return static_cast<int>(answer);
  }
};

} // namespace

std::unique_ptr<IOperatorPrompt> MakeSystemPrompt() {
  return std::make_unique<TDialogPrompt>();
}
