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
    t.SetFile(file, PXC_TBuffer(file, 0, 0, 0).Facts());
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
    t.iHRealSize = 8.5 + s, t.iVRealSize = 11.25 + s;
    t.iHResolution = 300.5 + s, t.iVResolution = 150.25 + s;
    t.iImagePosition = static_cast<std::uint8_t>(2 + seed % 200);
    t.iImageSubtype = PXC_IS_MASK;
    t.iImageType = PXC_IT_AUXILIARY;
    t.iMarginBottom = 0.125 + s, t.iMarginLeft = 0.25 + s;
    t.iMarginRight = 0.375 + s, t.iMarginTop = 0.5 + s;
    t.iMeasurementUnits = PXC_MU_CENTIMETER;
    t.iNrColumns = 4000 + seed, t.iNrRows = 3000 + seed;
    t.iNrInks = static_cast<std::uint16_t>(5 + seed % 60000);
    t.iNrPages = 12 + static_cast<std::int32_t>(seed);
    t.iRelatedIndex = 3 + static_cast<std::int32_t>(seed);
    t.iRotation = PXC_IR_MIRROR_270;
    t.InternalDictionary().Add("imr_plugins", ZQ_TAny(ZQ_TList{"MAGIC", "TIFF", "GENERIC"}));
    t.InternalDictionary().Add("count", ZQ_TAny(seed));
    ZQ_TDict compression;
    compression.Add("scheme", "LZW");
    t.MutableExtendedInfo().Add("Compression", ZQ_TAny(compression));
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
#define PXCTEST_CHANGE(field, change) {#field, [](T& t) { t.i##field change; }}
    return {
        PXCTEST_CHANGE(AlphaPlane, = PXC_AP_TRANSPARENT_INDEX), PXCTEST_CHANGE(CanAcquire, = PXC_CF_NO),
        PXCTEST_CHANGE(CanODL, = PXC_CF_YES), PXCTEST_CHANGE(ChannelEncoding, = PXC_CE_LAB),
        PXCTEST_CHANGE(CreatorId, += "x"), PXCTEST_CHANGE(File, = ZQ_TURL::Embed(t.iFile, 1, 2)),
        PXCTEST_CHANGE(FileFacts.size, += 1), PXCTEST_CHANGE(FileFacts.modified, = ZQ_TTime(1, 2)),
        PXCTEST_CHANGE(FileFacts.device, += 1), PXCTEST_CHANGE(FileFacts.inode, += 1),
        PXCTEST_CHANGE(FileFacts.examined, = ZQ_TTime(3, 4)),
        PXCTEST_CHANGE(FileFacts.hasDigest, = false), PXCTEST_CHANGE(FileFacts.digest, += 1),
        {"Facts dropped", [](T& t) { t.SetFile(t.iFile); }},
        PXCTEST_CHANGE(FileFormat, += "x"), PXCTEST_CHANGE(FileFormatVersion, += "x"),
        PXCTEST_CHANGE(FileTimeStamp, = ZQ_TTime(5, 6)), PXCTEST_CHANGE(FillLevel, = PXC_FL_GEOMETRY),
        PXCTEST_CHANGE(HRealSize, += 0.5), PXCTEST_CHANGE(VRealSize, += 0.5),
        PXCTEST_CHANGE(HResolution, += 0.5), PXCTEST_CHANGE(VResolution, += 0.5),
        PXCTEST_CHANGE(ImagePosition, += 1), PXCTEST_CHANGE(ImageProcessor, += "x"),
        PXCTEST_CHANGE(ImageSubtype, = PXC_IS_OTHER), PXCTEST_CHANGE(ImageType, = PXC_IT_PAGE),
        PXCTEST_CHANGE(MarginBottom, += 0.5), PXCTEST_CHANGE(MarginLeft, += 0.5),
        PXCTEST_CHANGE(MarginRight, += 0.5), PXCTEST_CHANGE(MarginTop, += 0.5),
        PXCTEST_CHANGE(MeasurementUnits, = PXC_MU_POINT), PXCTEST_CHANGE(Rotation, = PXC_IR_90),
        PXCTEST_CHANGE(NrColumns, += 1), PXCTEST_CHANGE(NrRows, += 1), PXCTEST_CHANGE(NrInks, += 1),
        PXCTEST_CHANGE(NrPages, += 1), PXCTEST_CHANGE(RelatedIndex, += 1),
        PXCTEST_CHANGE(Internal, .Add("more", "x")), PXCTEST_CHANGE(ExtendedInfo, .Add("more", "x")),
        PXCTEST_CHANGE(ExternalRefs, .AddAtTail("more.tif")),
    };
