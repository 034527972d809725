// The face of a dialog laid out from its template on X11, shared by the modal
// dialogs and the input windows: the controls as child windows of the
// dialog's window, named with their texts and painted as Windows paints them,
// and the dialog window's keys and clicks handed to the dialog's state.
//
// Include after every other header (X11_x11.h).
#pragma once

#include "DialogState.h"

#include <optional>

#include "X11_x11.h"

namespace x11 {

class TDialogFace {
public:
  // Adds the controls of state's template to dialog; they appear when the
  // dialog's subwindows are mapped.
  TDialogFace(TConnection& connection, TFont& font, TDialogUnits units, Window dialog,
              ui::TDialogState& state);

  // An event of the dialog window or its controls: exposures repaint, keys
  // and the pointer's first button go to the state. The identifier of the
  // button that ends the dialog, or nothing.
  std::optional<int> Handle(XEvent& event);
  // Renames and repaints the controls as the state's last change left them.
  void Update();
  void Paint(int index);
  void PaintAll();

private:
  void PaintField(TCanvas& canvas, int index);
  void PaintLabel(TCanvas& canvas, int index);

  TConnection& Connection_;
  TFont& Font_;
  ui::TDialogState& State_;
  TDialogControls Controls_;
};

} // namespace x11
