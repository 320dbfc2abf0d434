// The file starts of the recognition and concurrency tests: Samples().
#include <fstream>

#include "magic_test_support.h"

namespace magictest {

namespace {

#define B(literal) std::string(literal, sizeof(literal) - 1)

std::string Pad(std::string bytes, std::size_t size) { return Padded(bytes, size); }

std::string At(std::string bytes, std::size_t offset, const std::string& part) {
  if (bytes.size() < offset + part.size()) bytes.resize(offset + part.size(), '\0');
  bytes.replace(offset, part.size(), part);
  return bytes;
}

const std::string kPng =
    B("\x89PNG\r\n\x1A\n\0\0\0\x0DIHDR\0\0\0\x08\0\0\0\x08\x08\x02\0\0\0\x4B\x6D\x29\xDC");
const std::string kJp2Box = B("\0\0\0\x0CjP  \r\n\x87\n\0\0\0\x14");
const std::string kEpsLine = "%!PS-Adobe-3.0 EPSF-3.0\n";
const std::string kDosEps = B("\xC5\xD0\xD3\xC6\x20\0\0\0\x40\0\0\0");  // PostScript at 32, 64 bytes

}  // namespace

std::vector<Sample> Samples() {
  std::vector<Sample> samples = {
      // TIFF family: IFD0 at 8, tags searched from there.
      {"tiffit-le.tif",
       Pad(B("II*\0\x08\0\0\0\x02\0") + B("\xE1\x84\x02\0\x01\0\0\0\x01\0\0\0") +
               B("\xE3\x84\x03\0\x01\0\0\0\x01\0\0\0"), 96),
       "TIFF_IT"},
      {"tiffit-be.tif",
       Pad(B("MM\0*\0\0\0\x08\0\x03") + B("\x01\x03\0\x03\0\0\0\x01\x80\x7F\0\0") +
               B("\x84\xE1\0\x02\0\0\0\x01\0\0\0\0") + B("\x84\xE3\0\x03\0\0\0\x01\0\0\0\0"), 96),
       "TIFF_IT"},
      {"dng-le.dng",
       Pad(B("II*\0\x08\0\0\0\x02\0\x12\xC6\x01\0\x04\0\0\0\x01\x04\0\0\x14\xC6\x02\0\x06\0\0\0"), 96),
       "DNG"},
      {"dng-be.dng",
       Pad(B("MM\0*\0\0\0\x08\0\x03\xC6\x12\0\x01\0\0\0\x04\x01\x04\0\0\xC6\x13\0\x01\0\0\0\x04"
             "\x01\x01\0\0\xC6\x14\0\x02\0\0\0\x06\0\0\0\x40"), 96),
       "DNG"},
      {"cr2.cr2", Pad(B("II*\0\x10\0\0\0CR\x02\0"), 64), "CR2"},
      {"nef-le.nef",
       Pad(B("II*\0\x08\0\0\0\x10\0\xFE\0\x04\0\x01\0\0\0\x01\0\0\0") + "NIKON CORPORATION" +
               B("\0\0\0J\x01\x04\0\x01\0\0\0"), 96),
       "NEF"},
      {"nef-be.nef",
       Pad(B("MM\0*\0\0\0\x08\0\x10\0\xFE\0\x04\0\0\0\x01\0\0\0\x01") + "NIKON CORPORATION" +
               B("\0\0\0\x01J\0\x04\0\0\0\x01"), 96),
       "NEF"},
      {"iiq.iiq", Pad(B("II*\0\x08\0\0\0IIII\x01waR"), 64), "IIQ"},
      {"orf-ro.orf", Pad(B("IIRO\x08\0\0\0"), 64), "ORF"},
      {"orf-rs.orf", Pad(B("IIRS\x08\0\0\0"), 64), "ORF"},
      {"orf-mm.orf", Pad(B("MMOR\0\0\0\x08"), 64), "ORF"},
      {"tiff-min.tif", B("MM\0*"), "TIFF"},
      {"bigtiff-be.tif", Pad(B("MM\0+\0\x08\0\0"), 64), "BIGTIFF"},
      // JPEG family.
      {"mpo.mpo", Pad(B("\xFF\xD8\xFF\xE1\0\x10" "Exif\0\0") + Pad("", 10) + B("\xFF\xE2\0\x20MPF\0"), 96),
       "MPO"},
      {"jpeg.jpg", Pad(B("\xFF\xD8\xFF\xDB\0\x43"), 64), "JPEG"},
      // PNG family.
      {"apng.png", Pad(kPng + B("\0\0\0\x08" "acTL\0\0\0\x02\0\0\0\0"), 96), "APNG"},
      // ISO base media.
      {"avis.avif", Pad(B("\0\0\0\x1C" "ftypavis\0\0\0\0avis"), 64), "AVIF"},
      {"avif-mif1.avif", Pad(B("\0\0\0\x1C" "ftypmif1\0\0\0\0miafavif"), 64), "AVIF"},
      {"cr3.cr3", Pad(B("\0\0\0\x18" "ftypcrx \0\0\0\x01"), 64), "CR3"},
      {"jpx.jpx", Pad(kJp2Box + "ftypjpx \0\0\0\0", 64), "JPX"},
      {"jpm.jpm", Pad(kJp2Box + "ftypjpm \0\0\0\0", 64), "JPM"},
      // Adobe.
      {"dcs1.eps", Pad(kEpsLine + "%%CyanPlate: cyan.eps\n", 96), "DCS"},
      {"dcs2.eps", Pad(kEpsLine + "%%PlateFile: (Cyan) EPS Local 1 2\n", 96), "DCS"},
      {"dcs-dos.eps", Pad(At(kDosEps, 32, kEpsLine + "%%CyanPlate: c\n"), 128), "DCS"},
      {"eps-dos.eps", Pad(At(kDosEps, 32, kEpsLine), 128), "EPS"},
      {"ps.ps", Pad("%!PS-Adobe-3.0\n%%Pages: 1\n", 64), "PS"},
      {"ps-crlf.ps", Pad("%!PS-Adobe-2.0 \r\n", 64), "PS"},
      {"ps-ctrl-d.ps", Pad("\x04%!PS-Adobe-3.0\r\n", 64), "PS"},
      {"ps-bare.ps", Pad("%!PS\nshowpage\n", 64), "PS"},
      {"pdf.pdf", Pad("%PDF-1.4\n%\xE2\xE3\xCF\xD3\n", 64), "PDF"},
      {"pdf2.pdf", Pad("%PDF-2.0\n", 64), "PDF"},
      {"pdf-bom.pdf", Pad("\xEF\xBB\xBF%PDF-1.7\n", 64), "PDF"},
      {"pdf-odd.pdf", Pad("%PDF-9.9\n", 64), "PDF"},
      // Other editors and tools.
      {"xcf-v.xcf", Pad(B("gimp xcf v011\0"), 64), "XCF"},
      {"miff-comment.miff", Pad("{created here}\nid=ImageMagick\n", 96), "MIFF"},
      {"hdr-rgbe.hdr", Pad("#?RGBE\nFORMAT=32-bit_rle_rgbe\n", 64), "HDR"},
      {"dpx-le.dpx", Pad(B("XPDS\0\x20\0\0V1.0\0"), 64), "DPX"},
      {"cin-le.cin", Pad(B("\xD7\x5F\x2A\x80\0\x08\0\0"), 64), "CIN"},
      {"fpx.fpx",
       Pad(At(B("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1"), 700, B("\0\x67\x61\x56\x54\xC1\xCE\x11\x85\x53")),
           1024),
       "FPX"},
      // Newer and niche codecs.
      {"blp.blp", Pad("BLP2\x01", 64), "BLP"},
      {"blp0.blp", Pad("BLP0\x01", 64), "BLP"},
      {"qoi.qoi", Pad(B("qoif\0\0\0\x08\0\0\0\x08\x04\x00"), 64), "QOI"},
      {"ktx.ktx", Pad(B("\xABKTX 11\xBB\r\n\x1A\n\x01\x02\x03\x04"), 64), "KTX"},
      {"ktx2.ktx2", Pad(B("\xABKTX 20\xBB\r\n\x1A\n"), 64), "KTX"},
      {"icns.icns", Pad(B("icns\0\0\x01\0"), 64), "ICNS"},
      {"jxr.jxr", Pad(B("II\xBC\x01\x20\0\0\0"), 64), "JXR"},
      {"ora.ora", Pad(At(B("PK\x03\x04\x0A\0\0\0"), 30, "mimetypeimage/openraster"), 96), "ORA"},
      // Metafiles and text formats.
      {"wmf-placeable.wmf", Pad(B("\xD7\xCD\xC6\x9A\0\0"), 64), "WMF"},
      {"wmf.wmf", Pad(B("\x01\0\x09\0\0\x03\x22\0\0\0"), 64), "WMF"},
      {"wmf-disk.wmf", Pad(B("\x02\0\x09\0\0\x01"), 64), "WMF"},
      {"emf.emf", Pad(At(B("\x01\0\0\0\x6C\0\0\0"), 40, " EMF"), 108), "EMF"},
      {"xpm2.xpm", Pad("! XPM2\n8 8 2 1\n", 64), "XPM"},
      {"svg.svg", "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"8\" height=\"8\"/>\n", "SVG"},
      {"svg-xml.svg", "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<svg width=\"8\"/>\n", "SVG"},
      {"svg-doctype.svg",
       "<?xml version=\"1.0\"?>\n<!DOCTYPE svg PUBLIC \"-//W3C//DTD SVG 1.1//EN\">\n<svg/>\n", "SVG"},
      {"svg-bom.svg", "\xEF\xBB\xBF<?xml version=\"1.0\"?>\r\n<svg/>\r\n", "SVG"},
      {"svg-comment.svg", "<!-- drawn -->\n<svg/>\n", "SVG"},
      {"xbm-comment.xbm", "/* x */\n#define a_width 8\n#define a_height 8\nstatic char a_bits[] = {0};\n",
       "XBM"},
      // Bitmaps with short signatures.
      {"ico-255.ico", Pad(B("\0\0\x01\0\x01\0\x08\x08\0\xFF\x01\0\x20\0\x68\x01\0\0\x16\0\0\0"), 64),
       "ICO"},
      {"cur.cur", Pad(B("\0\0\x02\0\x01\0\x08\x08\0\0\x04\0\x04\0\x68\x01\0\0\x16\0\0\0"), 64), "CUR"},
      {"pict-v1.pct", Pad(At("", 512, B("\0\x80\0\0\0\0\0\x08\0\x08\x11\x01\x01\0\x0A")), 600), "PICT"},
      {"pict-bare.pct", Pad(B("\0\x80\0\0\0\0\0\x08\0\x08\0\x11\x02\xFF\x0C\0\xFF\xFF"), 64), "PICT"},
      {"pfm-gray.pfm", Pad("Pf\n4 4\n-1.0\n", 80), "PFM"},
      {"pbm.pbm", "P1\n# comment\n2 2\n0 1\n1 0\n", "PBM"},
      {"pgm.pgm", "P2 2 2 255 0 1 2 3\n", "PGM"},
      {"pgm-raw.pgm", "P5\n12 1\n255\n" + std::string(12, '\x40'), "PGM"},
      {"ppm.ppm", "P3\n1 1\n255\n0 0 0\n", "PPM"},
      {"ppm-raw.ppm", "P6\t\t1 1\n255\nabc", "PPM"},
      {"wpg2.wpg", Pad(B("\xFFWPC\x10\0\0\0\x01\x16\x02\0"), 64), "WPG"},
      {"fli.fli", Pad(B("\x00\x10\0\0\x11\xAF\x01\0\x40\x01\xC8\x00\x08\x00"), 128), "FLI"},
      {"flc.flc", Pad(B("\x00\x10\0\0\x12\xAF\x01\0\x40\x02\xF0\x00\x08\x00"), 128), "FLC"},
      {"pcx-v0.pcx", Pad(At(B("\x0A\x00\x00\x01"), 64, B("\0\x01\x02\0")), 128), "PCX"},
      {"tga-rle-gray.tga", Pad(B("\0\0\x0B\0\0\0\0\0\0\0\0\0\x08\0\x08\0\x08\0"), 64), "TGA"},
      {"tga-mapped.tga", Pad(B("\0\x01\x01\0\0\0\x01\x18\0\0\0\0\x08\0\x08\0\x08\0"), 64), "TGA"},
      {"tga-footer.tga",
       Pad(B("\0\x01\x09\0\0\0\x01\x10\0\0\0\0\x02\0\x02\0\x10\0"), 40) + "TRUEVISION-XFILE.\0\0\0\0",
       "TGA"},
      // Files no entry describes.
      {"html.html", "<!DOCTYPE html>\n<html><body><svg></svg></body></html>\n", ""},
      {"zip.zip", Pad(At(B("PK\x03\x04\x0A\0\0\0"), 30, "mimetypeapplication/epub+zip"), 96), ""},
      {"ps-query.ps", "%!PS-Adobe-3.0 Query\n", ""},
      {"png-cut.png", B("\x89PNG\r\n\x1A"), ""},
      {"tiff-cut.tif", "II*", ""},
      {"pfm-stub.pfm", "PF\n1 1\n-1.0\n", ""},
      {"dicom-short.dcm", At("", 128, "DIC"), ""},
  };
  // The files, named "im-...", and their formats ("-": none).
  const std::string folder = IMR_MAGIC_DATA_DIR "/samples";
  std::ifstream table(folder + "/EXPECTED.tsv");
  for (std::string line; std::getline(table, line);) {
    const std::size_t tab = line.find('\t');
    if (line.empty() || line[0] == '#' || tab == std::string::npos) continue;
    const std::string name = line.substr(0, tab);
    const std::string format = line.substr(tab + 1);
    samples.push_back({"im-" + name, ReadFile(folder + "/" + name), format == "-" ? "" : format});
  }
  return samples;
}

}  // namespace magictest
