// The CARDSIM_2001 library: offers the card terminal emulator to the host.
#include "CardSim.h"

static const ClassRegistration registration{RegisterUserClass<TCardSim_2001>, u"Orvik_CardSim_2001"};
