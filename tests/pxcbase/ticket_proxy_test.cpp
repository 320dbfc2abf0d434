// Image tickets and proxies: packed round trips of every field, validity
// against the file, Wipe, dependencies, and the proxy's selection.
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <vector>

#include "pxc_test_support.h"

using namespace pxctest;

// The ticket's restricted members, reached as the detection library reaches
// them: the ticket befriends this class by name.
class IMR_TTicketAccess {
 public:
  static void SetFile(PXC_TImageTicket& t, const ZQ_TURL& file) { t.SetFile(file); }
  static void SetFile(PXC_TImageTicket& t, const ZQ_TURL& file, const ZQ_TFileInfo& facts) {
    t.SetFile(file, facts);
  }
  static void SetCreatorId(PXC_TImageTicket& t, const ZQ_TString& id) { t.SetCreatorId(id); }
  static void SetImagePosition(PXC_TImageTicket& t, std::uint8_t position) {
    t.iImagePosition = position;
  }
  static void SetFillLevel(PXC_TImageTicket& t, PXC_TFillLevel level) { t.iFillLevel = level; }
  static void Wipe(PXC_TImageTicket& t) { t.Wipe(); }
  static ZQ_TDict& Internal(PXC_TImageTicket& t) { return t.InternalDictionary(); }
  static const ZQ_TDict& Internal(const PXC_TImageTicket& t) { return t.iInternal; }
  static ZQ_TList& ExternalRefs(PXC_TImageTicket& t) { return t.MutableExternalRefs(); }

  // Every field set to a value other than its default.
  static PXC_TImageTicket Full(const ZQ_TURL& file, unsigned seed) {
    PXC_TImageTicket t;
    const double s = seed;
    t.SetFile(file, ZQ_TFileInfo(file, true));
    t.SetCreatorId(ZQ_TString::Format("creator-%u", seed));
    t.SetFileFormat("TIFF");
    t.SetFileFormatVersion(ZQ_TString::Format("6.%u", seed));
    t.SetFileTimeStamp(ZQ_TTime(1700000000 + seed, 123456789));
    t.SetImageProcessor("pxctest processor");
    t.SetCanAcquire(PXC_CF_YES);
    t.SetCanODL(PXC_CF_NO);
    t.iAlphaPlane = PXC_AP_UNASSOCIATED;
    t.iChannelEncoding = PXC_CE_CMYK;
    t.iFillLevel = PXC_FL_DEPENDENCIES;
    t.iHRealSize = 8.5 + s;
    t.iVRealSize = 11.25 + s;
    t.iHResolution = 300.5 + s;
    t.iVResolution = 150.25 + s;
    t.iImagePosition = static_cast<std::uint8_t>(2 + seed % 200);
    t.iImageSubtype = PXC_IS_MASK;
    t.iImageType = PXC_IT_AUXILIARY;
    t.iMarginBottom = 0.125 + s;
    t.iMarginLeft = 0.25 + s;
    t.iMarginRight = 0.375 + s;
    t.iMarginTop = 0.5 + s;
    t.iMeasurementUnits = PXC_MU_CENTIMETER;
    t.iNrColumns = 4000 + seed;
    t.iNrRows = 3000 + seed;
    t.iNrInks = static_cast<std::uint16_t>(5 + seed % 60000);
    t.iNrPages = 12 + static_cast<std::int32_t>(seed);
    t.iRelatedIndex = 3 + static_cast<std::int32_t>(seed);
    t.iRotation = PXC_IR_MIRROR_270;
    t.InternalDictionary().Add("imr_plugins", ZQ_TAny(ZQ_TList{"MAGIC", "TIFF", "GENERIC"}));
    t.InternalDictionary().Add("count", ZQ_TAny(seed));
    ZQ_TDict compression;
    compression.Add("scheme", "LZW");
    compression.Add("predictor", ZQ_TAny(2u));
    t.MutableExtendedInfo().Add("Compression", ZQ_TAny(compression));
    t.MutableExtendedInfo().Add("Profile", "sRGB IEC61966-2.1");
    t.MutableExtendedInfo().Add("HasClippingPath", ZQ_TAny(true));
    t.MutableExtendedInfo().Add("Ink", ZQ_TAny(PXC_TInk("PANTONE 185 C", false)));
    t.MutableExternalRefs().AddAtTail("plate.tif");
    t.MutableExternalRefs().AddAtTail(ZQ_TAny(PXC_TReference("placed/logo.eps", "placed")));
    PXC_TImrLink link{static_cast<std::int32_t>(seed), nullptr, PXC_IT_THUMBNAIL};
    t.SetImrLink(&link);
    return t;
  }

