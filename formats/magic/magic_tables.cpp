// The magic entries shipped with the library.  Each entry names a format and
// lists alternatives; an alternative is a chain of entry texts run left to
// right over the first bytes of the file (see magic_tables.h):
//   [OFF]==V, [OFF]&MASK==V, [OFF]<V, [OFF]>V     one byte at OFF
//   ?OFF=TEXT        TEXT within the 4096 bytes from OFF
//   ?*POS<b|l>W=TEXT the same from the W-byte offset stored at POS
//   KEY=VALUE        assignment to the ticket
// Every alternative ends FileFormat, [FileFormatVersion,] ImageType=3,
// FillLevel=2, [the format plugin,] GENERIC.  Byte tests use only ==, < and
// >: the parser builds !=, <= and >= as negations, which neither count for
// the length guard nor fail on a byte past the end of a short file.
//
// Order matters: the first entry whose alternative passes names the file.
// Formats built on another one's signature come before it (TIFF-based raw
// before TIFF, MPO and JFIF before JPEG, APNG before PNG, AVIF and CR3
// before HEIF, DCS before EPS before PS), and signatures of two bytes or
// none at all (JPEG XL codestream, SGI, FLI/FLC, PCX, XWD, TGA) come last so
// that a stronger signature always wins.

#include "formats/magic/magic_tables.h"

#include <iterator>