#undef PXCTEST_CHANGE
  }
};

PXC_TImageTicket pxctest::FullTicket(const ZQ_TURL& file, unsigned seed) {
  return IMR_TTicketAccess::Full(file, seed);
}

namespace {

using Access = IMR_TTicketAccess;

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

// Every field survives the packed form, and counts for equality: a change of
// any one field makes the tickets differ.
TEST_F(Ticket, EveryFieldCountsForEqualityAndSurvivesPacking) {
  const PXC_TImageTicket full = FullTicket(iURL, 3);
  ASSERT_TRUE(full.IsTicketValid());
  EXPECT_TRUE(PackedCopy(full) == full);
  EXPECT_EQ(PackedCopy(full).GetImrLink(), nullptr) << "the link is not packed";
  for (const auto& [name, change] : Access::Changes()) {
    SCOPED_TRACE(name);
    PXC_TImageTicket changed = full;
    change(changed);
    EXPECT_FALSE(changed == full);
    EXPECT_FALSE(changed.ZQ_IsIdent(full));
    EXPECT_TRUE(PackedCopy(changed) == changed);
  }
  // Inside a list, as proxies and caches keep tickets.
  const ZQ_TList list{ZQ_TAny(full), ZQ_TAny(PXC_TImageTicket())};
  EXPECT_TRUE(PackedCopy(list) == list);
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

// A ticket is valid while its file keeps the device, inode, size and
// modification time it was described with.  Setting the file without facts
// clears the old ones (they were once kept beside a false flag).
TEST_F(Ticket, ValidityFollowsTheFileFacts) {
  EXPECT_FALSE(PXC_TImageTicket().IsTicketValid());
  SetModified(iPath, 1600000000, 500);
  PXC_TImageTicket ticket;
  Access::SetFile(ticket, iURL, PXC_GetFileInfo(iURL));
  EXPECT_EQ(ticket.FileFacts().size, 1000u);
  EXPECT_EQ(ticket.FileFacts().modified, ZQ_TTime(1600000000, 500));
  EXPECT_TRUE(PackedCopy(ticket).IsTicketValid());
  WriteFile(iPath, Pattern(1001));  // other size, same time
  SetModified(iPath, 1600000000, 500);
  EXPECT_FALSE(ticket.IsTicketValid());
  ASSERT_EQ(std::remove(iPath.c_str()), 0);
  EXPECT_FALSE(ticket.IsTicketValid());

  PXC_TImageTicket refreshed = ticket;
  Access::SetFile(refreshed, iURL);
  EXPECT_FALSE(refreshed.IsTicketValid());
  EXPECT_FALSE(refreshed.FileFacts().exists);
  // Facts of a missing file are no facts, even once an empty file appears.
  PXC_TImageTicket missing;
  Access::SetFile(missing, iURL, PXC_GetFileInfo(iURL));
  WriteFile(iPath, "");
  EXPECT_FALSE(missing.IsTicketValid());
}

// Rewrites that keep the size and put the modification time back: in place,
// they show in the first or last bytes once the file has been touched after
// it was examined (as any rewrite touches it); by rename, the inode differs.
TEST_F(Ticket, RewritesKeepingSizeAndTimeAreSeen) {
  const std::string original = Pattern(100000);
  const ZQ_TTime time(1600000000, 500);
  auto rewrite = [&](const std::string& bytes) {
    WriteFile(iPath, bytes);
    SetModified(iPath, time.Seconds(), time.Nanoseconds());
  };
  // Described a minute ago, as a cached description was.
  auto described = [&] {
    rewrite(original);
    ZQ_TFileFacts facts = PXC_TBuffer(iURL, 0, 0, 0).Facts().Facts();
    facts.examined = ZQ_TTime(facts.examined.Seconds() - 60, 0);
    PXC_TImageTicket ticket;
    Access::SetFile(ticket, iURL, ZQ_TFileInfo(iURL, facts));
    return ticket;
  };
  EXPECT_TRUE(described().IsTicketValid()) << "touched since, same bytes";
  for (std::size_t at : {std::size_t{16}, original.size() - 3}) {
    SCOPED_TRACE(at);
    const PXC_TImageTicket ticket = described();
    std::string edited = original;
    edited[at] ^= 0x55;
    rewrite(edited);
    EXPECT_FALSE(ticket.IsTicketValid());
  }
  const PXC_TImageTicket ticket = described();
  const std::string twin = iPath + ".new";
  WriteFile(twin, original);
  SetModified(twin, time.Seconds(), time.Nanoseconds());
  ASSERT_EQ(std::rename(twin.c_str(), iPath.c_str()), 0);
  EXPECT_FALSE(ticket.IsTicketValid());
}

// Tickets packed before the facts named the file itself read as tickets
// without facts: never valid, so a description cached then is made again.
TEST_F(Ticket, TicketsPackedWithSizeAndTimeOnlyHaveNoFacts) {
  ZQ_TMemoryStream memory;
  ZQ_TDataStream out(memory);
  out.BeginSection("PXC_TImageTicket");
  out.PackU8(1);
  out.PackU32(1u << 5);  // the file only
  out.PackString(iURL.Text());
  out.PackBool(true);
  out.PackU64(1000);
  PXC_GetFileInfo(iURL).ModificationTime().ZQ_Pack(out);
  out.EndSection("PXC_TImageTicket");
  ZQ_TMemoryStream packed(memory.Data(), memory.Size());
  ZQ_TDataStream in(packed);
  PXC_TImageTicket ticket;
  ticket.ZQ_Unpack(in);
  EXPECT_EQ(ticket.File(), iURL);
  EXPECT_FALSE(ticket.FileFacts().exists);
  EXPECT_FALSE(ticket.IsTicketValid());
}

// Wipe keeps the file, its facts, the internal entries (reached by key) and
// the link (kept as a copy).
TEST_F(Ticket, WipeKeepsTheFileItsFactsTheInternalEntriesAndTheLink) {
  PXC_TImageTicket ticket = FullTicket(iURL, 4);
  PXC_TImageProxy parent;
  PXC_TImrLink link{4, &parent, PXC_IT_PREVIEW};
  ticket.SetImrLink(&link);
  link.relatedIndex = 9;
  const PXC_TImageTicket before = ticket;
  Access::Wipe(ticket);
  ASSERT_NE(ticket.GetImrLink(), nullptr);
  EXPECT_EQ(ticket.GetImrLink()->relatedIndex, 4);
  EXPECT_EQ(ticket.GetImrLink()->relatedProxy, &parent);
  EXPECT_TRUE(ticket.IsTicketValid());
  // Apart from those and the level, the wiped ticket is a new one.
  PXC_TImageTicket expected;
  Access::SetFile(expected, iURL, ZQ_TFileInfo(iURL, before.FileFacts()));
  Access::Internal(expected) = Access::Internal(before);
  Access::SetFillLevel(expected, PXC_FL_FILE);
  EXPECT_TRUE(ticket == expected);
  EXPECT_EQ(ticket.FileFacts().modified, before.FileFacts().modified);
  EXPECT_EQ(ticket.Internal("count").ToText(), "4");
  EXPECT_EQ(Datum(Raised<PXC_EImageTicketKeyNotFound>([&] { ticket.Internal("imr_absent"); })),
            "imr_absent");
  ticket.RemoveImrLink();
  EXPECT_EQ(ticket.GetImrLink(), nullptr);

  PXC_TImageTicket noFile;
  noFile.SetCanODL(PXC_CF_YES);
  Access::Wipe(noFile);
  EXPECT_EQ(noFile.FillLevel(), PXC_FL_EMBEDDED);
  EXPECT_EQ(noFile.CanODL(), PXC_CF_UNKNOWN);
}

// References resolve against the folder of the ticket's file (its root file
// for embedded data); texts and references alike.  Without existing ones the
// answer is false.
TEST_F(Ticket, DependenciesResolveAgainstTheTicketsFile) {
  std::filesystem::create_directories(iDir / "sub");
  WriteFile(iDir / "sub/plate.tif", "x");
  WriteFile(iDir / "placed.eps", "x");
  auto url = [&](const std::string& name) { return ZQ_TAny(ZQ_TURL::FromPath(ZQ_TString(iDir / name))); };
  PXC_TImageTicket ticket;
  Access::SetFile(ticket, ZQ_TURL::Embed(ZQ_TURL::FromPath(ZQ_TString(iDir / "sub/main.tif")), 10, 20));
  ZQ_TList& refs = Access::ExternalRefs(ticket);
  refs.AddAtTail("../placed.eps");
  refs.AddAtTail("missing.tif");
  refs.AddAtTail(ZQ_TAny(PXC_TReference("plate.tif", "plate")));
  ZQ_TList all{"already here"};
  ASSERT_TRUE(ticket.Dependencies(all, true, false));
  EXPECT_EQ(all, (ZQ_TList{"already here", url("placed.eps"), url("sub/missing.tif"), url("sub/plate.tif")}));
  ZQ_TList existing;
  ASSERT_TRUE(ticket.Dependencies(existing, false, true));
  EXPECT_EQ(existing, (ZQ_TList{"../placed.eps", "plate.tif"}));
  refs.RemoveAt(2);
  refs.RemoveHead();
  ZQ_TList none;
  EXPECT_FALSE(ticket.Dependencies(none, true, true));
  EXPECT_TRUE(none.IsEmpty());
}

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

// The selection follows its entry; once that entry is removed nothing is
// selected (a dead key was once still handed out).
TEST_F(Proxy, SelectionFollowsItsEntryThroughRemovalsAndCopies) {
  PXC_TImageProxy proxy = ThreeTickets();
  EXPECT_EQ(proxy.SelectedKey(), nullptr);
  EXPECT_EQ(proxy.Selected(), nullptr);
  proxy.Select(1);
  ASSERT_NE(proxy.SelectedKey(), nullptr);
  EXPECT_EQ(*proxy.SelectedKey(), proxy.Tickets().KeyAt(1));
  PXC_TImageProxy copy = proxy;
  proxy.Tickets().RemoveHead();
  EXPECT_EQ(proxy.IndexOfSelected(), 0);
  EXPECT_EQ(proxy.Selected()->ImagePosition(), 1);
  EXPECT_EQ(copy.IndexOfSelected(), 1) << "the copy is not affected";
  copy.Selected()->SetCanAcquire(PXC_CF_YES);
  EXPECT_EQ(proxy.TicketAt(0).CanAcquire(), PXC_CF_UNKNOWN);

  proxy.Tickets().RemoveAt(0);  // the selected entry itself
  EXPECT_EQ(proxy.IndexOfSelected(), -1);
  EXPECT_EQ(proxy.Selected(), nullptr);
  EXPECT_EQ(proxy.SelectedKey(), nullptr);
  EXPECT_EQ(Datum(Raised<PXC_EImageProxyInternal>([&] { proxy.Select(1); })), "1");
  const ZQ_TListKey key = *copy.SelectedKey();
  copy.SetSelectedKey(nullptr);
  EXPECT_EQ(copy.IndexOfSelected(), -1);
  copy.SetSelectedKey(&key);
  EXPECT_EQ(copy.IndexOfSelected(), 1);
  proxy.Tickets().AddAtTail("not a ticket");
  Raised<PXC_EImageProxyInternal>([&] { proxy.TicketAt(1); });
}

TEST_F(Proxy, SurvivesThePackedForm) {
  for (int selected : {-1, 3}) {
    PXC_TImageProxy proxy = ThreeTickets();
    proxy.Add(FullTicket(iURL, 5));
    if (selected >= 0) proxy.Select(static_cast<std::uint32_t>(selected));
    const PXC_TImageProxy copy = PackedCopy(proxy);
    EXPECT_EQ(copy.URL(), proxy.URL());
    EXPECT_EQ(copy.IndexOfSelected(), selected);
    EXPECT_TRUE(copy.TicketAt(3) == proxy.TicketAt(3));
    EXPECT_TRUE(copy.ZQ_IsIdent(proxy));
  }
}
