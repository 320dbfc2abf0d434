// Trace and log output.  A trace is written when `mask & level` is non-zero;
// a log entry is always written.  Both go to standard error, or to the file
// named by the environment variable ZQMESG_LOG_FILE (appended to).  Each
// message reaches the output in one write, so lines of concurrent threads
// never interleave.
#pragma once

extern "C" {
void ZQMESG_Trace(unsigned int mask, unsigned int level, const char* format, ...)
    __attribute__((format(printf, 3, 4)));
// Non-zero when a trace of `level` under `mask` would be written.
int ZQMESG_CheckTrace(unsigned int mask, unsigned int level);
void ZQMESG_Log(const char* format, ...) __attribute__((format(printf, 1, 2)));
}
