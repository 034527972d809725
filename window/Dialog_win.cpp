// Dialogs of the Win32 backend: the templates of this library's resource
// script run modal, owned by the host's active window. One procedure serves
// every dialog with labels, an edit field and buttons; another the painted
// dialogs.
#include "Window_win.h"

#include <string>

namespace ui::win {

namespace {

LPCWSTR ResourceOf(const TDialogTemplate& dialog) {
  return dialog.Name != nullptr ? Wide(dialog.Name) : MAKEINTRESOURCEW(dialog.Number);
}

// ---------------------------------------------------------------------------
// Dialogs with controls

TDialogRun* RunOf(HWND dialog) {
  return reinterpret_cast<TDialogRun*>(GetWindowLongPtrW(dialog, DWLP_USER));
}

void SelectField(HWND dialog, int fieldId) {
  const HWND field = GetDlgItem(dialog, fieldId);
  SetFocus(field);
  SendMessageW(field, EM_SETSEL, 0, -1);
}

std::u16string FieldText(HWND dialog, int fieldId) {
  const HWND field = GetDlgItem(dialog, fieldId);
  const int length = field != nullptr ? GetWindowTextLengthW(field) : 0;
  if (length <= 0)
    return {};
  std::u16string text(static_cast<size_t>(length) + 1, u'\0');
  const int read = GetWindowTextW(field, reinterpret_cast<wchar_t*>(text.data()), length + 1);
  text.resize(static_cast<size_t>(read > 0 ? read : 0));
  return text;
}

bool IsDefaultButton(const TDialogTemplate& dialog, int id) {
  if (id == kOk)
    return true;
  const TControlTemplate* control = dialog.Control(id);
  return control != nullptr && control->Kind == TControlKind::Button && control->Default;
}

bool IsButton(const TDialogTemplate& dialog, int id) {
  const TControlTemplate* control = dialog.Control(id);
  return control != nullptr && control->Kind == TControlKind::Button;
}

INT_PTR Initialise(HWND dialog, TDialogRun& run) {
  SetWindowLongPtrW(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(&run));
  for (const auto& [id, text] : run.Texts)
    SetDlgItemTextW(dialog, id, Wide(text));
  if (run.FieldId == 0 || GetDlgItem(dialog, run.FieldId) == nullptr)
    return TRUE; // the system sets the default focus
  SendDlgItemMessageW(dialog, run.FieldId, EM_LIMITTEXT, static_cast<WPARAM>(run.FieldLimit), 0);
  SetDlgItemTextW(dialog, run.FieldId, Wide(run.Field));
  SelectField(dialog, run.FieldId);
  return FALSE; // the focus is set
}

// The default button: the field's text, when there is a field, ends the
// dialog only when the check finds it sound; otherwise the reason is shown
// and the text selected for typing again.
void Confirm(HWND dialog, TDialogRun& run, int id) {
  if (run.FieldId != 0 && GetDlgItem(dialog, run.FieldId) != nullptr) {
    std::u16string typed = FieldText(dialog, run.FieldId);
    const std::u16string reason = run.Check ? run.Check(typed) : std::u16string();
    if (!reason.empty()) {
      if (run.ReasonId != 0)
        SetDlgItemTextW(dialog, run.ReasonId, Wide(reason));
      SelectField(dialog, run.FieldId);
      return;
    }
    run.Field = std::move(typed);
  }
  EndDialog(dialog, id);
}

INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  // No error may cross the dialog manager's frames.
  try {
    if (message == WM_INITDIALOG)
      return Initialise(dialog, *reinterpret_cast<TDialogRun*>(lParam));
    TDialogRun* run = RunOf(dialog);
    if (message != WM_COMMAND || run == nullptr)
      return FALSE;
    // Enter arrives as the default button's command; Escape and the
    // caption's close box as IDCANCEL.
    const int id = LOWORD(wParam);
    if (run->FieldId != 0 && id == run->FieldId)
      return FALSE; // the edit field's notifications
    if (id == IDCANCEL) {
      EndDialog(dialog, kCancel);
      return TRUE;
    }
    if (IsDefaultButton(run->Template, id)) {
      Confirm(dialog, *run, id);
      return TRUE;
    }
    if (IsButton(run->Template, id)) {
      EndDialog(dialog, id);
      return TRUE;
    }
  } catch (...) {
    return TRUE; // the dialog stays as it is
  }
  return FALSE;
}

// ---------------------------------------------------------------------------
// Painted dialogs

// What a painted dialog keeps (its user data): each dialog its own, so that
// one run from within another one's window leaves the outer one as it was.
struct TPaintedRun {
  IPainter& Painter;
  int Width;
  int Height;
  int TickMs;
  unsigned TimerId;
  UINT_PTR Timer = 0;
};

// The dialog's frame fitted around an inner area of width by height, from
// where the template put it.
void FitToInnerArea(HWND dialog, int width, int height) {
  RECT rect{};
  GetWindowRect(dialog, &rect);
  rect.right = rect.left + width;
  rect.bottom = rect.top + height;
  AdjustWindowRectEx(&rect, static_cast<DWORD>(GetWindowLongW(dialog, GWL_STYLE)), FALSE,
                     static_cast<DWORD>(GetWindowLongW(dialog, GWL_EXSTYLE)));
  SetWindowPos(dialog, nullptr, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, 0);
}

INT_PTR CALLBACK PaintedDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  try {
    if (message == WM_INITDIALOG) {
      auto* run = reinterpret_cast<TPaintedRun*>(lParam);
      SetWindowLongPtrW(dialog, DWLP_USER, lParam);
      if (run->TickMs > 0)
        run->Timer = SetTimer(dialog, run->TimerId, static_cast<UINT>(run->TickMs), nullptr);
      FitToInnerArea(dialog, run->Width, run->Height);
      return FALSE;
    }
    auto* run = reinterpret_cast<TPaintedRun*>(GetWindowLongPtrW(dialog, DWLP_USER));
    if (run == nullptr)
      return FALSE;
    switch (message) {
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
        if (run->Timer != 0)
          KillTimer(dialog, run->Timer);
        run->Timer = 0;
        EndDialog(dialog, IDCANCEL);
      }
      break;
    case WM_ERASEBKGND:
      SetWindowLongPtrW(dialog, DWLP_MSGRESULT, 1); // the paint covers the whole area
      return TRUE;
    case WM_PAINT:
      PaintClient(dialog, run->Painter, 0x000000);
      break;
    case WM_TIMER:
      if (wParam == run->Timer && run->Painter.Tick()) {
        InvalidateRect(dialog, nullptr, FALSE);
        UpdateWindow(dialog);
      }
      break;
    default:
      break;
    }
  } catch (...) {
    // No error may cross the dialog manager's frames.
  }
  return FALSE;
}

} // namespace

} // namespace ui::win

namespace ui {

int RunDialog(TDialogRun& run) {
  const INT_PTR answer = DialogBoxParamW(win::ThisModule(), win::ResourceOf(run.Template), GetActiveWindow(),
                                         win::DialogProc, reinterpret_cast<LPARAM>(&run));
  if (answer == -1 || answer == 0) // no template, or no window could be made
    return kNoWindow;
  return static_cast<int>(answer);
}

void RunPaintedDialog(const TDialogTemplate& dialog, const char* /*className*/, int width, int height,
                      IPainter& painter, int tickMs, unsigned timerId) {
  // On Windows the dialog is of the dialog manager's class; the name serves X.
  win::TPaintedRun run{painter, width, height, tickMs, timerId};
  DialogBoxParamW(win::ThisModule(), win::ResourceOf(dialog), GetActiveWindow(), win::PaintedDialogProc,
                  reinterpret_cast<LPARAM>(&run));
}

} // namespace ui
