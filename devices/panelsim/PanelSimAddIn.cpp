// The PANELSIM_3001 add-in: offers the customer display emulator to the host.
#include "PanelSim.h"

static const ClassRegistration registration{RegisterUserClass<TPanelSim_3001>, u"Orvik_PanelSim_3001"};
