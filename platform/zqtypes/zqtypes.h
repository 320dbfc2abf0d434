// The foundation library: strings, variants, containers, URLs, run-time
// classes, object protocols and streams, exceptions and locks.
#pragma once

#include "zqtypes/zq_any.h"
#include "zqtypes/zq_class.h"
#include "zqtypes/zq_containers.h"
#include "zqtypes/zq_exception.h"
#include "zqtypes/zq_object.h"
#include "zqtypes/zq_protocols.h"
#include "zqtypes/zq_rwlock.h"
#include "zqtypes/zq_streams.h"
#include "zqtypes/zq_string.h"
#include "zqtypes/zq_url.h"

extern "C" {
// Registers and initialises the library's run-time classes; true on success.
// Later calls do nothing and return true.
bool __ZQ_INITIALIZATION_FUNCTION_zqtypes__();
}
