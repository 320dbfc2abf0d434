// The magic plugin.
#pragma once

#include "core/imr_core.h"

// Registers and initialises the magic plugin and the match classes.
bool IMR_RegisterMagicClasses();
