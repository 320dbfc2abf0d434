// Walking the images of a file, listing their formats, and the identity of a
// proxy with the files its selected image depends on.
#include <charconv>

#include "core_test_support.h"

using namespace coretest;

namespace {

constexpr std::uint32_t kModulus = 999999999u;

// How SmartID folds in one dependency: a 32-bit sum (wrapping), then the modulus.
std::uint32_t Fold(std::uint32_t id, std::uint32_t dependency) {
  return static_cast<std::uint32_t>(id + dependency) % kModulus;
}

class Search : public ::testing::Test {
 protected:
  void SetUp() override { Stats().Reset(); }

  ZQ_TURL Write(const std::string& name, const std::vector<imrt::Image>& images) {
    return WriteImrt(iDir / name, images);
  }
  static std::uint32_t Facts(const ZQ_TURL& url) { return ZQ_TFileInfo(url, true).SmartID(); }
  // Sets the file's time until its identity is at least `floor`.
  static std::uint32_t LargeIdentity(const ZQ_TURL& url, std::uint32_t floor) {
    for (std::int64_t seconds = 1000000;; ++seconds) {
      SetModified(url.Path().Std(), seconds);
      if (Facts(url) >= floor) return Facts(url);
    }
  }

  const ZQ_TList iPlugins = Plugins({"IMRT_Plain"});
  const IMR_TCore iCore{&iPlugins};
  TempDir iDir;
};

struct Seen {
  std::vector<std::string> tickets;
  std::size_t stopAfter = 0;
};

bool Collect(PXC_TImageTicket& ticket, IMR_TCore&, void* user) {
  Seen& seen = *static_cast<Seen*>(user);
  seen.tickets.push_back(TicketSummary(ticket) + "/" + std::to_string(ticket.FillLevel()) + "/" +
                         std::to_string(ticket.ImagePosition()));
  return seen.tickets.size() == seen.stopAfter;
}

}  // namespace

TEST_F(Search, FindImageCallsBackForEveryImageAtFormatLevel) {
  const ZQ_TURL url = Write("a.imrt", {Img("0", 1, 5, 5), Embedded(imrt::Write({Img("0")}), 1),
                                       Img("0", 3), Img("0", 2)});
  Seen seen;
  EXPECT_FALSE(iCore.FindImage(url, &Collect, &seen, IMR_IT_ALL));
  EXPECT_EQ(seen.tickets, (std::vector<std::string>{"IMRT:1:0/2/0", "IMRT:3:2/2/2", "IMRT:2:3/2/3"}));

  Seen first;
  first.stopAfter = 2;
  EXPECT_FALSE(iCore.FindImage(url, &Collect, &first, IMR_IT_ALL));
  EXPECT_EQ(first.tickets.size(), 2u);

  Seen none;
  EXPECT_FALSE(iCore.FindImage(Write("n.imrt", {Img("1")}), &Collect, &none, IMR_IT_ALL));
  EXPECT_TRUE(none.tickets.empty());
}

TEST_F(Search, FindImageReportsAFileThatCannotBeRead) {
  LogCapture log;
  const ZQ_TURL missing = ZQ_TURL::FromPath(ZQ_TString(iDir / "missing.imrt"));
  Seen seen;
  EXPECT_TRUE(iCore.FindImage(missing, &Collect, &seen, IMR_IT_ALL));
  EXPECT_TRUE(seen.tickets.empty());
  EXPECT_EQ(Count(log.Text(), "IMR_CORE: Cannot resolve image " + missing.Text().Std() + " ("), 1u)
      << log.Text();
}

TEST_F(Search, ImageTypesListsTheFormatOfEveryImage) {
  imrt::Image other = Img("0");
  other.format = "OTHER";
  const ZQ_TURL url = Write("a.imrt", {Img("0"), other, Img("5"), Img("0")});
  ZQ_TList formats;
  iCore.ImageTypes(formats, url);
  EXPECT_EQ(formats, ZQ_TList({ZQ_TAny("IMRT"), ZQ_TAny("OTHER"), ZQ_TAny("IMRT")}));
}

