// The FISCALSIM_3004 add-in: offers the fiscal register emulator to the host.
#include "FiscalSim.h"

static const ClassRegistration registration{RegisterUserClass<TFiscalSim_3004>, u"Orvik_FiscalSim_3004"};
