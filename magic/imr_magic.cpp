#include "magic/imr_magic.h"

bool IMR_RegisterMagicClasses() { return true; }
