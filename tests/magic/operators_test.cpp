// The testing elements and the chain they form: masked byte comparisons,
// negation, searches, the length guard, linking, copying and comparing.
#include "magic_test_support.h"

namespace {

using namespace magictest;

TEST(ByteComparisons, MaskedAndUnsigned) {
  IMR_TEqual equal(0, 255, 0x49);
  EXPECT_TRUE(Passes(equal, "I"));
  EXPECT_FALSE(Passes(equal, "M"));
  IMR_TEqual masked(8, 0xF0, 0x20);
  for (int byte = 0; byte < 256; ++byte) {
    EXPECT_EQ(Passes(masked, Padded("", 8) + static_cast<char>(byte)), byte >= 0x20 && byte <= 0x2F)
        << byte;
  }
  IMR_TLess less(1, 255, 5);
  EXPECT_FALSE(Passes(less, Bytes({0, 5})));
  EXPECT_TRUE(Passes(less, Bytes({0, 4})));
  EXPECT_FALSE(Passes(less, Bytes({0, 200})));
  IMR_TMore more(1, 255, 5);
  EXPECT_FALSE(Passes(more, Bytes({0, 5})));
  EXPECT_TRUE(Passes(more, Bytes({0, 6})));
  EXPECT_TRUE(Passes(more, Bytes({0, 200})));  // unsigned: 200 > 5
  IMR_TMore highBit(0, 0x80, 0x7F);
  EXPECT_TRUE(Passes(highBit, Bytes({0xFF})));
}

TEST(ByteComparisons, BeyondTheBufferFailsWithoutReading) {
  // Unguarded comparisons past the end (as inside an IMR_TNot) simply fail;
  // AddressSanitizer would report a read past the buffer's copy.
  for (IMR_TMatch* element : std::initializer_list<IMR_TMatch*>{
           new IMR_TEqual(4, 255, 0), new IMR_TLess(4, 255, 255), new IMR_TMore(4, 0, 0),
           new IMR_TEqual(0xFFFFFFFFu, 0, 0)}) {
    std::unique_ptr<IMR_TMatch> owned(element);
    EXPECT_FALSE(Passes(*owned, Bytes({0, 0, 0, 0}))) << owned->ClassName();
  }
}

TEST(ByteComparisons, BufferWithoutDataRaises) {
  IMR_TEqual equal(0, 255, 0);
  Raised<IMR_EPluginDataBufferEmpty>([&] { Passes(equal, ""); });
}

TEST(ByteComparisons, MatchLengthIsTheLargestOffsetOfTheChain) {
  EXPECT_EQ(Chain({"[3]==1", "[10]==1", "[2]==1"}, false)->MatchLength(), 10u);
  EXPECT_EQ(Chain({"?100=x", "FileFormat=X"}, false)->MatchLength(), 0u);
  // Offsets inside a negation do not count.
  EXPECT_EQ(Chain({"[1]==1", "[50]!=1"}, false)->MatchLength(), 1u);
}

TEST(Negation, FailsWhereTheNegatedChainPassesAndSkipsItsSuccessor) {
  std::unique_ptr<IMR_TMatch> chain = Chain({"[0]!=0x49", "Probe=reached"}, false);
  PXC_TImageTicket ticket;
  EXPECT_FALSE(RunOn(*chain, "I", ticket).passed);
  EXPECT_EQ(Extended(ticket, "Probe"), "-");
  EXPECT_TRUE(RunOn(*chain, "M", ticket).passed);
  EXPECT_EQ(Extended(ticket, "Probe"), "reached");
}

TEST(Negation, WithoutNegatedChainFails) {
  IMR_TNot empty;
  EXPECT_FALSE(Passes(empty, "anything"));
  IMR_TNot fromNull(nullptr);
  EXPECT_EQ(fromNull.Negated(), nullptr);
  EXPECT_FALSE(Passes(fromNull, "anything"));
}

TEST(Negation, KeepsItsOwnCopyOfTheNegatedChain) {
  std::unique_ptr<IMR_TMatch> negated = Chain({"[0]==1", "[1]==2"}, false);
  IMR_TNot negation(negated.get());
  negated.reset();
  EXPECT_FALSE(Passes(negation, Bytes({1, 2})));
  EXPECT_TRUE(Passes(negation, Bytes({1, 3})));
  // A comparison past the end inside the negation fails, so the negation passes.
  EXPECT_TRUE(Passes(negation, Bytes({1})));
}

TEST(Negation, AnAssignmentInsideActsBeforeTheOutcome) {
  IMR_TSet set(ZQ_TString("Inside"), ZQ_TString("yes"));
  IMR_TNot negation(&set);
  PXC_TImageTicket ticket;
  EXPECT_FALSE(RunOn(negation, "x", ticket).passed);
  EXPECT_EQ(Extended(ticket, "Inside"), "yes");
}

TEST(Search, PatternEndingOnTheWindowsLastByteIsNotFound) {
  IMR_TSearch search("END", 0);
  EXPECT_FALSE(Passes(search, "xxEND"));
  EXPECT_TRUE(Passes(search, "xEND-"));
  EXPECT_FALSE(Passes(search, "END"));
  // The window is at most 4096 bytes from the start.
  IMR_TSearch late("END", 10);
  EXPECT_TRUE(Passes(late, Padded("", 10 + 4092) + "END" + Padded("", 100)));
  EXPECT_FALSE(Passes(late, Padded("", 10 + 4093) + "END" + Padded("", 100)));
  // Before the start nothing counts.
  EXPECT_FALSE(Passes(late, "xEND-" + Padded("", 100)));
}

TEST(Search, WindowReachesPastTheHeldBytesButNoFurtherThanTheirCount) {
  // A buffer holding the first 20 bytes of a 60-byte file with END at 40:
  // the search reads on into the file, but its window is 20 bytes long.
  TempDir dir;
  WriteFile(dir / "f", Padded("", 40) + "END" + Padded("", 17));
  PXC_TBuffer head(ZQ_TURL::FromPath(ZQ_TString(dir / "f")), 0, 0, 20);
  ASSERT_EQ(head.Size(), 20u);
  PXC_TImageTicket ticket;
  bool requested = false;
  IMR_TSearch fromTen("END", 10);
  EXPECT_FALSE(fromTen(ZQ_TString(), head, ticket, requested, PXC_FL_FORMAT, 0));
  IMR_TSearch fromTwentyFive("END", 25);
  EXPECT_TRUE(fromTwentyFive(ZQ_TString(), head, ticket, requested, PXC_FL_FORMAT, 0));
  IMR_TSearch pastTheFile("END", 60);
  EXPECT_FALSE(pastTheFile(ZQ_TString(), head, ticket, requested, PXC_FL_FORMAT, 0));
}

TEST(Search, StoredStartInEitherByteOrder) {
  // The start is read from bytes 4..5: 0x10 0x00.
  const std::string header = Bytes({'S', 'T', 'R', 'T', 0x10, 0x00});
  const std::string nearMark = Padded(header, 16) + "MARK" + Padded("", 8);
  const std::string farMark = Padded(header, 4096) + "MARK" + Padded("", 8);
  IMR_TSearch little("MARK", 4, 2, true);
  IMR_TSearch big("MARK", 4, 2, false);
  EXPECT_TRUE(Passes(little, nearMark));
  EXPECT_FALSE(Passes(big, nearMark));
  EXPECT_TRUE(Passes(big, farMark));
  // Not before the stored start: little-endian starts at 16, past a mark at 8.
  EXPECT_FALSE(Passes(little, Padded(header, 8) + "MARK" + Padded("", 8)));
  // Widths over four bytes keep the last four combined.
  IMR_TSearch wide("MARK", 0, 6, false);
  EXPECT_TRUE(Passes(wide, Padded(Bytes({9, 9, 0, 0, 0, 12}), 12) + "MARK--"));
}

TEST(Search, StoredStartBeyondTheDataFailsWithoutRaising) {
  const std::string small = Bytes({'a', 'b', 0xFF, 0xFF, 0xFF, 0x7F}) + "MARK--";
  for (IMR_TSearch* search : std::initializer_list<IMR_TSearch*>{
           new IMR_TSearch("MARK", 2, 4, true),             // start far past the end
           new IMR_TSearch("MARK", 100, 2, true),           // position past the end
           new IMR_TSearch("MARK", 8, 8, true),             // width runs past the end
           new IMR_TSearch("MARK", 0xFFFFFFF0u, 4, false),  // position near 2^32
           new IMR_TSearch("MARK", 0, 0xFFFFFFFFu, true)}) {
    std::unique_ptr<IMR_TSearch> owned(search);
    EXPECT_NO_THROW(EXPECT_FALSE(Passes(*owned, small)));
  }
  IMR_TSearch empty("MARK", 0, 2, true);
  EXPECT_NO_THROW(EXPECT_FALSE(Passes(empty, "")));
}

TEST(Search, EmptyPatternPassesWhereTheWindowHoldsAZeroByte) {
  std::unique_ptr<IMR_TMatch> search = Unpacked<IMR_TMatch>(Packed(IMR_TSearch()));
  ASSERT_NE(search, nullptr);
  EXPECT_TRUE(Passes(*search, std::string("ab\0c", 4)));
  EXPECT_FALSE(Passes(*search, "abcd"));
}

TEST(Search, RepeatedFirstBytesAndNulsInThePattern) {
  IMR_TSearch search("ab", 0);
  EXPECT_TRUE(Passes(search, "aaab-"));
  EXPECT_FALSE(Passes(search, "aaab"));
  EXPECT_FALSE(Passes(search, "aaaa-b"));
  // A pattern read back with a NUL inside compares up to that NUL, as
  // strncmp does, while its length still bounds the candidates.
  std::string bytes = Packed(IMR_TSearch("azb", 0));
  const std::size_t z = bytes.find("azb");
  ASSERT_NE(z, std::string::npos);
  bytes[z + 1] = '\0';
  std::unique_ptr<IMR_TMatch> nul = Unpacked<IMR_TMatch>(bytes);
  ASSERT_NE(nul, nullptr);
  EXPECT_TRUE(Passes(*nul, Bytes({'x', 'a', 0, 'q', 'q'})));
  EXPECT_FALSE(Passes(*nul, Bytes({'x', 'a', 0, 'q'})));  // the length reaches the last byte
  EXPECT_FALSE(Passes(*nul, Bytes({'x', 'a', 'z', 'b', 'q', 'q'})));
}

TEST(Search, ExactAndCaseSensitiveOverBinaryBytes) {
  IMR_TSearch search("\xE1\x84\x02", 0);
  EXPECT_TRUE(Passes(search, Bytes({0x01, 0xE1, 0x84, 0x02, 0x00})));
  EXPECT_FALSE(Passes(search, Bytes({0x01, 0xE1, 0x84, 0x03, 0x00})));
  EXPECT_FALSE(Passes(search, Bytes({0x01, 0xE1, 0x84, 0x02})));  // ends on the last byte
  IMR_TSearch text("svg", 0);
  EXPECT_FALSE(Passes(text, "<SVG>"));
}

TEST(LengthGuard, RunsTheChainOnlyWhenTheBufferExceedsItsLargestOffset) {
  std::unique_ptr<IMR_TMatch> chain = Chain({"[3]&0==0", "[1]&0==0"});
  EXPECT_EQ(chain->MatchLength(), 3u);
  EXPECT_FALSE(Passes(*chain, "abc"));
  EXPECT_TRUE(Passes(*chain, "abcd"));
  IMR_TTrue alone;
  EXPECT_TRUE(Passes(alone, "a"));
  EXPECT_FALSE(Passes(alone, ""));  // no data: fails at the guard, raises nothing
  std::unique_ptr<IMR_TMatch> offsetZero = Chain({"[0]==0x41"});
  EXPECT_TRUE(Passes(*offsetZero, "A"));
}

TEST(ChainModel, StopsAtTheFirstFailure) {
  std::unique_ptr<IMR_TMatch> chain = Chain({"[0]==0x41", "[1]==0x42", "Probe=reached"});
  PXC_TImageTicket ticket;
  EXPECT_FALSE(RunOn(*chain, "AX", ticket).passed);
  EXPECT_EQ(Extended(ticket, "Probe"), "-");
  EXPECT_TRUE(RunOn(*chain, "AB", ticket).passed);
  EXPECT_EQ(Extended(ticket, "Probe"), "reached");
}

TEST(ChainModel, TheBaseTestRaises) {
  IMR_TMatch base;
  Raised<IMR_EMagicMatchInterfaceCalled>([&] { Passes(base, "x"); });
}

TEST(ChainModel, AttachingTwiceRaisesAndKeepsTheFirstSuccessor) {
  IMR_TEqual head(0, 255, 1);
  IMR_TMatch* first = Attach(head, new IMR_TEqual(1, 255, 2));
  std::unique_ptr<IMR_TMatch> second(new IMR_TEqual(1, 255, 3));
  Raised<IMR_EMagicInternal>([&] { Attach(head, second.get()); });
  EXPECT_EQ(NextOf(head), first);
  EXPECT_TRUE(Passes(head, Bytes({1, 2})));
}

TEST(ChainModel, CopiesAreDeepAndOutliveTheirSource) {
  auto source = std::make_unique<IMR_TNot>();
  {
    std::unique_ptr<IMR_TMatch> negated = Chain({"[0]==0x4D"}, false);
    source = std::make_unique<IMR_TNot>(negated.get());
  }
  Attach(*source, Chain({"[1]==0x4D", "?2=xyz", "FileFormat=COPY"}, false).release());
  const std::string printed = Printed(*source);
  IMR_TNot copied(*source);
  IMR_TNot assigned;
  assigned = *source;
  std::unique_ptr<ZQ_IPackable> cloned(source->ZQ_Clone());
  EXPECT_NE(NextOf(copied), NextOf(*source));
  source.reset();
  for (const IMR_TMatch* copy :
       {static_cast<const IMR_TMatch*>(&copied), static_cast<const IMR_TMatch*>(&assigned),
        dynamic_cast<const IMR_TMatch*>(cloned.get())}) {
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(Printed(*copy), printed);
    PXC_TImageTicket ticket;
    EXPECT_TRUE(RunOn(*copy, "IMxyz-", ticket).passed);
    EXPECT_EQ(ticket.FileFormat(), ZQ_TString("COPY"));
    EXPECT_FALSE(Passes(*copy, "MMxyz-"));
  }
}

TEST(ChainModel, AssignmentReplacesTheWholeChain) {
  std::unique_ptr<IMR_TMatch> longer = Chain({"[0]==1", "[1]==2", "[2]==3"}, false);
  std::unique_ptr<IMR_TMatch> shorter = Chain({"[0]==9"}, false);
  IMR_TEqual& target = dynamic_cast<IMR_TEqual&>(*longer);
  target = dynamic_cast<const IMR_TEqual&>(*shorter);
  EXPECT_EQ(NextOf(target), nullptr);
  EXPECT_TRUE(Passes(target, Bytes({9})));
  IMR_TTrue guard;
  Attach(guard, new IMR_TEqual(7, 255, 0));
  EXPECT_EQ(guard.MatchLength(), 7u);
  IMR_TTrue other;
  guard = other;  // the cached length goes with the old chain
  EXPECT_EQ(guard.MatchLength(), 0u);
}

TEST(ChainModel, LongChainsAreDestroyedWithoutDeepRecursion) {
  IMR_TEqual head(0, 0, 0);
  IMR_TMatch* last = &head;
  for (int i = 0; i < 200000; ++i) last = Attach(*last, new IMR_TEqual(0, 0, 0));
}

TEST(Comparisons, BaseComparisonLooksOnlyAtTheShape) {
  std::unique_ptr<IMR_TMatch> a = Chain({"[0]==1", "?3=x", "FileFormat=A"}, false);
  std::unique_ptr<IMR_TMatch> b = Chain({"[9]<2", "[4]==4", "Key=B"}, false);
  std::unique_ptr<IMR_TMatch> shorter = Chain({"[0]==1", "?3=x"}, false);
  EXPECT_TRUE(a->IMR_TMatch::operator==(*b));
  EXPECT_FALSE(a->IMR_TMatch::operator!=(*b));
  EXPECT_FALSE(a->IMR_TMatch::operator==(*shorter));
  EXPECT_TRUE(IMR_TMatch() == IMR_TSet());
}

TEST(Comparisons, OwnClassComparesTheHeadsParametersOnly) {
  std::unique_ptr<IMR_TMatch> a = Chain({"[0]==1", "[5]==5"}, false);
  std::unique_ptr<IMR_TMatch> b = Chain({"[0]==1", "[6]==6"}, false);
  std::unique_ptr<IMR_TMatch> c = Chain({"[0]==2", "[5]==5"}, false);
  const auto& ea = dynamic_cast<const IMR_TEqual&>(*a);
  EXPECT_TRUE(ea == dynamic_cast<const IMR_TEqual&>(*b));
  EXPECT_TRUE(ea != dynamic_cast<const IMR_TEqual&>(*c));
  EXPECT_TRUE(a->ZQ_IsIdent(*b));
  EXPECT_FALSE(a->ZQ_IsIdent(*c));
  // Same parameters, different classes.
  EXPECT_FALSE(IMR_TEqual(1, 2, 3).ZQ_IsIdent(IMR_TLess(1, 2, 3)));
  EXPECT_FALSE(IMR_TLess(1, 2, 3).ZQ_IsIdent(IMR_TEqual(1, 2, 3)));
  EXPECT_TRUE(IMR_TMore(1, 2, 3).ZQ_IsIdent(IMR_TMore(1, 2, 3)));
  // Searches compare every parameter.
  EXPECT_TRUE(IMR_TSearch("ab", 3) == IMR_TSearch("ab", 3));
  EXPECT_FALSE(IMR_TSearch("ab", 3) == IMR_TSearch("ab", 4));
  EXPECT_FALSE(IMR_TSearch("ab", 3) == IMR_TSearch("abc", 3));
  EXPECT_FALSE(IMR_TSearch("ab", 4, 2, true) == IMR_TSearch("ab", 4, 2, false));
  EXPECT_FALSE(IMR_TSearch("ab", 4, 2, true) == IMR_TSearch("ab", 4, 4, true));
  // Guards compare their lengths, negations nothing of their own.
  IMR_TTrue g1, g2;
  Attach(g1, new IMR_TEqual(3, 255, 0));
  Attach(g2, new IMR_TEqual(4, 255, 0));
  EXPECT_FALSE(g1 == g2);
  IMR_TEqual one(0, 255, 1), two(0, 255, 2);
  EXPECT_TRUE(IMR_TNot(&one) == IMR_TNot(&two));
  // IMR_TSet: key and value.
  EXPECT_TRUE(IMR_TSet(ZQ_TString("K"), ZQ_TString("V")) == IMR_TSet(ZQ_TString("K"), ZQ_TString("V")));
  EXPECT_FALSE(IMR_TSet(ZQ_TString("K"), ZQ_TString("V")) == IMR_TSet(ZQ_TString("K"), ZQ_TString("W")));
}

}  // namespace
