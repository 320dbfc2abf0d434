// The enumerations of image tickets, with the values the whole system uses.
// Each has a name form read by the PXC_String2... converters (pxc_convert.h):
// the names below without their prefix, case-insensitive, or the number.
#pragma once

#include <cstdint>

// How far a ticket is filled.
enum PXC_TFillLevel : std::int32_t {
  PXC_FL_EMBEDDED = 0,      // a plugin reported an embedded image ("Embedded")
  PXC_FL_FILE = 1,          // the file is set ("File")
  PXC_FL_FORMAT = 2,        // format and image kind known ("Format")
  PXC_FL_GEOMETRY = 3,      // columns, rows, resolution, real size, units,
                            // channel encoding, alpha, inks ("Geometry")
  PXC_FL_ALL_IMAGES = 4,    // every image of the file described ("AllImages")
  PXC_FL_DETAILS = 5,       // extended information ("Details")
  PXC_FL_DEPENDENCIES = 6,  // external references known ("Dependencies")
};

// The kind of an image within its file.
enum PXC_TImageType : std::int32_t {
  PXC_IT_UNKNOWN = 0,    // "Unknown"
  PXC_IT_THUMBNAIL = 1,  // "Thumbnail"
  PXC_IT_PREVIEW = 2,    // preview at screen resolution ("Preview")
  PXC_IT_MAIN = 3,       // "Main"
  PXC_IT_AUXILIARY = 4,  // layer, mask, alpha channel ("Auxiliary")
  PXC_IT_PAGE = 5,       // page of a document ("Page")
};

// What an auxiliary image is; decides its bit in the image-type mask.
enum PXC_TImageSubtype : std::int32_t {
  PXC_IS_NONE = 0,          // "None"
  PXC_IS_LAYER = 1,         // bit 0x08 ("Layer")
  PXC_IS_MASK = 2,          // bit 0x10 ("Mask")
  PXC_IS_ALPHA_CHANNEL = 3, // bit 0x20 ("AlphaChannel")
  PXC_IS_OTHER = 4,         // bit 0x40 ("Other")
};

// The unit of resolutions (pixels per unit) and real sizes (units).
enum PXC_TMUnits : std::int32_t {
  PXC_MU_NONE = 0,        // no unit known: resolutions are an aspect ratio ("None")
  PXC_MU_INCH = 1,        // "Inch"
  PXC_MU_CENTIMETER = 2,  // "Centimeter"
  PXC_MU_MILLIMETER = 3,  // "Millimeter"
  PXC_MU_POINT = 4,       // 1/72 inch ("Point")
  PXC_MU_METER = 5,       // "Meter"
};

// How the image is to be turned for display (EXIF orientation).
enum PXC_TImageRotation : std::int32_t {
  PXC_IR_NONE = 0,             // "None"
  PXC_IR_90 = 1,               // 90 degrees clockwise ("R90")
  PXC_IR_180 = 2,              // "R180"
  PXC_IR_270 = 3,              // 270 degrees clockwise ("R270")
  PXC_IR_MIRROR = 4,           // mirrored left to right ("Mirror")
  PXC_IR_MIRROR_90 = 5,        // mirrored, then 90 clockwise ("Mirror90")
  PXC_IR_MIRROR_180 = 6,       // mirrored top to bottom ("Mirror180")
  PXC_IR_MIRROR_270 = 7,       // mirrored, then 270 clockwise ("Mirror270")
};

// How pixel values encode colour.
enum PXC_TChannelEnc : std::int32_t {
  PXC_CE_UNKNOWN = 0,       // "Unknown"
  PXC_CE_BILEVEL = 1,       // one bit per pixel ("Bilevel")
  PXC_CE_GRAY = 2,          // "Gray"
  PXC_CE_RGB = 3,           // "RGB"
  PXC_CE_CMYK = 4,          // "CMYK"
  PXC_CE_LAB = 5,           // CIE L*a*b* ("Lab")
  PXC_CE_INDEXED = 6,       // palette ("Indexed")
  PXC_CE_YCBCR = 7,         // "YCbCr"
  PXC_CE_YCCK = 8,          // "YCCK"
  PXC_CE_MULTICHANNEL = 9,  // named inks other than CMYK ("Multichannel")
  PXC_CE_DUOTONE = 10,      // "Duotone"
  PXC_CE_XYZ = 11,          // CIE XYZ ("XYZ")
  PXC_CE_VECTOR = 12,       // no pixels: vector or page description ("Vector")
};

// Whether and how the image carries transparency.
enum PXC_TAlphaPlane : std::int32_t {
  PXC_AP_NONE = 0,            // "None"
  PXC_AP_ASSOCIATED = 1,      // premultiplied alpha ("Associated")
  PXC_AP_UNASSOCIATED = 2,    // straight alpha ("Unassociated")
  PXC_AP_TRANSPARENT_INDEX = 3,  // one palette entry is transparent ("TransparentIndex")
  PXC_AP_UNSPECIFIED = 4,     // an extra channel of unstated kind ("Unspecified")
};

// Tri-state capability flags of a ticket.
enum PXC_TCanFlag : std::int32_t {
  PXC_CF_UNKNOWN = 0,
  PXC_CF_NO = 1,
  PXC_CF_YES = 2,
};
