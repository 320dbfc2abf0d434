// IMR_TSet: the element that writes a fact into the ticket or asks for a
// further plugin.
#include <cstdlib>
#include <ostream>

#include "magic/imr_magic-priv.h"

namespace {
const ZQ_TString kPluginsKey("imr_plugins");

struct Named {
  const char* key;
  IMR_TSet::Action action;
};
// In the order keys are compared; the first equal one decides.
constexpr Named kActions[] = {
    {"imr_plugin", IMR_TSet::Action::PluginRequest},
    {"FillLevel", IMR_TSet::Action::FillLevel},
    {"ImageType", IMR_TSet::Action::ImageType},
    {"ImagePosition", IMR_TSet::Action::ImagePosition},
    {"CreatorId", IMR_TSet::Action::CreatorId},
    {"ImageProcessor", IMR_TSet::Action::ImageProcessor},
    {"FileFormat", IMR_TSet::Action::FileFormat},
    {"FileFormatVersion", IMR_TSet::Action::FileFormatVersion},
    {"MeasurementUnits", IMR_TSet::Action::MeasurementUnits},
    {"VResolution", IMR_TSet::Action::VResolution},
    {"HResolution", IMR_TSet::Action::HResolution},
    {"VRealSize", IMR_TSet::Action::VRealSize},
    {"HRealSize", IMR_TSet::Action::HRealSize},
    {"ImageRotation", IMR_TSet::Action::ImageRotation},
    {"ChannelEncoding", IMR_TSet::Action::ChannelEncoding},
    {"AlphaPlane", IMR_TSet::Action::AlphaPlane},
    {"NrInks", IMR_TSet::Action::NrInks},
};

// Appends (name, argument) to the ticket's plugin list unless `name` is in it
// already, as a name or as an argument.
void RequestPlugin(ZQ_TDict& internal, const ZQ_TString& name, const ZQ_TString& argument) {
  ZQ_TAny& entry = internal[kPluginsKey];
  if (std::as_const(entry).DynamicCast<ZQ_TList>() == nullptr) entry = ZQ_TAny(ZQ_TList());
  ZQ_TList& plugins = *entry.DynamicCast<ZQ_TList>();
  if (!plugins.KeyOf(ZQ_TAny(name)).IsNull()) return;
  plugins.AddAtTail(ZQ_TAny(name));
  plugins.AddAtTail(ZQ_TAny(argument));
}
}  // namespace

IMR_TSet::IMR_TSet(const ZQ_TString& key, const ZQ_TString& value)
    : iKey(key), iValue(value), iAction(ActionOf(key)) {}

IMR_TSet::Action IMR_TSet::ActionOf(const ZQ_TString& key) {
  for (const Named& named : kActions) {
    if (key == named.key) return named.action;
  }
  return Action::ExtendedInfo;
}

double IMR_TSet::ValueD() const { return std::atof(iValue.Narrow()); }

unsigned int IMR_TSet::ValueU32() const {
  return static_cast<unsigned int>(std::strtoll(iValue.Narrow(), nullptr, 10));
}

signed char IMR_TSet::ValueI8() const {
  return static_cast<signed char>(std::strtoll(iValue.Narrow(), nullptr, 10));
}