  // Changes of one field each, named for failure messages.
  static std::vector<std::pair<const char*, std::function<void(PXC_TImageTicket&)>>> Changes() {
    using T = PXC_TImageTicket;
    return {
        {"AlphaPlane", [](T& t) { t.iAlphaPlane = PXC_AP_TRANSPARENT_INDEX; }},
        {"CanAcquire", [](T& t) { t.iCanAcquire = PXC_CF_NO; }},
        {"CanODL", [](T& t) { t.iCanODL = PXC_CF_YES; }},
        {"ChannelEncoding", [](T& t) { t.iChannelEncoding = PXC_CE_LAB; }},
        {"CreatorId", [](T& t) { t.iCreatorId += "x"; }},
        {"File", [](T& t) { t.iFile = ZQ_TURL::Embed(t.iFile, 1, 2); }},
        {"FileSize", [](T& t) { t.iFileSize += 1; }},
        {"FileModified", [](T& t) { t.iFileModified = ZQ_TTime(1, 2); }},
        {"Facts dropped", [](T& t) { t.SetFile(t.iFile); }},
        {"FileFormat", [](T& t) { t.iFileFormat += "x"; }},
        {"FileFormatVersion", [](T& t) { t.iFileFormatVersion += "x"; }},
        {"FileTimeStamp", [](T& t) { t.iFileTimeStamp = ZQ_TTime(5, 6); }},
        {"FillLevel", [](T& t) { t.iFillLevel = PXC_FL_GEOMETRY; }},
        {"HRealSize", [](T& t) { t.iHRealSize += 0.5; }},
        {"HResolution", [](T& t) { t.iHResolution += 0.5; }},
        {"ImagePosition", [](T& t) { t.iImagePosition += 1; }},
        {"ImageProcessor", [](T& t) { t.iImageProcessor += "x"; }},
        {"ImageSubtype", [](T& t) { t.iImageSubtype = PXC_IS_OTHER; }},
        {"ImageType", [](T& t) { t.iImageType = PXC_IT_PAGE; }},
        {"MarginBottom", [](T& t) { t.iMarginBottom += 0.5; }},
        {"MarginLeft", [](T& t) { t.iMarginLeft += 0.5; }},
        {"MarginRight", [](T& t) { t.iMarginRight += 0.5; }},
        {"MarginTop", [](T& t) { t.iMarginTop += 0.5; }},
        {"MeasurementUnits", [](T& t) { t.iMeasurementUnits = PXC_MU_POINT; }},
        {"NrColumns", [](T& t) { t.iNrColumns += 1; }},
        {"NrInks", [](T& t) { t.iNrInks += 1; }},
        {"NrPages", [](T& t) { t.iNrPages += 1; }},
        {"NrRows", [](T& t) { t.iNrRows += 1; }},
        {"RelatedIndex", [](T& t) { t.iRelatedIndex += 1; }},
        {"Rotation", [](T& t) { t.iRotation = PXC_IR_90; }},
        {"VRealSize", [](T& t) { t.iVRealSize += 0.5; }},
        {"VResolution", [](T& t) { t.iVResolution += 0.5; }},
        {"Internal", [](T& t) { t.iInternal.Add("more", "x"); }},
        {"ExtendedInfo", [](T& t) { t.iExtendedInfo.Add("more", "x"); }},
        {"ExternalRefs", [](T& t) { t.iExternalRefs.AddAtTail("more.tif"); }},
    };
  }
};

PXC_TImageTicket pxctest::FullTicket(const ZQ_TURL& file, unsigned seed) {
  return IMR_TTicketAccess::Full(file, seed);
}

