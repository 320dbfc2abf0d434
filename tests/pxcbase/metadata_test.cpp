// Metadata in extended attributes of real files: round trips, compression,
// absent keys and files, values written by hand as garbage, and values the
// file system refuses.
#include <sys/xattr.h>
#include <zlib.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <thread>
#include <vector>

#include "pxc_test_support.h"

using namespace pxctest;

namespace {

std::string AttributeName(const std::string& key) { return "user.imr." + key; }

// The stored bytes of `key`, or "(none)" when there are none.
std::string RawValue(const std::string& path, const std::string& key) {
  const ssize_t size = ::getxattr(path.c_str(), AttributeName(key).c_str(), nullptr, 0);
  if (size < 0) return "(none)";
  std::string bytes(static_cast<std::size_t>(size), '\0');
  const ssize_t got = ::getxattr(path.c_str(), AttributeName(key).c_str(), bytes.data(), bytes.size());
  bytes.resize(got < 0 ? 0 : static_cast<std::size_t>(got));
  return bytes;
}

void SetRawValue(const std::string& path, const std::string& key, const std::string& bytes) {
  ASSERT_EQ(::setxattr(path.c_str(), AttributeName(key).c_str(), bytes.data(), bytes.size(), 0), 0)
      << std::strerror(errno);
}

std::uint32_t U32At(const std::string& bytes, std::size_t at) {
  std::uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = value * 256 + static_cast<unsigned char>(bytes[at + i]);
  return value;
}

std::string WithU32At(std::string bytes, std::size_t at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
  return bytes;
}

std::string Deflated(const std::string& bytes) {
  uLongf size = compressBound(static_cast<uLong>(bytes.size()));
  std::string out(size, '\0');
  EXPECT_EQ(compress2(reinterpret_cast<Bytef*>(out.data()), &size,
                      reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uLong>(bytes.size()),
                      Z_BEST_COMPRESSION),
            Z_OK);
  out.resize(size);
  return out;
}

template <class T>
std::unique_ptr<T> Get(const PXC_TMetadata& metadata, const char* key) {
  std::unique_ptr<ZQ_TObject> object(metadata.GetKeyObject(ZQ_TString(key)));
  if (object == nullptr) return nullptr;
  T* typed = ZQ_DynamicCast<T>(object.get());
  EXPECT_NE(typed, nullptr) << "the value of " << key << " is a " << object->ClassName();
  if (typed == nullptr) return nullptr;
  object.release();
  return std::unique_ptr<T>(typed);
}

class Metadata : public ::testing::Test {
 protected:
  void SetUp() override {
    iPath = iDir / "image.tif";
    WriteFile(iPath, Pattern(100));
    iURL = ZQ_TURL::FromPath(ZQ_TString(iPath));
    if (::setxattr(iPath.c_str(), "user.pxctest_probe", "1", 1, 0) != 0) {
      GTEST_SKIP() << "the file system of " << iDir.Path()
                   << " refuses user attributes: " << std::strerror(errno);
    }
    ::removexattr(iPath.c_str(), "user.pxctest_probe");
  }

  // A list of `count` full tickets, large enough to be stored compressed.
  ZQ_TList ManyTickets(unsigned count) const {
    ZQ_TList list;
    for (unsigned i = 0; i < count; ++i) list.AddAtTail(ZQ_TAny(FullTicket(iURL, i)));
    return list;
  }

  TempDir iDir;
  std::string iPath;
  ZQ_TURL iURL;
};

}  // namespace

// Values come back as stored, through another object over the same file too;
// large ones are stored compressed; keys are replaced and removed.
TEST_F(Metadata, ValuesComeBackAsTheyWereStored) {
  PXC_TMetadata metadata(iURL);
  EXPECT_EQ(metadata.GetKeyObject(ZQ_TString("never")), nullptr);
  metadata.RemoveKey(ZQ_TString("never"));  // not an error
  const PXC_TImageTicket ticket = FullTicket(iURL, 1);
  metadata.SetKeyObject(ZQ_TString("ticket"), ticket);
  std::unique_ptr<PXC_TImageTicket> back = Get<PXC_TImageTicket>(PXC_TMetadata(iURL), "ticket");
  ASSERT_NE(back, nullptr);
  EXPECT_TRUE(*back == ticket);

  const ZQ_TList tickets = ManyTickets(30);
  metadata.SetKeyObject(ZQ_TString("ticket"), tickets);
  const std::size_t packed = Packed(tickets).size();
  EXPECT_LT(RawValue(iPath, "ticket").size(), packed / 4) << "packed " << packed << " bytes";
  std::unique_ptr<ZQ_TList> list = Get<ZQ_TList>(metadata, "ticket");
  ASSERT_NE(list, nullptr);
  EXPECT_TRUE(*list == tickets);

  metadata.SetKeyObject(L"schl\u00fcssel", ZQ_TString("first"));
  metadata.SetKeyObject(L"schl\u00fcssel", PXC_TTag(1, 2));
  metadata.RemoveKey(ZQ_TString("ticket"));
  EXPECT_EQ(metadata.GetKeyObject(ZQ_TString("ticket")), nullptr);
  EXPECT_NE(Get<PXC_TTag>(metadata, "schl\xc3\xbcssel"), nullptr);
}

