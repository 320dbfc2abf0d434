// Setting the library up for the C interface: the configuration and the
// library's initialisation, once per process.
#pragma once

#include "capi/imr.h"

namespace imr::capi {

// Loads the configuration (with the file `configPath` laid over it, or the
// one named by IMR_CONFIG when null) and initialises the library, the first
// time; later, accepts only a null or the same path.  Sets the message on
// failure.
imr_status SetUpLibrary(const char* configPath);

}  // namespace imr::capi
