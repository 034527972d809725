// The WEIGHSIM_3001 library: offers the electronic scale emulator to the host.
#include "WeighSim.h"

static const ClassRegistration registration{RegisterUserClass<TWeighSim_3001>, u"Orvik_WeighSim_3001"};
