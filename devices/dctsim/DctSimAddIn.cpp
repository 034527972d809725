// The DCTSIM_3001 add-in: offers the data collection terminal emulator to the host.
#include "DctSim.h"

static const ClassRegistration registration{RegisterUserClass<TDctSim_3001>, u"Orvik_DctSim_3001"};
