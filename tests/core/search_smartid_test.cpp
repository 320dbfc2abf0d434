// Walking the images of a file, listing their formats, and the identity of a
// proxy with the files its selected image depends on.
#include <charconv>

#include "core_test_support.h"

using namespace coretest;

namespace {

// How SmartID folds in one dependency: a 32-bit sum (wrapping), then the modulus.
std::uint32_t Fold(std::uint32_t id, std::uint32_t dependency) {
  return static_cast<std::uint32_t>(id + dependency) % 999999999u;
}

class Search : public ModuleCountersTest {
 protected:
  static std::uint32_t Facts(const ZQ_TURL& url) { return ZQ_TFileInfo(url, true).SmartID(); }
  std::uint32_t FactsOf(const std::string& name) { return Facts(UrlOf(iDir / name)); }
  // SmartID of the proxy of `url` described at `level`.
  std::uint32_t IdOf(const ZQ_TURL& url, PXC_TFillLevel level = PXC_FL_FORMAT) {
    iCore.FillImageProxy(iProxy, url, level, IMR_IT_ALL);
    return iCore.SmartID(iProxy, true);
  }

  const ZQ_TList iPlugins = Plugins({"IMRT_Plain"});
  const IMR_TCore iCore{&iPlugins};
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

// FindImage calls back for every image at format level, ImageTypes lists
// their formats; embedded images are not among them.
TEST_F(Search, FindImageAndImageTypesWalkEveryImage) {
  imrt::Image other = Img("0", 3);
  other.format = "OTHER";
  const ZQ_TURL url =
      Write("a.imrt", {Img("0", 1, 5, 5), Embedded(imrt::Write({Img("0")}), 1), other, Img("0", 2)});
  Seen seen;
  EXPECT_FALSE(iCore.FindImage(url, &Collect, &seen, IMR_IT_ALL));
  EXPECT_EQ(seen.tickets, (std::vector<std::string>{"IMRT:1:0/2/0", "OTHER:3:2/2/2", "IMRT:2:3/2/3"}));
  ZQ_TList formats;
  iCore.ImageTypes(formats, url);
  EXPECT_EQ(formats, ZQ_TList({ZQ_TAny("IMRT"), ZQ_TAny("OTHER"), ZQ_TAny("IMRT")}));
  Seen first{{}, 2};
  EXPECT_FALSE(iCore.FindImage(url, &Collect, &first, IMR_IT_ALL));
  EXPECT_EQ(first.tickets.size(), 2u);
  Seen none;
  EXPECT_FALSE(iCore.FindImage(Write("n.imrt", {Img("1")}), &Collect, &none, IMR_IT_ALL));
  EXPECT_TRUE(none.tickets.empty());

  // A file that cannot be read: reported, and logged under its own name.
  LogCapture log;
  const ZQ_TURL missing = UrlOf(iDir / "missing.imrt");
  EXPECT_TRUE(iCore.FindImage(missing, &Collect, &none, IMR_IT_ALL));
  EXPECT_TRUE(none.tickets.empty());
  EXPECT_EQ(Count(log.Text(), "IMR_CORE: Cannot resolve image " + missing.Text().Std() + " (PXC_EBuffer"), 1u)
      << log.Text();
}

// The sum wraps at 32 bits; radixes outside 2 to 36 give decimal.
TEST_F(Search, SmartIDAddsTheIdentitiesOfTheDependencies) {
  const ZQ_TURL b = Write("b.imrt", {Img("0")});
  WriteFile(iDir / "i1.dat", "I1 identified by its facts");
  WriteFile(iDir / "plain.txt", "not recognised");
  const ZQ_TURL a = Write("a.imrt", {WithRefs(Img("0"), {"b.imrt", "i1.dat", iDir / "plain.txt"})});
  // Identities large enough that their sum wraps at 32 bits.
  auto large = [](const ZQ_TURL& url, std::uint32_t floor) {
    for (std::int64_t seconds = 1000000; Facts(url) < floor; ++seconds) {
      SetModified(url.Path().Std(), seconds);
    }
    return Facts(url);
  };
  const std::uint32_t idA = large(a, 0xF0000000u);
  const std::uint32_t idB = large(b, 0x40000000u);
  const std::uint32_t id = IdOf(a, PXC_FL_ALL_IMAGES);
  EXPECT_EQ(id, Fold(Fold(Fold(idA, idB), FactsOf("i1.dat")), FactsOf("plain.txt")));
  EXPECT_EQ(iProxy.Selected()->FillLevel(), PXC_FL_DEPENDENCIES);
  for (int radix : {2, 10, 16, 36, 1, 37, 0}) {
    char digits[40];
    const auto end = std::to_chars(digits, digits + 40, id, radix < 2 || radix > 36 ? 10 : radix).ptr;
    EXPECT_EQ(iCore.SmartIDStr(iProxy, static_cast<std::uint8_t>(radix)).Std(), std::string(digits, end))
        << radix;
  }

  // Without dependencies: the file's own identity; no image, no identity.
  EXPECT_EQ(IdOf(b, PXC_FL_ALL_IMAGES), idB);
  PXC_TImageProxy empty;
  EXPECT_EQ(iCore.SmartID(empty, true), 0u);
  EXPECT_EQ(iCore.SmartIDStr(empty, 16), "0");
  // A dependency that cannot be read makes it 0.
  EXPECT_EQ(IdOf(Write("c.imrt", {WithRefs(Img("0"), {"missing.imrt"})})), 0u);
}

// A repeated dependency is described once; cycles end; dependencies are
// followed 32 deep (f0 -> ... -> f40), the rest counting by its facts.
TEST_F(Search, SmartIDRepeatsCyclesAndLongChains) {
  const ZQ_TURL r = Write("r.imrt", {WithRefs(Img("0"), {"b.imrt", "b.imrt", "b.imrt"})});
  Write("b.imrt", {Img("0")});
  iCore.FillImageProxy(iProxy, r, PXC_FL_DEPENDENCIES, IMR_IT_ALL);
  Stats().Reset();
  const std::uint32_t b = FactsOf("b.imrt");
  EXPECT_EQ(iCore.SmartID(iProxy, false), Fold(Fold(Fold(Facts(r), b), b), b));
  EXPECT_EQ(Stats().calls.load(), 2);  // image 0 of b.imrt, and the end of its images

  const ZQ_TURL a = Write("a.imrt", {WithRefs(Img("0"), {"c.imrt"})});
  Write("c.imrt", {WithRefs(Img("0"), {"a.imrt"})});
  EXPECT_EQ(IdOf(a), Fold(Facts(a), Fold(FactsOf("c.imrt"), Facts(a))));

  auto name = [](int i) { return "f" + std::to_string(i) + ".imrt"; };
  for (int i = 0; i < 40; ++i) Write(name(i), {WithRefs(Img("0"), {name(i + 1)})});
  Write(name(40), {Img("0")});
  std::uint32_t expected = FactsOf(name(32));
  for (int i = 31; i >= 0; --i) expected = Fold(FactsOf(name(i)), expected);
  EXPECT_EQ(IdOf(UrlOf(iDir / name(0))), expected);
}