TEST_F(Search, SmartIDAddsTheIdentitiesOfTheDependencies) {
  const ZQ_TURL b = Write("b.imrt", {Img("0")});
  const ZQ_TURL i1 = ZQ_TURL::FromPath(ZQ_TString(iDir / "i1.dat"));
  WriteFile(i1.Path().Std(), "I1 identified by its facts");
  const ZQ_TURL text = ZQ_TURL::FromPath(ZQ_TString(iDir / "plain.txt"));
  WriteFile(text.Path().Std(), "not recognised");
  const ZQ_TURL a = Write("a.imrt", {WithRefs(Img("0"), {"b.imrt", "i1.dat", text.Path().Std()})});
  // Identities large enough that their sum wraps at 32 bits.
  const std::uint32_t idA = LargeIdentity(a, 0xF0000000u);
  const std::uint32_t idB = LargeIdentity(b, 0x40000000u);

  PXC_TImageProxy proxy;
  iCore.FillImageProxy(proxy, a, PXC_FL_ALL_IMAGES, IMR_IT_ALL);
  const std::uint32_t expected = Fold(Fold(Fold(idA, idB), Facts(i1)), Facts(text));
  EXPECT_EQ(iCore.SmartID(proxy, true), expected);
  EXPECT_EQ(proxy.Selected()->FillLevel(), PXC_FL_DEPENDENCIES);

  // Without dependencies: the file's own identity.
  PXC_TImageProxy alone;
  iCore.FillImageProxy(alone, b, PXC_FL_ALL_IMAGES, IMR_IT_ALL);
  EXPECT_EQ(iCore.SmartID(alone, true), idB);
  PXC_TImageProxy empty;
  EXPECT_EQ(iCore.SmartID(empty, true), 0u);
}

TEST_F(Search, SmartIDDescribesARepeatedDependencyOnce) {
  const ZQ_TURL b = Write("b.imrt", {Img("0")});
  const ZQ_TURL a = Write("a.imrt", {WithRefs(Img("0"), {"b.imrt", "b.imrt", "b.imrt"})});
  PXC_TImageProxy proxy;
  iCore.FillImageProxy(proxy, a, PXC_FL_DEPENDENCIES, IMR_IT_ALL);
  Stats().Reset();
  EXPECT_EQ(iCore.SmartID(proxy, false), Fold(Fold(Fold(Facts(a), Facts(b)), Facts(b)), Facts(b)));
  EXPECT_EQ(Stats().calls.load(), 2);  // image 0 of b.imrt, and the end of its images
}

TEST_F(Search, SmartIDEndsCyclesAndLongChains) {
  const ZQ_TURL a = Write("a.imrt", {WithRefs(Img("0"), {"b.imrt"})});
  const ZQ_TURL b = Write("b.imrt", {WithRefs(Img("0"), {"a.imrt"})});
  PXC_TImageProxy proxy;
  iCore.FillImageProxy(proxy, a, PXC_FL_FORMAT, IMR_IT_ALL);
  EXPECT_EQ(iCore.SmartID(proxy, true), Fold(Facts(a), Fold(Facts(b), Facts(a))));

  // f0 -> f1 -> ... -> f39: dependencies are followed 32 deep, the rest
  // counts by its facts.
  for (int i = 0; i < 40; ++i) {
    Write("f" + std::to_string(i) + ".imrt", {WithRefs(Img("0"), {"f" + std::to_string(i + 1) + ".imrt"})});
  }
  Write("f40.imrt", {Img("0")});
  auto facts = [&](int i) { return Facts(ZQ_TURL::FromPath(ZQ_TString(iDir / ("f" + std::to_string(i) + ".imrt")))); };
  std::uint32_t expected = facts(32);
  for (int i = 31; i >= 0; --i) expected = Fold(facts(i), expected);
  PXC_TImageProxy chain;
  iCore.FillImageProxy(chain, ZQ_TURL::FromPath(ZQ_TString(iDir / "f0.imrt")), PXC_FL_FORMAT, IMR_IT_ALL);
  EXPECT_EQ(iCore.SmartID(chain, true), expected);
}

TEST_F(Search, SmartIDIsZeroWhenADependencyCannotBeRead) {
  const ZQ_TURL a = Write("a.imrt", {WithRefs(Img("0"), {"missing.imrt"})});
  PXC_TImageProxy proxy;
  iCore.FillImageProxy(proxy, a, PXC_FL_FORMAT, IMR_IT_ALL);
  EXPECT_EQ(iCore.SmartID(proxy, true), 0u);
}

TEST_F(Search, SmartIDStrWritesTheIdentityInARadix) {
  const ZQ_TURL a = Write("a.imrt", {WithRefs(Img("0"), {"b.imrt"})});
  Write("b.imrt", {Img("0")});
  PXC_TImageProxy proxy;
  iCore.FillImageProxy(proxy, a, PXC_FL_FORMAT, IMR_IT_ALL);
  const std::uint32_t id = iCore.SmartID(proxy, true);
  for (int radix : {2, 10, 16, 36, 1, 37, 0}) {
    char digits[40];
    const int base = radix < 2 || radix > 36 ? 10 : radix;
    const auto end = std::to_chars(digits, digits + sizeof digits, id, base).ptr;
    EXPECT_EQ(iCore.SmartIDStr(proxy, static_cast<std::uint8_t>(radix)).Std(), std::string(digits, end))
        << radix;
  }
  PXC_TImageProxy empty;
  EXPECT_EQ(iCore.SmartIDStr(empty, 16), "0");
}
