// Tracing of the detection library.  Traces go through the logging library
// under the exported mask IMR_DebugFlag (read anew at every trace):
//   0x04 entry points and object life, 0x10 frequent inner steps,
//   0x40 loading and registering the magic configuration.
// Failures the library absorbs are written unconditionally with ZQMESG_Log.
#pragma once

#include "hostlib/imr_host.h"

extern "C" {
// Trace mask, initially 0x200; hosts set it, the library only reads it.
extern unsigned int IMR_DebugFlag;
}

#define IMR_TRACE(level, ...) ZQMESG_Trace(IMR_DebugFlag, (level), __VA_ARGS__)

// True when a trace of `level` would be written; guards costly arguments.
inline bool IMR_Tracing(unsigned int level) { return ZQMESG_CheckTrace(IMR_DebugFlag, level) != 0; }

// Writes a caught exception as "(class: message)" or "(non-ZQ exception)"
// after `prefix`, which ends with a blank; `what` fills the prefix's %s.
void IMR_LogCaught(const char* prefix, const char* what, const std::exception_ptr& error);
