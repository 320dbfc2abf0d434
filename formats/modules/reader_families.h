// The readers of each format plugin module, with the plugin names the
// configuration maps to them.  The modules register these, and the tests and
// fuzz targets walk the same lists.
#pragma once

#include <iterator>
#include <span>

#include "formats/bmp/bmp_reader.h"
#include "formats/eps/eps_reader.h"
#include "formats/gif/gif_reader.h"
#include "formats/heif/heif_reader.h"
#include "formats/ico/ico_reader.h"
#include "formats/jp2/jp2_reader.h"
#include "formats/jpeg/jpeg_reader.h"
#include "formats/pdf/pdf_reader.h"
#include "formats/pict/pict_reader.h"
#include "formats/png/png_reader.h"
#include "formats/psd/psd_reader.h"
#include "formats/raster/raster_reader.h"
#include "formats/tiff/tiff_reader.h"
#include "formats/webp/webp_reader.h"
#include "formats/xcf/xcf_reader.h"

namespace imr::formats {

struct FamilyReader {
  const char* plugin;  // the plugin name, as the magic entries name it
  ReaderFactory make;
};

inline constexpr FamilyReader kTiffReaders[] = {{"TIFF", &MakeTiffReader}};
inline constexpr FamilyReader kJpegReaders[] = {{"JPEG", &MakeJpegReader}};
inline constexpr FamilyReader kWebReaders[] = {
    {"PNG", &MakePngReader}, {"GIF", &MakeGifReader}, {"WEBP", &MakeWebpReader}};
inline constexpr FamilyReader kRasterReaders[] = {
    {"BMP", &MakeBmpReader}, {"ICO", &MakeIcoReader}, {"TGA", &MakeTgaReader},
    {"PCX", &MakePcxReader}, {"SGI", &MakeSgiReader}, {"PNM", &MakePnmReader},
    {"QOI", &MakeQoiReader}, {"DDS", &MakeDdsReader}};
inline constexpr FamilyReader kLayeredReaders[] = {{"PSD", &MakePsdReader}, {"XCF", &MakeXcfReader}};
inline constexpr FamilyReader kDocumentReaders[] = {
    {"EPS", &MakeEpsReader}, {"PDF", &MakePdfReader}, {"PICT", &MakePictReader}};
inline constexpr FamilyReader kBoxedReaders[] = {{"JP2", &MakeJp2Reader}, {"HEIF", &MakeHeifReader}};

struct ModuleFamily {
  const char* module;  // imr_<module>
  std::span<const FamilyReader> readers;
};

inline constexpr ModuleFamily kModuleFamilies[] = {
    {"tiff", kTiffReaders},         {"jpeg", kJpegReaders},   {"web", kWebReaders},
    {"raster", kRasterReaders},     {"layered", kLayeredReaders},
    {"document", kDocumentReaders}, {"boxed", kBoxedReaders}};

}  // namespace imr::formats