// HasKey sees a value without reading it.  A hold keeps every other hold on
// the file off, from any thread, until it ends; a file that cannot be opened
// is not held, and that is no error.
TEST_F(Metadata, KeysAreSeenAndHoldsExcludeEachOther) {
  PXC_TMetadata metadata(iURL);
  EXPECT_FALSE(metadata.HasKey(ZQ_TString("key")));
  metadata.SetKeyObject(ZQ_TString("key"), ZQ_TString("value"));
  EXPECT_TRUE(metadata.HasKey(ZQ_TString("key")));
  {
    const PXC_TMetadata::Hold first(metadata);
    ASSERT_TRUE(first.Held());
    std::thread([&] { EXPECT_FALSE(PXC_TMetadata::Hold(PXC_TMetadata(iURL)).Held()); }).join();
  }
  EXPECT_TRUE(PXC_TMetadata::Hold(metadata).Held());
  const PXC_TMetadata missing(ZQ_TURL::FromPath(ZQ_TString(iDir / "missing.tif")));
  EXPECT_FALSE(PXC_TMetadata::Hold(missing).Held());
}

// Files that are missing, URLs that are no files, keys too long and file
// systems without attributes: each refused with its own exception.
TEST_F(Metadata, WhatCannotHoldMetadataIsRefused) {
  const std::string missing = iDir / "no/such/folder.tif";
  PXC_TMetadata absent(ZQ_TURL::FromPath(ZQ_TString(missing)));
  EXPECT_EQ(Datum(Raised<PXC_EMetadataFileDoesNotExist>([&] { delete absent.GetKeyObject(ZQ_TString("k")); })),
            missing);
  Raised<PXC_EMetadataFileDoesNotExist>([&] { absent.SetKeyObject(ZQ_TString("k"), ZQ_TString("v")); });
  Raised<PXC_EMetadataFileDoesNotExist>([&] { absent.RemoveKey(ZQ_TString("k")); });
  for (const ZQ_TURL& url : {ZQ_TURL::Embed(iURL, 0, 10), ZQ_TURL("http://example.invalid/a")}) {
    SCOPED_TRACE(url.Text());
    PXC_TMetadata metadata(url);
    Raised<PXC_EMetadataNotImplemented>([&] { delete metadata.GetKeyObject(ZQ_TString("k")); });
    Raised<PXC_EMetadataNotImplemented>(
        [&] { metadata.SetKeyObject(ZQ_TString("k"), ZQ_TString("v")); });
  }
  PXC_TMetadata metadata(iURL);
  const ZQ_TString key(std::string(300, 'k'));
  EXPECT_EQ(Datum(Raised<PXC_EMetadataCouldNotRead>([&] { delete metadata.GetKeyObject(key); })),
            iPath);
  EXPECT_EQ(Datum(Raised<PXC_EMetadataCouldNotWrite>(
                [&] { metadata.SetKeyObject(key, ZQ_TString("v")); })),
            iPath);
  Raised<PXC_EMetadataCouldNotWrite>([&] { metadata.RemoveKey(key); });

  // A device keeps no user attributes; /proc refuses them outright: it holds
  // none to read or remove, and cannot be written.
  PXC_TMetadata device(ZQ_TURL::FromPath(ZQ_TString("/dev/null")));
  Raised<PXC_EMetadataCouldNotWrite>([&] { device.SetKeyObject(ZQ_TString("k"), ZQ_TString("v")); });
  const std::string proc = "/proc/self/status";
  if (::getxattr(proc.c_str(), "user.imr.k", nullptr, 0) < 0 && errno == EOPNOTSUPP) {
    PXC_TMetadata refusing(ZQ_TURL::FromPath(ZQ_TString(proc)));
    EXPECT_EQ(refusing.GetKeyObject(ZQ_TString("k")), nullptr);
    refusing.RemoveKey(ZQ_TString("k"));
    Raised<PXC_EMetadataCouldNotWrite>(
        [&] { refusing.SetKeyObject(ZQ_TString("k"), ZQ_TString("v")); });
  }
}

