#include "u8shim/u8shim.h"

#include <cstdlib>

// The environment of this platform is already UTF-8.
const char* getenv_utf8(const char* name) { return name ? std::getenv(name) : nullptr; }
