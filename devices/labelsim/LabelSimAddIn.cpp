// The LABELSIM_3001 add-in: offers the label printer emulator to the host.
#include "LabelSim.h"

static const ClassRegistration registration{RegisterUserClass<TLabelSim_3001>, u"Orvik_LabelSim_3001"};