namespace {

using Access = IMR_TTicketAccess;

// Compares through the getters, not through operator==.
void ExpectSameFields(const PXC_TImageTicket& a, const PXC_TImageTicket& b) {
  EXPECT_EQ(a.AlphaPlane(), b.AlphaPlane());
  EXPECT_EQ(a.CanAcquire(), b.CanAcquire());
  EXPECT_EQ(a.CanODL(), b.CanODL());
  EXPECT_EQ(a.ChannelEncoding(), b.ChannelEncoding());
  EXPECT_EQ(a.CreatorId(), b.CreatorId());
  EXPECT_EQ(a.File(), b.File());
  EXPECT_EQ(a.FileSize(), b.FileSize());
  EXPECT_EQ(a.FileModified(), b.FileModified());
  EXPECT_EQ(a.FileFormat(), b.FileFormat());
  EXPECT_EQ(a.FileFormatVersion(), b.FileFormatVersion());
  EXPECT_EQ(a.FileTimeStamp(), b.FileTimeStamp());
  EXPECT_EQ(a.FillLevel(), b.FillLevel());
  EXPECT_EQ(a.HRealSize(), b.HRealSize());
  EXPECT_EQ(a.HResolution(), b.HResolution());
  EXPECT_EQ(a.ImagePosition(), b.ImagePosition());
  EXPECT_EQ(a.ImageProcessor(), b.ImageProcessor());
  EXPECT_EQ(a.ImageSubtype(), b.ImageSubtype());
  EXPECT_EQ(a.ImageType(), b.ImageType());
  EXPECT_EQ(a.MarginBottom(), b.MarginBottom());
  EXPECT_EQ(a.MarginLeft(), b.MarginLeft());
  EXPECT_EQ(a.MarginRight(), b.MarginRight());
  EXPECT_EQ(a.MarginTop(), b.MarginTop());
  EXPECT_EQ(a.MeasurementUnits(), b.MeasurementUnits());
  EXPECT_EQ(a.NrColumns(), b.NrColumns());
  EXPECT_EQ(a.NrInks(), b.NrInks());
  EXPECT_EQ(a.NrPages(), b.NrPages());
  EXPECT_EQ(a.NrRows(), b.NrRows());
  EXPECT_EQ(a.RelatedIndex(), b.RelatedIndex());
  EXPECT_EQ(a.Rotation(), b.Rotation());
  EXPECT_EQ(a.VRealSize(), b.VRealSize());
  EXPECT_EQ(a.VResolution(), b.VResolution());
  EXPECT_EQ(a.IsTicketValid(), b.IsTicketValid());
  EXPECT_TRUE(Access::Internal(a) == Access::Internal(b));
  EXPECT_TRUE(a.ExtendedInfo() == b.ExtendedInfo());
  EXPECT_TRUE(a.ExternalRefs() == b.ExternalRefs());
}

PXC_TImageTicket PackedCopy(const PXC_TImageTicket& ticket) {
  std::unique_ptr<ZQ_TObject> back(Unpacked(Packed(ticket)));
  const PXC_TImageTicket* copy = ZQ_DynamicCast<PXC_TImageTicket>(back.get());
  if (copy == nullptr) {
    ADD_FAILURE() << "the packed ticket does not come back as a ticket";
    return PXC_TImageTicket();
  }
  return *copy;
}

class Ticket : public ::testing::Test {
 protected:
  void SetUp() override {
    iPath = iDir / "image.tif";
    WriteFile(iPath, Pattern(1000));
    iURL = ZQ_TURL::FromPath(ZQ_TString(iPath));
  }
  TempDir iDir;
  std::string iPath;
  ZQ_TURL iURL;
};

}  // namespace

TEST_F(Ticket, AFullTicketSurvivesThePackedForm) {
  const PXC_TImageTicket full = FullTicket(iURL, 7);
  ASSERT_TRUE(full.IsTicketValid());
  const PXC_TImageTicket copy = PackedCopy(full);
  ExpectSameFields(copy, full);
  EXPECT_TRUE(copy == full);
  EXPECT_TRUE(copy.ZQ_IsIdent(full));
  EXPECT_EQ(copy.GetImrLink(), nullptr);  // the link is not part of the packed form

  // Inside a list, as proxies and caches keep tickets.
  ZQ_TList list{ZQ_TAny(full), ZQ_TAny(FullTicket(iURL, 8))};
  std::unique_ptr<ZQ_TObject> back(Unpacked(Packed(list)));
  const ZQ_TList* listCopy = ZQ_DynamicCast<ZQ_TList>(back.get());
  ASSERT_NE(listCopy, nullptr);
  EXPECT_TRUE(*listCopy == list);

  const PXC_TImageTicket empty;
  EXPECT_TRUE(PackedCopy(empty) == empty);
  EXPECT_LT(Packed(empty).size(), Packed(full).size());
}