// Stored values damaged by hand read as PXC_EMetadataCouldNotRead, whether the
// stream fails or the class it names does (that once escaped as is).
TEST_F(Metadata, GarbageWrittenByHandIsReportedAsUnreadable) {
  PXC_TMetadata metadata(iURL);
  // The two stored forms, taken from values the library wrote.
  metadata.SetKeyObject(ZQ_TString("small"), PXC_TTag(3, 4));
  const std::string raw = RawValue(iPath, "small");
  const std::string rawPacked = Packed(PXC_TTag(3, 4));
  ASSERT_EQ(raw.size(), 1 + rawPacked.size());
  ASSERT_EQ(raw.substr(1), rawPacked);
  metadata.SetKeyObject(ZQ_TString("ticket"), PXC_TImageTicket());
  const std::string rawTicket = RawValue(iPath, "ticket");

  const ZQ_TList tickets = ManyTickets(12);
  const std::string packed = Packed(tickets);
  metadata.SetKeyObject(ZQ_TString("big"), tickets);
  const std::string deflated = RawValue(iPath, "big");
  metadata.RemoveKey(ZQ_TString("big"));  // a file has room for few values
  ASSERT_LT(deflated.size(), packed.size());
  ASSERT_EQ(U32At(deflated, 1), packed.size());  // a mark, the size, then the deflated bytes
  const std::string header = deflated.substr(0, 5);

  std::string unknownClass = raw;
  unknownClass.replace(unknownClass.find("PXC_TTag"), 8, "PXC_TTaX");
  std::string badTicketFormat = rawTicket;
  badTicketFormat[badTicketFormat.rfind("PXC_TImageTicket") + 16 + 4] = 99;
  std::string flipped = deflated;
  for (std::size_t i = 8; i < flipped.size(); i += 7) flipped[i] = static_cast<char>(~flipped[i]);
  const std::string notPacked = "this is not a packed object at all, only text";

  const std::vector<std::pair<const char*, std::string>> garbage = {
      {"empty", ""},
      {"unknown mark", "garbage"},
      {"raw, truncated", raw.substr(0, raw.size() / 2)},
      {"raw, trailing bytes", raw + "junk"},
      {"raw, unknown class", unknownClass},
      {"raw, ticket of an unknown format", badTicketFormat},
      {"deflated, short header", deflated.substr(0, 3)},
      {"deflated, corrupt", flipped},
      {"deflated, huge size", WithU32At(deflated, 1, 0xFFFFFFFFu)},
      {"deflated, size too small", WithU32At(deflated, 1, U32At(deflated, 1) - 1)},
      {"deflated, size too large", WithU32At(deflated, 1, U32At(deflated, 1) + 1)},
      {"deflated, zero size", WithU32At(header, 1, 0) + Deflated("")},
      {"deflated, not a packed object",
       WithU32At(header, 1, static_cast<std::uint32_t>(notPacked.size())) + Deflated(notPacked)},
  };
  for (const auto& [what, bytes] : garbage) {
    SCOPED_TRACE(what);
    SetRawValue(iPath, "bad", bytes);
    EXPECT_EQ(Datum(Raised<PXC_EMetadataCouldNotRead>(
                  [&] { delete metadata.GetKeyObject(ZQ_TString("bad")); })),
              iPath);
  }
  // The same route with the untouched bytes reads them.
  SetRawValue(iPath, "bad", deflated);
  std::unique_ptr<ZQ_TList> back = Get<ZQ_TList>(metadata, "bad");
  ASSERT_NE(back, nullptr);
  EXPECT_TRUE(*back == tickets);
  SetRawValue(iPath, "bad", raw);
  EXPECT_NE(Get<PXC_TTag>(metadata, "bad"), nullptr);
}

// A value the file system refuses leaves the old one; one larger than any the
// library stores is refused before it is tried.
TEST_F(Metadata, AValueTooLargeIsRefused) {
  PXC_TMetadata metadata(iURL);
  metadata.SetKeyObject(ZQ_TString("k"), ZQ_TString("kept"));
  // Random bytes do not compress; ext4 keeps about 4 KB per file.
  const ZQ_TString large(RandomBytes(16384, 1));
  bool taken = true;
  try {
    metadata.SetKeyObject(ZQ_TString("k"), large);
  } catch (const PXC_EMetadataCouldNotWrite& error) {
    EXPECT_EQ(Datum(error), iPath);
    taken = false;
  }
  std::unique_ptr<ZQ_TString> back = Get<ZQ_TString>(metadata, "k");
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(*back, taken ? large : ZQ_TString("kept"));

  const ZQ_TString huge(RandomBytes(PXC_TMetadata::kMaxValue + 100, 2));
  EXPECT_EQ(Datum(Raised<PXC_EMetadataCouldNotWrite>(
                [&] { metadata.SetKeyObject(ZQ_TString("huge"), huge); })),
            iPath);
  EXPECT_EQ(metadata.GetKeyObject(ZQ_TString("huge")), nullptr);
}
