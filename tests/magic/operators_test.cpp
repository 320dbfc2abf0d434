// The testing elements and the chains they form: masked byte comparisons,
// negation, searches, the length guard, linking, copying and comparing.
#include "magic_test_support.h"

namespace {

using namespace magictest;

TEST(ByteComparisons, MaskedUnsignedAndBounded) {
  const IMR_TEqual masked(8, 0xF0, 0x20);
  const IMR_TLess less(1, 255, 5);
  const IMR_TMore more(1, 255, 5);
  for (int byte = 0; byte < 256; ++byte) {
    SCOPED_TRACE(byte);
    EXPECT_EQ(Passes(masked, Padded("", 8) + static_cast<char>(byte)), byte >= 0x20 && byte <= 0x2F);
    EXPECT_EQ(Passes(less, Bytes({0, byte})), byte < 5);  // bytes compare unsigned
    EXPECT_EQ(Passes(more, Bytes({0, byte})), byte > 5);
  }
  EXPECT_TRUE(Passes(IMR_TMore(0, 0x80, 0x7F), Bytes({0xFF})));
  // Unguarded comparisons past the end (as inside an IMR_TNot) fail without
  // reading there: AddressSanitizer would report it.
  const std::string four = Bytes({0, 0, 0, 0});
  EXPECT_FALSE(Passes(IMR_TEqual(4, 255, 0), four));
  EXPECT_FALSE(Passes(IMR_TLess(4, 255, 255), four));
  EXPECT_FALSE(Passes(IMR_TEqual(0xFFFFFFFFu, 0, 0), four));
  Raised<IMR_EPluginDataBufferEmpty>([] { Passes(IMR_TEqual(0, 255, 0), ""); });
}

TEST(Chains, LengthGuardAndTheBaseElement) {
  // The guard's length is the chain's largest offset; searches, assignments
  // and offsets inside a negation do not count.
  EXPECT_EQ(Chain({"[3]==1", "[10]==1", "[2]==1"})->MatchLength(), 10u);
  EXPECT_EQ(Chain({"?100=x", "FileFormat=X"})->MatchLength(), 0u);
  EXPECT_EQ(Chain({"[1]==1", "[50]!=1"})->MatchLength(), 1u);
  // It runs the chain only over more bytes than that.
  std::unique_ptr<IMR_TMatch> guarded = Chain({"[3]&0==0", "[1]&0==0"});
  EXPECT_FALSE(Passes(*guarded, "abc"));
  EXPECT_TRUE(Passes(*guarded, "abcd"));
  EXPECT_TRUE(Passes(IMR_TTrue(), "a"));
  EXPECT_FALSE(Passes(IMR_TTrue(), ""));  // no data: fails at the guard, raises nothing
  Raised<IMR_EMagicMatchInterfaceCalled>([] { Passes(IMR_TMatch(), "x"); });
}

TEST(Negation, InvertsItsOwnCopyOfTheNegatedChain) {
  // Fails where the negated chain passes.  The copy outlives the source; a
  // comparison past the end inside fails, so the negation passes.
  std::unique_ptr<IMR_TMatch> negated = Chain({"[0]==1", "[1]==2"}, false);
  const IMR_TNot negation(negated.get());
  negated.reset();
  EXPECT_FALSE(Passes(negation, Bytes({1, 2})));
  EXPECT_TRUE(Passes(negation, Bytes({1, 3})));
  EXPECT_TRUE(Passes(negation, Bytes({1})));
  // Without a negated chain it fails.
  EXPECT_FALSE(Passes(IMR_TNot(), "anything"));
}

TEST(Search, Window) {
  // A match may not end on the window's last byte.
  const IMR_TSearch search("END", 0);
  EXPECT_FALSE(Passes(search, "xxEND"));
  EXPECT_TRUE(Passes(search, "xEND-"));
  EXPECT_FALSE(Passes(search, "END"));
  // The window runs at most 4096 bytes from the start; nothing before the start counts.
  const IMR_TSearch late("END", 10);
  EXPECT_TRUE(Passes(late, Padded("", 10 + 4092) + "END" + Padded("", 100)));
  EXPECT_FALSE(Passes(late, Padded("", 10 + 4093) + "END" + Padded("", 100)));
  EXPECT_FALSE(Passes(late, "xEND-" + Padded("", 100)));
  // Over a buffer holding the first 20 bytes of a 60-byte file with END at
  // 40, the search reads on into the file, but its window is 20 bytes long.
  TempDir dir;
  WriteFile(dir / "f", Padded("", 40) + "END" + Padded("", 17));
  PXC_TBuffer head(ZQ_TURL::FromPath(ZQ_TString(dir / "f")), 0, 0, 20);
  ASSERT_EQ(head.Size(), 20u);
  for (auto [offset, found] : {std::pair{10u, false}, {25u, true}, {60u, false}}) {
    PXC_TImageTicket ticket;
    bool requested = false;
    EXPECT_EQ(IMR_TSearch("END", offset)(ZQ_TString(), head, ticket, requested, PXC_FL_FORMAT, 0), found)
        << offset;
  }
}

TEST(Search, StoredStart) {
  // The start is read from bytes 4..5: 0x10 0x00, so 16 little-endian, 4096 big-endian.
  const std::string header = Bytes({'S', 'T', 'R', 'T', 0x10, 0x00});
  const IMR_TSearch little("MARK", 4, 2, true);
  const IMR_TSearch big("MARK", 4, 2, false);
  EXPECT_TRUE(Passes(little, Padded(header, 16) + "MARK" + Padded("", 8)));
  EXPECT_TRUE(Passes(big, Padded(header, 4096) + "MARK" + Padded("", 8)));
  EXPECT_FALSE(Passes(little, Padded(header, 8) + "MARK" + Padded("", 8)));  // before the start
  // Widths over four bytes keep the last four combined.
  EXPECT_TRUE(Passes(IMR_TSearch("MARK", 0, 6, false), Padded(Bytes({9, 9, 0, 0, 0, 12}), 12) + "MARK--"));
  // Starts, positions and widths beyond the data fail without raising.
  const std::string small = Bytes({'a', 'b', 0xFF, 0xFF, 0xFF, 0x7F}) + "MARK--";
  for (const IMR_TSearch& beyond : {IMR_TSearch("MARK", 2, 4, true), IMR_TSearch("MARK", 100, 2, true),
                                    IMR_TSearch("MARK", 0, 0xFFFFFFFFu, true)}) {
    EXPECT_NO_THROW(EXPECT_FALSE(Passes(beyond, small))) << Printed(beyond);
  }
  EXPECT_NO_THROW(EXPECT_FALSE(Passes(little, "")));
}

TEST(Search, PatternsAreComparedAsStrncmpWould) {
  // Exact and case-sensitive over any bytes, with repeated first bytes.
  const IMR_TSearch binary("\xE1\x84\x02", 0);
  EXPECT_TRUE(Passes(binary, Bytes({0x01, 0xE1, 0x84, 0x02, 0x00})));
  EXPECT_FALSE(Passes(binary, Bytes({0x01, 0xE1, 0x84, 0x03, 0x00})));
  EXPECT_FALSE(Passes(IMR_TSearch("svg", 0), "<SVG>"));
  const IMR_TSearch ab("ab", 0);
  EXPECT_TRUE(Passes(ab, "aaab-"));
  EXPECT_FALSE(Passes(ab, "aaab"));
  EXPECT_FALSE(Passes(ab, "aaaa-b"));
  // An empty pattern passes where the window holds a zero byte.
  std::unique_ptr<IMR_TMatch> empty = Unpacked<IMR_TMatch>(Packed(IMR_TSearch()));
  ASSERT_NE(empty, nullptr);
  EXPECT_TRUE(Passes(*empty, std::string("ab\0c", 4)));
  EXPECT_FALSE(Passes(*empty, "abcd"));
  // A pattern read back with a NUL inside compares up to that NUL, while its
  // length still bounds the candidates.
  std::string bytes = Packed(IMR_TSearch("azb", 0));
  const std::size_t z = bytes.find("azb");
  ASSERT_NE(z, std::string::npos);
  bytes[z + 1] = '\0';
  std::unique_ptr<IMR_TMatch> nul = Unpacked<IMR_TMatch>(bytes);
  ASSERT_NE(nul, nullptr);
  EXPECT_TRUE(Passes(*nul, Bytes({'x', 'a', 0, 'q', 'q'})));
  EXPECT_FALSE(Passes(*nul, Bytes({'x', 'a', 0, 'q'})));
  EXPECT_FALSE(Passes(*nul, Bytes({'x', 'a', 'z', 'b', 'q', 'q'})));
}

TEST(ChainModel, AssigningAndDestroying) {
  // Assigned copies are deep and outlive their source (clones: Forms).
  auto source = std::make_unique<IMR_TNot>(Chain({"[0]==0x4D"}, false).get());
  Attach(*source, Chain({"[1]==0x4D", "?2=xyz", "FileFormat=COPY"}, false).release());
  const std::string printed = Printed(*source);
  IMR_TNot assigned;
  assigned = *source;
  source.reset();
  EXPECT_EQ(Printed(assigned), printed);
  EXPECT_TRUE(Passes(assigned, "IMxyz-"));
  EXPECT_FALSE(Passes(assigned, "MMxyz-"));
  // Assignment replaces the whole chain, and a guard's cached length with it.
  std::unique_ptr<IMR_TMatch> longer = Chain({"[0]==1", "[1]==2", "[2]==3"}, false);
  IMR_TEqual& target = dynamic_cast<IMR_TEqual&>(*longer);
  const IMR_TEqual nine(0, 255, 9);
  target = nine;
  EXPECT_EQ(NextOf(target), nullptr);
  EXPECT_TRUE(Passes(target, Bytes({9})));
  IMR_TTrue guard;
  Attach(guard, new IMR_TEqual(7, 255, 0));
  EXPECT_EQ(guard.MatchLength(), 7u);
  const IMR_TTrue bare;
  guard = bare;
  EXPECT_EQ(guard.MatchLength(), 0u);
  // Long chains are destroyed without deep recursion.
  auto longChain = std::make_unique<IMR_TEqual>(0, 0, 0);
  IMR_TMatch* last = longChain.get();
  for (int i = 0; i < 200000; ++i) last = Attach(*last, new IMR_TEqual(0, 0, 0));
}

// The copy checks rest on these: each parameter and the class tell elements
// apart; ZQ_IsIdent looks at the head only.
TEST(ChainModel, Comparisons) {
  std::unique_ptr<IMR_TMatch> a = Chain({"[0]==1", "?3=x", "FileFormat=A"}, false);
  EXPECT_TRUE(a->ZQ_IsIdent(*Chain({"[0]==1", "[6]==6", "Key=B"}, false)));
  EXPECT_FALSE(a->ZQ_IsIdent(*Chain({"[0]==2", "?3=x", "FileFormat=A"}, false)));
  EXPECT_FALSE(IMR_TEqual(1, 2, 3).ZQ_IsIdent(IMR_TLess(1, 2, 3)));
  const std::pair<IMR_TSearch, IMR_TSearch> differing[] = {
      {IMR_TSearch("ab", 3), IMR_TSearch("ab", 4)},
      {IMR_TSearch("ab", 3), IMR_TSearch("abc", 3)},
      {IMR_TSearch("ab", 4, 2, true), IMR_TSearch("ab", 4, 2, false)},
      {IMR_TSearch("ab", 4, 2, true), IMR_TSearch("ab", 4, 4, true)}};
  for (const auto& [x, y] : differing) EXPECT_FALSE(x == y) << Printed(x) << Printed(y);
  IMR_TTrue g1, g2;  // guards compare their lengths
  Attach(g1, new IMR_TEqual(3, 255, 0));
  Attach(g2, new IMR_TEqual(4, 255, 0));
  EXPECT_FALSE(g1 == g2);
  EXPECT_FALSE(IMR_TSet(ZQ_TString("K"), ZQ_TString("V")) == IMR_TSet(ZQ_TString("K"), ZQ_TString("W")));
}

}  // namespace
