// The version registry: libraries hand it their version blocks at load time;
// it lists every record of every block.
#pragma once

#include <cstdio>

extern "C" {

struct PXC_TVersionRecord {
  const char* library;     // library the record describes
  int major;
  int build;
  const char* definedIn;   // source that defined the record
  const char* builtAt;     // "Mmm dd yyyy/hh:mm:ss"
  PXC_TVersionRecord* next;
};

struct PXC_TVersionBlock {
  PXC_TVersionRecord* head;  // records, newest first
  int word;                  // reserved, 0
  const char* module;        // the registering module's name
};

// Remembers `block` (once, however often it is handed over).  Records linked
// into it later are seen too.
void PXC_VersionRegister(PXC_TVersionBlock* block);
// Writes one line per record of every registered block.
void PXC_VersionPrint(FILE* out);
// Fills `out` with up to `capacity` records of every block, sorted by library
// name, then major and build number; returns the number of records known.
int PXC_VersionSorted(const PXC_TVersionRecord** out, int capacity);
}