TEST_F(Ticket, EveryFieldCountsForEqualityAndSurvivesPacking) {
  const PXC_TImageTicket full = FullTicket(iURL, 3);
  for (const auto& [name, change] : Access::Changes()) {
    SCOPED_TRACE(name);
    PXC_TImageTicket changed = full;
    change(changed);
    EXPECT_FALSE(changed == full);
    EXPECT_FALSE(changed.ZQ_IsIdent(full));
    EXPECT_TRUE(PackedCopy(changed) == changed);
  }
}

TEST_F(Ticket, CorruptPackedTicketsAreRejected) {
  std::string bytes = Packed(PXC_TImageTicket());
  // The format number follows the section header inside the object.
  const std::size_t section = bytes.rfind("PXC_TImageTicket");
  ASSERT_NE(section, std::string::npos);
  std::string unknownFormat = bytes;
  unknownFormat[section + 16 + 4] = 99;
  Raised<PXC_EImageTicketFileCorrupted>([&] { Unpacked(unknownFormat); });
  const std::string full = Packed(FullTicket(iURL, 1));
  for (std::size_t cut : {full.size() / 2, full.size() - 1}) {
    Raised<ZQ_EStreamTruncated>([&] { Unpacked(full.substr(0, cut)); });
  }
}

TEST_F(Ticket, ValidityFollowsTheFileSizeAndModificationTime) {
  EXPECT_FALSE(PXC_TImageTicket().IsTicketValid());
  PXC_TImageTicket withoutFacts;
  Access::SetFile(withoutFacts, iURL);
  EXPECT_FALSE(withoutFacts.IsTicketValid());

  SetModified(iPath, 1600000000, 500);
  PXC_TImageTicket ticket;
  Access::SetFile(ticket, iURL, PXC_GetFileInfo(iURL));
  EXPECT_EQ(ticket.FileSize(), 1000u);
  EXPECT_EQ(ticket.FileModified(), ZQ_TTime(1600000000, 500));
  EXPECT_TRUE(ticket.IsTicketValid());
  EXPECT_TRUE(PackedCopy(ticket).IsTicketValid());

  SetModified(iPath, 1600000001, 500);  // same size, other time
  EXPECT_FALSE(ticket.IsTicketValid());
  SetModified(iPath, 1600000000, 500);
  EXPECT_TRUE(ticket.IsTicketValid());

  WriteFile(iPath, Pattern(1001));  // other size, same time
  SetModified(iPath, 1600000000, 500);
  EXPECT_FALSE(ticket.IsTicketValid());

  WriteFile(iPath, Pattern(1000));
  SetModified(iPath, 1600000000, 500);
  EXPECT_TRUE(ticket.IsTicketValid());
  ASSERT_EQ(std::remove(iPath.c_str()), 0);
  EXPECT_FALSE(ticket.IsTicketValid());

  // Setting the file without facts drops the old ones entirely.
  PXC_TImageTicket refreshed = ticket;
  Access::SetFile(refreshed, iURL);
  EXPECT_FALSE(refreshed.IsTicketValid());
  EXPECT_EQ(refreshed.FileSize(), 0u);
  EXPECT_EQ(refreshed.FileModified(), ZQ_TTime());
  EXPECT_TRUE(PackedCopy(refreshed) == refreshed);

  // Facts of a missing file are no facts.
  PXC_TImageTicket missing;
  Access::SetFile(missing, iURL, PXC_GetFileInfo(iURL));
  EXPECT_FALSE(missing.IsTicketValid());
  WriteFile(iPath, "");
  EXPECT_FALSE(missing.IsTicketValid());
}

