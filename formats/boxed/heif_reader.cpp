#include "formats/boxed/heif_reader.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <unordered_map>
#include <vector>

#include "formats/common/byte_reader.h"
#include "formats/common/camera_raw.h"
#include "formats/common/embedded_image.h"
#include "formats/common/icc_profile.h"
#include "formats/common/iso_box.h"
#include "formats/common/reader_registry.h"
#include "formats/common/tiff_structure.h"

namespace imr::formats {

namespace {

using box::Box;

constexpr std::size_t kMaxBoxes = 4096;         // boxes per level
constexpr std::size_t kMaxBrands = 64;
constexpr std::size_t kMaxItems = 1 << 16;
constexpr std::size_t kMaxProperties = 1 << 16;
constexpr std::size_t kMaxAssociations = 1 << 20;  // all items together
constexpr std::size_t kMaxReferences = 1 << 20;    // all referenced ids together
constexpr std::size_t kMaxThumbnails = 32;

// Canon's boxes in a CR3 movie: metadata, and the preview at the top level.
constexpr unsigned char kCanonUuid[16] = {0x85, 0xC0, 0xB6, 0x87, 0x82, 0x0F, 0x11, 0xE0,
                                          0x81, 0x11, 0xF4, 0xCE, 0x46, 0x2B, 0x6A, 0x48};
constexpr unsigned char kCanonPreviewUuid[16] = {0xEA, 0xF4, 0x2B, 0x5E, 0x1C, 0x98, 0x4B, 0x88,
                                                 0xB9, 0xFB, 0xB7, 0xDC, 0x40, 0x6E, 0x4D, 0x16};

struct Item {
  std::uint32_t type = 0;
  bool xmp = false;                   // a 'mime' item holding RDF
  std::vector<std::uint16_t> properties;  // 1-based indices into ipco, in order
};

struct Reference {
  std::uint32_t type = 0;
  std::uint32_t from = 0;
  std::vector<std::uint32_t> to;
};

// A picture of a CR3 as its headers give it: a raw track (its bits), else a
// JPEG stream at [dataOffset, dataOffset + dataLength).
struct CanonPicture {
  std::uint32_t columns = 0, rows = 0;
  bool raw = false;
  std::uint64_t dataOffset = 0, dataLength = 0;
  unsigned bits = 0;
};

// A uuid box of the given identifier.
bool IsUuid(const ByteSource& source, const Box& b, const unsigned char (&id)[16]) {
  unsigned char read[16];
  return b.type == FourCC("uuid") && b.ContentSize() >= 16 && source.Read(b.content, read, 16) == 16 &&
         std::memcmp(read, id, 16) == 0;
}

// Maps a mirror-then-clockwise-rotation pair to the rotation enumeration.
PXC_TImageRotation RotationOf(bool mirror, int clockwise) {
  static constexpr PXC_TImageRotation kPlain[] = {PXC_IR_NONE, PXC_IR_90, PXC_IR_180, PXC_IR_270};
  static constexpr PXC_TImageRotation kMirrored[] = {PXC_IR_MIRROR, PXC_IR_MIRROR_90, PXC_IR_MIRROR_180,
                                                     PXC_IR_MIRROR_270};
  return mirror ? kMirrored[clockwise & 3] : kPlain[clockwise & 3];
}

class HeifReader : public PreparedReader {
 public:
  bool Open(const ByteSource& source) override;

 private:
  bool ReadMeta(const Box& meta);
  void ReadItemInfo(const Box& iinf);
  void ReadReferences(const Box& iref);
  void ReadProperties(const Box& iprp);
  ImageDescription DescribeItem(std::uint32_t id);
  const Reference* FindReference(std::uint32_t type, std::uint32_t from) const;
  bool OpenHeif();
  bool OpenCanonRaw();
  void ReadCanonTrack(const Box& trak, std::vector<CanonPicture>& pictures);
  void ReadCanonMetadata(const Box& uuid, ImageDescription& main, std::vector<CanonPicture>& pictures);

