// Conversions between texts and the ticket enumerations, readable texts of
// any value, and helpers for files and embedded data.
#pragma once

#include <cstdint>

#include "pxcbase/pxc_enums.h"
#include "pxcbase/pxc_types.h"
#include "zqtypes/zqtypes.h"

extern "C" {
// Trace mask of the image-object library.
extern unsigned int PXC_DebugFlag;
}

// Each converter reads a name of pxc_enums.h (without its prefix, any case)
// or a decimal number; anything else gives the enumeration's 0.
PXC_TImageType PXC_String2ImageType(const ZQ_TString& text);
PXC_TChannelEnc PXC_String2ChannelEnc(const ZQ_TString& text);
PXC_TAlphaPlane PXC_String2AlphaPlane(const ZQ_TString& text);
PXC_TImageRotation PXC_String2ImageRotation(const ZQ_TString& text);
PXC_TMUnits PXC_String2Units(const ZQ_TString& text);
PXC_TFillLevel PXC_String2FillLevel(const ZQ_TString& text);
PXC_TImageSubtype PXC_String2ImageSubtype(const ZQ_TString& text);

// The names of the enumeration values, for output.
const char* PXC_ImageTypeName(PXC_TImageType value);
const char* PXC_ChannelEncName(PXC_TChannelEnc value);
const char* PXC_AlphaPlaneName(PXC_TAlphaPlane value);
const char* PXC_ImageRotationName(PXC_TImageRotation value);
const char* PXC_UnitsName(PXC_TMUnits value);
const char* PXC_FillLevelName(PXC_TFillLevel value);
const char* PXC_ImageSubtypeName(PXC_TImageSubtype value);

// A readable text of any value, for traces and logs: texts as they are,
// lists and dictionaries with their items, exceptions as "class: message".
ZQ_TString PXC_Any2String(const ZQ_TAny& value);

// The facts of the file `url` names.
ZQ_TFileInfo PXC_GetFileInfo(const ZQ_TURL& url);
// Offset and length of the embedded data `url` names; PXC_ENotEmbeddedFile
// for a URL that names no embedded data.
PXC_TTag PXC_Embedded2Tag(const ZQ_TURL& url);
// The URL of `length` bytes from `offset` of the data `outer` names (offsets
// of a nested range add up).  `reserved`, `r1` and `r2` are kept for
// compatibility and not used.
ZQ_TURL PXC_EmbeddedFile(const ZQ_TURL& outer, std::uint64_t offset, std::uint64_t length,
                         std::uint32_t reserved, double r1, double r2);