TEST_F(Ticket, WipeKeepsTheFileItsFactsTheInternalEntriesAndTheLink) {
  PXC_TImageTicket ticket = FullTicket(iURL, 4);
  const PXC_TImageTicket before = ticket;
  Access::Wipe(ticket);

  EXPECT_EQ(ticket.File(), before.File());
  EXPECT_EQ(ticket.FileSize(), before.FileSize());
  EXPECT_EQ(ticket.FileModified(), before.FileModified());
  EXPECT_TRUE(ticket.IsTicketValid());
  EXPECT_TRUE(Access::Internal(ticket) == Access::Internal(before));
  ASSERT_NE(ticket.GetImrLink(), nullptr);
  EXPECT_EQ(ticket.GetImrLink()->relatedIndex, 4);
  EXPECT_EQ(ticket.GetImrLink()->imageType, PXC_IT_THUMBNAIL);
  EXPECT_EQ(ticket.FillLevel(), PXC_FL_FILE);

  // Apart from the kept fields and the level, the wiped ticket is a new one.
  PXC_TImageTicket expected;
  Access::SetFile(expected, iURL, PXC_GetFileInfo(iURL));
  Access::Internal(expected) = Access::Internal(before);
  Access::SetFillLevel(expected, PXC_FL_FILE);
  ExpectSameFields(ticket, expected);
  EXPECT_TRUE(ticket == expected);
  EXPECT_EQ(ticket.RelatedIndex(), PXC_TImageTicket::sInvalidValue);
  EXPECT_EQ(ticket.Internal("count").ToText(), "4");

  PXC_TImageTicket noFile;
  noFile.SetCanODL(PXC_CF_YES);
  Access::Wipe(noFile);
  EXPECT_EQ(noFile.FillLevel(), PXC_FL_EMBEDDED);
  EXPECT_EQ(noFile.CanODL(), PXC_CF_UNKNOWN);
  EXPECT_EQ(noFile.GetImrLink(), nullptr);
}

TEST_F(Ticket, InternalEntriesAndTheLink) {
  PXC_TImageTicket ticket;
  Access::Internal(ticket).Add("imr_plugins", ZQ_TAny(ZQ_TList{"MAGIC"}));
  EXPECT_NE(ticket.Internal("imr_plugins").DynamicCast<ZQ_TList>(), nullptr);
  PXC_EImageTicketKeyNotFound error =
      Raised<PXC_EImageTicketKeyNotFound>([&] { ticket.Internal("imr_absent"); });
  EXPECT_EQ(Datum(error), "imr_absent");
  EXPECT_NE(Text(error).find("imr_absent"), std::string::npos);

  PXC_TImageProxy parent;
  PXC_TImrLink link{2, &parent, PXC_IT_PREVIEW};
  ticket.SetImrLink(&link);
  link.relatedIndex = 9;  // the ticket keeps a copy
  ASSERT_NE(ticket.GetImrLink(), nullptr);
  EXPECT_EQ(ticket.GetImrLink()->relatedIndex, 2);
  EXPECT_EQ(ticket.GetImrLink()->relatedProxy, &parent);
  const PXC_TImageTicket copy = ticket;
  ASSERT_NE(copy.GetImrLink(), nullptr);
  EXPECT_EQ(copy.GetImrLink()->imageType, PXC_IT_PREVIEW);
  ticket.RemoveImrLink();
  EXPECT_EQ(ticket.GetImrLink(), nullptr);
  ticket.SetImrLink(&link);
  ticket.SetImrLink(nullptr);
  EXPECT_EQ(ticket.GetImrLink(), nullptr);
}

