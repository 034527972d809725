// The weighing window on Windows: the modal dialog ORVIK_DLG_WEIGH from this
// library's resources, owned by the host's active window. The weighing
// button closes it only on a sound weight; a wrong one is named in the hint
// line and the weight is selected for typing again.
#include "WeighSim.h"
#include "Window_win.h"

#include <windows.h>

namespace {

constexpr int kWeighButton = 1;
constexpr int kCloseButton = 2;
constexpr int kWeightEdit = 46;
constexpr int kHintLine = 47;
constexpr int kWeightMaxUnits = 64;

void SelectWeight(HWND dialog) {
  const HWND edit = GetDlgItem(dialog, kWeightEdit);
  SetFocus(edit);
  SendMessageW(edit, EM_SETSEL, 0, -1);
}

// The operator's confirmation: true when the typed weight is sound and taken.
bool TakeWeight(HWND dialog, std::u16string& weight) {
  wchar_t buffer[kWeightMaxUnits + 1] = {};
  const UINT length = GetDlgItemTextW(dialog, kWeightEdit, buffer, kWeightMaxUnits + 1);
  const std::u16string typed(buffer, buffer + length);
  const TWeightReading reading = ReadWeight(typed);
  if (reading.Fault != TWeightFault::Ok) {
    SetDlgItemTextW(dialog, kHintLine, Wide(WeightFaultText(reading.Fault, u"Вес")));
    SelectWeight(dialog);
    return false;
  }
  weight = typed;
  return true;
}

INT_PTR CALLBACK WeighDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
  case WM_INITDIALOG: {
    SetWindowLongPtrW(dialog, DWLP_USER, lParam);
    const auto* weight = reinterpret_cast<const std::u16string*>(lParam);
    SendDlgItemMessageW(dialog, kWeightEdit, EM_LIMITTEXT, kWeightMaxUnits, 0);
    SetDlgItemTextW(dialog, kWeightEdit, Wide(*weight));
    SetDlgItemTextW(dialog, kHintLine, Wide(kWeighHint));
    SelectWeight(dialog);
    return FALSE; // the focus is set
  }
  case WM_COMMAND:
    // Enter arrives as the default button's command (1); Escape and the
    // caption's close box as IDCANCEL, which is the "Закрыть" button's id.
    switch (LOWORD(wParam)) {
    case kWeighButton:
      if (TakeWeight(dialog, *reinterpret_cast<std::u16string*>(GetWindowLongPtrW(dialog, DWLP_USER))))
        EndDialog(dialog, kWeightEntered);
      return TRUE;
    case kCloseButton:
      EndDialog(dialog, kWeightRefused);
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

class TDialogPrompt final : public IWeightPrompt {
public:
  int Ask(std::u16string& weight) override {
    const INT_PTR answer = DialogBoxParamW(ThisModule(), L"ORVIK_DLG_WEIGH", GetActiveWindow(),
                                           WeighDialogProc, reinterpret_cast<LPARAM>(&weight));
    if (answer == -1 || answer == 0) // no template, or no window could be made
      return kWeightNoWindow;
    return static_cast<int>(answer);
  }
};

} // namespace

std::unique_ptr<IWeightPrompt> MakeWeightPrompt() {
  return std::make_unique<TDialogPrompt>();
}
