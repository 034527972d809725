// The display window on Linux: there are no native windows yet, so the
// display keeps its rows and shows nothing, and the device test only sets its
// rows.
#include "PanelSim.h"

bool TPanelSim_2001::ShowDisplayWindow() {
  return false;
}

void TPanelSim_2001::DestroyDisplayWindow() {}

void TPanelSim_2001::RefreshAfterTick(void* /*window*/) {}

void TPanelSim_2001::RunTestWindow() {}

void TPanelSim_2001::PaintWindow(void* /*window*/) {}