TEST_F(Ticket, DependenciesResolveAgainstTheTicketsFile) {
  std::filesystem::create_directories(iDir / "sub");
  std::filesystem::create_directories(iDir / "other");
  const std::string main = iDir / "sub/main.tif";
  for (const char* name : {"sub/main.tif", "sub/plate1.tif", "sub/plate2.tif", "other/placed.eps",
                           "absolute.tif"}) {
    WriteFile(iDir / name, "x");
  }
  const std::string absolute = iDir / "absolute.tif";
  const std::string asURL = "file://" + (iDir / "other/placed.eps");

  PXC_TImageTicket ticket;
  Access::SetFile(ticket, ZQ_TURL::FromPath(ZQ_TString(main)));
  ZQ_TList& refs = Access::ExternalRefs(ticket);
  refs.AddAtTail("plate1.tif");
  refs.AddAtTail("../other/placed.eps");
  refs.AddAtTail("missing.tif");
  refs.AddAtTail(ZQ_TAny(PXC_TReference("plate2.tif", "plate")));
  refs.AddAtTail(ZQ_TString(absolute));
  refs.AddAtTail(ZQ_TString(asURL));
  refs.AddAtTail(ZQ_TAny(PXC_TReference("gone/plate3.tif", "plate")));

  auto url = [](const std::string& path) { return ZQ_TURL::FromPath(ZQ_TString(path)); };
  auto urls = [](const ZQ_TList& list) {
    std::vector<std::string> texts;
    for (const ZQ_TList::Entry& entry : list) {
      const ZQ_TURL* item = entry.value.DynamicCast<ZQ_TURL>();
      texts.push_back(item ? item->Text().Std() : "(not a URL) " + entry.value.ToText().Std());
    }
    return texts;
  };

  ZQ_TList all{"already here"};
  ASSERT_TRUE(ticket.Dependencies(all, true, false));
  ASSERT_EQ(all.Entries(), 8u);
  EXPECT_EQ(all[0].ToText(), "already here");
  all.RemoveHead();
  EXPECT_EQ(urls(all), (std::vector<std::string>{
                           url(iDir / "sub/plate1.tif").Text().Std(),
                           url(iDir / "other/placed.eps").Text().Std(),
                           url(iDir / "sub/missing.tif").Text().Std(),
                           url(iDir / "sub/plate2.tif").Text().Std(),
                           url(absolute).Text().Std(),
                           url(iDir / "other/placed.eps").Text().Std(),
                           url(iDir / "sub/gone/plate3.tif").Text().Std(),
                       }));

  ZQ_TList existing;
  ASSERT_TRUE(ticket.Dependencies(existing, true, true));
  EXPECT_EQ(urls(existing), (std::vector<std::string>{
                                url(iDir / "sub/plate1.tif").Text().Std(),
                                url(iDir / "other/placed.eps").Text().Std(),
                                url(iDir / "sub/plate2.tif").Text().Std(),
                                url(absolute).Text().Std(),
                                url(iDir / "other/placed.eps").Text().Std(),
                            }));

  ZQ_TList texts;
  ASSERT_TRUE(ticket.Dependencies(texts, false, true));
  ASSERT_EQ(texts.Entries(), 5u);
  EXPECT_EQ(texts[0].ToText(), "plate1.tif");
  EXPECT_EQ(texts[2].ToText(), "plate2.tif");

  // A ticket of embedded data resolves against its root file.
  PXC_TImageTicket embedded = ticket;
  Access::SetFile(embedded, ZQ_TURL::Embed(url(main), 10, 20));
  ZQ_TList fromEmbedded;
  ASSERT_TRUE(embedded.Dependencies(fromEmbedded, true, true));
  EXPECT_EQ(urls(fromEmbedded), urls(existing));

  PXC_TImageTicket none;
  Access::SetFile(none, url(main));
  ZQ_TList empty;
  EXPECT_FALSE(none.Dependencies(empty, true, false));
  EXPECT_TRUE(empty.IsEmpty());
  PXC_TImageTicket onlyMissing = none;
  Access::ExternalRefs(onlyMissing).AddAtTail("missing.tif");
  EXPECT_FALSE(onlyMissing.Dependencies(empty, true, true));
  EXPECT_TRUE(empty.IsEmpty());
}

// ---------------------------------------------------------------------------

namespace {

class Proxy : public Ticket {
 protected:
  // A proxy of three tickets, told apart by their image position.
  PXC_TImageProxy ThreeTickets() {
    PXC_TImageProxy proxy;
    proxy.SetURL(iURL);
    for (std::uint8_t position = 0; position < 3; ++position) {
      PXC_TImageTicket ticket;
      Access::SetFile(ticket, iURL);
      Access::SetImagePosition(ticket, position);
      proxy.Add(ticket);
    }
    return proxy;
  }
};

}  // namespace

