#include "pxcbase/pxc_convert.h"

#include <strings.h>

#include <cstdlib>
#include <sstream>
#include <string>

#include "pxcbase/pxc_exceptions.h"

unsigned int PXC_DebugFlag = 0;

namespace {

struct Name {
  const char* text;
  std::int32_t value;
};

// The value named by `text` in `names`, or its decimal number, or 0.
std::int32_t Convert(const ZQ_TString& text, std::initializer_list<Name> names) {
  const char* chars = text.Narrow();
  while (*chars == ' ') ++chars;
  if (*chars >= '0' && *chars <= '9') return static_cast<std::int32_t>(std::strtol(chars, nullptr, 10));
  for (const Name& name : names) {
    if (strcasecmp(chars, name.text) == 0) return name.value;
  }
  return 0;
}

const char* NameOf(std::int32_t value, std::initializer_list<Name> names) {
  for (const Name& name : names) {
    if (name.value == value) return name.text;
  }
  return "Unknown";
}

#define PXC_NAMES(list_name, ...) const std::initializer_list<Name> list_name = {__VA_ARGS__};

PXC_NAMES(kImageTypes, {"Unknown", 0}, {"Thumbnail", 1}, {"Preview", 2}, {"Main", 3},
          {"Auxiliary", 4}, {"Page", 5})
PXC_NAMES(kChannelEncodings, {"Unknown", 0}, {"Bilevel", 1}, {"Gray", 2}, {"RGB", 3},
          {"CMYK", 4}, {"Lab", 5}, {"Indexed", 6}, {"YCbCr", 7}, {"YCCK", 8},
          {"Multichannel", 9}, {"Duotone", 10}, {"XYZ", 11}, {"Vector", 12})
PXC_NAMES(kAlphaPlanes, {"None", 0}, {"Associated", 1}, {"Unassociated", 2},
          {"TransparentIndex", 3}, {"Unspecified", 4})
PXC_NAMES(kRotations, {"None", 0}, {"R90", 1}, {"R180", 2}, {"R270", 3}, {"Mirror", 4},
          {"Mirror90", 5}, {"Mirror180", 6}, {"Mirror270", 7})
PXC_NAMES(kUnits, {"None", 0}, {"Inch", 1}, {"Centimeter", 2}, {"Millimeter", 3}, {"Point", 4},
          {"Meter", 5})
PXC_NAMES(kFillLevels, {"Embedded", 0}, {"File", 1}, {"Format", 2}, {"Geometry", 3},
          {"AllImages", 4}, {"Details", 5}, {"Dependencies", 6})
PXC_NAMES(kSubtypes, {"None", 0}, {"Layer", 1}, {"Mask", 2}, {"AlphaChannel", 3}, {"Other", 4})

}  // namespace

PXC_TImageType PXC_String2ImageType(const ZQ_TString& t) {
  return static_cast<PXC_TImageType>(Convert(t, kImageTypes));
}
PXC_TChannelEnc PXC_String2ChannelEnc(const ZQ_TString& t) {
  return static_cast<PXC_TChannelEnc>(Convert(t, kChannelEncodings));
}
PXC_TAlphaPlane PXC_String2AlphaPlane(const ZQ_TString& t) {
  return static_cast<PXC_TAlphaPlane>(Convert(t, kAlphaPlanes));
}
PXC_TImageRotation PXC_String2ImageRotation(const ZQ_TString& t) {
  return static_cast<PXC_TImageRotation>(Convert(t, kRotations));
}
PXC_TMUnits PXC_String2Units(const ZQ_TString& t) {
  return static_cast<PXC_TMUnits>(Convert(t, kUnits));
}
PXC_TFillLevel PXC_String2FillLevel(const ZQ_TString& t) {
  return static_cast<PXC_TFillLevel>(Convert(t, kFillLevels));
}
PXC_TImageSubtype PXC_String2ImageSubtype(const ZQ_TString& t) {
  return static_cast<PXC_TImageSubtype>(Convert(t, kSubtypes));
}

const char* PXC_ImageTypeName(PXC_TImageType v) { return NameOf(v, kImageTypes); }
const char* PXC_ChannelEncName(PXC_TChannelEnc v) { return NameOf(v, kChannelEncodings); }
const char* PXC_AlphaPlaneName(PXC_TAlphaPlane v) { return NameOf(v, kAlphaPlanes); }
const char* PXC_ImageRotationName(PXC_TImageRotation v) { return NameOf(v, kRotations); }
const char* PXC_UnitsName(PXC_TMUnits v) { return NameOf(v, kUnits); }
const char* PXC_FillLevelName(PXC_TFillLevel v) { return NameOf(v, kFillLevels); }
const char* PXC_ImageSubtypeName(PXC_TImageSubtype v) { return NameOf(v, kSubtypes); }

namespace {

// Containers are written item by item so that an exception inside one reads
// as "class: message" too (its own print adds the place and the stack).
// Texts inside containers are quoted, as containers print them.
void AppendReadable(std::string& out, const ZQ_TAny& value, bool nested) {
  if (const ZQ_EException* error = value.DynamicCast<ZQ_EException>()) {
    out += error->ClassName();
    out += ": ";
    out += error->Text().View();
  } else if (const ZQ_TList* list = value.DynamicCast<ZQ_TList>()) {
    out += '[';
    const char* separator = "";
    for (const ZQ_TList::Entry& entry : *list) {
      out += separator;
      AppendReadable(out, entry.value, true);
      separator = ", ";
    }
    out += ']';
  } else if (const ZQ_TDict* dict = value.DynamicCast<ZQ_TDict>()) {
    out += '{';
    const char* separator = "";
    for (const ZQ_TDict::Entry& entry : *dict) {
      out += separator;
      out += entry.key.View();
      out += ": ";
      AppendReadable(out, entry.value, true);
      separator = ", ";
    }
    out += '}';
  } else if (nested && value.IsText()) {
    out += '"';
    out += value.ToText().View();
    out += '"';
  } else {
    out += value.ToText().View();
  }
}

}  // namespace

ZQ_TString PXC_Any2String(const ZQ_TAny& value) {
  std::string text;
  AppendReadable(text, value, false);
  return ZQ_TString(text);
}

ZQ_TFileInfo PXC_GetFileInfo(const ZQ_TURL& url) { return ZQ_TFileInfo(url, true); }

PXC_TTag PXC_Embedded2Tag(const ZQ_TURL& url) {
  if (!url.IsEmbed()) ZQ_THROW(PXC_ENotEmbeddedFile, "%s names no embedded data", url.Text());
  return PXC_TTag(url.EmbedOffset(), url.EmbedLength());
}

ZQ_TURL PXC_EmbeddedFile(const ZQ_TURL& outer, std::uint64_t offset, std::uint64_t length,
                         std::uint32_t, double, double) {
  return ZQ_TURL::Embed(outer, offset, length);
}
