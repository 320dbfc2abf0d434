// Everything IMR uses from the host's platform libraries: the foundation
// (zqtypes), the image-object library (pxcbase, pxc_ns), logging (MsgRelay)
// and the UTF-8 environment (u8shim).  IMR sources include this header, never
// the platform headers directly.
#pragma once

#include "msgrelay/zqmesg.h"
#include "pxc_ns/pxc_namesearch.h"
#include "pxcbase/pxcbase.h"
#include "u8shim/u8shim.h"
#include "zqtypes/zqtypes.h"