namespace imr::formats {
namespace {

// TIFF/IT: a TIFF whose first IFD carries two of the prepress (IT8) tags
// 34016..34032: Site/ColorSequence/IT8Header/RasterPadding for CT, the
// image and background colour indicators for LW, HC and BL.  Searched from
// IFD0 on.  Little-endian a tag is its number and field type (3 bytes);
// big-endian the type follows a zero byte, so the IT8 compression value
// (32895..32898) must be present too.  A single stray tag leaves a plain
// TIFF.  Before TIFF.
// "II*\0"@0, find "\xE1\x84\x02" from *4, find "\xE3\x84\x03" from *4
const char* const kTiffIt0[] = {
    "[0]==0x49", "[1]==0x49", "[2]==0x2A", "[3]==0x00", "?*4l4=\xE1\x84\x02", "?*4l4=\xE3\x84\x03",
    "FileFormat=TIFF_IT", "ImageType=3", "FillLevel=2", "imr_plugin=TIFF", "imr_plugin=GENERIC",
    nullptr
};
// "II*\0"@0, find "\xE0\x84\x02" from *4, find "\xE1\x84\x02" from *4
const char* const kTiffIt1[] = {
    "[0]==0x49", "[1]==0x49", "[2]==0x2A", "[3]==0x00", "?*4l4=\xE0\x84\x02", "?*4l4=\xE1\x84\x02",
    "FileFormat=TIFF_IT", "ImageType=3", "FillLevel=2", "imr_plugin=TIFF", "imr_plugin=GENERIC",
    nullptr
};
// "II*\0"@0, find "\xE1\x84\x02" from *4, find "\xE2\x84\x02" from *4
const char* const kTiffIt2[] = {
    "[0]==0x49", "[1]==0x49", "[2]==0x2A", "[3]==0x00", "?*4l4=\xE1\x84\x02", "?*4l4=\xE2\x84\x02",
    "FileFormat=TIFF_IT", "ImageType=3", "FillLevel=2", "imr_plugin=TIFF", "imr_plugin=GENERIC",
    nullptr
};
// "II*\0"@0, find "\xE7\x84\x01" from *4, find "\xE8\x84\x01" from *4
const char* const kTiffIt3[] = {
    "[0]==0x49", "[1]==0x49", "[2]==0x2A", "[3]==0x00", "?*4l4=\xE7\x84\x01", "?*4l4=\xE8\x84\x01",
    "FileFormat=TIFF_IT", "ImageType=3", "FillLevel=2", "imr_plugin=TIFF", "imr_plugin=GENERIC",
    nullptr
};
// "MM\0*"@0, find "\x84\xE1" from *4, find "\x84\xE3" from *4, find "\x80\x7F" from *4
const char* const kTiffIt4[] = {
    "[0]==0x4D", "[1]==0x4D", "[2]==0x00", "[3]==0x2A", "?*4b4=\x84\xE1", "?*4b4=\x84\xE3",
    "?*4b4=\x80\x7F", "FileFormat=TIFF_IT", "ImageType=3", "FillLevel=2", "imr_plugin=TIFF",
    "imr_plugin=GENERIC", nullptr
};
// "MM\0*"@0, find "\x84\xE7" from *4, find "\x84\xE8" from *4, find "\x80\x80" from *4
const char* const kTiffIt5[] = {
    "[0]==0x4D", "[1]==0x4D", "[2]==0x00", "[3]==0x2A", "?*4b4=\x84\xE7", "?*4b4=\x84\xE8",
    "?*4b4=\x80\x80", "FileFormat=TIFF_IT", "ImageType=3", "FillLevel=2", "imr_plugin=TIFF",
    "imr_plugin=GENERIC", nullptr
};
// "MM\0*"@0, find "\x84\xE7" from *4, find "\x84\xE8" from *4, find "\x80\x81" from *4
const char* const kTiffIt6[] = {
    "[0]==0x4D", "[1]==0x4D", "[2]==0x00", "[3]==0x2A", "?*4b4=\x84\xE7", "?*4b4=\x84\xE8",
    "?*4b4=\x80\x81", "FileFormat=TIFF_IT", "ImageType=3", "FillLevel=2", "imr_plugin=TIFF",
    "imr_plugin=GENERIC", nullptr
};
// "MM\0*"@0, find "\x84\xE7" from *4, find "\x84\xE8" from *4, find "\x80\x82" from *4
const char* const kTiffIt7[] = {
    "[0]==0x4D", "[1]==0x4D", "[2]==0x00", "[3]==0x2A", "?*4b4=\x84\xE7", "?*4b4=\x84\xE8",
    "?*4b4=\x80\x82", "FileFormat=TIFF_IT", "ImageType=3", "FillLevel=2", "imr_plugin=TIFF",
    "imr_plugin=GENERIC", nullptr
};
const char* const* const kTiffIt[] = {
    kTiffIt0, kTiffIt1, kTiffIt2, kTiffIt3, kTiffIt4, kTiffIt5, kTiffIt6, kTiffIt7, nullptr
};

// DNG: IFD0 holds DNGVersion (0xC612) and UniqueCameraModel (0xC614).
// Little-endian: tag and type bytes (BYTE, ASCII) searched from IFD0 on;
// big-endian (type not searchable) also DNGBackwardVersion (0xC613).
// A DNG whose IFD0 the search does not reach comes out as TIFF.  Before TIFF.
// "II*\0"@0, find "\x12\xC6\x01" from *4, find "\x14\xC6\x02" from *4
const char* const kDng0[] = {
    "[0]==0x49", "[1]==0x49", "[2]==0x2A", "[3]==0x00", "?*4l4=\x12\xC6\x01", "?*4l4=\x14\xC6\x02",
    "FileFormat=DNG", "ImageType=3", "FillLevel=2", "imr_plugin=TIFF", "imr_plugin=GENERIC",
    nullptr
};
// "MM\0*"@0, find "\xC6\x12" from *4, find "\xC6\x13" from *4, find "\xC6\x14" from *4
const char* const kDng1[] = {
    "[0]==0x4D", "[1]==0x4D", "[2]==0x00", "[3]==0x2A", "?*4b4=\xC6\x12", "?*4b4=\xC6\x13",
    "?*4b4=\xC6\x14", "FileFormat=DNG", "ImageType=3", "FillLevel=2", "imr_plugin=TIFF",
    "imr_plugin=GENERIC", nullptr
};
const char* const* const kDng[] = {
    kDng0, kDng1, nullptr
};

// Canon CR2: little-endian TIFF with IFD0 at 16 and "CR" 2 at offset 8.
// "II*\0\x10\0\0\0CR\x02"@0
const char* const kCr2_0[] = {
    "[0]==0x49", "[1]==0x49", "[2]==0x2A", "[3]==0x00", "[4]==0x10", "[5]==0x00", "[6]==0x00",
    "[7]==0x00", "[8]==0x43", "[9]==0x52", "[10]==0x02", "FileFormat=CR2", "ImageType=3",
    "FillLevel=2", "imr_plugin=TIFF", "imr_plugin=GENERIC", nullptr
};
const char* const* const kCr2[] = {
    kCr2_0, nullptr
};

// Nikon NEF: IFD0 at 8 is the thumbnail (first entry NewSubfileType = 1),
// Make "NIKON CORPORATION", and SubIFDs (0x014A) point to the raw data.
// Camera TIFFs from Nikon have a full-size IFD0 and no SubIFDs.
// "II*\0\x08\0\0\0"@0, "\xFE\0\x04\0\x01\0\0\0\x01\0\0\0"@10, find "NIKON CORPORATION" from 8,
//   find "J\x01" from 8
const char* const kNef0[] = {
    "[0]==0x49", "[1]==0x49", "[2]==0x2A", "[3]==0x00", "[4]==0x08", "[5]==0x00", "[6]==0x00",
    "[7]==0x00", "[10]==0xFE", "[11]==0x00", "[12]==0x04", "[13]==0x00", "[14]==0x01",
    "[15]==0x00", "[16]==0x00", "[17]==0x00", "[18]==0x01", "[19]==0x00", "[20]==0x00",
    "[21]==0x00", "?8=NIKON CORPORATION", "?8=J\x01", "FileFormat=NEF", "ImageType=3",
    "FillLevel=2", "imr_plugin=TIFF", "imr_plugin=GENERIC", nullptr
};
// "MM\0*\0\0\0\x08"@0, "\0\xFE\0\x04\0\0\0\x01\0\0\0\x01"@10, find "NIKON CORPORATION" from 8,
//   find "\x01J" from 8
const char* const kNef1[] = {
    "[0]==0x4D", "[1]==0x4D", "[2]==0x00", "[3]==0x2A", "[4]==0x00", "[5]==0x00", "[6]==0x00",
    "[7]==0x08", "[10]==0x00", "[11]==0xFE", "[12]==0x00", "[13]==0x04", "[14]==0x00",
    "[15]==0x00", "[16]==0x00", "[17]==0x01", "[18]==0x00", "[19]==0x00", "[20]==0x00",
    "[21]==0x01", "?8=NIKON CORPORATION", "?8=\x01J", "FileFormat=NEF", "ImageType=3",
    "FillLevel=2", "imr_plugin=TIFF", "imr_plugin=GENERIC", nullptr
};
const char* const* const kNef[] = {
    kNef0, kNef1, nullptr
};

// Phase One IIQ: little-endian TIFF with "IIII" and a "?waR" tag at 8.
// "II*\0"@0, "IIII"@8, "waR"@13
const char* const kIiq0[] = {
    "[0]==0x49", "[1]==0x49", "[2]==0x2A", "[3]==0x00", "[8]==0x49", "[9]==0x49", "[10]==0x49",
    "[11]==0x49", "[13]==0x77", "[14]==0x61", "[15]==0x52", "FileFormat=IIQ", "ImageType=3",
    "FillLevel=2", "imr_plugin=TIFF", "imr_plugin=GENERIC", nullptr
};
const char* const* const kIiq[] = {
    kIiq0, nullptr
};

// Olympus ORF: TIFF header with its own version word ("IIRO", "IIRS", "MMOR").
// "IIRO\x08\0\0\0"@0
const char* const kOrf0[] = {
    "[0]==0x49", "[1]==0x49", "[2]==0x52", "[3]==0x4F", "[4]==0x08", "[5]==0x00", "[6]==0x00",
    "[7]==0x00", "FileFormat=ORF", "ImageType=3", "FillLevel=2", "imr_plugin=TIFF",
    "imr_plugin=GENERIC", nullptr
};
// "IIRS\x08\0\0\0"@0
const char* const kOrf1[] = {
    "[0]==0x49", "[1]==0x49", "[2]==0x52", "[3]==0x53", "[4]==0x08", "[5]==0x00", "[6]==0x00",
    "[7]==0x00", "FileFormat=ORF", "ImageType=3", "FillLevel=2", "imr_plugin=TIFF",
    "imr_plugin=GENERIC", nullptr
};
// "MMOR\0\0\0\x08"@0
const char* const kOrf2[] = {
    "[0]==0x4D", "[1]==0x4D", "[2]==0x4F", "[3]==0x52", "[4]==0x00", "[5]==0x00", "[6]==0x00",
    "[7]==0x08", "FileFormat=ORF", "ImageType=3", "FillLevel=2", "imr_plugin=TIFF",
    "imr_plugin=GENERIC", nullptr
};
const char* const* const kOrf[] = {
    kOrf0, kOrf1, kOrf2, nullptr
};

// Panasonic RW2 (and Leica RWL): "IIU" 0 with IFD0 at 0x18.
// "IIU\0\x18\0\0\0"@0
const char* const kRw2_0[] = {
    "[0]==0x49", "[1]==0x49", "[2]==0x55", "[3]==0x00", "[4]==0x18", "[5]==0x00", "[6]==0x00",
    "[7]==0x00", "FileFormat=RW2", "ImageType=3", "FillLevel=2", "imr_plugin=TIFF",
    "imr_plugin=GENERIC", nullptr
};
const char* const* const kRw2[] = {
    kRw2_0, nullptr
};

// Classic TIFF, both byte orders.
// "II*\0"@0
const char* const kTiff0[] = {
    "[0]==0x49", "[1]==0x49", "[2]==0x2A", "[3]==0x00", "FileFormat=TIFF", "ImageType=3",
    "FillLevel=2", "imr_plugin=TIFF", "imr_plugin=GENERIC", nullptr
};
// "MM\0*"@0
const char* const kTiff1[] = {
    "[0]==0x4D", "[1]==0x4D", "[2]==0x00", "[3]==0x2A", "FileFormat=TIFF", "ImageType=3",
    "FillLevel=2", "imr_plugin=TIFF", "imr_plugin=GENERIC", nullptr
};
const char* const* const kTiff[] = {
    kTiff0, kTiff1, nullptr
};

// BigTIFF: version 43, offset size 8, reserved 0.
// "II+\0\x08\0\0\0"@0
const char* const kBigtiff0[] = {
    "[0]==0x49", "[1]==0x49", "[2]==0x2B", "[3]==0x00", "[4]==0x08", "[5]==0x00", "[6]==0x00",
    "[7]==0x00", "FileFormat=BIGTIFF", "ImageType=3", "FillLevel=2", "imr_plugin=TIFF",
    "imr_plugin=GENERIC", nullptr
};
// "MM\0+\0\x08\0\0"@0
const char* const kBigtiff1[] = {
    "[0]==0x4D", "[1]==0x4D", "[2]==0x00", "[3]==0x2B", "[4]==0x00", "[5]==0x08", "[6]==0x00",
    "[7]==0x00", "FileFormat=BIGTIFF", "ImageType=3", "FillLevel=2", "imr_plugin=TIFF",
    "imr_plugin=GENERIC", nullptr
};
const char* const* const kBigtiff[] = {
    kBigtiff0, kBigtiff1, nullptr
};

// Canon CRW (CIFF): "II", header length 26, "HEAPCCDR".
// "II\x1A\0\0\0HEAPCCDR"@0
const char* const kCrw0[] = {
    "[0]==0x49", "[1]==0x49", "[2]==0x1A", "[3]==0x00", "[4]==0x00", "[5]==0x00", "[6]==0x48",
    "[7]==0x45", "[8]==0x41", "[9]==0x50", "[10]==0x43", "[11]==0x43", "[12]==0x44", "[13]==0x52",
    "FileFormat=CRW", "ImageType=3", "FillLevel=2", "imr_plugin=GENERIC", nullptr
};
const char* const* const kCrw[] = {
    kCrw0, nullptr
};

// MPO: a JPEG with an APP2 "MPF" segment in the buffer.  Before JFIF and
// JPEG: its first image is an ordinary JPEG, often with a JFIF APP0.
// "\xFF\xD8\xFF"@0, find "MPF" from 2, find "\xFF\xE2" from 2
const char* const kMpo0[] = {
    "[0]==0xFF", "[1]==0xD8", "[2]==0xFF", "?2=MPF", "?2=\xFF\xE2", "FileFormat=MPO",
    "ImageType=3", "FillLevel=2", "imr_plugin=JPEG", "imr_plugin=GENERIC", nullptr
};
const char* const* const kMpo[] = {
    kMpo0, nullptr
};

// JFIF: the first segment is APP0 "JFIF".  Before JPEG.
// "\xFF\xD8\xFF\xE0"@0, "JFIF\0"@6
const char* const kJfif0[] = {
    "[0]==0xFF", "[1]==0xD8", "[2]==0xFF", "[3]==0xE0", "[6]==0x4A", "[7]==0x46", "[8]==0x49",
    "[9]==0x46", "[10]==0x00", "FileFormat=JFIF", "ImageType=3", "FillLevel=2", "imr_plugin=JPEG",
    "imr_plugin=GENERIC", nullptr
};
const char* const* const kJfif[] = {
    kJfif0, nullptr
};

// Any other JPEG: SOI followed by a marker.
// "\xFF\xD8\xFF"@0
const char* const kJpeg0[] = {
    "[0]==0xFF", "[1]==0xD8", "[2]==0xFF", "FileFormat=JPEG", "ImageType=3", "FillLevel=2",
    "imr_plugin=JPEG", "imr_plugin=GENERIC", nullptr
};
const char* const* const kJpeg[] = {
    kJpeg0, nullptr
};

// APNG: an acTL chunk (its length is always 8) in the buffer; writers put
// it right after IHDR, before IDAT.  Before PNG.
// "\x89PNG\r\n\x1A\n"@0, find "\x08acTL" from 8
const char* const kApng0[] = {
    "[0]==0x89", "[1]==0x50", "[2]==0x4E", "[3]==0x47", "[4]==0x0D", "[5]==0x0A", "[6]==0x1A",
    "[7]==0x0A", "?8=\x08" "acTL", "FileFormat=APNG", "ImageType=3", "FillLevel=2",
    "imr_plugin=PNG", "imr_plugin=GENERIC", nullptr
};
const char* const* const kApng[] = {
    kApng0, nullptr
};

// PNG signature.
// "\x89PNG\r\n\x1A\n"@0
const char* const kPng0[] = {
    "[0]==0x89", "[1]==0x50", "[2]==0x4E", "[3]==0x47", "[4]==0x0D", "[5]==0x0A", "[6]==0x1A",
    "[7]==0x0A", "FileFormat=PNG", "ImageType=3", "FillLevel=2", "imr_plugin=PNG",
    "imr_plugin=GENERIC", nullptr
};
const char* const* const kPng[] = {
    kPng0, nullptr
};

// MNG signature.
// "\x8AMNG\r\n\x1A\n"@0
const char* const kMng0[] = {
    "[0]==0x8A", "[1]==0x4D", "[2]==0x4E", "[3]==0x47", "[4]==0x0D", "[5]==0x0A", "[6]==0x1A",
    "[7]==0x0A", "FileFormat=MNG", "ImageType=3", "FillLevel=2", "imr_plugin=GENERIC", nullptr
};
const char* const* const kMng[] = {
    kMng0, nullptr
};

// JNG signature.
// "\x8BJNG\r\n\x1A\n"@0
const char* const kJng0[] = {
    "[0]==0x8B", "[1]==0x4A", "[2]==0x4E", "[3]==0x47", "[4]==0x0D", "[5]==0x0A", "[6]==0x1A",
    "[7]==0x0A", "FileFormat=JNG", "ImageType=3", "FillLevel=2", "imr_plugin=GENERIC", nullptr
};
const char* const* const kJng[] = {
    kJng0, nullptr
};

// GIF, the version is in the signature.
// "GIF87a"@0
const char* const kGif0[] = {
    "[0]==0x47", "[1]==0x49", "[2]==0x46", "[3]==0x38", "[4]==0x37", "[5]==0x61", "FileFormat=GIF",
    "FileFormatVersion=87a", "ImageType=3", "FillLevel=2", "imr_plugin=GIF", "imr_plugin=GENERIC",
    nullptr
};
// "GIF89a"@0
const char* const kGif1[] = {
    "[0]==0x47", "[1]==0x49", "[2]==0x46", "[3]==0x38", "[4]==0x39", "[5]==0x61", "FileFormat=GIF",
    "FileFormatVersion=89a", "ImageType=3", "FillLevel=2", "imr_plugin=GIF", "imr_plugin=GENERIC",
    nullptr
};
const char* const* const kGif[] = {
    kGif0, kGif1, nullptr
};

// RIFF container of form WEBP with a VP8/VP8L/VP8X chunk.
// "RIFF"@0, "WEBPVP8"@8
const char* const kWebp0[] = {
    "[0]==0x52", "[1]==0x49", "[2]==0x46", "[3]==0x46", "[8]==0x57", "[9]==0x45", "[10]==0x42",
    "[11]==0x50", "[12]==0x56", "[13]==0x50", "[14]==0x38", "FileFormat=WEBP", "ImageType=3",
    "FillLevel=2", "imr_plugin=WEBP", "imr_plugin=GENERIC", nullptr
};
const char* const* const kWebp[] = {
    kWebp0, nullptr
};

// AVIF: ftyp major brand avif/avis, or a mif1/msf1/miaf major brand with
// avif among the first compatible brands.  Before HEIF.
// "\0\0\0"@0, "ftypavif"@4
const char* const kAvif0[] = {
    "[0]==0x00", "[1]==0x00", "[2]==0x00", "[4]==0x66", "[5]==0x74", "[6]==0x79", "[7]==0x70",
    "[8]==0x61", "[9]==0x76", "[10]==0x69", "[11]==0x66", "FileFormat=AVIF", "ImageType=3",
    "FillLevel=2", "imr_plugin=HEIF", "imr_plugin=GENERIC", nullptr
};
// "\0\0\0"@0, "ftypavis"@4
const char* const kAvif1[] = {
    "[0]==0x00", "[1]==0x00", "[2]==0x00", "[4]==0x66", "[5]==0x74", "[6]==0x79", "[7]==0x70",
    "[8]==0x61", "[9]==0x76", "[10]==0x69", "[11]==0x73", "FileFormat=AVIF", "ImageType=3",
    "FillLevel=2", "imr_plugin=HEIF", "imr_plugin=GENERIC", nullptr
};
// "\0\0\0"@0, "ftypmif1"@4, "avif"@16
const char* const kAvif2[] = {
    "[0]==0x00", "[1]==0x00", "[2]==0x00", "[4]==0x66", "[5]==0x74", "[6]==0x79", "[7]==0x70",
    "[8]==0x6D", "[9]==0x69", "[10]==0x66", "[11]==0x31", "[16]==0x61", "[17]==0x76", "[18]==0x69",
    "[19]==0x66", "FileFormat=AVIF", "ImageType=3", "FillLevel=2", "imr_plugin=HEIF",
    "imr_plugin=GENERIC", nullptr
};
// "\0\0\0"@0, "ftypmif1"@4, "avif"@20
const char* const kAvif3[] = {
    "[0]==0x00", "[1]==0x00", "[2]==0x00", "[4]==0x66", "[5]==0x74", "[6]==0x79", "[7]==0x70",
    "[8]==0x6D", "[9]==0x69", "[10]==0x66", "[11]==0x31", "[20]==0x61", "[21]==0x76", "[22]==0x69",
    "[23]==0x66", "FileFormat=AVIF", "ImageType=3", "FillLevel=2", "imr_plugin=HEIF",
    "imr_plugin=GENERIC", nullptr
};
// "\0\0\0"@0, "ftypmif1"@4, "avif"@24
const char* const kAvif4[] = {
    "[0]==0x00", "[1]==0x00", "[2]==0x00", "[4]==0x66", "[5]==0x74", "[6]==0x79", "[7]==0x70",
    "[8]==0x6D", "[9]==0x69", "[10]==0x66", "[11]==0x31", "[24]==0x61", "[25]==0x76", "[26]==0x69",
    "[27]==0x66", "FileFormat=AVIF", "ImageType=3", "FillLevel=2", "imr_plugin=HEIF",
    "imr_plugin=GENERIC", nullptr
};
// "\0\0\0"@0, "ftypmif1"@4, "avif"@28
const char* const kAvif5[] = {
    "[0]==0x00", "[1]==0x00", "[2]==0x00", "[4]==0x66", "[5]==0x74", "[6]==0x79", "[7]==0x70",
    "[8]==0x6D", "[9]==0x69", "[10]==0x66", "[11]==0x31", "[28]==0x61", "[29]==0x76", "[30]==0x69",
    "[31]==0x66", "FileFormat=AVIF", "ImageType=3", "FillLevel=2", "imr_plugin=HEIF",
    "imr_plugin=GENERIC", nullptr
};
// "\0\0\0"@0, "ftypmsf1"@4, "avif"@16
const char* const kAvif6[] = {
    "[0]==0x00", "[1]==0x00", "[2]==0x00", "[4]==0x66", "[5]==0x74", "[6]==0x79", "[7]==0x70",
    "[8]==0x6D", "[9]==0x73", "[10]==0x66", "[11]==0x31", "[16]==0x61", "[17]==0x76", "[18]==0x69",
    "[19]==0x66", "FileFormat=AVIF", "ImageType=3", "FillLevel=2", "imr_plugin=HEIF",
    "imr_plugin=GENERIC", nullptr
};
// "\0\0\0"@0, "ftypmsf1"@4, "avif"@20
const char* const kAvif7[] = {
    "[0]==0x00", "[1]==0x00", "[2]==0x00", "[4]==0x66", "[5]==0x74", "[6]==0x79", "[7]==0x70",
    "[8]==0x6D", "[9]==0x73", "[10]==0x66", "[11]==0x31", "[20]==0x61", "[21]==0x76", "[22]==0x69",
    "[23]==0x66", "FileFormat=AVIF", "ImageType=3", "FillLevel=2", "imr_plugin=HEIF",
    "imr_plugin=GENERIC", nullptr
};
// "\0\0\0"@0, "ftypmsf1"@4, "avif"@24
const char* const kAvif8[] = {
    "[0]==0x00", "[1]==0x00", "[2]==0x00", "[4]==0x66", "[5]==0x74", "[6]==0x79", "[7]==0x70",
    "[8]==0x6D", "[9]==0x73", "[10]==0x66", "[11]==0x31", "[24]==0x61", "[25]==0x76", "[26]==0x69",
    "[27]==0x66", "FileFormat=AVIF", "ImageType=3", "FillLevel=2", "imr_plugin=HEIF",
    "imr_plugin=GENERIC", nullptr
};
// "\0\0\0"@0, "ftypmsf1"@4, "avif"@28
const char* const kAvif9[] = {
    "[0]==0x00", "[1]==0x00", "[2]==0x00", "[4]==0x66", "[5]==0x74", "[6]==0x79", "[7]==0x70",
    "[8]==0x6D", "[9]==0x73", "[10]==0x66", "[11]==0x31", "[28]==0x61", "[29]==0x76", "[30]==0x69",
    "[31]==0x66", "FileFormat=AVIF", "ImageType=3", "FillLevel=2", "imr_plugin=HEIF",
    "imr_plugin=GENERIC", nullptr
};
// "\0\0\0"@0, "ftypmiaf"@4, "avif"@16
const char* const kAvif10[] = {
    "[0]==0x00", "[1]==0x00", "[2]==0x00", "[4]==0x66", "[5]==0x74", "[6]==0x79", "[7]==0x70",
    "[8]==0x6D", "[9]==0x69", "[10]==0x61", "[11]==0x66", "[16]==0x61", "[17]==0x76", "[18]==0x69",
    "[19]==0x66", "FileFormat=AVIF", "ImageType=3", "FillLevel=2", "imr_plugin=HEIF",
    "imr_plugin=GENERIC", nullptr
};
// "\0\0\0"@0, "ftypmiaf"@4, "avif"@20
const char* const kAvif11[] = {
    "[0]==0x00", "[1]==0x00", "[2]==0x00", "[4]==0x66", "[5]==0x74", "[6]==0x79", "[7]==0x70",
    "[8]==0x6D", "[9]==0x69", "[10]==0x61", "[11]==0x66", "[20]==0x61", "[21]==0x76", "[22]==0x69",
    "[23]==0x66", "FileFormat=AVIF", "ImageType=3", "FillLevel=2", "imr_plugin=HEIF",
    "imr_plugin=GENERIC", nullptr
};
// "\0\0\0"@0, "ftypmiaf"@4, "avif"@24
const char* const kAvif12[] = {
    "[0]==0x00", "[1]==0x00", "[2]==0x00", "[4]==0x66", "[5]==0x74", "[6]==0x79", "[7]==0x70",
    "[8]==0x6D", "[9]==0x69", "[10]==0x61", "[11]==0x66", "[24]==0x61", "[25]==0x76", "[26]==0x69",
    "[27]==0x66", "FileFormat=AVIF", "ImageType=3", "FillLevel=2", "imr_plugin=HEIF",
    "imr_plugin=GENERIC", nullptr
};
// "\0\0\0"@0, "ftypmiaf"@4, "avif"@28
const char* const kAvif13[] = {
    "[0]==0x00", "[1]==0x00", "[2]==0x00", "[4]==0x66", "[5]==0x74", "[6]==0x79", "[7]==0x70",
    "[8]==0x6D", "[9]==0x69", "[10]==0x61", "[11]==0x66", "[28]==0x61", "[29]==0x76", "[30]==0x69",
    "[31]==0x66", "FileFormat=AVIF", "ImageType=3", "FillLevel=2", "imr_plugin=HEIF",
    "imr_plugin=GENERIC", nullptr
};
const char* const* const kAvif[] = {
    kAvif0, kAvif1, kAvif2, kAvif3, kAvif4, kAvif5, kAvif6, kAvif7, kAvif8, kAvif9, kAvif10,
    kAvif11, kAvif12, kAvif13, nullptr
};

// Canon CR3: ftyp major brand "crx ".  Before HEIF.
// "\0\0\0"@0, "ftypcrx "@4
const char* const kCr3_0[] = {
    "[0]==0x00", "[1]==0x00", "[2]==0x00", "[4]==0x66", "[5]==0x74", "[6]==0x79", "[7]==0x70",
    "[8]==0x63", "[9]==0x72", "[10]==0x78", "[11]==0x20", "FileFormat=CR3", "ImageType=3",
    "FillLevel=2", "imr_plugin=HEIF", "imr_plugin=GENERIC", nullptr
};
const char* const* const kCr3[] = {
    kCr3_0, nullptr
};

// HEIF: ftyp with an image or image-sequence brand.
// "\0\0\0"@0, "ftypheic"@4
const char* const kHeif0[] = {
    "[0]==0x00", "[1]==0x00", "[2]==0x00", "[4]==0x66", "[5]==0x74", "[6]==0x79", "[7]==0x70",
    "[8]==0x68", "[9]==0x65", "[10]==0x69", "[11]==0x63", "FileFormat=HEIF", "ImageType=3",
    "FillLevel=2", "imr_plugin=HEIF", "imr_plugin=GENERIC", nullptr
};
// "\0\0\0"@0, "ftypheix"@4
const char* const kHeif1[] = {
    "[0]==0x00", "[1]==0x00", "[2]==0x00", "[4]==0x66", "[5]==0x74", "[6]==0x79", "[7]==0x70",
    "[8]==0x68", "[9]==0x65", "[10]==0x69", "[11]==0x78", "FileFormat=HEIF", "ImageType=3",
    "FillLevel=2", "imr_plugin=HEIF", "imr_plugin=GENERIC", nullptr
};
// "\0\0\0"@0, "ftyphevc"@4
const char* const kHeif2[] = {
    "[0]==0x00", "[1]==0x00", "[2]==0x00", "[4]==0x66", "[5]==0x74", "[6]==0x79", "[7]==0x70",
    "[8]==0x68", "[9]==0x65", "[10]==0x76", "[11]==0x63", "FileFormat=HEIF", "ImageType=3",
    "FillLevel=2", "imr_plugin=HEIF", "imr_plugin=GENERIC", nullptr
};
// "\0\0\0"@0, "ftyphevx"@4
const char* const kHeif3[] = {
    "[0]==0x00", "[1]==0x00", "[2]==0x00", "[4]==0x66", "[5]==0x74", "[6]==0x79", "[7]==0x70",
    "[8]==0x68", "[9]==0x65", "[10]==0x76", "[11]==0x78", "FileFormat=HEIF", "ImageType=3",
    "FillLevel=2", "imr_plugin=HEIF", "imr_plugin=GENERIC", nullptr
};
// "\0\0\0"@0, "ftypheim"@4
const char* const kHeif4[] = {
    "[0]==0x00", "[1]==0x00", "[2]==0x00", "[4]==0x66", "[5]==0x74", "[6]==0x79", "[7]==0x70",
    "[8]==0x68", "[9]==0x65", "[10]==0x69", "[11]==0x6D", "FileFormat=HEIF", "ImageType=3",
    "FillLevel=2", "imr_plugin=HEIF", "imr_plugin=GENERIC", nullptr
};
// "\0\0\0"@0, "ftypheis"@4
const char* const kHeif5[] = {
    "[0]==0x00", "[1]==0x00", "[2]==0x00", "[4]==0x66", "[5]==0x74", "[6]==0x79", "[7]==0x70",
    "[8]==0x68", "[9]==0x65", "[10]==0x69", "[11]==0x73", "FileFormat=HEIF", "ImageType=3",
    "FillLevel=2", "imr_plugin=HEIF", "imr_plugin=GENERIC", nullptr
};
// "\0\0\0"@0, "ftyphevm"@4
const char* const kHeif6[] = {
    "[0]==0x00", "[1]==0x00", "[2]==0x00", "[4]==0x66", "[5]==0x74", "[6]==0x79", "[7]==0x70",
    "[8]==0x68", "[9]==0x65", "[10]==0x76", "[11]==0x6D", "FileFormat=HEIF", "ImageType=3",
    "FillLevel=2", "imr_plugin=HEIF", "imr_plugin=GENERIC", nullptr
};
// "\0\0\0"@0, "ftyphevs"@4
const char* const kHeif7[] = {
    "[0]==0x00", "[1]==0x00", "[2]==0x00", "[4]==0x66", "[5]==0x74", "[6]==0x79", "[7]==0x70",
    "[8]==0x68", "[9]==0x65", "[10]==0x76", "[11]==0x73", "FileFormat=HEIF", "ImageType=3",
    "FillLevel=2", "imr_plugin=HEIF", "imr_plugin=GENERIC", nullptr
};
// "\0\0\0"@0, "ftypmif1"@4
const char* const kHeif8[] = {
    "[0]==0x00", "[1]==0x00", "[2]==0x00", "[4]==0x66", "[5]==0x74", "[6]==0x79", "[7]==0x70",
    "[8]==0x6D", "[9]==0x69", "[10]==0x66", "[11]==0x31", "FileFormat=HEIF", "ImageType=3",
    "FillLevel=2", "imr_plugin=HEIF", "imr_plugin=GENERIC", nullptr
};
// "\0\0\0"@0, "ftypmsf1"@4
const char* const kHeif9[] = {
    "[0]==0x00", "[1]==0x00", "[2]==0x00", "[4]==0x66", "[5]==0x74", "[6]==0x79", "[7]==0x70",
    "[8]==0x6D", "[9]==0x73", "[10]==0x66", "[11]==0x31", "FileFormat=HEIF", "ImageType=3",
    "FillLevel=2", "imr_plugin=HEIF", "imr_plugin=GENERIC", nullptr
};
// "\0\0\0"@0, "ftypmif2"@4
const char* const kHeif10[] = {
    "[0]==0x00", "[1]==0x00", "[2]==0x00", "[4]==0x66", "[5]==0x74", "[6]==0x79", "[7]==0x70",
    "[8]==0x6D", "[9]==0x69", "[10]==0x66", "[11]==0x32", "FileFormat=HEIF", "ImageType=3",
    "FillLevel=2", "imr_plugin=HEIF", "imr_plugin=GENERIC", nullptr
};
// "\0\0\0"@0, "ftypmiaf"@4
const char* const kHeif11[] = {
    "[0]==0x00", "[1]==0x00", "[2]==0x00", "[4]==0x66", "[5]==0x74", "[6]==0x79", "[7]==0x70",
    "[8]==0x6D", "[9]==0x69", "[10]==0x61", "[11]==0x66", "FileFormat=HEIF", "ImageType=3",
    "FillLevel=2", "imr_plugin=HEIF", "imr_plugin=GENERIC", nullptr
};
const char* const* const kHeif[] = {
    kHeif0, kHeif1, kHeif2, kHeif3, kHeif4, kHeif5, kHeif6, kHeif7, kHeif8, kHeif9, kHeif10,
    kHeif11, nullptr
};

// JP2 signature box, ftyp brand "jpx ".
// "\0\0\0\x0CjP  \r\n\x87\n"@0, "ftypjpx "@16
const char* const kJpx0[] = {
    "[0]==0x00", "[1]==0x00", "[2]==0x00", "[3]==0x0C", "[4]==0x6A", "[5]==0x50", "[6]==0x20",
    "[7]==0x20", "[8]==0x0D", "[9]==0x0A", "[10]==0x87", "[11]==0x0A", "[16]==0x66", "[17]==0x74",
    "[18]==0x79", "[19]==0x70", "[20]==0x6A", "[21]==0x70", "[22]==0x78", "[23]==0x20",
    "FileFormat=JPX", "ImageType=3", "FillLevel=2", "imr_plugin=JP2", "imr_plugin=GENERIC",
    nullptr
};
const char* const* const kJpx[] = {
    kJpx0, nullptr
};

// JP2 signature box, ftyp brand "jpm " (compound images).
// "\0\0\0\x0CjP  \r\n\x87\n"@0, "ftypjpm "@16
const char* const kJpm0[] = {
    "[0]==0x00", "[1]==0x00", "[2]==0x00", "[3]==0x0C", "[4]==0x6A", "[5]==0x50", "[6]==0x20",
    "[7]==0x20", "[8]==0x0D", "[9]==0x0A", "[10]==0x87", "[11]==0x0A", "[16]==0x66", "[17]==0x74",
    "[18]==0x79", "[19]==0x70", "[20]==0x6A", "[21]==0x70", "[22]==0x6D", "[23]==0x20",
    "FileFormat=JPM", "ImageType=3", "FillLevel=2", "imr_plugin=GENERIC", nullptr
};
const char* const* const kJpm[] = {
    kJpm0, nullptr
};

// JP2 signature box, ftyp brand "jp2 ".
// "\0\0\0\x0CjP  \r\n\x87\n"@0, "ftypjp2 "@16
const char* const kJp2_0[] = {
    "[0]==0x00", "[1]==0x00", "[2]==0x00", "[3]==0x0C", "[4]==0x6A", "[5]==0x50", "[6]==0x20",
    "[7]==0x20", "[8]==0x0D", "[9]==0x0A", "[10]==0x87", "[11]==0x0A", "[16]==0x66", "[17]==0x74",
    "[18]==0x79", "[19]==0x70", "[20]==0x6A", "[21]==0x70", "[22]==0x32", "[23]==0x20",
    "FileFormat=JP2", "ImageType=3", "FillLevel=2", "imr_plugin=JP2", "imr_plugin=GENERIC",
    nullptr
};
const char* const* const kJp2[] = {
    kJp2_0, nullptr
};

// Raw JPEG 2000 codestream: SOC then SIZ.
// "\xFFO\xFFQ"@0
const char* const kJ2k0[] = {
    "[0]==0xFF", "[1]==0x4F", "[2]==0xFF", "[3]==0x51", "FileFormat=J2K", "ImageType=3",
    "FillLevel=2", "imr_plugin=JP2", "imr_plugin=GENERIC", nullptr
};
const char* const* const kJ2k[] = {
    kJ2k0, nullptr
};

// Photoshop: "8BPS", version 1, six reserved zero bytes.
// "8BPS\0\x01\0\0\0\0\0\0"@0
const char* const kPsd0[] = {
    "[0]==0x38", "[1]==0x42", "[2]==0x50", "[3]==0x53", "[4]==0x00", "[5]==0x01", "[6]==0x00",
    "[7]==0x00", "[8]==0x00", "[9]==0x00", "[10]==0x00", "[11]==0x00", "FileFormat=PSD",
    "ImageType=3", "FillLevel=2", "imr_plugin=PSD", "imr_plugin=GENERIC", nullptr
};
const char* const* const kPsd[] = {
    kPsd0, nullptr
};

// Large document: "8BPS" with version 2.
// "8BPS\0\x02\0\0\0\0\0\0"@0
const char* const kPsb0[] = {
    "[0]==0x38", "[1]==0x42", "[2]==0x50", "[3]==0x53", "[4]==0x00", "[5]==0x02", "[6]==0x00",
    "[7]==0x00", "[8]==0x00", "[9]==0x00", "[10]==0x00", "[11]==0x00", "FileFormat=PSB",
    "ImageType=3", "FillLevel=2", "imr_plugin=PSD", "imr_plugin=GENERIC", nullptr
};
const char* const* const kPsb[] = {
    kPsb0, nullptr
};

// DCS: an EPS whose header comments name the colour plates (%%CyanPlate in
// DCS 1, %%PlateFile in DCS 2).  In a DOS EPS the PostScript starts at the
// offset held at byte 4.  Before EPS.
// "%!PS-Adobe-"@0, "EPSF"@15, find "%%CyanPlate" from 16
const char* const kDcs0[] = {
    "[0]==0x25", "[1]==0x21", "[2]==0x50", "[3]==0x53", "[4]==0x2D", "[5]==0x41", "[6]==0x64",
    "[7]==0x6F", "[8]==0x62", "[9]==0x65", "[10]==0x2D", "[15]==0x45", "[16]==0x50", "[17]==0x53",
    "[18]==0x46", "?16=%%CyanPlate", "FileFormat=DCS", "ImageType=3", "FillLevel=2",
    "imr_plugin=EPS", "imr_plugin=GENERIC", nullptr
};
// "%!PS-Adobe-"@0, "EPSF"@15, find "%%PlateFile" from 16
const char* const kDcs1[] = {
    "[0]==0x25", "[1]==0x21", "[2]==0x50", "[3]==0x53", "[4]==0x2D", "[5]==0x41", "[6]==0x64",
    "[7]==0x6F", "[8]==0x62", "[9]==0x65", "[10]==0x2D", "[15]==0x45", "[16]==0x50", "[17]==0x53",
    "[18]==0x46", "?16=%%PlateFile", "FileFormat=DCS", "ImageType=3", "FillLevel=2",
    "imr_plugin=EPS", "imr_plugin=GENERIC", nullptr
};
// "\xC5\xD0\xD3\xC6"@0, find "%%CyanPlate" from *4
const char* const kDcs2[] = {
    "[0]==0xC5", "[1]==0xD0", "[2]==0xD3", "[3]==0xC6", "?*4l4=%%CyanPlate", "FileFormat=DCS",
    "ImageType=3", "FillLevel=2", "imr_plugin=EPS", "imr_plugin=GENERIC", nullptr
};
// "\xC5\xD0\xD3\xC6"@0, find "%%PlateFile" from *4
const char* const kDcs3[] = {
    "[0]==0xC5", "[1]==0xD0", "[2]==0xD3", "[3]==0xC6", "?*4l4=%%PlateFile", "FileFormat=DCS",
    "ImageType=3", "FillLevel=2", "imr_plugin=EPS", "imr_plugin=GENERIC", nullptr
};
const char* const* const kDcs[] = {
    kDcs0, kDcs1, kDcs2, kDcs3, nullptr
};

// EPS: "%!PS-Adobe-N.N EPSF-N.N" first line, or the DOS EPS binary header.
// Before PS (which requires the line to end after the version anyway).
// "%!PS-Adobe-"@0, "EPSF"@15
const char* const kEps0[] = {
    "[0]==0x25", "[1]==0x21", "[2]==0x50", "[3]==0x53", "[4]==0x2D", "[5]==0x41", "[6]==0x64",
    "[7]==0x6F", "[8]==0x62", "[9]==0x65", "[10]==0x2D", "[15]==0x45", "[16]==0x50", "[17]==0x53",
    "[18]==0x46", "FileFormat=EPS", "ImageType=3", "FillLevel=2", "imr_plugin=EPS",
    "imr_plugin=GENERIC", nullptr
};
// "\xC5\xD0\xD3\xC6"@0
const char* const kEps1[] = {
    "[0]==0xC5", "[1]==0xD0", "[2]==0xD3", "[3]==0xC6", "FileFormat=EPS", "ImageType=3",
    "FillLevel=2", "imr_plugin=EPS", "imr_plugin=GENERIC", nullptr
};
const char* const* const kEps[] = {
    kEps0, kEps1, nullptr
};

// PostScript document: "%!PS-Adobe-N.N" alone on the first line (a keyword
// after it makes an EPS, a query or a resource file such as a font or
// CMap), or a bare "%!PS" line; either may follow a ^D sent by print
// drivers.  "%!PS-AdobeFont" (Type 1 fonts) never matches.
// "%!PS-Adobe-"@0, [11] in 0x30..0x39, [12]=0x2E, [13] in 0x30..0x39, [14]=0x0A
const char* const kPs0[] = {
    "[0]==0x25", "[1]==0x21", "[2]==0x50", "[3]==0x53", "[4]==0x2D", "[5]==0x41", "[6]==0x64",
    "[7]==0x6F", "[8]==0x62", "[9]==0x65", "[10]==0x2D", "[11]>0x2F", "[11]<0x3A", "[12]==0x2E",
    "[13]>0x2F", "[13]<0x3A", "[14]==0x0A", "FileFormat=PS", "ImageType=3", "FillLevel=2",
    "imr_plugin=EPS", "imr_plugin=GENERIC", nullptr
};
// "%!PS-Adobe-"@0, [11] in 0x30..0x39, [12]=0x2E, [13] in 0x30..0x39, [14]=0x0D
const char* const kPs1[] = {
    "[0]==0x25", "[1]==0x21", "[2]==0x50", "[3]==0x53", "[4]==0x2D", "[5]==0x41", "[6]==0x64",
    "[7]==0x6F", "[8]==0x62", "[9]==0x65", "[10]==0x2D", "[11]>0x2F", "[11]<0x3A", "[12]==0x2E",
    "[13]>0x2F", "[13]<0x3A", "[14]==0x0D", "FileFormat=PS", "ImageType=3", "FillLevel=2",
    "imr_plugin=EPS", "imr_plugin=GENERIC", nullptr
};
// "%!PS-Adobe-"@0, [11] in 0x30..0x39, [12]=0x2E, [13] in 0x30..0x39, " \n"@14
const char* const kPs2[] = {
    "[0]==0x25", "[1]==0x21", "[2]==0x50", "[3]==0x53", "[4]==0x2D", "[5]==0x41", "[6]==0x64",
    "[7]==0x6F", "[8]==0x62", "[9]==0x65", "[10]==0x2D", "[11]>0x2F", "[11]<0x3A", "[12]==0x2E",
    "[13]>0x2F", "[13]<0x3A", "[14]==0x20", "[15]==0x0A", "FileFormat=PS", "ImageType=3",
    "FillLevel=2", "imr_plugin=EPS", "imr_plugin=GENERIC", nullptr
};
// "%!PS-Adobe-"@0, [11] in 0x30..0x39, [12]=0x2E, [13] in 0x30..0x39, " \r"@14
const char* const kPs3[] = {
    "[0]==0x25", "[1]==0x21", "[2]==0x50", "[3]==0x53", "[4]==0x2D", "[5]==0x41", "[6]==0x64",
    "[7]==0x6F", "[8]==0x62", "[9]==0x65", "[10]==0x2D", "[11]>0x2F", "[11]<0x3A", "[12]==0x2E",
    "[13]>0x2F", "[13]<0x3A", "[14]==0x20", "[15]==0x0D", "FileFormat=PS", "ImageType=3",
    "FillLevel=2", "imr_plugin=EPS", "imr_plugin=GENERIC", nullptr
};
// "\x04%!PS-Adobe-"@0, [12] in 0x30..0x39, [13]=0x2E, [14] in 0x30..0x39, [15]=0x0A
const char* const kPs4[] = {
    "[0]==0x04", "[1]==0x25", "[2]==0x21", "[3]==0x50", "[4]==0x53", "[5]==0x2D", "[6]==0x41",
    "[7]==0x64", "[8]==0x6F", "[9]==0x62", "[10]==0x65", "[11]==0x2D", "[12]>0x2F", "[12]<0x3A",
    "[13]==0x2E", "[14]>0x2F", "[14]<0x3A", "[15]==0x0A", "FileFormat=PS", "ImageType=3",
    "FillLevel=2", "imr_plugin=EPS", "imr_plugin=GENERIC", nullptr
};
// "\x04%!PS-Adobe-"@0, [12] in 0x30..0x39, [13]=0x2E, [14] in 0x30..0x39, [15]=0x0D
const char* const kPs5[] = {
    "[0]==0x04", "[1]==0x25", "[2]==0x21", "[3]==0x50", "[4]==0x53", "[5]==0x2D", "[6]==0x41",
    "[7]==0x64", "[8]==0x6F", "[9]==0x62", "[10]==0x65", "[11]==0x2D", "[12]>0x2F", "[12]<0x3A",
    "[13]==0x2E", "[14]>0x2F", "[14]<0x3A", "[15]==0x0D", "FileFormat=PS", "ImageType=3",
    "FillLevel=2", "imr_plugin=EPS", "imr_plugin=GENERIC", nullptr
};
// "%!PS\n"@0
const char* const kPs6[] = {
    "[0]==0x25", "[1]==0x21", "[2]==0x50", "[3]==0x53", "[4]==0x0A", "FileFormat=PS",
    "ImageType=3", "FillLevel=2", "imr_plugin=EPS", "imr_plugin=GENERIC", nullptr
};
// "%!PS\r"@0
const char* const kPs7[] = {
    "[0]==0x25", "[1]==0x21", "[2]==0x50", "[3]==0x53", "[4]==0x0D", "FileFormat=PS",
    "ImageType=3", "FillLevel=2", "imr_plugin=EPS", "imr_plugin=GENERIC", nullptr
};
const char* const* const kPs[] = {
    kPs0, kPs1, kPs2, kPs3, kPs4, kPs5, kPs6, kPs7, nullptr
};

// PDF header; the version follows "%PDF-".  Readers accept a few bytes
// before it (a byte-order mark, a stray line end).
// "%PDF-1.0"@0
const char* const kPdf0[] = {
    "[0]==0x25", "[1]==0x50", "[2]==0x44", "[3]==0x46", "[4]==0x2D", "[5]==0x31", "[6]==0x2E",
    "[7]==0x30", "FileFormat=PDF", "FileFormatVersion=1.0", "ImageType=3", "FillLevel=2",
    "imr_plugin=PDF", "imr_plugin=GENERIC", nullptr
};
// "%PDF-1.1"@0
const char* const kPdf1[] = {
    "[0]==0x25", "[1]==0x50", "[2]==0x44", "[3]==0x46", "[4]==0x2D", "[5]==0x31", "[6]==0x2E",
    "[7]==0x31", "FileFormat=PDF", "FileFormatVersion=1.1", "ImageType=3", "FillLevel=2",
    "imr_plugin=PDF", "imr_plugin=GENERIC", nullptr
};
// "%PDF-1.2"@0
const char* const kPdf2[] = {
    "[0]==0x25", "[1]==0x50", "[2]==0x44", "[3]==0x46", "[4]==0x2D", "[5]==0x31", "[6]==0x2E",
    "[7]==0x32", "FileFormat=PDF", "FileFormatVersion=1.2", "ImageType=3", "FillLevel=2",
    "imr_plugin=PDF", "imr_plugin=GENERIC", nullptr
};
// "%PDF-1.3"@0
const char* const kPdf3[] = {
    "[0]==0x25", "[1]==0x50", "[2]==0x44", "[3]==0x46", "[4]==0x2D", "[5]==0x31", "[6]==0x2E",
    "[7]==0x33", "FileFormat=PDF", "FileFormatVersion=1.3", "ImageType=3", "FillLevel=2",
    "imr_plugin=PDF", "imr_plugin=GENERIC", nullptr
};
// "%PDF-1.4"@0
const char* const kPdf4[] = {
    "[0]==0x25", "[1]==0x50", "[2]==0x44", "[3]==0x46", "[4]==0x2D", "[5]==0x31", "[6]==0x2E",
    "[7]==0x34", "FileFormat=PDF", "FileFormatVersion=1.4", "ImageType=3", "FillLevel=2",
    "imr_plugin=PDF", "imr_plugin=GENERIC", nullptr
};
// "%PDF-1.5"@0
const char* const kPdf5[] = {
    "[0]==0x25", "[1]==0x50", "[2]==0x44", "[3]==0x46", "[4]==0x2D", "[5]==0x31", "[6]==0x2E",
    "[7]==0x35", "FileFormat=PDF", "FileFormatVersion=1.5", "ImageType=3", "FillLevel=2",
    "imr_plugin=PDF", "imr_plugin=GENERIC", nullptr
};
// "%PDF-1.6"@0
const char* const kPdf6[] = {
    "[0]==0x25", "[1]==0x50", "[2]==0x44", "[3]==0x46", "[4]==0x2D", "[5]==0x31", "[6]==0x2E",
    "[7]==0x36", "FileFormat=PDF", "FileFormatVersion=1.6", "ImageType=3", "FillLevel=2",
    "imr_plugin=PDF", "imr_plugin=GENERIC", nullptr
};
// "%PDF-1.7"@0
const char* const kPdf7[] = {
    "[0]==0x25", "[1]==0x50", "[2]==0x44", "[3]==0x46", "[4]==0x2D", "[5]==0x31", "[6]==0x2E",
    "[7]==0x37", "FileFormat=PDF", "FileFormatVersion=1.7", "ImageType=3", "FillLevel=2",
    "imr_plugin=PDF", "imr_plugin=GENERIC", nullptr
};
// "%PDF-2.0"@0
const char* const kPdf8[] = {
    "[0]==0x25", "[1]==0x50", "[2]==0x44", "[3]==0x46", "[4]==0x2D", "[5]==0x32", "[6]==0x2E",
    "[7]==0x30", "FileFormat=PDF", "FileFormatVersion=2.0", "ImageType=3", "FillLevel=2",
    "imr_plugin=PDF", "imr_plugin=GENERIC", nullptr
};
// "%PDF-"@0
const char* const kPdf9[] = {
    "[0]==0x25", "[1]==0x50", "[2]==0x44", "[3]==0x46", "[4]==0x2D", "FileFormat=PDF",
    "ImageType=3", "FillLevel=2", "imr_plugin=PDF", "imr_plugin=GENERIC", nullptr
};
// "%PDF-"@1
const char* const kPdf10[] = {
    "[1]==0x25", "[2]==0x50", "[3]==0x44", "[4]==0x46", "[5]==0x2D", "FileFormat=PDF",
    "ImageType=3", "FillLevel=2", "imr_plugin=PDF", "imr_plugin=GENERIC", nullptr
};
// "%PDF-"@2
const char* const kPdf11[] = {
    "[2]==0x25", "[3]==0x50", "[4]==0x44", "[5]==0x46", "[6]==0x2D", "FileFormat=PDF",
    "ImageType=3", "FillLevel=2", "imr_plugin=PDF", "imr_plugin=GENERIC", nullptr
};
// "%PDF-"@3
const char* const kPdf12[] = {
    "[3]==0x25", "[4]==0x50", "[5]==0x44", "[6]==0x46", "[7]==0x2D", "FileFormat=PDF",
    "ImageType=3", "FillLevel=2", "imr_plugin=PDF", "imr_plugin=GENERIC", nullptr
};
const char* const* const kPdf[] = {
    kPdf0, kPdf1, kPdf2, kPdf3, kPdf4, kPdf5, kPdf6, kPdf7, kPdf8, kPdf9, kPdf10, kPdf11, kPdf12,
    nullptr
};

// InDesign: master page GUID followed by "DOCUMENT".
// "\x06\x06\xED\xF5\xD8\x1DF\xE5\xBD1\xEF\xE7\xFEt\xB7\x1DDOCUMENT"@0
const char* const kIndd0[] = {
    "[0]==0x06", "[1]==0x06", "[2]==0xED", "[3]==0xF5", "[4]==0xD8", "[5]==0x1D", "[6]==0x46",
    "[7]==0xE5", "[8]==0xBD", "[9]==0x31", "[10]==0xEF", "[11]==0xE7", "[12]==0xFE", "[13]==0x74",
    "[14]==0xB7", "[15]==0x1D", "[16]==0x44", "[17]==0x4F", "[18]==0x43", "[19]==0x55",
    "[20]==0x4D", "[21]==0x45", "[22]==0x4E", "[23]==0x54", "FileFormat=INDD", "ImageType=3",
    "FillLevel=2", "imr_plugin=GENERIC", nullptr
};
const char* const* const kIndd[] = {
    kIndd0, nullptr
};

// GIMP: "gimp xcf " then "file" or a version "v0NN".
// "gimp xcf file"@0
const char* const kXcf0[] = {
    "[0]==0x67", "[1]==0x69", "[2]==0x6D", "[3]==0x70", "[4]==0x20", "[5]==0x78", "[6]==0x63",
    "[7]==0x66", "[8]==0x20", "[9]==0x66", "[10]==0x69", "[11]==0x6C", "[12]==0x65",
    "FileFormat=XCF", "ImageType=3", "FillLevel=2", "imr_plugin=XCF", "imr_plugin=GENERIC",
    nullptr
};
// "gimp xcf v"@0
const char* const kXcf1[] = {
    "[0]==0x67", "[1]==0x69", "[2]==0x6D", "[3]==0x70", "[4]==0x20", "[5]==0x78", "[6]==0x63",
    "[7]==0x66", "[8]==0x20", "[9]==0x76", "FileFormat=XCF", "ImageType=3", "FillLevel=2",
    "imr_plugin=XCF", "imr_plugin=GENERIC", nullptr
};
const char* const* const kXcf[] = {
    kXcf0, kXcf1, nullptr
};

// Paint Shop Pro image.
// "Paint Shop Pro Image File\n\x1A"@0
const char* const kPsp0[] = {
    "[0]==0x50", "[1]==0x61", "[2]==0x69", "[3]==0x6E", "[4]==0x74", "[5]==0x20", "[6]==0x53",
    "[7]==0x68", "[8]==0x6F", "[9]==0x70", "[10]==0x20", "[11]==0x50", "[12]==0x72", "[13]==0x6F",
    "[14]==0x20", "[15]==0x49", "[16]==0x6D", "[17]==0x61", "[18]==0x67", "[19]==0x65",
    "[20]==0x20", "[21]==0x46", "[22]==0x69", "[23]==0x6C", "[24]==0x65", "[25]==0x0A",
    "[26]==0x1A", "FileFormat=PSP", "ImageType=3", "FillLevel=2", "imr_plugin=GENERIC", nullptr
};
const char* const* const kPsp[] = {
    kPsp0, nullptr
};

// ImageMagick MIFF: "id=ImageMagick", possibly after a {comment}.
// "id=ImageMagick"@0
const char* const kMiff0[] = {
    "[0]==0x69", "[1]==0x64", "[2]==0x3D", "[3]==0x49", "[4]==0x6D", "[5]==0x61", "[6]==0x67",
    "[7]==0x65", "[8]==0x4D", "[9]==0x61", "[10]==0x67", "[11]==0x69", "[12]==0x63", "[13]==0x6B",
    "FileFormat=MIFF", "ImageType=3", "FillLevel=2", "imr_plugin=GENERIC", nullptr
};
// [0]=0x7B, find "id=ImageMagick" from 1
const char* const kMiff1[] = {
    "[0]==0x7B", "?1=id=ImageMagick", "FileFormat=MIFF", "ImageType=3", "FillLevel=2",
    "imr_plugin=GENERIC", nullptr
};
const char* const* const kMiff[] = {
    kMiff0, kMiff1, nullptr
};

// Radiance RGBE.
// "#?RADIANCE"@0
const char* const kHdr0[] = {
    "[0]==0x23", "[1]==0x3F", "[2]==0x52", "[3]==0x41", "[4]==0x44", "[5]==0x49", "[6]==0x41",
    "[7]==0x4E", "[8]==0x43", "[9]==0x45", "FileFormat=HDR", "ImageType=3", "FillLevel=2",
    "imr_plugin=GENERIC", nullptr
};
// "#?RGBE"@0
const char* const kHdr1[] = {
    "[0]==0x23", "[1]==0x3F", "[2]==0x52", "[3]==0x47", "[4]==0x42", "[5]==0x45", "FileFormat=HDR",
    "ImageType=3", "FillLevel=2", "imr_plugin=GENERIC", nullptr
};
const char* const* const kHdr[] = {
    kHdr0, kHdr1, nullptr
};

// OpenEXR: magic 20000630 and version 2.
// "v/1\x01\x02"@0
const char* const kExr0[] = {
    "[0]==0x76", "[1]==0x2F", "[2]==0x31", "[3]==0x01", "[4]==0x02", "FileFormat=EXR",
    "ImageType=3", "FillLevel=2", "imr_plugin=GENERIC", nullptr
};
const char* const* const kExr[] = {
    kExr0, nullptr
};

// DPX: "SDPX" or "XPDS" by byte order; version string at 8.
// "SDPX"@0, "V1.0\0"@8
const char* const kDpx0[] = {
    "[0]==0x53", "[1]==0x44", "[2]==0x50", "[3]==0x58", "[8]==0x56", "[9]==0x31", "[10]==0x2E",
    "[11]==0x30", "[12]==0x00", "FileFormat=DPX", "FileFormatVersion=1.0", "ImageType=3",
    "FillLevel=2", "imr_plugin=GENERIC", nullptr
};
// "SDPX"@0, "V2.0\0"@8
const char* const kDpx1[] = {
    "[0]==0x53", "[1]==0x44", "[2]==0x50", "[3]==0x58", "[8]==0x56", "[9]==0x32", "[10]==0x2E",
    "[11]==0x30", "[12]==0x00", "FileFormat=DPX", "FileFormatVersion=2.0", "ImageType=3",
    "FillLevel=2", "imr_plugin=GENERIC", nullptr
};
// "XPDS"@0, "V1.0\0"@8
const char* const kDpx2[] = {
    "[0]==0x58", "[1]==0x50", "[2]==0x44", "[3]==0x53", "[8]==0x56", "[9]==0x31", "[10]==0x2E",
    "[11]==0x30", "[12]==0x00", "FileFormat=DPX", "FileFormatVersion=1.0", "ImageType=3",
    "FillLevel=2", "imr_plugin=GENERIC", nullptr
};
// "XPDS"@0, "V2.0\0"@8
const char* const kDpx3[] = {
    "[0]==0x58", "[1]==0x50", "[2]==0x44", "[3]==0x53", "[8]==0x56", "[9]==0x32", "[10]==0x2E",
    "[11]==0x30", "[12]==0x00", "FileFormat=DPX", "FileFormatVersion=2.0", "ImageType=3",
    "FillLevel=2", "imr_plugin=GENERIC", nullptr
};
// "SDPX"@0
const char* const kDpx4[] = {
    "[0]==0x53", "[1]==0x44", "[2]==0x50", "[3]==0x58", "FileFormat=DPX", "ImageType=3",
    "FillLevel=2", "imr_plugin=GENERIC", nullptr
};
// "XPDS"@0
const char* const kDpx5[] = {
    "[0]==0x58", "[1]==0x50", "[2]==0x44", "[3]==0x53", "FileFormat=DPX", "ImageType=3",
    "FillLevel=2", "imr_plugin=GENERIC", nullptr
};
const char* const* const kDpx[] = {
    kDpx0, kDpx1, kDpx2, kDpx3, kDpx4, kDpx5, nullptr
};

// Kodak Cineon: 0x802A5FD7 in either byte order.
// "\x80*_\xD7"@0
const char* const kCin0[] = {
    "[0]==0x80", "[1]==0x2A", "[2]==0x5F", "[3]==0xD7", "FileFormat=CIN", "ImageType=3",
    "FillLevel=2", "imr_plugin=GENERIC", nullptr
};
// "\xD7_*\x80"@0
const char* const kCin1[] = {
    "[0]==0xD7", "[1]==0x5F", "[2]==0x2A", "[3]==0x80", "FileFormat=CIN", "ImageType=3",
    "FillLevel=2", "imr_plugin=GENERIC", nullptr
};
const char* const* const kCin[] = {
    kCin0, kCin1, nullptr
};

// Fujifilm RAF.
// "FUJIFILMCCD-RAW"@0
const char* const kRaf0[] = {
    "[0]==0x46", "[1]==0x55", "[2]==0x4A", "[3]==0x49", "[4]==0x46", "[5]==0x49", "[6]==0x4C",
    "[7]==0x4D", "[8]==0x43", "[9]==0x43", "[10]==0x44", "[11]==0x2D", "[12]==0x52", "[13]==0x41",
    "[14]==0x57", "FileFormat=RAF", "ImageType=3", "FillLevel=2", "imr_plugin=GENERIC", nullptr
};
const char* const* const kRaf[] = {
    kRaf0, nullptr
};

// Minolta MRW: 0 "MRM".
// "\0MRM"@0
const char* const kMrw0[] = {
    "[0]==0x00", "[1]==0x4D", "[2]==0x52", "[3]==0x4D", "FileFormat=MRW", "ImageType=3",
    "FillLevel=2", "imr_plugin=GENERIC", nullptr
};
const char* const* const kMrw[] = {
    kMrw0, nullptr
};

// Sigma X3F: "FOVb".
// "FOVb"@0
const char* const kX3f0[] = {
    "[0]==0x46", "[1]==0x4F", "[2]==0x56", "[3]==0x62", "FileFormat=X3F", "ImageType=3",
    "FillLevel=2", "imr_plugin=GENERIC", nullptr
};
const char* const* const kX3f[] = {
    kX3f0, nullptr
};

// DjVu: "AT&T" IFF, FORM of type DJVU, DJVM or DJVI.
// "AT&TFORM"@0, "DJV"@12
const char* const kDjvu0[] = {
    "[0]==0x41", "[1]==0x54", "[2]==0x26", "[3]==0x54", "[4]==0x46", "[5]==0x4F", "[6]==0x52",
    "[7]==0x4D", "[12]==0x44", "[13]==0x4A", "[14]==0x56", "FileFormat=DJVU", "ImageType=3",
    "FillLevel=2", "imr_plugin=GENERIC", nullptr
};
const char* const* const kDjvu[] = {
    kDjvu0, nullptr
};

// DICOM file: a 128-byte preamble, then "DICM".
// "DICM"@128
const char* const kDicom0[] = {
    "[128]==0x44", "[129]==0x49", "[130]==0x43", "[131]==0x4D", "FileFormat=DICOM", "ImageType=3",
    "FillLevel=2", "imr_plugin=GENERIC", nullptr
};
const char* const* const kDicom[] = {
    kDicom0, nullptr
};

// Kodak Photo CD image pack: "PCD_IPI" at 2048.
// "PCD_IPI"@2048
const char* const kPcd0[] = {
    "[2048]==0x50", "[2049]==0x43", "[2050]==0x44", "[2051]==0x5F", "[2052]==0x49", "[2053]==0x50",
    "[2054]==0x49", "FileFormat=PCD", "ImageType=3", "FillLevel=2", "imr_plugin=GENERIC", nullptr
};
const char* const* const kPcd[] = {
    kPcd0, nullptr
};

// FlashPix: an OLE2 compound file whose storages carry the FlashPix class
// ids (5661xxxx-C154-11CE-8553-...).
// "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1"@0, find "aVT\xC1\xCE\x11\x85S" from 512
const char* const kFpx0[] = {
    "[0]==0xD0", "[1]==0xCF", "[2]==0x11", "[3]==0xE0", "[4]==0xA1", "[5]==0xB1", "[6]==0x1A",
    "[7]==0xE1", "?512=aVT\xC1\xCE\x11\x85S", "FileFormat=FPX", "ImageType=3", "FillLevel=2",
    "imr_plugin=GENERIC", nullptr
};
const char* const* const kFpx[] = {
    kFpx0, nullptr
};

// BPG: "BPG" 0xFB.
// "BPG\xFB"@0
const char* const kBpg0[] = {
    "[0]==0x42", "[1]==0x50", "[2]==0x47", "[3]==0xFB", "FileFormat=BPG", "ImageType=3",
    "FillLevel=2", "imr_plugin=GENERIC", nullptr
};
const char* const* const kBpg[] = {
    kBpg0, nullptr
};

// FLIF: "FLIF", then the interlace/channels and depth characters.
// "FLIF"@0, [4] in 0x31..0x64, [5] in 0x30..0x32
const char* const kFlif0[] = {
    "[0]==0x46", "[1]==0x4C", "[2]==0x49", "[3]==0x46", "[4]>0x30", "[4]<0x65", "[5]>0x2F",
    "[5]<0x33", "FileFormat=FLIF", "ImageType=3", "FillLevel=2", "imr_plugin=GENERIC", nullptr
};
const char* const* const kFlif[] = {
    kFlif0, nullptr
};

// Progressive Graphics File: "PGF" and a version digit.
// "PGF"@0, [3] in 0x30..0x39
const char* const kPgf0[] = {
    "[0]==0x50", "[1]==0x47", "[2]==0x46", "[3]>0x2F", "[3]<0x3A", "FileFormat=PGF", "ImageType=3",
    "FillLevel=2", "imr_plugin=GENERIC", nullptr
};
const char* const* const kPgf[] = {
    kPgf0, nullptr
};

// Blizzard texture, version in the magic.
// "BLP0"@0
const char* const kBlp0[] = {
    "[0]==0x42", "[1]==0x4C", "[2]==0x50", "[3]==0x30", "FileFormat=BLP", "FileFormatVersion=0",
    "ImageType=3", "FillLevel=2", "imr_plugin=GENERIC", nullptr
};
// "BLP1"@0
const char* const kBlp1[] = {
    "[0]==0x42", "[1]==0x4C", "[2]==0x50", "[3]==0x31", "FileFormat=BLP", "FileFormatVersion=1",
    "ImageType=3", "FillLevel=2", "imr_plugin=GENERIC", nullptr
};
// "BLP2"@0
const char* const kBlp2[] = {
    "[0]==0x42", "[1]==0x4C", "[2]==0x50", "[3]==0x32", "FileFormat=BLP", "FileFormatVersion=2",
    "ImageType=3", "FillLevel=2", "imr_plugin=GENERIC", nullptr
};
const char* const* const kBlp[] = {
    kBlp0, kBlp1, kBlp2, nullptr
};

// QOI: "qoif", 3 or 4 channels, colour space 0 or 1.
// "qoif"@0, [12] in 0x03..0x04, [13]<0x02
const char* const kQoi0[] = {
    "[0]==0x71", "[1]==0x6F", "[2]==0x69", "[3]==0x66", "[12]>0x02", "[12]<0x05", "[13]<0x02",
    "FileFormat=QOI", "ImageType=3", "FillLevel=2", "imr_plugin=QOI", "imr_plugin=GENERIC",
    nullptr
};
const char* const* const kQoi[] = {
    kQoi0, nullptr
};

// DirectDraw Surface: "DDS " and header size 124.
// "DDS |\0\0\0"@0
const char* const kDds0[] = {
    "[0]==0x44", "[1]==0x44", "[2]==0x53", "[3]==0x20", "[4]==0x7C", "[5]==0x00", "[6]==0x00",
    "[7]==0x00", "FileFormat=DDS", "ImageType=3", "FillLevel=2", "imr_plugin=DDS",
    "imr_plugin=GENERIC", nullptr
};
const char* const* const kDds[] = {
    kDds0, nullptr
};

// Khronos texture, version 1 or 2 in the identifier.
// "\xABKTX 11\xBB\r\n\x1A\n"@0
const char* const kKtx0[] = {
    "[0]==0xAB", "[1]==0x4B", "[2]==0x54", "[3]==0x58", "[4]==0x20", "[5]==0x31", "[6]==0x31",
    "[7]==0xBB", "[8]==0x0D", "[9]==0x0A", "[10]==0x1A", "[11]==0x0A", "FileFormat=KTX",
    "FileFormatVersion=1", "ImageType=3", "FillLevel=2", "imr_plugin=GENERIC", nullptr
};
// "\xABKTX 20\xBB\r\n\x1A\n"@0
const char* const kKtx1[] = {
    "[0]==0xAB", "[1]==0x4B", "[2]==0x54", "[3]==0x58", "[4]==0x20", "[5]==0x32", "[6]==0x30",
    "[7]==0xBB", "[8]==0x0D", "[9]==0x0A", "[10]==0x1A", "[11]==0x0A", "FileFormat=KTX",
    "FileFormatVersion=2", "ImageType=3", "FillLevel=2", "imr_plugin=GENERIC", nullptr
};
const char* const* const kKtx[] = {
    kKtx0, kKtx1, nullptr
};

// Apple icon family: "icns".
// "icns"@0
const char* const kIcns0[] = {
    "[0]==0x69", "[1]==0x63", "[2]==0x6E", "[3]==0x73", "FileFormat=ICNS", "ImageType=3",
    "FillLevel=2", "imr_plugin=ICO", "imr_plugin=GENERIC", nullptr
};
const char* const* const kIcns[] = {
    kIcns0, nullptr
};

// Sun raster.
// "Y\xA6j\x95"@0
const char* const kSunras0[] = {
    "[0]==0x59", "[1]==0xA6", "[2]==0x6A", "[3]==0x95", "FileFormat=SUNRAS", "ImageType=3",
    "FillLevel=2", "imr_plugin=GENERIC", nullptr
};
const char* const* const kSunras[] = {
    kSunras0, nullptr
};

// JPEG XR / HD Photo: "II" 0xBC 1.
// "II\xBC\x01"@0
const char* const kJxr0[] = {
    "[0]==0x49", "[1]==0x49", "[2]==0xBC", "[3]==0x01", "FileFormat=JXR", "ImageType=3",
    "FillLevel=2", "imr_plugin=GENERIC", nullptr
};
const char* const* const kJxr[] = {
    kJxr0, nullptr
};

// OpenRaster: ZIP whose first member is the stored mimetype.
// "PK\x03\x04"@0, "mimetypeimage/openraster"@30
const char* const kOra0[] = {
    "[0]==0x50", "[1]==0x4B", "[2]==0x03", "[3]==0x04", "[30]==0x6D", "[31]==0x69", "[32]==0x6D",
    "[33]==0x65", "[34]==0x74", "[35]==0x79", "[36]==0x70", "[37]==0x65", "[38]==0x69",
    "[39]==0x6D", "[40]==0x61", "[41]==0x67", "[42]==0x65", "[43]==0x2F", "[44]==0x6F",
    "[45]==0x70", "[46]==0x65", "[47]==0x6E", "[48]==0x72", "[49]==0x61", "[50]==0x73",
    "[51]==0x74", "[52]==0x65", "[53]==0x72", "FileFormat=ORA", "ImageType=3", "FillLevel=2",
    "imr_plugin=GENERIC", nullptr
};
const char* const* const kOra[] = {
    kOra0, nullptr
};

// Windows metafile: placeable header key, or a plain header (type 1 or 2,
// size 9 words, version 0x0100 or 0x0300).
// "\xD7\xCD\xC6\x9A"@0
const char* const kWmf0[] = {
    "[0]==0xD7", "[1]==0xCD", "[2]==0xC6", "[3]==0x9A", "FileFormat=WMF", "ImageType=3",
    "FillLevel=2", "imr_plugin=GENERIC", nullptr
};
// "\x01\0\x09\0\0\x01"@0
const char* const kWmf1[] = {
    "[0]==0x01", "[1]==0x00", "[2]==0x09", "[3]==0x00", "[4]==0x00", "[5]==0x01", "FileFormat=WMF",
    "ImageType=3", "FillLevel=2", "imr_plugin=GENERIC", nullptr
};
// "\x01\0\x09\0\0\x03"@0
const char* const kWmf2[] = {
    "[0]==0x01", "[1]==0x00", "[2]==0x09", "[3]==0x00", "[4]==0x00", "[5]==0x03", "FileFormat=WMF",
    "ImageType=3", "FillLevel=2", "imr_plugin=GENERIC", nullptr
};
// "\x02\0\x09\0\0\x01"@0
const char* const kWmf3[] = {
    "[0]==0x02", "[1]==0x00", "[2]==0x09", "[3]==0x00", "[4]==0x00", "[5]==0x01", "FileFormat=WMF",
    "ImageType=3", "FillLevel=2", "imr_plugin=GENERIC", nullptr
};
// "\x02\0\x09\0\0\x03"@0
const char* const kWmf4[] = {
    "[0]==0x02", "[1]==0x00", "[2]==0x09", "[3]==0x00", "[4]==0x00", "[5]==0x03", "FileFormat=WMF",
    "ImageType=3", "FillLevel=2", "imr_plugin=GENERIC", nullptr
};
const char* const* const kWmf[] = {
    kWmf0, kWmf1, kWmf2, kWmf3, kWmf4, nullptr
};

// Enhanced metafile: EMR_HEADER record with " EMF" at 40.
// "\x01\0\0\0"@0, " EMF"@40
const char* const kEmf0[] = {
    "[0]==0x01", "[1]==0x00", "[2]==0x00", "[3]==0x00", "[40]==0x20", "[41]==0x45", "[42]==0x4D",
    "[43]==0x46", "FileFormat=EMF", "ImageType=3", "FillLevel=2", "imr_plugin=GENERIC", nullptr
};
const char* const* const kEmf[] = {
    kEmf0, nullptr
};

// FITS: SIMPLE = T in the first card.
// "SIMPLE  ="@0, [29]=0x54
const char* const kFits0[] = {
    "[0]==0x53", "[1]==0x49", "[2]==0x4D", "[3]==0x50", "[4]==0x4C", "[5]==0x45", "[6]==0x20",
    "[7]==0x20", "[8]==0x3D", "[29]==0x54", "FileFormat=FITS", "ImageType=3", "FillLevel=2",
    "imr_plugin=GENERIC", nullptr
};
const char* const* const kFits[] = {
    kFits0, nullptr
};

// X pixmap: the "/* XPM */" comment, or XPM2.
// "/* XPM */"@0
const char* const kXpm0[] = {
    "[0]==0x2F", "[1]==0x2A", "[2]==0x20", "[3]==0x58", "[4]==0x50", "[5]==0x4D", "[6]==0x20",
    "[7]==0x2A", "[8]==0x2F", "FileFormat=XPM", "ImageType=3", "FillLevel=2", "imr_plugin=GENERIC",
    nullptr
};
// "! XPM2"@0
const char* const kXpm1[] = {
    "[0]==0x21", "[1]==0x20", "[2]==0x58", "[3]==0x50", "[4]==0x4D", "[5]==0x32", "FileFormat=XPM",
    "ImageType=3", "FillLevel=2", "imr_plugin=GENERIC", nullptr
};
const char* const* const kXpm[] = {
    kXpm0, kXpm1, nullptr
};

// BMP: "BM" and a known DIB header size (OS/2 1 and 2, Windows 3, the
// Adobe variants, V4, V5).
// "BM"@0, "\x0C\0\0\0"@14
const char* const kBmp0[] = {
    "[0]==0x42", "[1]==0x4D", "[14]==0x0C", "[15]==0x00", "[16]==0x00", "[17]==0x00",
    "FileFormat=BMP", "ImageType=3", "FillLevel=2", "imr_plugin=BMP", "imr_plugin=GENERIC",
    nullptr
};
// "BM"@0, "\x10\0\0\0"@14
const char* const kBmp1[] = {
    "[0]==0x42", "[1]==0x4D", "[14]==0x10", "[15]==0x00", "[16]==0x00", "[17]==0x00",
    "FileFormat=BMP", "ImageType=3", "FillLevel=2", "imr_plugin=BMP", "imr_plugin=GENERIC",
    nullptr
};
// "BM"@0, "(\0\0\0"@14
const char* const kBmp2[] = {
    "[0]==0x42", "[1]==0x4D", "[14]==0x28", "[15]==0x00", "[16]==0x00", "[17]==0x00",
    "FileFormat=BMP", "ImageType=3", "FillLevel=2", "imr_plugin=BMP", "imr_plugin=GENERIC",
    nullptr
};
// "BM"@0, "4\0\0\0"@14
const char* const kBmp3[] = {
    "[0]==0x42", "[1]==0x4D", "[14]==0x34", "[15]==0x00", "[16]==0x00", "[17]==0x00",
    "FileFormat=BMP", "ImageType=3", "FillLevel=2", "imr_plugin=BMP", "imr_plugin=GENERIC",
    nullptr
};
// "BM"@0, "8\0\0\0"@14
const char* const kBmp4[] = {
    "[0]==0x42", "[1]==0x4D", "[14]==0x38", "[15]==0x00", "[16]==0x00", "[17]==0x00",
    "FileFormat=BMP", "ImageType=3", "FillLevel=2", "imr_plugin=BMP", "imr_plugin=GENERIC",
    nullptr
};
// "BM"@0, "@\0\0\0"@14
const char* const kBmp5[] = {
    "[0]==0x42", "[1]==0x4D", "[14]==0x40", "[15]==0x00", "[16]==0x00", "[17]==0x00",
    "FileFormat=BMP", "ImageType=3", "FillLevel=2", "imr_plugin=BMP", "imr_plugin=GENERIC",
    nullptr
};
// "BM"@0, "l\0\0\0"@14
const char* const kBmp6[] = {
    "[0]==0x42", "[1]==0x4D", "[14]==0x6C", "[15]==0x00", "[16]==0x00", "[17]==0x00",
    "FileFormat=BMP", "ImageType=3", "FillLevel=2", "imr_plugin=BMP", "imr_plugin=GENERIC",
    nullptr
};
// "BM"@0, "|\0\0\0"@14
const char* const kBmp7[] = {
    "[0]==0x42", "[1]==0x4D", "[14]==0x7C", "[15]==0x00", "[16]==0x00", "[17]==0x00",
    "FileFormat=BMP", "ImageType=3", "FillLevel=2", "imr_plugin=BMP", "imr_plugin=GENERIC",
    nullptr
};
const char* const* const kBmp[] = {
    kBmp0, kBmp1, kBmp2, kBmp3, kBmp4, kBmp5, kBmp6, kBmp7, nullptr
};

// Icon directory: reserved 0, type 1, a count below 256, and a first entry
// with reserved byte 0 (or 255), 0 or 1 planes and a sane size and offset.
// "\0\0\x01\0"@0, [4]>0x00, [5]==0, [17]==0, [21]==0, [9]==0, [10]<0x02, [11]==0
const char* const kIco0[] = {
    "[0]==0x00", "[1]==0x00", "[2]==0x01", "[3]==0x00", "[4]>0x00", "[5]==0", "[17]==0", "[21]==0",
    "[9]==0", "[10]<0x02", "[11]==0", "FileFormat=ICO", "ImageType=3", "FillLevel=2",
    "imr_plugin=ICO", "imr_plugin=GENERIC", nullptr
};
// "\0\0\x01\0"@0, [4]>0x00, [5]==0, [17]==0, [21]==0, [9]=0xFF, [10]<0x02, [11]==0
const char* const kIco1[] = {
    "[0]==0x00", "[1]==0x00", "[2]==0x01", "[3]==0x00", "[4]>0x00", "[5]==0", "[17]==0", "[21]==0",
    "[9]==0xFF", "[10]<0x02", "[11]==0", "FileFormat=ICO", "ImageType=3", "FillLevel=2",
    "imr_plugin=ICO", "imr_plugin=GENERIC", nullptr
};
const char* const* const kIco[] = {
    kIco0, kIco1, nullptr
};

// Cursor directory: as ICO with type 2 (planes hold the hot spot).
// "\0\0\x02\0"@0, [4]>0x00, [5]==0, [17]==0, [21]==0, [9]==0
const char* const kCur0[] = {
    "[0]==0x00", "[1]==0x00", "[2]==0x02", "[3]==0x00", "[4]>0x00", "[5]==0", "[17]==0", "[21]==0",
    "[9]==0", "FileFormat=CUR", "ImageType=3", "FillLevel=2", "imr_plugin=ICO",
    "imr_plugin=GENERIC", nullptr
};
const char* const* const kCur[] = {
    kCur0, nullptr
};

// QuickDraw PICT, with the 512-byte file header or without it: after the
// picture size and frame (10 bytes), version 2 (0x0011 0x02FF, the 0x0C00
// header opcode, header version -1 or -2) or version 1 (0x1101 and a
// rectangular clipRgn, opcode 1 of size 10).  Five to eight exact bytes at
// a fixed place, so it is safe before the weak formats.
// "\0\x11\x02\xFF\x0C\0\xFF\xFE"@522
const char* const kPict0[] = {
    "[522]==0x00", "[523]==0x11", "[524]==0x02", "[525]==0xFF", "[526]==0x0C", "[527]==0x00",
    "[528]==0xFF", "[529]==0xFE", "FileFormat=PICT", "FileFormatVersion=2", "ImageType=3",
    "FillLevel=2", "imr_plugin=PICT", "imr_plugin=GENERIC", nullptr
};
// "\0\x11\x02\xFF\x0C\0\xFF\xFF"@522
const char* const kPict1[] = {
    "[522]==0x00", "[523]==0x11", "[524]==0x02", "[525]==0xFF", "[526]==0x0C", "[527]==0x00",
    "[528]==0xFF", "[529]==0xFF", "FileFormat=PICT", "FileFormatVersion=2", "ImageType=3",
    "FillLevel=2", "imr_plugin=PICT", "imr_plugin=GENERIC", nullptr
};
// "\x11\x01\x01\0\n"@522
const char* const kPict2[] = {
    "[522]==0x11", "[523]==0x01", "[524]==0x01", "[525]==0x00", "[526]==0x0A", "FileFormat=PICT",
    "FileFormatVersion=1", "ImageType=3", "FillLevel=2", "imr_plugin=PICT", "imr_plugin=GENERIC",
    nullptr
};
// "\0\x11\x02\xFF\x0C\0\xFF\xFE"@10
const char* const kPict3[] = {
    "[10]==0x00", "[11]==0x11", "[12]==0x02", "[13]==0xFF", "[14]==0x0C", "[15]==0x00",
    "[16]==0xFF", "[17]==0xFE", "FileFormat=PICT", "FileFormatVersion=2", "ImageType=3",
    "FillLevel=2", "imr_plugin=PICT", "imr_plugin=GENERIC", nullptr
};
// "\0\x11\x02\xFF\x0C\0\xFF\xFF"@10
const char* const kPict4[] = {
    "[10]==0x00", "[11]==0x11", "[12]==0x02", "[13]==0xFF", "[14]==0x0C", "[15]==0x00",
    "[16]==0xFF", "[17]==0xFF", "FileFormat=PICT", "FileFormatVersion=2", "ImageType=3",
    "FillLevel=2", "imr_plugin=PICT", "imr_plugin=GENERIC", nullptr
};
// "\x11\x01\x01\0\n"@10
const char* const kPict5[] = {
    "[10]==0x11", "[11]==0x01", "[12]==0x01", "[13]==0x00", "[14]==0x0A", "FileFormat=PICT",
    "FileFormatVersion=1", "ImageType=3", "FillLevel=2", "imr_plugin=PICT", "imr_plugin=GENERIC",
    nullptr
};
const char* const* const kPict[] = {
    kPict0, kPict1, kPict2, kPict3, kPict4, kPict5, nullptr
};

// Netpbm PAM: "P7" newline and the ENDHDR line.
// "P7\n"@0, find "ENDHDR" from 3
const char* const kPam0[] = {
    "[0]==0x50", "[1]==0x37", "[2]==0x0A", "?3=ENDHDR", "FileFormat=PAM", "ImageType=3",
    "FillLevel=2", "imr_plugin=PNM", "imr_plugin=GENERIC", nullptr
};
const char* const* const kPam[] = {
    kPam0, nullptr
};

// Portable float map: "PF" (colour) or "Pf" (grey), newline, width digits.
// The element at 63 only makes the length guard ask for 64 bytes: the
// smallest real maps are larger, header-only stubs are not taken.
// "PF\n"@0, [3] in 0x30..0x39, [63]&0x00==0
const char* const kPfm0[] = {
    "[0]==0x50", "[1]==0x46", "[2]==0x0A", "[3]>0x2F", "[3]<0x3A", "[63]&0x00==0",
    "FileFormat=PFM", "ImageType=3", "FillLevel=2", "imr_plugin=PNM", "imr_plugin=GENERIC",
    nullptr
};
// "Pf\n"@0, [3] in 0x30..0x39, [63]&0x00==0
const char* const kPfm1[] = {
    "[0]==0x50", "[1]==0x66", "[2]==0x0A", "[3]>0x2F", "[3]<0x3A", "[63]&0x00==0",
    "FileFormat=PFM", "ImageType=3", "FillLevel=2", "imr_plugin=PNM", "imr_plugin=GENERIC",
    nullptr
};
const char* const* const kPfm[] = {
    kPfm0, kPfm1, nullptr
};

// Netpbm PBM: "P1" or "P4", a blank, then a comment, a blank, or the width
// (a digit followed by a digit or a blank).
// "P1"@0, [2] in 0x09..0x20, [3] in 0x30..0x39, [4] in 0x30..0x39
const char* const kPbm0[] = {
    "[0]==0x50", "[1]==0x31", "[2]>0x08", "[2]<0x21", "[3]>0x2F", "[3]<0x3A", "[4]>0x2F",
    "[4]<0x3A", "FileFormat=PBM", "ImageType=3", "FillLevel=2", "imr_plugin=PNM",
    "imr_plugin=GENERIC", nullptr
};
// "P1"@0, [2] in 0x09..0x20, [3] in 0x30..0x39, [4] in 0x09..0x20
const char* const kPbm1[] = {
    "[0]==0x50", "[1]==0x31", "[2]>0x08", "[2]<0x21", "[3]>0x2F", "[3]<0x3A", "[4]>0x08",
    "[4]<0x21", "FileFormat=PBM", "ImageType=3", "FillLevel=2", "imr_plugin=PNM",
    "imr_plugin=GENERIC", nullptr
};
// "P1"@0, [2] in 0x09..0x20, [3]=0x23
const char* const kPbm2[] = {
    "[0]==0x50", "[1]==0x31", "[2]>0x08", "[2]<0x21", "[3]==0x23", "FileFormat=PBM", "ImageType=3",
    "FillLevel=2", "imr_plugin=PNM", "imr_plugin=GENERIC", nullptr
};
// "P1"@0, [2] in 0x09..0x20, [3] in 0x09..0x20
const char* const kPbm3[] = {
    "[0]==0x50", "[1]==0x31", "[2]>0x08", "[2]<0x21", "[3]>0x08", "[3]<0x21", "FileFormat=PBM",
    "ImageType=3", "FillLevel=2", "imr_plugin=PNM", "imr_plugin=GENERIC", nullptr
};
// "P4"@0, [2] in 0x09..0x20, [3] in 0x30..0x39, [4] in 0x30..0x39
const char* const kPbm4[] = {
    "[0]==0x50", "[1]==0x34", "[2]>0x08", "[2]<0x21", "[3]>0x2F", "[3]<0x3A", "[4]>0x2F",
    "[4]<0x3A", "FileFormat=PBM", "ImageType=3", "FillLevel=2", "imr_plugin=PNM",
    "imr_plugin=GENERIC", nullptr
};
// "P4"@0, [2] in 0x09..0x20, [3] in 0x30..0x39, [4] in 0x09..0x20
const char* const kPbm5[] = {
    "[0]==0x50", "[1]==0x34", "[2]>0x08", "[2]<0x21", "[3]>0x2F", "[3]<0x3A", "[4]>0x08",
    "[4]<0x21", "FileFormat=PBM", "ImageType=3", "FillLevel=2", "imr_plugin=PNM",
    "imr_plugin=GENERIC", nullptr
};
// "P4"@0, [2] in 0x09..0x20, [3]=0x23
const char* const kPbm6[] = {
    "[0]==0x50", "[1]==0x34", "[2]>0x08", "[2]<0x21", "[3]==0x23", "FileFormat=PBM", "ImageType=3",
    "FillLevel=2", "imr_plugin=PNM", "imr_plugin=GENERIC", nullptr
};
// "P4"@0, [2] in 0x09..0x20, [3] in 0x09..0x20
const char* const kPbm7[] = {
    "[0]==0x50", "[1]==0x34", "[2]>0x08", "[2]<0x21", "[3]>0x08", "[3]<0x21", "FileFormat=PBM",
    "ImageType=3", "FillLevel=2", "imr_plugin=PNM", "imr_plugin=GENERIC", nullptr
};
const char* const* const kPbm[] = {
    kPbm0, kPbm1, kPbm2, kPbm3, kPbm4, kPbm5, kPbm6, kPbm7, nullptr
};

// Netpbm PGM: "P2" or "P5", a blank, then a comment, a blank, or the width
// (a digit followed by a digit or a blank).
// "P2"@0, [2] in 0x09..0x20, [3] in 0x30..0x39, [4] in 0x30..0x39
const char* const kPgm0[] = {
    "[0]==0x50", "[1]==0x32", "[2]>0x08", "[2]<0x21", "[3]>0x2F", "[3]<0x3A", "[4]>0x2F",
    "[4]<0x3A", "FileFormat=PGM", "ImageType=3", "FillLevel=2", "imr_plugin=PNM",
    "imr_plugin=GENERIC", nullptr
};
// "P2"@0, [2] in 0x09..0x20, [3] in 0x30..0x39, [4] in 0x09..0x20
const char* const kPgm1[] = {
    "[0]==0x50", "[1]==0x32", "[2]>0x08", "[2]<0x21", "[3]>0x2F", "[3]<0x3A", "[4]>0x08",
    "[4]<0x21", "FileFormat=PGM", "ImageType=3", "FillLevel=2", "imr_plugin=PNM",
    "imr_plugin=GENERIC", nullptr
};
// "P2"@0, [2] in 0x09..0x20, [3]=0x23
const char* const kPgm2[] = {
    "[0]==0x50", "[1]==0x32", "[2]>0x08", "[2]<0x21", "[3]==0x23", "FileFormat=PGM", "ImageType=3",
    "FillLevel=2", "imr_plugin=PNM", "imr_plugin=GENERIC", nullptr
};
// "P2"@0, [2] in 0x09..0x20, [3] in 0x09..0x20
const char* const kPgm3[] = {
    "[0]==0x50", "[1]==0x32", "[2]>0x08", "[2]<0x21", "[3]>0x08", "[3]<0x21", "FileFormat=PGM",
    "ImageType=3", "FillLevel=2", "imr_plugin=PNM", "imr_plugin=GENERIC", nullptr
};
// "P5"@0, [2] in 0x09..0x20, [3] in 0x30..0x39, [4] in 0x30..0x39
const char* const kPgm4[] = {
    "[0]==0x50", "[1]==0x35", "[2]>0x08", "[2]<0x21", "[3]>0x2F", "[3]<0x3A", "[4]>0x2F",
    "[4]<0x3A", "FileFormat=PGM", "ImageType=3", "FillLevel=2", "imr_plugin=PNM",
    "imr_plugin=GENERIC", nullptr
};
// "P5"@0, [2] in 0x09..0x20, [3] in 0x30..0x39, [4] in 0x09..0x20
const char* const kPgm5[] = {
    "[0]==0x50", "[1]==0x35", "[2]>0x08", "[2]<0x21", "[3]>0x2F", "[3]<0x3A", "[4]>0x08",
    "[4]<0x21", "FileFormat=PGM", "ImageType=3", "FillLevel=2", "imr_plugin=PNM",
    "imr_plugin=GENERIC", nullptr
};
// "P5"@0, [2] in 0x09..0x20, [3]=0x23
const char* const kPgm6[] = {
    "[0]==0x50", "[1]==0x35", "[2]>0x08", "[2]<0x21", "[3]==0x23", "FileFormat=PGM", "ImageType=3",
    "FillLevel=2", "imr_plugin=PNM", "imr_plugin=GENERIC", nullptr
};
// "P5"@0, [2] in 0x09..0x20, [3] in 0x09..0x20
const char* const kPgm7[] = {
    "[0]==0x50", "[1]==0x35", "[2]>0x08", "[2]<0x21", "[3]>0x08", "[3]<0x21", "FileFormat=PGM",
    "ImageType=3", "FillLevel=2", "imr_plugin=PNM", "imr_plugin=GENERIC", nullptr
};
const char* const* const kPgm[] = {
    kPgm0, kPgm1, kPgm2, kPgm3, kPgm4, kPgm5, kPgm6, kPgm7, nullptr
};

// Netpbm PPM: "P3" or "P6", a blank, then a comment, a blank, or the width
// (a digit followed by a digit or a blank).
// "P3"@0, [2] in 0x09..0x20, [3] in 0x30..0x39, [4] in 0x30..0x39
const char* const kPpm0[] = {
    "[0]==0x50", "[1]==0x33", "[2]>0x08", "[2]<0x21", "[3]>0x2F", "[3]<0x3A", "[4]>0x2F",
    "[4]<0x3A", "FileFormat=PPM", "ImageType=3", "FillLevel=2", "imr_plugin=PNM",
    "imr_plugin=GENERIC", nullptr
};
// "P3"@0, [2] in 0x09..0x20, [3] in 0x30..0x39, [4] in 0x09..0x20
const char* const kPpm1[] = {
    "[0]==0x50", "[1]==0x33", "[2]>0x08", "[2]<0x21", "[3]>0x2F", "[3]<0x3A", "[4]>0x08",
    "[4]<0x21", "FileFormat=PPM", "ImageType=3", "FillLevel=2", "imr_plugin=PNM",
    "imr_plugin=GENERIC", nullptr
};
// "P3"@0, [2] in 0x09..0x20, [3]=0x23
const char* const kPpm2[] = {
    "[0]==0x50", "[1]==0x33", "[2]>0x08", "[2]<0x21", "[3]==0x23", "FileFormat=PPM", "ImageType=3",
    "FillLevel=2", "imr_plugin=PNM", "imr_plugin=GENERIC", nullptr
};
// "P3"@0, [2] in 0x09..0x20, [3] in 0x09..0x20
const char* const kPpm3[] = {
    "[0]==0x50", "[1]==0x33", "[2]>0x08", "[2]<0x21", "[3]>0x08", "[3]<0x21", "FileFormat=PPM",
    "ImageType=3", "FillLevel=2", "imr_plugin=PNM", "imr_plugin=GENERIC", nullptr
};
// "P6"@0, [2] in 0x09..0x20, [3] in 0x30..0x39, [4] in 0x30..0x39
const char* const kPpm4[] = {
    "[0]==0x50", "[1]==0x36", "[2]>0x08", "[2]<0x21", "[3]>0x2F", "[3]<0x3A", "[4]>0x2F",
    "[4]<0x3A", "FileFormat=PPM", "ImageType=3", "FillLevel=2", "imr_plugin=PNM",
    "imr_plugin=GENERIC", nullptr
};
// "P6"@0, [2] in 0x09..0x20, [3] in 0x30..0x39, [4] in 0x09..0x20
const char* const kPpm5[] = {
    "[0]==0x50", "[1]==0x36", "[2]>0x08", "[2]<0x21", "[3]>0x2F", "[3]<0x3A", "[4]>0x08",
    "[4]<0x21", "FileFormat=PPM", "ImageType=3", "FillLevel=2", "imr_plugin=PNM",
    "imr_plugin=GENERIC", nullptr
};
// "P6"@0, [2] in 0x09..0x20, [3]=0x23
const char* const kPpm6[] = {
    "[0]==0x50", "[1]==0x36", "[2]>0x08", "[2]<0x21", "[3]==0x23", "FileFormat=PPM", "ImageType=3",
    "FillLevel=2", "imr_plugin=PNM", "imr_plugin=GENERIC", nullptr
};
// "P6"@0, [2] in 0x09..0x20, [3] in 0x09..0x20
const char* const kPpm7[] = {
    "[0]==0x50", "[1]==0x36", "[2]>0x08", "[2]<0x21", "[3]>0x08", "[3]<0x21", "FileFormat=PPM",
    "ImageType=3", "FillLevel=2", "imr_plugin=PNM", "imr_plugin=GENERIC", nullptr
};
const char* const* const kPpm[] = {
    kPpm0, kPpm1, kPpm2, kPpm3, kPpm4, kPpm5, kPpm6, kPpm7, nullptr
};

// Multi-page PCX: magic 987654321.  Before PCX.
// "\xB1h\xDE:"@0
const char* const kDcx0[] = {
    "[0]==0xB1", "[1]==0x68", "[2]==0xDE", "[3]==0x3A", "FileFormat=DCX", "ImageType=3",
    "FillLevel=2", "imr_plugin=PCX", "imr_plugin=GENERIC", nullptr
};
const char* const* const kDcx[] = {
    kDcx0, nullptr
};

// SVG: the root element is <svg>: the file starts with it, with a DOCTYPE
// svg, or the svg tag directly follows the XML declaration (or a comment).
// XHTML pages with inline SVG have <html> there instead.
// "<svg"@0
const char* const kSvg0[] = {
    "[0]==0x3C", "[1]==0x73", "[2]==0x76", "[3]==0x67", "FileFormat=SVG", "ImageType=3",
    "FillLevel=2", "imr_plugin=GENERIC", nullptr
};
// "\xEF\xBB\xBF<svg"@0
const char* const kSvg1[] = {
    "[0]==0xEF", "[1]==0xBB", "[2]==0xBF", "[3]==0x3C", "[4]==0x73", "[5]==0x76", "[6]==0x67",
    "FileFormat=SVG", "ImageType=3", "FillLevel=2", "imr_plugin=GENERIC", nullptr
};
// "<!DOCTYPE svg"@0
const char* const kSvg2[] = {
    "[0]==0x3C", "[1]==0x21", "[2]==0x44", "[3]==0x4F", "[4]==0x43", "[5]==0x54", "[6]==0x59",
    "[7]==0x50", "[8]==0x45", "[9]==0x20", "[10]==0x73", "[11]==0x76", "[12]==0x67",
    "FileFormat=SVG", "ImageType=3", "FillLevel=2", "imr_plugin=GENERIC", nullptr
};
// "<?xml"@0, find "<!DOCTYPE svg" from 5
const char* const kSvg3[] = {
    "[0]==0x3C", "[1]==0x3F", "[2]==0x78", "[3]==0x6D", "[4]==0x6C", "?5=<!DOCTYPE svg",
    "FileFormat=SVG", "ImageType=3", "FillLevel=2", "imr_plugin=GENERIC", nullptr
};
// "<?xml"@0, find "?><svg" from 5
const char* const kSvg4[] = {
    "[0]==0x3C", "[1]==0x3F", "[2]==0x78", "[3]==0x6D", "[4]==0x6C", "?5=?><svg", "FileFormat=SVG",
    "ImageType=3", "FillLevel=2", "imr_plugin=GENERIC", nullptr
};
// "<?xml"@0, find "?>\n<svg" from 5
const char* const kSvg5[] = {
    "[0]==0x3C", "[1]==0x3F", "[2]==0x78", "[3]==0x6D", "[4]==0x6C", "?5=?>\n<svg",
    "FileFormat=SVG", "ImageType=3", "FillLevel=2", "imr_plugin=GENERIC", nullptr
};
// "<?xml"@0, find "?>\r\n<svg" from 5
const char* const kSvg6[] = {
    "[0]==0x3C", "[1]==0x3F", "[2]==0x78", "[3]==0x6D", "[4]==0x6C", "?5=?>\r\n<svg",
    "FileFormat=SVG", "ImageType=3", "FillLevel=2", "imr_plugin=GENERIC", nullptr
};
// "<?xml"@0, find "?>\r<svg" from 5
const char* const kSvg7[] = {
    "[0]==0x3C", "[1]==0x3F", "[2]==0x78", "[3]==0x6D", "[4]==0x6C", "?5=?>\r<svg",
    "FileFormat=SVG", "ImageType=3", "FillLevel=2", "imr_plugin=GENERIC", nullptr
};
// "<?xml"@0, find "?> \n<svg" from 5
const char* const kSvg8[] = {
    "[0]==0x3C", "[1]==0x3F", "[2]==0x78", "[3]==0x6D", "[4]==0x6C", "?5=?> \n<svg",
    "FileFormat=SVG", "ImageType=3", "FillLevel=2", "imr_plugin=GENERIC", nullptr
};
// "<?xml"@0, find "?> \r\n<svg" from 5
const char* const kSvg9[] = {
    "[0]==0x3C", "[1]==0x3F", "[2]==0x78", "[3]==0x6D", "[4]==0x6C", "?5=?> \r\n<svg",
    "FileFormat=SVG", "ImageType=3", "FillLevel=2", "imr_plugin=GENERIC", nullptr
};
// "<?xml"@0, find "?>\n\n<svg" from 5
const char* const kSvg10[] = {
    "[0]==0x3C", "[1]==0x3F", "[2]==0x78", "[3]==0x6D", "[4]==0x6C", "?5=?>\n\n<svg",
    "FileFormat=SVG", "ImageType=3", "FillLevel=2", "imr_plugin=GENERIC", nullptr
};
// "<?xml"@0, find "?>\r\n\r\n<svg" from 5
const char* const kSvg11[] = {
    "[0]==0x3C", "[1]==0x3F", "[2]==0x78", "[3]==0x6D", "[4]==0x6C", "?5=?>\r\n\r\n<svg",
    "FileFormat=SVG", "ImageType=3", "FillLevel=2", "imr_plugin=GENERIC", nullptr
};
// "<?xml"@0, find "--><svg" from 5
const char* const kSvg12[] = {
    "[0]==0x3C", "[1]==0x3F", "[2]==0x78", "[3]==0x6D", "[4]==0x6C", "?5=--><svg",
    "FileFormat=SVG", "ImageType=3", "FillLevel=2", "imr_plugin=GENERIC", nullptr
};
// "<?xml"@0, find "-->\n<svg" from 5
const char* const kSvg13[] = {
    "[0]==0x3C", "[1]==0x3F", "[2]==0x78", "[3]==0x6D", "[4]==0x6C", "?5=-->\n<svg",
    "FileFormat=SVG", "ImageType=3", "FillLevel=2", "imr_plugin=GENERIC", nullptr
};
// "<?xml"@0, find "-->\r\n<svg" from 5
const char* const kSvg14[] = {
    "[0]==0x3C", "[1]==0x3F", "[2]==0x78", "[3]==0x6D", "[4]==0x6C", "?5=-->\r\n<svg",
    "FileFormat=SVG", "ImageType=3", "FillLevel=2", "imr_plugin=GENERIC", nullptr
};
// "<?xml"@0, find "-->\r<svg" from 5
const char* const kSvg15[] = {
    "[0]==0x3C", "[1]==0x3F", "[2]==0x78", "[3]==0x6D", "[4]==0x6C", "?5=-->\r<svg",
    "FileFormat=SVG", "ImageType=3", "FillLevel=2", "imr_plugin=GENERIC", nullptr
};
// "<?xml"@0, find "--> \n<svg" from 5
const char* const kSvg16[] = {
    "[0]==0x3C", "[1]==0x3F", "[2]==0x78", "[3]==0x6D", "[4]==0x6C", "?5=--> \n<svg",
    "FileFormat=SVG", "ImageType=3", "FillLevel=2", "imr_plugin=GENERIC", nullptr
};
// "<?xml"@0, find "--> \r\n<svg" from 5
const char* const kSvg17[] = {
    "[0]==0x3C", "[1]==0x3F", "[2]==0x78", "[3]==0x6D", "[4]==0x6C", "?5=--> \r\n<svg",
    "FileFormat=SVG", "ImageType=3", "FillLevel=2", "imr_plugin=GENERIC", nullptr
};
// "<?xml"@0, find "-->\n\n<svg" from 5
const char* const kSvg18[] = {
    "[0]==0x3C", "[1]==0x3F", "[2]==0x78", "[3]==0x6D", "[4]==0x6C", "?5=-->\n\n<svg",
    "FileFormat=SVG", "ImageType=3", "FillLevel=2", "imr_plugin=GENERIC", nullptr
};
// "<?xml"@0, find "-->\r\n\r\n<svg" from 5
const char* const kSvg19[] = {
    "[0]==0x3C", "[1]==0x3F", "[2]==0x78", "[3]==0x6D", "[4]==0x6C", "?5=-->\r\n\r\n<svg",
    "FileFormat=SVG", "ImageType=3", "FillLevel=2", "imr_plugin=GENERIC", nullptr
};
// "\xEF\xBB\xBF<?xml"@0, find "<!DOCTYPE svg" from 8
const char* const kSvg20[] = {
    "[0]==0xEF", "[1]==0xBB", "[2]==0xBF", "[3]==0x3C", "[4]==0x3F", "[5]==0x78", "[6]==0x6D",
    "[7]==0x6C", "?8=<!DOCTYPE svg", "FileFormat=SVG", "ImageType=3", "FillLevel=2",
    "imr_plugin=GENERIC", nullptr
};
// "\xEF\xBB\xBF<?xml"@0, find "?><svg" from 8
const char* const kSvg21[] = {
    "[0]==0xEF", "[1]==0xBB", "[2]==0xBF", "[3]==0x3C", "[4]==0x3F", "[5]==0x78", "[6]==0x6D",
    "[7]==0x6C", "?8=?><svg", "FileFormat=SVG", "ImageType=3", "FillLevel=2", "imr_plugin=GENERIC",
    nullptr
};
// "\xEF\xBB\xBF<?xml"@0, find "?>\n<svg" from 8
const char* const kSvg22[] = {
    "[0]==0xEF", "[1]==0xBB", "[2]==0xBF", "[3]==0x3C", "[4]==0x3F", "[5]==0x78", "[6]==0x6D",
    "[7]==0x6C", "?8=?>\n<svg", "FileFormat=SVG", "ImageType=3", "FillLevel=2",
    "imr_plugin=GENERIC", nullptr
};
// "\xEF\xBB\xBF<?xml"@0, find "?>\r\n<svg" from 8
const char* const kSvg23[] = {
    "[0]==0xEF", "[1]==0xBB", "[2]==0xBF", "[3]==0x3C", "[4]==0x3F", "[5]==0x78", "[6]==0x6D",
    "[7]==0x6C", "?8=?>\r\n<svg", "FileFormat=SVG", "ImageType=3", "FillLevel=2",
    "imr_plugin=GENERIC", nullptr
};
// "\xEF\xBB\xBF<?xml"@0, find "?>\r<svg" from 8
const char* const kSvg24[] = {
    "[0]==0xEF", "[1]==0xBB", "[2]==0xBF", "[3]==0x3C", "[4]==0x3F", "[5]==0x78", "[6]==0x6D",
    "[7]==0x6C", "?8=?>\r<svg", "FileFormat=SVG", "ImageType=3", "FillLevel=2",
    "imr_plugin=GENERIC", nullptr
};
// "\xEF\xBB\xBF<?xml"@0, find "?> \n<svg" from 8
const char* const kSvg25[] = {
    "[0]==0xEF", "[1]==0xBB", "[2]==0xBF", "[3]==0x3C", "[4]==0x3F", "[5]==0x78", "[6]==0x6D",
    "[7]==0x6C", "?8=?> \n<svg", "FileFormat=SVG", "ImageType=3", "FillLevel=2",
    "imr_plugin=GENERIC", nullptr
};
// "\xEF\xBB\xBF<?xml"@0, find "?> \r\n<svg" from 8
const char* const kSvg26[] = {
    "[0]==0xEF", "[1]==0xBB", "[2]==0xBF", "[3]==0x3C", "[4]==0x3F", "[5]==0x78", "[6]==0x6D",
    "[7]==0x6C", "?8=?> \r\n<svg", "FileFormat=SVG", "ImageType=3", "FillLevel=2",
    "imr_plugin=GENERIC", nullptr
};
// "\xEF\xBB\xBF<?xml"@0, find "?>\n\n<svg" from 8
const char* const kSvg27[] = {
    "[0]==0xEF", "[1]==0xBB", "[2]==0xBF", "[3]==0x3C", "[4]==0x3F", "[5]==0x78", "[6]==0x6D",
    "[7]==0x6C", "?8=?>\n\n<svg", "FileFormat=SVG", "ImageType=3", "FillLevel=2",
    "imr_plugin=GENERIC", nullptr
};
// "\xEF\xBB\xBF<?xml"@0, find "?>\r\n\r\n<svg" from 8
const char* const kSvg28[] = {
    "[0]==0xEF", "[1]==0xBB", "[2]==0xBF", "[3]==0x3C", "[4]==0x3F", "[5]==0x78", "[6]==0x6D",
    "[7]==0x6C", "?8=?>\r\n\r\n<svg", "FileFormat=SVG", "ImageType=3", "FillLevel=2",
    "imr_plugin=GENERIC", nullptr
};
// "\xEF\xBB\xBF<?xml"@0, find "--><svg" from 8
const char* const kSvg29[] = {
    "[0]==0xEF", "[1]==0xBB", "[2]==0xBF", "[3]==0x3C", "[4]==0x3F", "[5]==0x78", "[6]==0x6D",
    "[7]==0x6C", "?8=--><svg", "FileFormat=SVG", "ImageType=3", "FillLevel=2",
    "imr_plugin=GENERIC", nullptr
};
// "\xEF\xBB\xBF<?xml"@0, find "-->\n<svg" from 8
const char* const kSvg30[] = {
    "[0]==0xEF", "[1]==0xBB", "[2]==0xBF", "[3]==0x3C", "[4]==0x3F", "[5]==0x78", "[6]==0x6D",
    "[7]==0x6C", "?8=-->\n<svg", "FileFormat=SVG", "ImageType=3", "FillLevel=2",
    "imr_plugin=GENERIC", nullptr
};
// "\xEF\xBB\xBF<?xml"@0, find "-->\r\n<svg" from 8
const char* const kSvg31[] = {
    "[0]==0xEF", "[1]==0xBB", "[2]==0xBF", "[3]==0x3C", "[4]==0x3F", "[5]==0x78", "[6]==0x6D",
    "[7]==0x6C", "?8=-->\r\n<svg", "FileFormat=SVG", "ImageType=3", "FillLevel=2",
    "imr_plugin=GENERIC", nullptr
};
// "\xEF\xBB\xBF<?xml"@0, find "-->\r<svg" from 8
const char* const kSvg32[] = {
    "[0]==0xEF", "[1]==0xBB", "[2]==0xBF", "[3]==0x3C", "[4]==0x3F", "[5]==0x78", "[6]==0x6D",
    "[7]==0x6C", "?8=-->\r<svg", "FileFormat=SVG", "ImageType=3", "FillLevel=2",
    "imr_plugin=GENERIC", nullptr
};
// "\xEF\xBB\xBF<?xml"@0, find "--> \n<svg" from 8
const char* const kSvg33[] = {
    "[0]==0xEF", "[1]==0xBB", "[2]==0xBF", "[3]==0x3C", "[4]==0x3F", "[5]==0x78", "[6]==0x6D",
    "[7]==0x6C", "?8=--> \n<svg", "FileFormat=SVG", "ImageType=3", "FillLevel=2",
    "imr_plugin=GENERIC", nullptr
};
// "\xEF\xBB\xBF<?xml"@0, find "--> \r\n<svg" from 8
const char* const kSvg34[] = {
    "[0]==0xEF", "[1]==0xBB", "[2]==0xBF", "[3]==0x3C", "[4]==0x3F", "[5]==0x78", "[6]==0x6D",
    "[7]==0x6C", "?8=--> \r\n<svg", "FileFormat=SVG", "ImageType=3", "FillLevel=2",
    "imr_plugin=GENERIC", nullptr
};
// "\xEF\xBB\xBF<?xml"@0, find "-->\n\n<svg" from 8
const char* const kSvg35[] = {
    "[0]==0xEF", "[1]==0xBB", "[2]==0xBF", "[3]==0x3C", "[4]==0x3F", "[5]==0x78", "[6]==0x6D",
    "[7]==0x6C", "?8=-->\n\n<svg", "FileFormat=SVG", "ImageType=3", "FillLevel=2",
    "imr_plugin=GENERIC", nullptr
};
// "\xEF\xBB\xBF<?xml"@0, find "-->\r\n\r\n<svg" from 8
const char* const kSvg36[] = {
    "[0]==0xEF", "[1]==0xBB", "[2]==0xBF", "[3]==0x3C", "[4]==0x3F", "[5]==0x78", "[6]==0x6D",
    "[7]==0x6C", "?8=-->\r\n\r\n<svg", "FileFormat=SVG", "ImageType=3", "FillLevel=2",
    "imr_plugin=GENERIC", nullptr
};
// "<!--"@0, find "<!DOCTYPE svg" from 4
const char* const kSvg37[] = {
    "[0]==0x3C", "[1]==0x21", "[2]==0x2D", "[3]==0x2D", "?4=<!DOCTYPE svg", "FileFormat=SVG",
    "ImageType=3", "FillLevel=2", "imr_plugin=GENERIC", nullptr
};
// "<!--"@0, find "--><svg" from 4
const char* const kSvg38[] = {
    "[0]==0x3C", "[1]==0x21", "[2]==0x2D", "[3]==0x2D", "?4=--><svg", "FileFormat=SVG",
    "ImageType=3", "FillLevel=2", "imr_plugin=GENERIC", nullptr
};
// "<!--"@0, find "-->\n<svg" from 4
const char* const kSvg39[] = {
    "[0]==0x3C", "[1]==0x21", "[2]==0x2D", "[3]==0x2D", "?4=-->\n<svg", "FileFormat=SVG",
    "ImageType=3", "FillLevel=2", "imr_plugin=GENERIC", nullptr
};
// "<!--"@0, find "-->\r\n<svg" from 4
const char* const kSvg40[] = {
    "[0]==0x3C", "[1]==0x21", "[2]==0x2D", "[3]==0x2D", "?4=-->\r\n<svg", "FileFormat=SVG",
    "ImageType=3", "FillLevel=2", "imr_plugin=GENERIC", nullptr
};
// "<!--"@0, find "-->\r<svg" from 4
const char* const kSvg41[] = {
    "[0]==0x3C", "[1]==0x21", "[2]==0x2D", "[3]==0x2D", "?4=-->\r<svg", "FileFormat=SVG",
    "ImageType=3", "FillLevel=2", "imr_plugin=GENERIC", nullptr
};
// "<!--"@0, find "--> \n<svg" from 4
const char* const kSvg42[] = {
    "[0]==0x3C", "[1]==0x21", "[2]==0x2D", "[3]==0x2D", "?4=--> \n<svg", "FileFormat=SVG",
    "ImageType=3", "FillLevel=2", "imr_plugin=GENERIC", nullptr
};
// "<!--"@0, find "--> \r\n<svg" from 4
const char* const kSvg43[] = {
    "[0]==0x3C", "[1]==0x21", "[2]==0x2D", "[3]==0x2D", "?4=--> \r\n<svg", "FileFormat=SVG",
    "ImageType=3", "FillLevel=2", "imr_plugin=GENERIC", nullptr
};
// "<!--"@0, find "-->\n\n<svg" from 4
const char* const kSvg44[] = {
    "[0]==0x3C", "[1]==0x21", "[2]==0x2D", "[3]==0x2D", "?4=-->\n\n<svg", "FileFormat=SVG",
    "ImageType=3", "FillLevel=2", "imr_plugin=GENERIC", nullptr
};
// "<!--"@0, find "-->\r\n\r\n<svg" from 4
const char* const kSvg45[] = {
    "[0]==0x3C", "[1]==0x21", "[2]==0x2D", "[3]==0x2D", "?4=-->\r\n\r\n<svg", "FileFormat=SVG",
    "ImageType=3", "FillLevel=2", "imr_plugin=GENERIC", nullptr
};
const char* const* const kSvg[] = {
    kSvg0, kSvg1, kSvg2, kSvg3, kSvg4, kSvg5, kSvg6, kSvg7, kSvg8, kSvg9, kSvg10, kSvg11, kSvg12,
    kSvg13, kSvg14, kSvg15, kSvg16, kSvg17, kSvg18, kSvg19, kSvg20, kSvg21, kSvg22, kSvg23, kSvg24,
    kSvg25, kSvg26, kSvg27, kSvg28, kSvg29, kSvg30, kSvg31, kSvg32, kSvg33, kSvg34, kSvg35, kSvg36,
    kSvg37, kSvg38, kSvg39, kSvg40, kSvg41, kSvg42, kSvg43, kSvg44, kSvg45, nullptr
};

// X bitmap: C source starting with #define NAME_width, then NAME_height
// and the NAME_bits[] array.
// "#define "@0, find "_width " from 8, find "_height " from 8, find "_bits[]" from 8
const char* const kXbm0[] = {
    "[0]==0x23", "[1]==0x64", "[2]==0x65", "[3]==0x66", "[4]==0x69", "[5]==0x6E", "[6]==0x65",
    "[7]==0x20", "?8=_width ", "?8=_height ", "?8=_bits[]", "FileFormat=XBM", "ImageType=3",
    "FillLevel=2", "imr_plugin=GENERIC", nullptr
};
// "/*"@0, find "#define " from 2, find "_width " from 8, find "_height " from 8, find "_bits[]"
//   from 8
const char* const kXbm1[] = {
    "[0]==0x2F", "[1]==0x2A", "?2=#define ", "?8=_width ", "?8=_height ", "?8=_bits[]",
    "FileFormat=XBM", "ImageType=3", "FillLevel=2", "imr_plugin=GENERIC", nullptr
};
const char* const* const kXbm[] = {
    kXbm0, kXbm1, nullptr
};

// JPEG XL: the box container has a 12-byte signature, but the bare
// codestream only the two bytes 0xFF 0x0A, hence the late place.
// "\0\0\0\x0CJXL \r\n\x87\n"@0
const char* const kJxl0[] = {
    "[0]==0x00", "[1]==0x00", "[2]==0x00", "[3]==0x0C", "[4]==0x4A", "[5]==0x58", "[6]==0x4C",
    "[7]==0x20", "[8]==0x0D", "[9]==0x0A", "[10]==0x87", "[11]==0x0A", "FileFormat=JXL",
    "ImageType=3", "FillLevel=2", "imr_plugin=GENERIC", nullptr
};
// "\xFF\n"@0
const char* const kJxl1[] = {
    "[0]==0xFF", "[1]==0x0A", "FileFormat=JXL", "ImageType=3", "FillLevel=2", "imr_plugin=GENERIC",
    nullptr
};
const char* const* const kJxl[] = {
    kJxl0, kJxl1, nullptr
};

// WordPerfect graphics: "\xFFWPC" with product 1 and file type 0x16
// (WordPerfect documents share the prefix with other types).
// "\xFFWPC"@0, "\x01\x16\x01"@8
const char* const kWpg0[] = {
    "[0]==0xFF", "[1]==0x57", "[2]==0x50", "[3]==0x43", "[8]==0x01", "[9]==0x16", "[10]==0x01",
    "FileFormat=WPG", "FileFormatVersion=1", "ImageType=3", "FillLevel=2", "imr_plugin=GENERIC",
    nullptr
};
// "\xFFWPC"@0, "\x01\x16\x02"@8
const char* const kWpg1[] = {
    "[0]==0xFF", "[1]==0x57", "[2]==0x50", "[3]==0x43", "[8]==0x01", "[9]==0x16", "[10]==0x02",
    "FileFormat=WPG", "FileFormatVersion=2", "ImageType=3", "FillLevel=2", "imr_plugin=GENERIC",
    nullptr
};
const char* const* const kWpg[] = {
    kWpg0, kWpg1, nullptr
};

// SGI image: magic 474, storage 0/1, 1 or 2 bytes per channel, 1-3 dims.
// "\x01\xDA"@0, [2]<0x02, [3] in 0x01..0x02, [4]==0, [5] in 0x01..0x03
const char* const kSgi0[] = {
    "[0]==0x01", "[1]==0xDA", "[2]<0x02", "[3]>0x00", "[3]<0x03", "[4]==0", "[5]>0x00", "[5]<0x04",
    "FileFormat=SGI", "ImageType=3", "FillLevel=2", "imr_plugin=SGI", "imr_plugin=GENERIC",
    nullptr
};
const char* const* const kSgi[] = {
    kSgi0, nullptr
};

// Autodesk FLI animation: magic 0xAF11 at 4, always 320x200, 8 bits deep.
// "\x11\xAF"@4, "@\x01\xC8\0\x08\0"@8
const char* const kFli0[] = {
    "[4]==0x11", "[5]==0xAF", "[8]==0x40", "[9]==0x01", "[10]==0xC8", "[11]==0x00", "[12]==0x08",
    "[13]==0x00", "FileFormat=FLI", "ImageType=3", "FillLevel=2", "imr_plugin=GENERIC", nullptr
};
const char* const* const kFli[] = {
    kFli0, nullptr
};

// Autodesk FLC animation: magic 0xAF12 at 4 and 8 bits per pixel.
// "\x12\xAF"@4, "\x08\0"@12
const char* const kFlc0[] = {
    "[4]==0x12", "[5]==0xAF", "[12]==0x08", "[13]==0x00", "FileFormat=FLC", "ImageType=3",
    "FillLevel=2", "imr_plugin=GENERIC", nullptr
};
const char* const* const kFlc[] = {
    kFlc0, nullptr
};

// ZSoft PCX: 0x0A, version 0/2/3/4/5, RLE flag 0/1, 1/2/4/8 bits per
// plane, reserved byte 0 and 1 to 4 planes.
// [0]=0x0A, [1]==0, [2]<0x02, [3]==1, [64]==0, [65] in 0x01..0x04
const char* const kPcx0[] = {
    "[0]==0x0A", "[1]==0", "[2]<0x02", "[3]==1", "[64]==0", "[65]>0x00", "[65]<0x05",
    "FileFormat=PCX", "ImageType=3", "FillLevel=2", "imr_plugin=PCX", "imr_plugin=GENERIC",
    nullptr
};
// [0]=0x0A, [1]==0, [2]<0x02, [3]==2, [64]==0, [65] in 0x01..0x04
const char* const kPcx1[] = {
    "[0]==0x0A", "[1]==0", "[2]<0x02", "[3]==2", "[64]==0", "[65]>0x00", "[65]<0x05",
    "FileFormat=PCX", "ImageType=3", "FillLevel=2", "imr_plugin=PCX", "imr_plugin=GENERIC",
    nullptr
};
// [0]=0x0A, [1]==0, [2]<0x02, [3]==4, [64]==0, [65] in 0x01..0x04
const char* const kPcx2[] = {
    "[0]==0x0A", "[1]==0", "[2]<0x02", "[3]==4", "[64]==0", "[65]>0x00", "[65]<0x05",
    "FileFormat=PCX", "ImageType=3", "FillLevel=2", "imr_plugin=PCX", "imr_plugin=GENERIC",
    nullptr
};
// [0]=0x0A, [1]==0, [2]<0x02, [3]==8, [64]==0, [65] in 0x01..0x04
const char* const kPcx3[] = {
    "[0]==0x0A", "[1]==0", "[2]<0x02", "[3]==8", "[64]==0", "[65]>0x00", "[65]<0x05",
    "FileFormat=PCX", "ImageType=3", "FillLevel=2", "imr_plugin=PCX", "imr_plugin=GENERIC",
    nullptr
};
// [0]=0x0A, [1] in 0x02..0x05, [2]<0x02, [3]==1, [64]==0, [65] in 0x01..0x04
const char* const kPcx4[] = {
    "[0]==0x0A", "[1]>0x01", "[1]<0x06", "[2]<0x02", "[3]==1", "[64]==0", "[65]>0x00", "[65]<0x05",
    "FileFormat=PCX", "ImageType=3", "FillLevel=2", "imr_plugin=PCX", "imr_plugin=GENERIC",
    nullptr
};
// [0]=0x0A, [1] in 0x02..0x05, [2]<0x02, [3]==2, [64]==0, [65] in 0x01..0x04
const char* const kPcx5[] = {
    "[0]==0x0A", "[1]>0x01", "[1]<0x06", "[2]<0x02", "[3]==2", "[64]==0", "[65]>0x00", "[65]<0x05",
    "FileFormat=PCX", "ImageType=3", "FillLevel=2", "imr_plugin=PCX", "imr_plugin=GENERIC",
    nullptr
};
// [0]=0x0A, [1] in 0x02..0x05, [2]<0x02, [3]==4, [64]==0, [65] in 0x01..0x04
const char* const kPcx6[] = {
    "[0]==0x0A", "[1]>0x01", "[1]<0x06", "[2]<0x02", "[3]==4", "[64]==0", "[65]>0x00", "[65]<0x05",
    "FileFormat=PCX", "ImageType=3", "FillLevel=2", "imr_plugin=PCX", "imr_plugin=GENERIC",
    nullptr
};
// [0]=0x0A, [1] in 0x02..0x05, [2]<0x02, [3]==8, [64]==0, [65] in 0x01..0x04
const char* const kPcx7[] = {
    "[0]==0x0A", "[1]>0x01", "[1]<0x06", "[2]<0x02", "[3]==8", "[64]==0", "[65]>0x00", "[65]<0x05",
    "FileFormat=PCX", "ImageType=3", "FillLevel=2", "imr_plugin=PCX", "imr_plugin=GENERIC",
    nullptr
};
const char* const* const kPcx[] = {
    kPcx0, kPcx1, kPcx2, kPcx3, kPcx4, kPcx5, kPcx6, kPcx7, nullptr
};

// X window dump: header size below 64 KiB, file version 7, pixmap format
// 0-2 and depth 1-32.
// "\0\0"@0, "\0\0\0\x07\0\0\0"@4, [11]<0x03, "\0\0\0"@12, [15] in 0x01..0x20
const char* const kXwd0[] = {
    "[0]==0x00", "[1]==0x00", "[4]==0x00", "[5]==0x00", "[6]==0x00", "[7]==0x07", "[8]==0x00",
    "[9]==0x00", "[10]==0x00", "[11]<0x03", "[12]==0x00", "[13]==0x00", "[14]==0x00", "[15]>0x00",
    "[15]<0x21", "FileFormat=XWD", "ImageType=3", "FillLevel=2", "imr_plugin=GENERIC", nullptr
};
const char* const* const kXwd[] = {
    kXwd0, nullptr
};

// Truevision TGA has no magic at the start: the header must prove it.
// No colour map for true-colour and grey images (all map fields 0),
// a pixel depth matching the image type and attribute bits that fit it,
// reserved descriptor bits 0.  Small files may show the footer instead.
// Last: any other signature wins.
// [1]==0, "\0\0\0\0\0"@3, [2]&0xF7==0x02, [16]==24, [17]&0xCF==0
const char* const kTga0[] = {
    "[1]==0", "[3]==0x00", "[4]==0x00", "[5]==0x00", "[6]==0x00", "[7]==0x00", "[2]&0xF7==0x02",
    "[16]==24", "[17]&0xCF==0", "FileFormat=TGA", "ImageType=3", "FillLevel=2", "imr_plugin=TGA",
    "imr_plugin=GENERIC", nullptr
};
// [1]==0, "\0\0\0\0\0"@3, [2]&0xF7==0x02, [16]==32, [17]&0xC7==0
const char* const kTga1[] = {
    "[1]==0", "[3]==0x00", "[4]==0x00", "[5]==0x00", "[6]==0x00", "[7]==0x00", "[2]&0xF7==0x02",
    "[16]==32", "[17]&0xC7==0", "FileFormat=TGA", "ImageType=3", "FillLevel=2", "imr_plugin=TGA",
    "imr_plugin=GENERIC", nullptr
};
// [1]==0, "\0\0\0\0\0"@3, [2]&0xF7==0x02, [16]==16, [17]&0xCE==0
const char* const kTga2[] = {
    "[1]==0", "[3]==0x00", "[4]==0x00", "[5]==0x00", "[6]==0x00", "[7]==0x00", "[2]&0xF7==0x02",
    "[16]==16", "[17]&0xCE==0", "FileFormat=TGA", "ImageType=3", "FillLevel=2", "imr_plugin=TGA",
    "imr_plugin=GENERIC", nullptr
};
// [1]==0, "\0\0\0\0\0"@3, [2]&0xF7==0x02, [16]==15, [17]&0xCF==0
const char* const kTga3[] = {
    "[1]==0", "[3]==0x00", "[4]==0x00", "[5]==0x00", "[6]==0x00", "[7]==0x00", "[2]&0xF7==0x02",
    "[16]==15", "[17]&0xCF==0", "FileFormat=TGA", "ImageType=3", "FillLevel=2", "imr_plugin=TGA",
    "imr_plugin=GENERIC", nullptr
};
// [1]==0, "\0\0\0\0\0"@3, [2]&0xF7==0x03, [16]==8, [17]&0xCF==0
const char* const kTga4[] = {
    "[1]==0", "[3]==0x00", "[4]==0x00", "[5]==0x00", "[6]==0x00", "[7]==0x00", "[2]&0xF7==0x03",
    "[16]==8", "[17]&0xCF==0", "FileFormat=TGA", "ImageType=3", "FillLevel=2", "imr_plugin=TGA",
    "imr_plugin=GENERIC", nullptr
};
// [1]==0, "\0\0\0\0\0"@3, [2]&0xF7==0x03, [16]==16, [17]&0xC7==0
const char* const kTga5[] = {
    "[1]==0", "[3]==0x00", "[4]==0x00", "[5]==0x00", "[6]==0x00", "[7]==0x00", "[2]&0xF7==0x03",
    "[16]==16", "[17]&0xC7==0", "FileFormat=TGA", "ImageType=3", "FillLevel=2", "imr_plugin=TGA",
    "imr_plugin=GENERIC", nullptr
};
// [1]==1, [2]&0xF7==0x01, [6]<0x02, [7]==15, [16]==8, [17]&0xCF==0
const char* const kTga6[] = {
    "[1]==1", "[2]&0xF7==0x01", "[6]<0x02", "[7]==15", "[16]==8", "[17]&0xCF==0", "FileFormat=TGA",
    "ImageType=3", "FillLevel=2", "imr_plugin=TGA", "imr_plugin=GENERIC", nullptr
};
// [1]==1, [2]&0xF7==0x01, [6]<0x02, [7]==16, [16]==8, [17]&0xCF==0
const char* const kTga7[] = {
    "[1]==1", "[2]&0xF7==0x01", "[6]<0x02", "[7]==16", "[16]==8", "[17]&0xCF==0", "FileFormat=TGA",
    "ImageType=3", "FillLevel=2", "imr_plugin=TGA", "imr_plugin=GENERIC", nullptr
};
// [1]==1, [2]&0xF7==0x01, [6]<0x02, [7]==24, [16]==8, [17]&0xCF==0
const char* const kTga8[] = {
    "[1]==1", "[2]&0xF7==0x01", "[6]<0x02", "[7]==24", "[16]==8", "[17]&0xCF==0", "FileFormat=TGA",
    "ImageType=3", "FillLevel=2", "imr_plugin=TGA", "imr_plugin=GENERIC", nullptr
};
// [1]==1, [2]&0xF7==0x01, [6]<0x02, [7]==32, [16]==8, [17]&0xCF==0
const char* const kTga9[] = {
    "[1]==1", "[2]&0xF7==0x01", "[6]<0x02", "[7]==32", "[16]==8", "[17]&0xCF==0", "FileFormat=TGA",
    "ImageType=3", "FillLevel=2", "imr_plugin=TGA", "imr_plugin=GENERIC", nullptr
};
// [1]<0x02, [2]&0xF4==0, [2]>0x00, [17]&0xC0==0, find "TRUEVISION-XFILE" from 18
const char* const kTga10[] = {
    "[1]<0x02", "[2]&0xF4==0", "[2]>0x00", "[17]&0xC0==0", "?18=TRUEVISION-XFILE",
    "FileFormat=TGA", "ImageType=3", "FillLevel=2", "imr_plugin=TGA", "imr_plugin=GENERIC",
    nullptr
};
const char* const* const kTga[] = {
    kTga0, kTga1, kTga2, kTga3, kTga4, kTga5, kTga6, kTga7, kTga8, kTga9, kTga10, nullptr
};

}  // namespace

const MagicTableEntry kShippedMagic[] = {
    {"TIFF_IT", kTiffIt},
    {"DNG", kDng},
    {"CR2", kCr2},
    {"NEF", kNef},
    {"IIQ", kIiq},
    {"ORF", kOrf},
    {"RW2", kRw2},
    {"TIFF", kTiff},
    {"BIGTIFF", kBigtiff},
    {"CRW", kCrw},
    {"MPO", kMpo},
    {"JFIF", kJfif},
    {"JPEG", kJpeg},
    {"APNG", kApng},
    {"PNG", kPng},
    {"MNG", kMng},
    {"JNG", kJng},
    {"GIF", kGif},
    {"WEBP", kWebp},
    {"AVIF", kAvif},
    {"CR3", kCr3},
    {"HEIF", kHeif},
    {"JPX", kJpx},
    {"JPM", kJpm},
    {"JP2", kJp2},
    {"J2K", kJ2k},
    {"PSD", kPsd},
    {"PSB", kPsb},
    {"DCS", kDcs},
    {"EPS", kEps},
    {"PS", kPs},
    {"PDF", kPdf},
    {"INDD", kIndd},
    {"XCF", kXcf},
    {"PSP", kPsp},
    {"MIFF", kMiff},
    {"HDR", kHdr},
    {"EXR", kExr},
    {"DPX", kDpx},
    {"CIN", kCin},
    {"RAF", kRaf},
    {"MRW", kMrw},
    {"X3F", kX3f},
    {"DJVU", kDjvu},
    {"DICOM", kDicom},
    {"PCD", kPcd},
    {"FPX", kFpx},
    {"BPG", kBpg},
    {"FLIF", kFlif},
    {"PGF", kPgf},
    {"BLP", kBlp},
    {"QOI", kQoi},
    {"DDS", kDds},
    {"KTX", kKtx},
    {"ICNS", kIcns},
    {"SUNRAS", kSunras},
    {"JXR", kJxr},
    {"ORA", kOra},
    {"WMF", kWmf},
    {"EMF", kEmf},
    {"FITS", kFits},
    {"XPM", kXpm},
    {"BMP", kBmp},
    {"ICO", kIco},
    {"CUR", kCur},
    {"PICT", kPict},
    {"PAM", kPam},
    {"PFM", kPfm},
    {"PBM", kPbm},
    {"PGM", kPgm},
    {"PPM", kPpm},
    {"DCX", kDcx},
    {"SVG", kSvg},
    {"XBM", kXbm},
    {"JXL", kJxl},
    {"WPG", kWpg},
    {"SGI", kSgi},
    {"FLI", kFli},
    {"FLC", kFlc},
    {"PCX", kPcx},
    {"XWD", kXwd},
    {"TGA", kTga},
};

const std::size_t kShippedMagicCount = std::size(kShippedMagic);

}  // namespace imr::formats
