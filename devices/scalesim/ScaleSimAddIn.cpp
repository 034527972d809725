// SCALESIM_3001: the library offers one host-visible class.
#include "ScaleSim.h"

static const ClassRegistration registration{RegisterUserClass<TScaleSim_3001>, kScaleSimClassName};
