// The image-object library: tickets, proxies, buffers, metadata, the dynamic
// loader, the configuration service, conversions and exceptions.
#pragma once

#include "pxcbase/pxc_buffer.h"
#include "pxcbase/pxc_config.h"
#include "pxcbase/pxc_convert.h"
#include "pxcbase/pxc_digest.h"
#include "pxcbase/pxc_enums.h"
#include "pxcbase/pxc_exceptions.h"
#include "pxcbase/pxc_loader.h"
#include "pxcbase/pxc_metadata.h"
#include "pxcbase/pxc_proxy.h"
#include "pxcbase/pxc_ticket.h"
#include "pxcbase/pxc_types.h"

extern "C" {
// Initialises the foundation library, then registers and initialises this
// library's run-time classes; true on success.  Later calls return true.
bool __ZQ_INITIALIZATION_FUNCTION_PXCBASE__();
}