  const ByteSource* iSource = nullptr;
  std::vector<std::uint32_t> iBrands;
  bool iHavePrimary = false;
  std::uint32_t iPrimary = 0;
  std::unordered_map<std::uint32_t, Item> iItems;
  std::vector<std::uint32_t> iItemOrder;
  std::vector<Reference> iReferences;
  std::vector<Box> iProperties;  // ipco children; property index i is iProperties[i - 1]
  std::size_t iAssociations = 0;
  std::size_t iReferenced = 0;
};

bool HeifReader::Open(const ByteSource& source) {
  iSource = &source;
  iImages.clear();
  iBrands.clear();
  iItems.clear();
  iItemOrder.clear();
  iReferences.clear();
  iProperties.clear();
  iHavePrimary = false;
  iAssociations = iReferenced = 0;

  ByteReader reader(source);
  Box ftyp;
  if (!box::ReadBox(source, 0, reader.Size(), ftyp) || ftyp.type != FourCC("ftyp") || ftyp.ContentSize() < 8) {
    return false;
  }
  iBrands.push_back(reader.U32BE(ftyp.content));
  for (std::uint64_t p = ftyp.content + 8; p + 4 <= ftyp.end && iBrands.size() < kMaxBrands; p += 4) {
    iBrands.push_back(reader.U32BE(p));
  }
  auto has = [this](const char(&brand)[5]) {
    return std::find(iBrands.begin(), iBrands.end(), FourCC(brand)) != iBrands.end();
  };
  if (iBrands[0] == FourCC("crx ")) {
    if (!OpenCanonRaw()) return false;
    for (ImageDescription& image : iImages) {
      if (!image.embedded) image.format = "CR3";
    }
    return true;
  }
  bool heif = false;
  for (const char* brand : {"heic", "heix", "hevc", "hevx", "heim", "heis", "hevm", "hevs", "mif1", "mif2",
                            "msf1", "miaf", "avif", "avis", "avio"}) {
    char name[5] = {brand[0], brand[1], brand[2], brand[3], 0};
    if (has(name)) heif = true;
  }
  if (!heif) return false;
  if (!OpenHeif()) return false;
  std::string format = has("avif") || has("avis") || iBrands[0] == FourCC("avio") ? "AVIF" : "HEIF";
  for (ImageDescription& image : iImages) image.format = format;
  return true;
}

bool HeifReader::OpenHeif() {
  const ByteSource& source = *iSource;
  ByteReader reader(source);
  Box b;
  std::uint64_t position = 0;
  bool haveMeta = false;
  for (std::size_t count = 0; count < kMaxBoxes && box::ReadBox(source, position, reader.Size(), b); ++count) {
    position = b.end;
    if (b.type == FourCC("meta")) {
      haveMeta = ReadMeta(b);
      break;
    }
  }
  if (!haveMeta) return false;
  if (!iHavePrimary) {
    // no pitm: the first coded image item
    for (std::uint32_t id : iItemOrder) {
      std::uint32_t type = iItems[id].type;
      if (type == FourCC("hvc1") || type == FourCC("av01") || type == FourCC("grid") || type == FourCC("jpeg")) {
        iPrimary = id;
        iHavePrimary = true;
        break;
      }
    }
  }
  if (!iHavePrimary) return false;
  if (!iItems.count(iPrimary)) iItems[iPrimary] = Item();
  ImageDescription main = DescribeItem(iPrimary);
  if (main.columns == 0 || main.rows == 0) return false;
  main.type = PXC_IT_MAIN;

  // an auxiliary alpha image of the primary
  for (const Reference& reference : iReferences) {
    if (reference.type != FourCC("auxl") ||
        std::find(reference.to.begin(), reference.to.end(), iPrimary) == reference.to.end()) {
      continue;
    }
    auto it = iItems.find(reference.from);
    if (it == iItems.end()) continue;
    for (std::uint16_t index : it->second.properties) {
      if (index == 0 || index > iProperties.size() || iProperties[index - 1].type != FourCC("auxC")) continue;
      const Box& p = iProperties[index - 1];
      if (p.ContentSize() <= 4) continue;
      std::string kind = reader.Text(p.content + 4, static_cast<std::size_t>(std::min<std::uint64_t>(p.ContentSize() - 4, 128)));
      kind = kind.substr(0, kind.find('\0'));
      if (kind == "urn:mpeg:hevc:2015:auxid:1" || kind == "urn:mpeg:mpegB:cicp:systems:auxiliary:alpha") {
        const Reference* premultiplied = FindReference(FourCC("prem"), iPrimary);
        bool associated = premultiplied && std::find(premultiplied->to.begin(), premultiplied->to.end(),
                                                     reference.from) != premultiplied->to.end();
        main.alphaPlane = associated ? PXC_AP_ASSOCIATED : PXC_AP_UNASSOCIATED;
      }
    }
  }
  bool exif = false, xmp = false;
  for (const auto& [id, item] : iItems) {
    if (item.type == FourCC("Exif")) exif = true;
    if (item.xmp) xmp = true;
  }
  if (exif) main.extended.emplace_back("Exif", "yes");
  if (xmp) main.extended.emplace_back("XMP", "yes");
  iImages.push_back(std::move(main));

  // thumbnails of the primary, each with its own properties
  for (const Reference& reference : iReferences) {
    if (iImages.size() > kMaxThumbnails) break;
    if (reference.type != FourCC("thmb") || reference.from == iPrimary ||
        std::find(reference.to.begin(), reference.to.end(), iPrimary) == reference.to.end() ||
        !iItems.count(reference.from)) {
      continue;
    }
    ImageDescription thumbnail = DescribeItem(reference.from);
    if (thumbnail.columns == 0 || thumbnail.rows == 0) continue;
    thumbnail.type = std::max(thumbnail.columns, thumbnail.rows) <= 256 ? PXC_IT_THUMBNAIL : PXC_IT_PREVIEW;
    iImages.push_back(std::move(thumbnail));
  }
  return true;
}

bool HeifReader::ReadMeta(const Box& meta) {
  const ByteSource& source = *iSource;
  ByteReader reader(source);
  Box b;
  std::uint64_t position = meta.content + 4;  // version and flags
  for (std::size_t count = 0; count < kMaxBoxes && box::ReadBox(source, position, meta.end, b); ++count) {
    position = b.end;
    switch (b.type) {
      case FourCC("pitm"):
        if (b.ContentSize() >= 6) {
          iPrimary = reader.U8(b.content) == 0 ? reader.U16BE(b.content + 4) : reader.U32BE(b.content + 4);
          iHavePrimary = b.ContentSize() >= (reader.U8(b.content) == 0 ? 6u : 8u);
        }
        break;
      case FourCC("iinf"):
        ReadItemInfo(b);
        break;
      case FourCC("iref"):
        ReadReferences(b);
        break;
      case FourCC("iprp"):
        ReadProperties(b);
        break;
      default:
        break;
    }
  }
  return true;
}

void HeifReader::ReadItemInfo(const Box& iinf) {
  const ByteSource& source = *iSource;
  ByteReader reader(source);
  if (iinf.ContentSize() < 6) return;
  std::uint64_t position = iinf.content + (reader.U8(iinf.content) == 0 ? 6 : 8);
  Box b;
  for (std::size_t count = 0; count < kMaxItems && box::ReadBox(source, position, iinf.end, b); ++count) {
    position = b.end;
    if (b.type != FourCC("infe") || b.ContentSize() < 12) continue;
    std::uint8_t version = reader.U8(b.content);
    if (version < 2) continue;  // no item types before version 2
    std::uint64_t p = b.content + 4;
    std::uint32_t id = version == 2 ? reader.U16BE(p) : reader.U32BE(p);
    p += version == 2 ? 2 : 4;
    p += 2;  // protection index
    if (p + 4 > b.end) continue;
    Item item;
    item.type = reader.U32BE(p);
    p += 4;
    if (item.type == FourCC("mime")) {
      // name, then content type
      std::string rest = reader.Text(p, static_cast<std::size_t>(std::min<std::uint64_t>(b.end - p, 512)));
      std::size_t nul = rest.find('\0');
      if (nul != std::string::npos) {
        std::string contentType = rest.substr(nul + 1);
        contentType = contentType.substr(0, contentType.find('\0'));
        item.xmp = contentType == "application/rdf+xml";
      }
    }
    if (!iItems.count(id)) iItemOrder.push_back(id);
    iItems[id].type = item.type;
    iItems[id].xmp = item.xmp;
  }
}

void HeifReader::ReadReferences(const Box& iref) {
  const ByteSource& source = *iSource;
  ByteReader reader(source);
  if (iref.ContentSize() < 4) return;
  const bool wide = reader.U8(iref.content) != 0;
  const std::uint64_t idSize = wide ? 4 : 2;
  std::uint64_t position = iref.content + 4;
  Box b;
  for (std::size_t count = 0; count < kMaxBoxes * 16 && box::ReadBox(source, position, iref.end, b); ++count) {
    position = b.end;
    if (b.ContentSize() < idSize + 2) continue;
    Reference reference;
    reference.type = b.type;
    reference.from = wide ? reader.U32BE(b.content) : reader.U16BE(b.content);
    std::uint64_t n = reader.U16BE(b.content + idSize);
    n = std::min<std::uint64_t>(n, (b.ContentSize() - idSize - 2) / idSize);
    if (iReferenced + n > kMaxReferences) break;
    iReferenced += n;
    for (std::uint64_t i = 0; i < n; ++i) {
      std::uint64_t p = b.content + idSize + 2 + i * idSize;
      reference.to.push_back(wide ? reader.U32BE(p) : reader.U16BE(p));
    }
    iReferences.push_back(std::move(reference));
  }
}

void HeifReader::ReadProperties(const Box& iprp) {
  const ByteSource& source = *iSource;
  ByteReader reader(source);
  Box b;
  std::uint64_t position = iprp.content;
  for (std::size_t count = 0; count < kMaxBoxes && box::ReadBox(source, position, iprp.end, b); ++count) {
    position = b.end;
    if (b.type == FourCC("ipco") && iProperties.empty()) {
      Box p;
      std::uint64_t at = b.content;
      while (iProperties.size() < kMaxProperties && box::ReadBox(source, at, b.end, p)) {
        at = p.end;
        iProperties.push_back(p);
      }
    } else if (b.type == FourCC("ipma") && b.ContentSize() >= 8) {
      std::uint8_t version = reader.U8(b.content);
      bool wideIndex = reader.U8(b.content + 3) & 1;
      std::uint32_t entries = reader.U32BE(b.content + 4);
      std::uint64_t p = b.content + 8;
      for (std::uint32_t e = 0; e < entries && p < b.end; ++e) {
        std::uint32_t id = version < 1 ? reader.U16BE(p) : reader.U32BE(p);
        p += version < 1 ? 2 : 4;
        std::uint8_t n = reader.U8(p++);
        std::uint64_t bytes = static_cast<std::uint64_t>(n) * (wideIndex ? 2 : 1);
        if (p > b.end || bytes > b.end - p || iAssociations + n > kMaxAssociations) break;
        iAssociations += n;
        auto found = iItems.find(id);
        if (found == iItems.end()) {
          if (iItems.size() >= kMaxItems) {
            p += bytes;
            continue;
          }
          iItemOrder.push_back(id);
          found = iItems.emplace(id, Item()).first;
        }
        for (std::uint8_t a = 0; a < n; ++a) {
          std::uint16_t index = wideIndex ? reader.U16BE(p) & 0x7FFF : reader.U8(p) & 0x7F;
          p += wideIndex ? 2 : 1;
          found->second.properties.push_back(index);
        }
      }
    }
  }
}

const Reference* HeifReader::FindReference(std::uint32_t type, std::uint32_t from) const {
  for (const Reference& reference : iReferences) {
    if (reference.type == type && reference.from == from) return &reference;
  }
  return nullptr;
}

ImageDescription HeifReader::DescribeItem(std::uint32_t id) {
  const ByteSource& source = *iSource;
  ByteReader reader(source);
  ImageDescription image;
  const Item& item = iItems[id];
  std::uint32_t width = 0, height = 0;
  double clapWidth = 0, clapHeight = 0;
  bool mirror = false;
  int clockwise = 0;
  int bits = 0;
  bool haveCoding = false;
  bool monochrome = false, haveChroma = false, rgbMatrix = false;
  std::string profile;
  bool haveProfile = false;

  // a grid takes its coding from its first tile
  std::vector<std::uint16_t> properties = item.properties;
  std::uint32_t coding = item.type;
  if (item.type == FourCC("grid")) {
    if (const Reference* tiles = FindReference(FourCC("dimg"), id); tiles && !tiles->to.empty()) {
      auto tile = iItems.find(tiles->to[0]);
      if (tile != iItems.end()) {
        coding = tile->second.type;
        for (std::uint16_t index : tile->second.properties) {
          if (index > 0 && index <= iProperties.size()) {
            std::uint32_t t = iProperties[index - 1].type;
            if (t == FourCC("hvcC") || t == FourCC("av1C") || t == FourCC("pixi")) properties.push_back(index);
          }
        }
      }
    }
  }

  for (std::uint16_t index : properties) {
    if (index == 0 || index > iProperties.size()) continue;
    const Box& p = iProperties[index - 1];
    const std::uint64_t c = p.content, size = p.ContentSize();
    switch (p.type) {
      case FourCC("ispe"):
        if (size >= 12 && width == 0) {
          width = reader.U32BE(c + 4);
          height = reader.U32BE(c + 8);
        }
        break;
      case FourCC("pixi"):
        // the coding configuration wins, as with libheif
        if (size >= 6 && !haveCoding) bits = reader.U8(c + 5);
        break;
      case FourCC("hvcC"):
        if (size >= 19) {
          haveChroma = true;
          monochrome = (reader.U8(c + 16) & 3) == 0;
          haveCoding = true;
          bits = (reader.U8(c + 17) & 7) + 8;
        }
        break;
      case FourCC("av1C"):
        if (size >= 3) {
          std::uint8_t flags = reader.U8(c + 2);
          haveChroma = true;
          monochrome = flags & 0x10;
          haveCoding = true;
          bits = (flags & 0x40) ? ((flags & 0x20) ? 12 : 10) : 8;
        }
        break;
      case FourCC("colr"):
        if (size >= 4) {
          std::uint32_t kind = reader.U32BE(c);
          if (kind == FourCC("nclx") && size >= 10) {
            rgbMatrix = reader.U16BE(c + 8) == 0;
          } else if ((kind == FourCC("prof") || kind == FourCC("rICC")) && !haveProfile) {
            haveProfile = true;
            IccProfile icc;
            if (ReadIccProfile(source, c + 4, size - 4, icc)) {
              profile = icc.description;
              if (icc.colorSpace == FourCC("GRAY")) monochrome = true;
            }
          }
        }
        break;
      case FourCC("irot"):
        // anticlockwise quarter turns, applied after what came before
        if (size >= 1) clockwise = (clockwise + 4 - (reader.U8(c) & 3)) & 3;
        break;
      case FourCC("imir"):
        if (size >= 1) {
          // axis 0 flips left to right, axis 1 top to bottom
          mirror = !mirror;
          clockwise = (reader.U8(c) & 1) ? (2 - clockwise) & 3 : (4 - clockwise) & 3;
        }
        break;
      case FourCC("clap"):
        if (size >= 16) {
          std::uint32_t wn = reader.U32BE(c), wd = reader.U32BE(c + 4);
          std::uint32_t hn = reader.U32BE(c + 8), hd = reader.U32BE(c + 12);
          if (wd && hd) {
            clapWidth = static_cast<double>(wn) / wd;
            clapHeight = static_cast<double>(hn) / hd;
            // after a quarter turn the aperture is given in the turned picture
            if (clockwise & 1) std::swap(clapWidth, clapHeight);
          }
        }
        break;
      default:
        break;
    }
  }
  if (clapWidth >= 1 && clapHeight >= 1 && clapWidth <= width && clapHeight <= height) {
    width = static_cast<std::uint32_t>(std::lround(clapWidth));
    height = static_cast<std::uint32_t>(std::lround(clapHeight));
  }
  // The picture as coded (within its clean aperture); the rotation says how
  // to turn it for display.
  image.columns = width;
  image.rows = height;
  image.rotation = RotationOf(mirror, clockwise);
  if (monochrome) {
    image.channelEncoding = PXC_CE_GRAY;
    image.inks = 1;
  } else if (haveChroma || haveProfile) {
    image.channelEncoding = rgbMatrix ? PXC_CE_RGB : PXC_CE_YCBCR;
    image.inks = 3;
  }
  const char* compression = coding == FourCC("hvc1")   ? "HEVC"
                            : coding == FourCC("av01") ? "AV1"
                            : coding == FourCC("jpeg") ? "JPEG"
                            : coding == FourCC("j2k1") ? "JPEG 2000"
                            : coding == FourCC("vvc1") ? "VVC"
                            : coding == FourCC("unci") ? "Uncompressed"
                                                     : nullptr;
  if (compression) image.extended.emplace_back("Compression", compression);
  if (bits > 0) image.extended.emplace_back("BitsPerSample", std::to_string(bits));
  if (haveProfile) image.extended.emplace_back("ColorProfile", profile.empty() ? "embedded" : profile);
  return image;
}

// Canon CR3: a movie whose tracks hold one sample each (a full-size JPEG, a
// small raw, the raw, timed metadata), Canon's metadata box in moov with the
// thumbnail (THMB), and a preview box (PRVW) at the top level.  The largest
// raw track is the main image, the sensor; the thumbnail, the JPEG and small
// raw tracks and the preview follow in file order, as embedded JPEG streams
// where their data hold one, else from the sizes their headers state.
bool HeifReader::OpenCanonRaw() {
  const ByteSource& source = *iSource;
  ByteReader reader(source);
  ImageDescription main;
  std::vector<CanonPicture> pictures;
  Box b;
  for (std::uint64_t position = 0, count = 0;
       count < kMaxBoxes && box::ReadBox(source, position, reader.Size(), b); ++count, position = b.end) {
    if (b.type == FourCC("moov")) {
      Box child;
      for (std::uint64_t at = b.content, n = 0; n < kMaxBoxes && box::ReadBox(source, at, b.end, child);
           ++n, at = child.end) {
        if (child.type == FourCC("trak")) {
          ReadCanonTrack(child, pictures);
        } else if (IsUuid(source, child, kCanonUuid)) {
          ReadCanonMetadata(child, main, pictures);
        }
      }
    } else if (IsUuid(source, b, kCanonPreviewUuid)) {
      // 8 bytes, then the PRVW box: a word, a half-word, width, height, a
      // half-word, the JPEG's length and the JPEG; files cut short keep its header
      const std::uint64_t at = b.content + 24;
      if (at + 24 <= b.end && reader.U32BE(at + 4) == FourCC("PRVW")) {
        pictures.push_back({reader.U16BE(at + 14), reader.U16BE(at + 16), false, at + 24,
                            std::min<std::uint64_t>(reader.U32BE(at + 20), b.end - at - 24)});
      }
    }
  }
  const auto rank = [](const CanonPicture& p) { return std::pair(p.raw, std::uint64_t{p.columns} * p.rows); };
  const auto sensor = std::max_element(pictures.begin(), pictures.end(),
                                       [&](const CanonPicture& a, const CanonPicture& c) { return rank(a) < rank(c); });
  if (sensor == pictures.end() || !sensor->raw) return Refuse("no raw track gives the sensor size");
  raw::SetSensor(main, sensor->columns, sensor->rows);
  main.extended.insert(main.extended.begin(), {"Compression", "Canon CRX"});
  if (sensor->bits > 0) {
    main.extended.insert(main.extended.begin() + 1, {"BitsPerSample", std::to_string(sensor->bits)});
  }
  iImages.push_back(std::move(main));
  for (auto picture = pictures.begin(); picture != pictures.end() && iImages.size() <= kMaxThumbnails; ++picture) {
    ImageDescription image;
    if (picture == sensor || picture->columns == 0 || picture->rows == 0) continue;
    if (!picture->raw && EmbeddedJpeg(source, picture->dataOffset, picture->dataLength, image)) {
      iImages.push_back(std::move(image));
      continue;
    }
    image.type = ReducedImageType(picture->columns, picture->rows);
    image.columns = picture->columns;
    image.rows = picture->rows;
    image.channelEncoding = picture->raw ? PXC_CE_RGB : PXC_CE_YCBCR;
    image.inks = 3;
    image.extended.emplace_back("Compression", picture->raw ? "Canon CRX" : "JPEG");
    iImages.push_back(std::move(image));
  }
  return true;
}

void HeifReader::ReadCanonTrack(const Box& trak, std::vector<CanonPicture>& pictures) {
  const ByteSource& source = *iSource;
  ByteReader reader(source);
  // trak / mdia / minf / stbl
  Box stbl = trak;
  for (std::uint32_t type : {FourCC("mdia"), FourCC("minf"), FourCC("stbl")}) {
    Box child;
    bool found = false;
    for (std::uint64_t at = stbl.content, n = 0; !found && n < kMaxBoxes && box::ReadBox(source, at, stbl.end, child);
         ++n, at = child.end) {
      found = child.type == type;
    }
    if (!found) return;
    stbl = child;
  }
  // The sample entry (a visual entry: width and height, then boxes that say
  // how the sample is coded), the sample's size and its chunk's offset.
  CanonPicture picture;
  bool visual = false;
  Box b;
  for (std::uint64_t at = stbl.content, n = 0; n < kMaxBoxes && box::ReadBox(source, at, stbl.end, b);
       ++n, at = b.end) {
    Box entry, coding;
    if (b.type == FourCC("stsd") && box::ReadBox(source, b.content + 8, b.end, entry) &&
        entry.type == FourCC("CRAW") && entry.ContentSize() >= 28) {
      picture.columns = reader.U16BE(entry.content + 24);
      picture.rows = reader.U16BE(entry.content + 26);
      visual = true;
      for (std::uint64_t c = entry.content + 82, m = 0; m < kMaxBoxes && box::ReadBox(source, c, entry.end, coding);
           ++m, c = coding.end) {
        if (coding.type == FourCC("CMP1")) {
          picture.raw = true;
          picture.bits = reader.U8(coding.content + 24);
        }
      }
    } else if (b.type == FourCC("stsz") && b.ContentSize() >= 12) {
      picture.dataLength = reader.U32BE(b.content + 4);  // the one size of every sample,
      if (picture.dataLength == 0) picture.dataLength = reader.U32BE(b.content + 12);  // else the first's
    } else if (b.type == FourCC("co64") && b.ContentSize() >= 16) {
      picture.dataOffset = reader.U64BE(b.content + 8);
    } else if (b.type == FourCC("stco") && b.ContentSize() >= 12) {
      picture.dataOffset = reader.U32BE(b.content + 8);
    }
  }
  if (visual && !reader.Failed()) pictures.push_back(picture);
}

void HeifReader::ReadCanonMetadata(const Box& uuid, ImageDescription& main, std::vector<CanonPicture>& pictures) {
  const ByteSource& source = *iSource;
  ByteReader reader(source);
  Box child;
  std::uint64_t at = uuid.content + 16;
  for (std::size_t n = 0; n < kMaxBoxes && box::ReadBox(source, at, uuid.end, child); ++n) {
    at = child.end;
    if (child.type == FourCC("CMT2")) {
      main.extended.emplace_back("Exif", "yes");
    } else if (child.type == FourCC("CMT1")) {
      // a TIFF header and IFD0: the orientation
      SliceSource block(source, child.content, child.ContentSize());
      main.rotation = tiff::RotationFromOrientation(tiff::ReadExifSummary(block).orientation);
    } else if (child.type == FourCC("THMB") && child.ContentSize() >= 16) {
      // version and flags, width, height, the JPEG's length, a word, the JPEG
      pictures.push_back({reader.U16BE(child.content + 4), reader.U16BE(child.content + 6), false, child.content + 16,
                          std::min<std::uint64_t>(reader.U32BE(child.content + 8), child.ContentSize() - 16)});
    }
  }
}

}  // namespace

std::unique_ptr<FormatReader> MakeHeifReader() { return std::make_unique<HeifReader>(); }
IMR_READER(HEIF, MakeHeifReader);

}  // namespace imr::formats
