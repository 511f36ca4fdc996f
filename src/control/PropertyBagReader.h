// The container's property bag as an applet's parameters (BagParameters), in the ANSI code
// page that the renderer and the block speak.
#pragma once

#include <ocidl.h>

#include "control/BagParameters.h"

// Every name where the bag lists them (IPropertyBag2), else the known ones.
ParameterPairs ReadPropertyBag(IPropertyBag* bag, IErrorLog* errorLog);