bool IMR_TSet::Apply(const ZQ_TString& entryArgument, PXC_TImageTicket& ticket,
                     bool& pluginRequested) const {
  // A number, or when that reads 0 the name form through its converter.
  auto numberOr = [this](auto convert) {
    unsigned int number = ValueU32();
    return number != 0 ? static_cast<decltype(convert(iValue))>(number) : convert(iValue);
  };
  switch (iAction) {
    case Action::PluginRequest: {
      const int equals = iValue.Find('=');
      if (equals < 0) {
        RequestPlugin(Internal(ticket), iValue, entryArgument);
      } else {
        RequestPlugin(Internal(ticket), iValue.Substring(0, equals), iValue.Substring(equals + 1));
      }
      pluginRequested = true;
      return true;
    }
    case Action::FillLevel:
      SetFillLevel(ticket, numberOr(PXC_String2FillLevel));
      return true;
    case Action::ImageType:
      SetImageType(ticket, numberOr(PXC_String2ImageType));
      return true;
    case Action::ImagePosition:
      SetImagePosition(ticket, static_cast<unsigned char>(ValueU32()));
      return true;
    case Action::CreatorId:
      SetCreatorId(ticket, iValue);
      return true;
    case Action::ImageProcessor:
      SetImageProcessor(ticket, iValue);
      return true;
    case Action::FileFormat:
      if (!ticket.FileFormat().IsEmpty()) return false;
      SetFileFormat(ticket, iValue);
      return true;
    case Action::FileFormatVersion:
      SetFileFormatVersion(ticket, iValue);
      return true;
    case Action::MeasurementUnits:
      SetMeasurementUnits(ticket, numberOr(PXC_String2Units));
      return true;
    case Action::VResolution:
      SetVResolution(ticket, ValueD());
      return true;
    case Action::HResolution:
      SetHResolution(ticket, ValueD());
      return true;
    case Action::VRealSize:
      SetVRealSize(ticket, ValueD());
      return true;
    case Action::HRealSize:
      SetHRealSize(ticket, ValueD());
      return true;
    case Action::ImageRotation:
      SetRotation(ticket, numberOr(PXC_String2ImageRotation));
      return true;
    case Action::ChannelEncoding:
      SetChannelEncoding(ticket, numberOr(PXC_String2ChannelEnc));
      return true;
    case Action::AlphaPlane:
      SetAlphaPlane(ticket, numberOr(PXC_String2AlphaPlane));
      return true;
    case Action::NrInks:
      SetNrInks(ticket, static_cast<unsigned short>(static_cast<short>(ValueI8())));
      return true;
    case Action::ExtendedInfo:
      ExtendedInfo(ticket).Add(iKey, ZQ_TAny(iValue));
      return true;
  }
  return true;
}

bool IMR_TSet::operator()(const ZQ_TString& entryArgument, const PXC_IBuffer& buffer,
                          PXC_TImageTicket& ticket, bool& pluginRequested, PXC_TFillLevel level,
                          unsigned int passThrough) const {
  if (!Apply(entryArgument, ticket, pluginRequested)) return false;
  if (level <= ticket.FillLevel()) return true;  // filled far enough: the chain ends here
  return CallNext(entryArgument, buffer, ticket, pluginRequested, level, passThrough);
}

bool IMR_TSet::operator==(const IMR_TSet& other) const {
  return iKey == other.iKey && iValue == other.iValue && IMR_TMatch::operator==(other);
}

void IMR_TSet::ZQ_Pack(ZQ_IPacking& out) const {
  out.PackString(iKey);
  out.PackString(iValue);
  IMR_TMatch::ZQ_Pack(out);
}

void IMR_TSet::ZQ_Unpack(ZQ_IUnpacking& in) {
  iKey = in.UnpackString();
  iValue = in.UnpackString();
  iAction = ActionOf(iKey);
  IMR_TMatch::ZQ_Unpack(in);
}

bool IMR_TSet::ZQ_IsIdent(const ZQ_IPackable& other) const {
  const IMR_TSet* match = ZQ_DynamicCast<IMR_TSet>(&other);
  return match != nullptr && *this == *match;
}

void IMR_TSet::PrintOn(std::ostream& out) const {
  out << ZQ_IPrintable::Prefix() << "Set '";
  iKey.PrintOn(out);
  out << "' to '";
  iValue.PrintOn(out);
  out << "'\n";
  PrintNext(out);
}

bool IMR_TSet::WriteTo(ZQ_THumanReadableStream& out) const {
  out.WriteObject(&iKey);
  out.NewLine();
  out.WriteObject(&iValue);
  out.NewLine();
  return IMR_TMatch::WriteTo(out);
}

bool IMR_TSet::ReadFrom(ZQ_THumanReadableStream& in) {
  std::unique_ptr<ZQ_TObject> key(in.ReadObject());
  std::unique_ptr<ZQ_TObject> value(in.ReadObject());
  const ZQ_TString* keyText = ZQ_DynamicCast<ZQ_TString>(key.get());
  const ZQ_TString* valueText = ZQ_DynamicCast<ZQ_TString>(value.get());
  if (keyText == nullptr || valueText == nullptr) return true;
  iKey = *keyText;
  iValue = *valueText;
  iAction = ActionOf(iKey);
  return IMR_TMatch::ReadFrom(in);
}