TEST_F(Proxy, SelectionFollowsItsEntryThroughRemovalsAndCopies) {
  PXC_TImageProxy proxy = ThreeTickets();
  EXPECT_EQ(proxy.Entries(), 3u);
  EXPECT_EQ(proxy.SelectedKey(), nullptr);
  EXPECT_EQ(proxy.IndexOfSelected(), -1);
  EXPECT_EQ(proxy.Selected(), nullptr);

  proxy.Select(1);
  EXPECT_EQ(proxy.IndexOfSelected(), 1);
  ASSERT_NE(proxy.SelectedKey(), nullptr);
  EXPECT_EQ(*proxy.SelectedKey(), proxy.Tickets().KeyAt(1));
  ASSERT_NE(proxy.Selected(), nullptr);
  EXPECT_EQ(proxy.Selected()->ImagePosition(), 1);

  PXC_TImageProxy copy = proxy;
  proxy.Tickets().RemoveHead();
  EXPECT_EQ(proxy.IndexOfSelected(), 0);
  EXPECT_EQ(proxy.Selected()->ImagePosition(), 1);
  EXPECT_EQ(copy.IndexOfSelected(), 1);  // the copy is not affected
  EXPECT_EQ(copy.Entries(), 3u);

  // Changing the selected ticket of the copy leaves the original alone.
  copy.Selected()->SetCanAcquire(PXC_CF_YES);
  EXPECT_EQ(copy.TicketAt(1).CanAcquire(), PXC_CF_YES);
  EXPECT_EQ(proxy.TicketAt(0).CanAcquire(), PXC_CF_UNKNOWN);

  proxy.Tickets().RemoveAt(0);  // the selected entry itself
  EXPECT_EQ(proxy.IndexOfSelected(), -1);
  EXPECT_EQ(proxy.Selected(), nullptr);
  EXPECT_EQ(proxy.SelectedKey(), nullptr);

  PXC_EImageProxyInternal beyond = Raised<PXC_EImageProxyInternal>([&] { proxy.Select(1); });
  EXPECT_EQ(Datum(beyond), "1");
  proxy.Select(0);
  EXPECT_EQ(proxy.Selected()->ImagePosition(), 2);
  const ZQ_TListKey key = *copy.SelectedKey();
  copy.SetSelectedKey(nullptr);
  EXPECT_EQ(copy.IndexOfSelected(), -1);
  copy.SetSelectedKey(&key);
  EXPECT_EQ(copy.IndexOfSelected(), 1);

  proxy.Tickets().AddAtTail("not a ticket");
  Raised<PXC_EImageProxyInternal>([&] { proxy.TicketAt(1); });
}

TEST_F(Proxy, SurvivesThePackedForm) {
  PXC_TImageProxy proxy = ThreeTickets();
  proxy.Add(FullTicket(iURL, 5));
  proxy.Select(3);
  std::unique_ptr<ZQ_TObject> back(Unpacked(Packed(proxy)));
  const PXC_TImageProxy* copy = ZQ_DynamicCast<PXC_TImageProxy>(back.get());
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(copy->URL(), proxy.URL());
  EXPECT_EQ(copy->Entries(), 4u);
  EXPECT_EQ(copy->IndexOfSelected(), 3);
  EXPECT_TRUE(copy->TicketAt(3) == proxy.TicketAt(3));
  EXPECT_TRUE(copy->ZQ_IsIdent(proxy));

  PXC_TImageProxy unselected = ThreeTickets();
  std::unique_ptr<ZQ_TObject> back2(Unpacked(Packed(unselected)));
  const PXC_TImageProxy* copy2 = ZQ_DynamicCast<PXC_TImageProxy>(back2.get());
  ASSERT_NE(copy2, nullptr);
  EXPECT_EQ(copy2->IndexOfSelected(), -1);
  EXPECT_FALSE(copy2->ZQ_IsIdent(proxy));
}

TEST_F(Proxy, SmartIDChangesWhenTheFileChanges) {
  PXC_TImageProxy proxy;
  proxy.SetURL(iURL);
  SetModified(iPath, 1600000000);
  const std::uint32_t first = proxy.SmartID();
  EXPECT_EQ(proxy.SmartID(), first);
  PXC_TImageProxy same;
  same.SetURL(iURL);
  EXPECT_EQ(same.SmartID(), first);

  SetModified(iPath, 1600000001);
  const std::uint32_t touched = proxy.SmartID();
  EXPECT_NE(touched, first);
  WriteFile(iPath, Pattern(2000));
  SetModified(iPath, 1600000001);
  EXPECT_NE(proxy.SmartID(), touched);
  SetModified(iPath, 1600000000);
  WriteFile(iPath, Pattern(1000));
  SetModified(iPath, 1600000000);
  EXPECT_EQ(proxy.SmartID(), first);

  PXC_TImageProxy other;
  other.SetURL(ZQ_TURL::FromPath(ZQ_TString(iDir / "other.tif")));
  EXPECT_NE(other.SmartID(), first);
}
