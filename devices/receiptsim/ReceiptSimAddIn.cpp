// The RECEIPTSIM_3001 add-in: offers the receipt printer emulator to the host.
#include "ReceiptSim.h"

static const ClassRegistration registration{RegisterUserClass<TReceiptSim_3001>, u"Orvik_ReceiptSim_3001"};
