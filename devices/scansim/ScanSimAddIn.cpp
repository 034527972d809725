// The SCANSIM_3001 add-in: offers the barcode scanner emulator to the host.
#include "ScanSim.h"

static const ClassRegistration registration{RegisterUserClass<TScanSim_3001>, u"Orvik_ScanSim_3001"};
