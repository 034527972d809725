// The MSRSIM_3001 add-in: offers the magnetic card reader emulator to the host.
#include "MsrSim.h"

static const ClassRegistration registration{RegisterUserClass<TMsrSim_3001>, u"Orvik_MsrSim_3001"};
