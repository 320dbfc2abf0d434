#include "formats/catalog/catalog.h"

#include <iterator>
#include <set>

#include "formats/catalog/signature.h"

namespace imr::formats {
namespace {

// In the order they are tried.  Refinements of a format come before it (the
// TIFF-based raw formats before TIFF, MPO and JFIF before JPEG, APNG before
// PNG, AVIF and CR3 before HEIF, DCS before EPS before PS); formats whose
// signatures are two bytes or none come last, so that a stronger signature
// always wins.
const Format kFormats[] = {
    {"TIFF_IT", "TIFF/IT prepress image", "image/tiff", "tif fp ct lw", "TIFF", Depth::kDetails, "TIFF", false,
     {R"("II*\x00"@0, find "\xE1\x84\x02" from *4l4, find "\xE3\x84\x03" from *4l4)",
      R"("II*\x00"@0, find "\xE0\x84\x02" from *4l4, find "\xE1\x84\x02" from *4l4)",
      R"("II*\x00"@0, find "\xE1\x84\x02" from *4l4, find "\xE2\x84\x02" from *4l4)",
      R"("II*\x00"@0, find "\xE7\x84\x01" from *4l4, find "\xE8\x84\x01" from *4l4)",
      R"("MM\x00*"@0, find "\x84\xE1" from *4b4, find "\x84\xE3" from *4b4, find "\x80\x7F" from *4b4)",
      R"("MM\x00*"@0, find "\x84\xE7" from *4b4, find "\x84\xE8" from *4b4, find "\x80\x80" from *4b4)",
      R"("MM\x00*"@0, find "\x84\xE7" from *4b4, find "\x84\xE8" from *4b4, find "\x80\x81" from *4b4)",
      R"("MM\x00*"@0, find "\x84\xE7" from *4b4, find "\x84\xE8" from *4b4, find "\x80\x82" from *4b4)"}},
    {"DNG", "Adobe Digital Negative raw image", "image/x-adobe-dng", "dng", "TIFF", Depth::kDetails, "TIFF", false,
     {R"("II*\x00"@0, find "\x12\xC6\x01" from *4l4, find "\x14\xC6\x02" from *4l4)",
      R"("MM\x00*"@0, find "\xC6\x12" from *4b4, find "\xC6\x13" from *4b4, find "\xC6\x14" from *4b4)"}},
    {"CR2", "Canon raw image, version 2", "image/x-canon-cr2", "cr2", "TIFF", Depth::kDetails, "TIFF", false,
     {R"("II*\x00\x10\x00\x00\x00CR\x02"@0)"}},
    {"NEF", "Nikon raw image", "image/x-nikon-nef", "nef nrw", "TIFF", Depth::kDetails, "TIFF", false,
     {R"("II*\x00\x08\x00\x00\x00"@0, "\xFE\x00\x04\x00\x01\x00\x00\x00\x01\x00\x00\x00"@10, find "NIKON CORPORATION" from 8, find "J\x01" from 8)",
      R"("MM\x00*\x00\x00\x00\x08"@0, "\x00\xFE\x00\x04\x00\x00\x00\x01\x00\x00\x00\x01"@10, find "NIKON CORPORATION" from 8, find "\x01J" from 8)"}},
    {"IIQ", "Phase One raw image", "image/x-phaseone-iiq", "iiq", "TIFF", Depth::kDetails, "TIFF", false,
     {R"("II*\x00"@0, "IIII"@8, "waR"@13)"}},
    {"ORF", "Olympus raw image", "image/x-olympus-orf", "orf ori", "TIFF", Depth::kDetails, nullptr, false,
     {R"("IIRO\x08\x00\x00\x00"@0)",
      R"("IIRS\x08\x00\x00\x00"@0)",
      R"("MMOR\x00\x00\x00\x08"@0)"}},
    {"RW2", "Panasonic raw image", "image/x-panasonic-rw2", "rw2 rwl", "TIFF", Depth::kDetails, nullptr, false,
     {R"("IIU\x00\x18\x00\x00\x00"@0)"}},
    {"TIFF", "Tagged Image File Format", "image/tiff", "tif tiff", "TIFF", Depth::kDetails, nullptr, false,
     {R"("II*\x00"@0)",
      R"("MM\x00*"@0)"}},
    {"BIGTIFF", "BigTIFF (64-bit TIFF)", "image/tiff", "tif tiff btf tf8", "TIFF", Depth::kDetails, nullptr, false,
     {R"("II+\x00\x08\x00\x00\x00"@0)",
      R"("MM\x00+\x00\x08\x00\x00"@0)"}},
    {"CRW", "Canon raw image (CIFF)", "image/x-canon-crw", "crw", nullptr, Depth::kRecognised, nullptr, false,
     {R"("II\x1A\x00\x00\x00HEAPCCDR"@0)"}},
    {"MPO", "Multi-Picture Object (stereo JPEG)", "image/mpo", "mpo jpg", "JPEG", Depth::kDetails, "JPEG", false,
     {R"("\xFF\xD8\xFF"@0, find "MPF" from 2, find "\xFF\xE2" from 2)"}},
    {"JFIF", "JPEG File Interchange Format", "image/jpeg", "jpg jpeg jfif jpe", "JPEG", Depth::kDetails, "JPEG", false,
     {R"("\xFF\xD8\xFF\xE0"@0, "JFIF\x00"@6)"}},
    {"JPEG", "JPEG image", "image/jpeg", "jpg jpeg jpe", "JPEG", Depth::kDetails, nullptr, false,
     {R"("\xFF\xD8\xFF"@0)"}},
    {"APNG", "Animated Portable Network Graphics", "image/apng", "apng png", "PNG", Depth::kDetails, "PNG", false,
     {R"("\x89PNG\r\n\x1A\n"@0, find "\x08acTL" from 8)"}},
    {"PNG", "Portable Network Graphics", "image/png", "png", "PNG", Depth::kDetails, nullptr, false,
     {R"("\x89PNG\r\n\x1A\n"@0)"}},
    {"MNG", "Multiple-image Network Graphics", "video/x-mng", "mng", "MNG", Depth::kDetails, nullptr, false,
     {R"("\x8AMNG\r\n\x1A\n"@0)"}},
    {"JNG", "JPEG Network Graphics", "image/x-jng", "jng", "JNG", Depth::kDetails, nullptr, false,
     {R"("\x8BJNG\r\n\x1A\n"@0)"}},
    {"GIF", "Graphics Interchange Format", "image/gif", "gif", "GIF", Depth::kDetails, nullptr, false,
     {R"("GIF87a"@0, version 87a)",
      R"("GIF89a"@0, version 89a)"}},
    {"WEBP", "WebP image", "image/webp", "webp", "WEBP", Depth::kDetails, nullptr, false,
     {R"("RIFF"@0, "WEBPVP8"@8)"}},
    {"AVIF", "AV1 Image File Format", "image/avif", "avif avifs", "HEIF", Depth::kDetails, "HEIF", false,
     {R"("\x00\x00\x00"@0, "ftypavif"@4)",
      R"("\x00\x00\x00"@0, "ftypavis"@4)",
      R"("\x00\x00\x00"@0, "ftypmif1"@4, "avif"@16)",
      R"("\x00\x00\x00"@0, "ftypmif1"@4, "avif"@20)",
      R"("\x00\x00\x00"@0, "ftypmif1"@4, "avif"@24)",
      R"("\x00\x00\x00"@0, "ftypmif1"@4, "avif"@28)",
      R"("\x00\x00\x00"@0, "ftypmsf1"@4, "avif"@16)",
      R"("\x00\x00\x00"@0, "ftypmsf1"@4, "avif"@20)",
      R"("\x00\x00\x00"@0, "ftypmsf1"@4, "avif"@24)",
      R"("\x00\x00\x00"@0, "ftypmsf1"@4, "avif"@28)",
      R"("\x00\x00\x00"@0, "ftypmiaf"@4, "avif"@16)",
      R"("\x00\x00\x00"@0, "ftypmiaf"@4, "avif"@20)",
      R"("\x00\x00\x00"@0, "ftypmiaf"@4, "avif"@24)",
      R"("\x00\x00\x00"@0, "ftypmiaf"@4, "avif"@28)"}},
    {"CR3", "Canon raw image, version 3", "image/x-canon-cr3", "cr3", "HEIF", Depth::kDetails, "HEIF", false,
     {R"("\x00\x00\x00"@0, "ftypcrx "@4)"}},
    {"HEIF", "High Efficiency Image File Format", "image/heif", "heic heif hif", "HEIF", Depth::kDetails, nullptr, false,
     {R"("\x00\x00\x00"@0, "ftypheic"@4)",
      R"("\x00\x00\x00"@0, "ftypheix"@4)",
      R"("\x00\x00\x00"@0, "ftyphevc"@4)",
      R"("\x00\x00\x00"@0, "ftyphevx"@4)",
      R"("\x00\x00\x00"@0, "ftypheim"@4)",
      R"("\x00\x00\x00"@0, "ftypheis"@4)",
      R"("\x00\x00\x00"@0, "ftyphevm"@4)",
      R"("\x00\x00\x00"@0, "ftyphevs"@4)",
      R"("\x00\x00\x00"@0, "ftypmif1"@4)",
      R"("\x00\x00\x00"@0, "ftypmsf1"@4)",
      R"("\x00\x00\x00"@0, "ftypmif2"@4)",
      R"("\x00\x00\x00"@0, "ftypmiaf"@4)"}},
    {"JPX", "JPEG 2000 extended (JPX)", "image/jpx", "jpf jpx", "JP2", Depth::kDetails, "JP2", false,
     {R"("\x00\x00\x00\x0CjP  \r\n\x87\n"@0, "ftypjpx "@16)"}},
    {"JPM", "JPEG 2000 compound image (JPM)", "image/jpm", "jpm jpgm", "JP2", Depth::kDetails, "JP2", false,
     {R"("\x00\x00\x00\x0CjP  \r\n\x87\n"@0, "ftypjpm "@16)"}},
    {"JP2", "JPEG 2000 image", "image/jp2", "jp2", "JP2", Depth::kDetails, nullptr, false,
     {R"("\x00\x00\x00\x0CjP  \r\n\x87\n"@0, "ftypjp2 "@16)"}},
    {"J2K", "JPEG 2000 codestream", "image/x-jp2-codestream", "j2k j2c jpc", "JP2", Depth::kDetails, nullptr, false,
     {R"("\xFFO\xFFQ"@0)"}},
    {"PSD", "Adobe Photoshop document", "image/vnd.adobe.photoshop", "psd", "PSD", Depth::kDetails, nullptr, false,
     {R"("8BPS\x00\x01\x00\x00\x00\x00\x00\x00"@0)"}},
    {"PSB", "Adobe Photoshop large document", "image/vnd.adobe.photoshop", "psb", "PSD", Depth::kDetails, nullptr, false,
     {R"("8BPS\x00\x02\x00\x00\x00\x00\x00\x00"@0)"}},
    {"DCS", "Desktop Color Separation (EPS with plates)", "application/postscript", "eps dcs", "EPS", Depth::kDependencies, "EPS", false,
     {R"("%!PS-Adobe-"@0, "EPSF"@15, find "%%CyanPlate" from 16)",
      R"("%!PS-Adobe-"@0, "EPSF"@15, find "%%PlateFile" from 16)",
      R"("\xC5\xD0\xD3\xC6"@0, find "%%CyanPlate" from *4l4)",
      R"("\xC5\xD0\xD3\xC6"@0, find "%%PlateFile" from *4l4)"}},
    {"EPS", "Encapsulated PostScript", "application/postscript", "eps epsf epsi", "EPS", Depth::kDependencies, "PS", false,
     {R"("%!PS-Adobe-"@0, "EPSF"@15)",
      R"("\xC5\xD0\xD3\xC6"@0)"}},
    {"PS", "PostScript document", "application/postscript", "ps", "EPS", Depth::kDetails, nullptr, false,
     {R"("%!PS-Adobe-"@0, [11] in 0x30..0x39, "."@12, [13] in 0x30..0x39, "\n"@14)",
      R"("%!PS-Adobe-"@0, [11] in 0x30..0x39, "."@12, [13] in 0x30..0x39, "\r"@14)",
      R"("%!PS-Adobe-"@0, [11] in 0x30..0x39, "."@12, [13] in 0x30..0x39, " \n"@14)",
      R"("%!PS-Adobe-"@0, [11] in 0x30..0x39, "."@12, [13] in 0x30..0x39, " \r"@14)",
      R"("\x04%!PS-Adobe-"@0, [12] in 0x30..0x39, "."@13, [14] in 0x30..0x39, "\n"@15)",
      R"("\x04%!PS-Adobe-"@0, [12] in 0x30..0x39, "."@13, [14] in 0x30..0x39, "\r"@15)",
      R"("%!PS\n"@0)",
      R"("%!PS\r"@0)"}},
    {"PDF", "Portable Document Format", "application/pdf", "pdf", "PDF", Depth::kDetails, nullptr, false,
     {R"("%PDF-1.0"@0, version 1.0)",
      R"("%PDF-1.1"@0, version 1.1)",
      R"("%PDF-1.2"@0, version 1.2)",
      R"("%PDF-1.3"@0, version 1.3)",
      R"("%PDF-1.4"@0, version 1.4)",
      R"("%PDF-1.5"@0, version 1.5)",
      R"("%PDF-1.6"@0, version 1.6)",
      R"("%PDF-1.7"@0, version 1.7)",
      R"("%PDF-2.0"@0, version 2.0)",
      R"("%PDF-"@0)",
      R"("%PDF-"@1)",
      R"("%PDF-"@2)",
      R"("%PDF-"@3)"}},
    {"INDD", "Adobe InDesign document", "application/x-indesign", "indd", nullptr, Depth::kRecognised, nullptr, false,
     {R"("\x06\x06\xED\xF5\xD8\x1DF\xE5\xBD1\xEF\xE7\xFEt\xB7\x1DDOCUMENT"@0)"}},
    {"XCF", "GIMP image", "image/x-xcf", "xcf", "XCF", Depth::kDetails, nullptr, false,
     {R"("gimp xcf file"@0)",
      R"("gimp xcf v"@0)"}},
    {"PSP", "Paint Shop Pro image", "image/x-paintshoppro", "psp pspimage", "PSP", Depth::kDetails, nullptr, false,
     {R"("Paint Shop Pro Image File\n\x1A"@0)"}},
    {"MIFF", "ImageMagick image", "image/x-miff", "miff mif", nullptr, Depth::kRecognised, nullptr, false,
     {R"("id=ImageMagick"@0)",
      R"("{"@0, find "id=ImageMagick" from 1)"}},
    {"HDR", "Radiance RGBE image", "image/vnd.radiance", "hdr pic rgbe", nullptr, Depth::kRecognised, nullptr, false,
     {R"("#?RADIANCE"@0)",
      R"("#?RGBE"@0)"}},
    {"EXR", "OpenEXR image", "image/x-exr", "exr", nullptr, Depth::kRecognised, nullptr, false,
     {R"("v/1\x01\x02"@0)"}},
    {"DPX", "Digital Picture Exchange", "image/x-dpx", "dpx", nullptr, Depth::kRecognised, nullptr, false,
     {R"("SDPX"@0, "V1.0\x00"@8, version 1.0)",
      R"("SDPX"@0, "V2.0\x00"@8, version 2.0)",
      R"("XPDS"@0, "V1.0\x00"@8, version 1.0)",
      R"("XPDS"@0, "V2.0\x00"@8, version 2.0)",
      R"("SDPX"@0)",
      R"("XPDS"@0)"}},
    {"CIN", "Kodak Cineon image", "image/x-cineon", "cin", nullptr, Depth::kRecognised, nullptr, false,
     {R"("\x80*_\xD7"@0)",
      R"("\xD7_*\x80"@0)"}},
    {"RAF", "Fujifilm raw image", "image/x-fujifilm-raf", "raf", nullptr, Depth::kRecognised, nullptr, false,
     {R"("FUJIFILMCCD-RAW"@0)"}},
    {"MRW", "Minolta raw image", "image/x-minolta-mrw", "mrw", nullptr, Depth::kRecognised, nullptr, false,
     {R"("\x00MRM"@0)"}},
    {"X3F", "Sigma raw image", "image/x-sigma-x3f", "x3f", nullptr, Depth::kRecognised, nullptr, false,
     {R"("FOVb"@0)"}},
    {"DJVU", "DjVu document", "image/vnd.djvu", "djvu djv", "DJVU", Depth::kDetails, nullptr, false,
     {R"("AT&TFORM"@0, "DJV"@12)"}},
    {"DICOM", "DICOM medical image", "application/dicom", "dcm dicom", nullptr, Depth::kRecognised, nullptr, false,
     {R"("DICM"@128)"}},
    {"PCD", "Kodak Photo CD image", "image/x-photo-cd", "pcd", nullptr, Depth::kRecognised, nullptr, false,
     {R"("PCD_IPI"@2048)"}},
    {"FPX", "FlashPix image", "image/vnd.fpx", "fpx", "FPX", Depth::kDetails, nullptr, false,
     {R"("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1"@0, find "aVT\xC1\xCE\x11\x85S" from 512)"}},
    {"BPG", "Better Portable Graphics", "image/bpg", "bpg", "BPG", Depth::kDetails, nullptr, false,
     {R"("BPG\xFB"@0)"}},
    {"FLIF", "Free Lossless Image Format", "image/flif", "flif", "FLIF", Depth::kDetails, nullptr, false,
     {R"("FLIF"@0, [4] in 0x31..0x64, [5] in 0x30..0x32)"}},
    {"PGF", "Progressive Graphics File", "image/pgf", "pgf", "PGF", Depth::kDetails, nullptr, false,
     {R"("PGF"@0, [3] in 0x30..0x39)"}},
    {"BLP", "Blizzard texture", "image/x-blp", "blp", nullptr, Depth::kRecognised, nullptr, false,
     {R"("BLP0"@0, version 0)",
      R"("BLP1"@0, version 1)",
      R"("BLP2"@0, version 2)"}},
    {"QOI", "Quite OK Image", "image/qoi", "qoi", "QOI", Depth::kDetails, nullptr, false,
     {R"("qoif"@0, [12] in 0x03..0x04, [13]<0x02)"}},
    {"DDS", "DirectDraw Surface texture", "image/vnd-ms.dds", "dds", "DDS", Depth::kDetails, nullptr, false,
     {R"("DDS |\x00\x00\x00"@0)"}},
    {"KTX", "Khronos texture", "image/ktx", "ktx ktx2", nullptr, Depth::kRecognised, nullptr, false,
     {R"("\xABKTX 11\xBB\r\n\x1A\n"@0, version 1)",
      R"("\xABKTX 20\xBB\r\n\x1A\n"@0, version 2)"}},
    {"ICNS", "Apple icon image", "image/icns", "icns", "ICO", Depth::kDetails, nullptr, false,
     {R"("icns"@0)"}},
    {"SUNRAS", "Sun raster image", "image/x-sun-raster", "ras sun", nullptr, Depth::kRecognised, nullptr, false,
     {R"("Y\xA6j\x95"@0)"}},
    {"JXR", "JPEG XR image", "image/jxr", "jxr wdp hdp", "JXR", Depth::kDetails, nullptr, false,
     {R"("II\xBC\x01"@0)"}},
    {"ORA", "OpenRaster image", "image/openraster", "ora", "ORA", Depth::kDetails, nullptr, false,
     {R"("PK\x03\x04"@0, "mimetypeimage/openraster"@30)"}},
    {"WMF", "Windows Metafile", "image/wmf", "wmf", "WMF", Depth::kDetails, nullptr, false,
     {R"("\xD7\xCD\xC6\x9A"@0)",
      R"("\x01\x00\t\x00\x00\x01"@0)",
      R"("\x01\x00\t\x00\x00\x03"@0)",
      R"("\x02\x00\t\x00\x00\x01"@0)",
      R"("\x02\x00\t\x00\x00\x03"@0)"}},
    {"EMF", "Enhanced Metafile", "image/emf", "emf", "EMF", Depth::kDetails, nullptr, false,
     {R"("\x01\x00\x00\x00"@0, " EMF"@40)"}},
    {"FITS", "Flexible Image Transport System", "image/fits", "fits fit fts", nullptr, Depth::kRecognised, nullptr, false,
     {R"("SIMPLE  ="@0, "T"@29)"}},
    {"XPM", "X PixMap", "image/x-xpixmap", "xpm", nullptr, Depth::kRecognised, nullptr, false,
     {R"("/* XPM */"@0)",
      R"("! XPM2"@0)"}},
    {"BMP", "Windows bitmap", "image/bmp", "bmp dib", "BMP", Depth::kDetails, nullptr, false,
     {R"("BM"@0, "\x0C\x00\x00\x00"@14)",
      R"("BM"@0, "\x10\x00\x00\x00"@14)",
      R"("BM"@0, "(\x00\x00\x00"@14)",
      R"("BM"@0, "4\x00\x00\x00"@14)",
      R"("BM"@0, "8\x00\x00\x00"@14)",
      R"("BM"@0, "@\x00\x00\x00"@14)",
      R"("BM"@0, "l\x00\x00\x00"@14)",
      R"("BM"@0, "|\x00\x00\x00"@14)"}},
    {"ICO", "Windows icon", "image/vnd.microsoft.icon", "ico", "ICO", Depth::kDetails, nullptr, false,
     {R"("\x00\x00\x01\x00"@0, [4]>0x00, "\x00"@5, "\x00"@17, "\x00"@21, "\x00"@9, [10]<0x02, "\x00"@11)",
      R"("\x00\x00\x01\x00"@0, [4]>0x00, "\x00"@5, "\x00"@17, "\x00"@21, "\xFF"@9, [10]<0x02, "\x00"@11)"}},
    {"CUR", "Windows cursor", "image/x-win-bitmap", "cur", "ICO", Depth::kDetails, nullptr, false,
     {R"("\x00\x00\x02\x00"@0, [4]>0x00, "\x00"@5, "\x00"@17, "\x00"@21, "\x00"@9)"}},
    {"PICT", "Apple QuickDraw picture", "image/x-pict", "pict pct pic", "PICT", Depth::kDetails, nullptr, false,
     {R"("\x00\x11\x02\xFF\x0C\x00\xFF\xFE"@522, version 2)",
      R"("\x00\x11\x02\xFF\x0C\x00\xFF\xFF"@522, version 2)",
      R"("\x11\x01\x01\x00\n"@522, version 1)",
      R"("\x00\x11\x02\xFF\x0C\x00\xFF\xFE"@10, version 2)",
      R"("\x00\x11\x02\xFF\x0C\x00\xFF\xFF"@10, version 2)",
      R"("\x11\x01\x01\x00\n"@10, version 1)"}},
    {"PAM", "Portable Arbitrary Map", "image/x-portable-arbitrarymap", "pam", "PNM", Depth::kDetails, nullptr, false,
     {R"("P7\n"@0, find "ENDHDR" from 3)"}},
    {"PFM", "Portable Float Map", "image/x-portable-floatmap", "pfm", "PNM", Depth::kDetails, nullptr, false,
     {R"("PF\n"@0, [3] in 0x30..0x39, [63]&0x00==0)",
      R"("Pf\n"@0, [3] in 0x30..0x39, [63]&0x00==0)"}},
    {"PBM", "Portable Bitmap", "image/x-portable-bitmap", "pbm pnm", "PNM", Depth::kDetails, nullptr, false,
     {R"("P1"@0, [2] in 0x09..0x20, [3] in 0x30..0x39, [4] in 0x30..0x39)",
      R"("P1"@0, [2] in 0x09..0x20, [3] in 0x30..0x39, [4] in 0x09..0x20)",
      R"("P1"@0, [2] in 0x09..0x20, "#"@3)",
      R"("P1"@0, [2] in 0x09..0x20, [3] in 0x09..0x20)",
      R"("P4"@0, [2] in 0x09..0x20, [3] in 0x30..0x39, [4] in 0x30..0x39)",
      R"("P4"@0, [2] in 0x09..0x20, [3] in 0x30..0x39, [4] in 0x09..0x20)",
      R"("P4"@0, [2] in 0x09..0x20, "#"@3)",
      R"("P4"@0, [2] in 0x09..0x20, [3] in 0x09..0x20)"}},
    {"PGM", "Portable Graymap", "image/x-portable-graymap", "pgm pnm", "PNM", Depth::kDetails, nullptr, false,
     {R"("P2"@0, [2] in 0x09..0x20, [3] in 0x30..0x39, [4] in 0x30..0x39)",
      R"("P2"@0, [2] in 0x09..0x20, [3] in 0x30..0x39, [4] in 0x09..0x20)",
      R"("P2"@0, [2] in 0x09..0x20, "#"@3)",
      R"("P2"@0, [2] in 0x09..0x20, [3] in 0x09..0x20)",
      R"("P5"@0, [2] in 0x09..0x20, [3] in 0x30..0x39, [4] in 0x30..0x39)",
      R"("P5"@0, [2] in 0x09..0x20, [3] in 0x30..0x39, [4] in 0x09..0x20)",
      R"("P5"@0, [2] in 0x09..0x20, "#"@3)",
      R"("P5"@0, [2] in 0x09..0x20, [3] in 0x09..0x20)"}},
    {"PPM", "Portable Pixmap", "image/x-portable-pixmap", "ppm pnm", "PNM", Depth::kDetails, nullptr, false,
     {R"("P3"@0, [2] in 0x09..0x20, [3] in 0x30..0x39, [4] in 0x30..0x39)",
      R"("P3"@0, [2] in 0x09..0x20, [3] in 0x30..0x39, [4] in 0x09..0x20)",
      R"("P3"@0, [2] in 0x09..0x20, "#"@3)",
      R"("P3"@0, [2] in 0x09..0x20, [3] in 0x09..0x20)",
      R"("P6"@0, [2] in 0x09..0x20, [3] in 0x30..0x39, [4] in 0x30..0x39)",
      R"("P6"@0, [2] in 0x09..0x20, [3] in 0x30..0x39, [4] in 0x09..0x20)",
      R"("P6"@0, [2] in 0x09..0x20, "#"@3)",
      R"("P6"@0, [2] in 0x09..0x20, [3] in 0x09..0x20)"}},
    {"DCX", "Multi-page PCX", "image/x-dcx", "dcx", "PCX", Depth::kDetails, nullptr, false,
     {R"("\xB1h\xDE:"@0)"}},
    {"SVG", "Scalable Vector Graphics", "image/svg+xml", "svg svgz", "SVG", Depth::kDetails, nullptr, false,
     {R"("<svg"@0)",
      R"("\xEF\xBB\xBF<svg"@0)",
      R"("<!DOCTYPE svg"@0)",
      R"("<?xml"@0, find "<svg" from 5)",
      R"("\xEF\xBB\xBF<?xml"@0, find "<svg" from 8)",
      R"("<!--"@0, find "<svg" from 4)",
      R"("\x1F\x8B\x08"@0, [3]&0x08==0x08, find ".svg" from 10)"}},
    {"XBM", "X BitMap", "image/x-xbitmap", "xbm", nullptr, Depth::kRecognised, nullptr, false,
     {R"("#define "@0, find "_width " from 8, find "_height " from 8, find "_bits[]" from 8)",
      R"("/*"@0, find "#define " from 2, find "_width " from 8, find "_height " from 8, find "_bits[]" from 8)"}},
    {"JXL", "JPEG XL image", "image/jxl", "jxl", "JXL", Depth::kDetails, nullptr, false,
     {R"("\x00\x00\x00\x0CJXL \r\n\x87\n"@0)",
      R"("\xFF\n"@0)"}},
    {"WPG", "WordPerfect graphics", "image/x-wpg", "wpg", "WPG", Depth::kDetails, nullptr, false,
     {R"("\xFFWPC"@0, "\x01\x16\x01"@8, version 1)",
      R"("\xFFWPC"@0, "\x01\x16\x02"@8, version 2)"}},
    {"SGI", "Silicon Graphics image", "image/x-sgi", "sgi rgb rgba bw", "SGI", Depth::kDetails, nullptr, true,
     {R"("\x01\xDA"@0, [2]<0x02, [3] in 0x01..0x02, "\x00"@4, [5] in 0x01..0x03)"}},
    {"FLI", "Autodesk FLI animation", "video/x-fli", "fli", nullptr, Depth::kRecognised, nullptr, true,
     {R"("\x11\xAF"@4, "@\x01\xC8\x00\x08\x00"@8)"}},
    {"FLC", "Autodesk FLC animation", "video/x-flc", "flc", nullptr, Depth::kRecognised, nullptr, true,
     {R"("\x12\xAF"@4, "\x08\x00"@12)"}},
    {"PCX", "ZSoft PC Paintbrush image", "image/vnd.zbrush.pcx", "pcx", "PCX", Depth::kDetails, nullptr, true,
     {R"("\n\x00"@0, [2]<0x02, "\x01"@3, "\x00"@64, [65] in 0x01..0x04)",
      R"("\n\x00"@0, [2]<0x02, "\x02"@3, "\x00"@64, [65] in 0x01..0x04)",
      R"("\n\x00"@0, [2]<0x02, "\x04"@3, "\x00"@64, [65] in 0x01..0x04)",
      R"("\n\x00"@0, [2]<0x02, "\x08"@3, "\x00"@64, [65] in 0x01..0x04)",
      R"("\n"@0, [1] in 0x02..0x05, [2]<0x02, "\x01"@3, "\x00"@64, [65] in 0x01..0x04)",
      R"("\n"@0, [1] in 0x02..0x05, [2]<0x02, "\x02"@3, "\x00"@64, [65] in 0x01..0x04)",
      R"("\n"@0, [1] in 0x02..0x05, [2]<0x02, "\x04"@3, "\x00"@64, [65] in 0x01..0x04)",
      R"("\n"@0, [1] in 0x02..0x05, [2]<0x02, "\x08"@3, "\x00"@64, [65] in 0x01..0x04)"}},
    {"XWD", "X Window dump", "image/x-xwindowdump", "xwd", nullptr, Depth::kRecognised, nullptr, true,
     {R"("\x00\x00"@0, "\x00\x00\x00\x07\x00\x00\x00"@4, [11]<0x03, "\x00\x00\x00"@12, [15] in 0x01..0x20)"}},
    {"TGA", "Truevision TGA image", "image/x-tga", "tga icb vda vst", "TGA", Depth::kDetails, nullptr, true,
     {R"("\x00"@1, "\x00\x00\x00\x00\x00"@3, [2]&0xF7==0x02, "\x18"@16, [17]&0xCF==0)",
      R"("\x00"@1, "\x00\x00\x00\x00\x00"@3, [2]&0xF7==0x02, " "@16, [17]&0xC7==0)",
      R"("\x00"@1, "\x00\x00\x00\x00\x00"@3, [2]&0xF7==0x02, "\x10"@16, [17]&0xCE==0)",
      R"("\x00"@1, "\x00\x00\x00\x00\x00"@3, [2]&0xF7==0x02, "\x0F"@16, [17]&0xCF==0)",
      R"("\x00"@1, "\x00\x00\x00\x00\x00"@3, [2]&0xF7==0x03, "\x08"@16, [17]&0xCF==0)",
      R"("\x00"@1, "\x00\x00\x00\x00\x00"@3, [2]&0xF7==0x03, "\x10"@16, [17]&0xC7==0)",
      R"("\x01"@1, [2]&0xF7==0x01, [6]<0x02, "\x0F"@7, "\x08"@16, [17]&0xCF==0)",
      R"("\x01"@1, [2]&0xF7==0x01, [6]<0x02, "\x10"@7, "\x08"@16, [17]&0xCF==0)",
      R"("\x01"@1, [2]&0xF7==0x01, [6]<0x02, "\x18"@7, "\x08"@16, [17]&0xCF==0)",
      R"("\x01"@1, [2]&0xF7==0x01, [6]<0x02, " "@7, "\x08"@16, [17]&0xCF==0)",
      R"([1]<0x02, [2]&0xF4==0, [2]>0x00, [17]&0xC0==0, find "TRUEVISION-XFILE" from 18)"}},
};

}  // namespace

std::span<const Format> Formats() { return kFormats; }

const Format* FindFormat(std::string_view name) {
  for (const Format& format : kFormats) {
    if (name == format.name) return &format;
  }
  return nullptr;
}

const char* DepthName(Depth depth) {
  switch (depth) {
    case Depth::kRecognised: return "recognised";
    case Depth::kGeometry: return "geometry";
    case Depth::kImages: return "images";
    case Depth::kDetails: return "details";
    case Depth::kDependencies: return "dependencies";
  }
  return "recognised";
}

std::vector<std::string> CatalogProblems(std::span<const RegisteredReader> readers) {
  std::vector<std::string> problems;
  std::set<std::string_view> seen;
  std::set<std::string_view> plugins;
  bool weakSeen = false;
  for (const Format& format : kFormats) {
    const std::string name = format.name;
    if (!seen.insert(format.name).second) problems.push_back(name + ": declared twice");
    if (format.signatures.size() == 0) problems.push_back(name + ": no signature");
    for (const char* signature : format.signatures) {
      try {
        EntryTexts(format, signature);
      } catch (const SignatureError& error) {
        problems.push_back(name + ": " + error.what());
      }
    }
    if (format.plugin != nullptr) {
      plugins.insert(format.plugin);
      bool served = false;
      for (const RegisteredReader& reader : readers) served |= std::string_view(reader.plugin) == format.plugin;
      if (!served) problems.push_back(name + ": no reader serves the plugin " + format.plugin);
    }
    if ((format.plugin == nullptr) != (format.depth == Depth::kRecognised)) {
      problems.push_back(name + ": a format is described beyond its name exactly when it has a plugin");
    }
    if (format.within != nullptr && seen.count(format.within) != 0) {
      problems.push_back(name + ": tried after " + format.within + ", which it refines");
    }
    if (format.within != nullptr && FindFormat(format.within) == nullptr) {
      problems.push_back(name + ": refines an unknown format " + format.within);
    }
    if (weakSeen && !format.weak) problems.push_back(name + ": a strong signature after weak ones");
    weakSeen |= format.weak;
  }
  for (const RegisteredReader& reader : readers) {
    if (plugins.count(reader.plugin) == 0) {
      problems.push_back(std::string("the reader ") + reader.plugin + " serves no format");
    }
  }
  return problems;
}

}  // namespace imr::formats
