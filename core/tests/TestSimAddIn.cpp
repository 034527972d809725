// The test add-in library: offers both test emulator classes to the host.
#include "TestSim.h"

static const ClassRegistration registration2001{RegisterUserClass<TTestSim_2001>, u"Orvik_TestSim_2001"};
static const ClassRegistration registration3001{RegisterUserClass<TTestSim_3001>, u"Orvik_TestSim_3001"};
