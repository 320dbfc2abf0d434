// The library's version block, handed at load time to the version registry
// "PXC_VER" (libPXC_VER.so, loaded with dlopen; when it is missing nothing is
// registered and the library works as usual).
#pragma once

#include "pxcver/pxc_version.h"

#define IMR_VERSION_MAJOR 2
#define IMR_VERSION_BUILD 307
#define IMR_VERSION_TEXT "2.307"

// The block: its records, newest first.
PXC_TVersionBlock& IMR_VersionBlock();

// A version record that links itself at the head of the block's list when
// it is constructed (by a static initialiser).
class IMR_TVersionRecord {
 public:
  IMR_TVersionRecord(const char* library, int major, int build, const char* definedIn);
  IMR_TVersionRecord(const IMR_TVersionRecord&) = delete;
  IMR_TVersionRecord& operator=(const IMR_TVersionRecord&) = delete;

 private:
  PXC_TVersionRecord iRecord;
};

// Loads the registry and hands it the block; frees the registry at unload.
class IMR_TVersionRegistration {
 public:
  IMR_TVersionRegistration();
  ~IMR_TVersionRegistration();
  IMR_TVersionRegistration(const IMR_TVersionRegistration&) = delete;
  IMR_TVersionRegistration& operator=(const IMR_TVersionRegistration&) = delete;

 private:
  void* iLibrary = nullptr;
};
