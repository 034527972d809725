// The paper window: not shown yet; the tape goes to its file only.
#include "ReceiptSim.h"

bool TReceiptSim_3001::ShowPaperWindow() {
  return false;
}

void TReceiptSim_3001::DestroyPaperWindow() {}
