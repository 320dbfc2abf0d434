// Read buffers over real files: read-ahead, windows, sub-buffers, extension,
// reservations, embedded ranges, and files that cannot be read (missing,
// empty, folders, FIFOs and unreadable files are driven by the core's
// pipeline tests).
#include <unistd.h>

#include <memory>

#include "pxc_test_support.h"

using namespace pxctest;

namespace {

using BufferPtr = std::unique_ptr<PXC_IBuffer>;

BufferPtr Open(const ZQ_TURL& url, std::uint64_t offset, std::uint64_t length,
               std::uint32_t readAhead) {
  return BufferPtr(PXC_IBuffer::Create(url, offset, length, readAhead));
}

// The bytes the buffer holds.
std::string Held(const PXC_IBuffer& buffer) {
  if (buffer.Data() == nullptr) return std::string();
  return std::string(reinterpret_cast<const char*>(buffer.Data()), buffer.Size());
}

// Up to `count` bytes from `position` of the buffer's window, through Read.
std::string ReadRange(const PXC_IBuffer& buffer, std::uint64_t position, std::size_t count) {
  std::string bytes(count, '\0');
  bytes.resize(buffer.Read(position, bytes.data(), count));
  return bytes;
}

class Buffer : public ::testing::Test {
 protected:
  void SetUp() override {
    iBytes = Pattern(10000);
    iPath = iDir / "data.bin";
    WriteFile(iPath, iBytes);
    iURL = ZQ_TURL::FromPath(ZQ_TString(iPath));
  }
  std::string Slice(std::size_t offset, std::size_t count) const {
    return iBytes.substr(offset, count);
  }

  TempDir iDir;
  std::string iBytes;
  std::string iPath;
  ZQ_TURL iURL;
};

}  // namespace

// A buffer holds its read-ahead of the window (or all of a smaller window);
// Read reaches the rest of the window and stops at its end.
TEST_F(Buffer, WindowsReadAheadAndRead) {
  BufferPtr small = Open(iURL, 0, 0, 100);
  EXPECT_EQ(Held(*small), Slice(0, 100));
  EXPECT_EQ(small->SourceSize(), 10000u);
  EXPECT_EQ(ReadRange(*small, 10, 200), Slice(10, 200));  // across the bytes held
  EXPECT_EQ(ReadRange(*small, 9990, 100), Slice(9990, 10));
  EXPECT_EQ(ReadRange(*small, 1u << 30, 10), "");
  BufferPtr large = Open(iURL, 0, 0, 1u << 20);
  EXPECT_EQ(Held(*large), iBytes);
  EXPECT_EQ(PXC_IBuffer::ExtendBuffer(*large), nullptr);
  BufferPtr none = Open(iURL, 0, 0, 0);
  EXPECT_EQ(none->Data(), nullptr);
  EXPECT_EQ(ReadRange(*none, 20, 5), Slice(20, 5));

  BufferPtr window = Open(iURL, 100, 50, 1000);
  EXPECT_EQ(Held(*window), Slice(100, 50));
  EXPECT_EQ(window->SourceSize(), 50u);
  EXPECT_EQ(window->URL(), ZQ_TURL::Embed(iURL, 100, 50));
  EXPECT_EQ(ReadRange(*window, 40, 20), Slice(140, 10));
  EXPECT_EQ(Datum(Raised<PXC_EBufferSliceStartsAfterEnd>([&] { Open(iURL, 10001, 0, 10); })), iPath);
  EXPECT_EQ(Datum(Raised<PXC_EBufferSliceTooLarge>([&] { Open(iURL, 9000, 1001, 10); })), iPath);
}

// Readers walk structures a few bytes at a time beyond what a buffer holds;
// such reads are served from a block read around them, and stay exact across
// block edges, in windows that start inside a block and at the file's end.
TEST_F(Buffer, SmallReadsBeyondTheBytesHeldAreExactWhereverTheyFall) {
  const std::string big = Pattern(70000, 3);
  WriteFile(iPath, big);
  for (const std::uint64_t base : {0u, 1001u}) {
    BufferPtr buffer = Open(iURL, base, 0, 16);
    for (std::uint64_t position = 0; position < big.size() - base; position += 997) {
      for (const std::size_t count : {1u, 4u, 4096u, 4097u}) {
        ASSERT_EQ(ReadRange(*buffer, position, count), big.substr(base + position, count))
            << base << " " << position << " " << count;
      }
    }
    EXPECT_EQ(ReadRange(*buffer, 16383 - base, 2), big.substr(16383, 2));
  }
}

TEST_F(Buffer, ExtendBufferGrowsUntilTheWholeWindowIsHeld) {
  const std::string big = Pattern(300000, 3);
  WriteFile(iPath, big);
  BufferPtr buffer = Open(iURL, 0, 0, 100);
  int steps = 0;
  while (BufferPtr more = BufferPtr(PXC_IBuffer::ExtendBuffer(*buffer))) {
    ASSERT_LT(++steps, 32) << "ExtendBuffer never reports the whole file held";
    EXPECT_GT(more->Size(), buffer->Size());
    EXPECT_EQ(Held(*more), big.substr(0, more->Size()));
    buffer = std::move(more);
  }
  EXPECT_EQ(buffer->Size(), big.size());
  EXPECT_GE(steps, 2);
}

// A window longer than the largest read: once that much is held, extending
// cannot make progress and must say so (it once returned the same again).
TEST_F(Buffer, ExtendBufferGivesNullOnceNoMoreMayBeHeld) {
  const std::uint64_t size = PXC_TBuffer::kMaxRead + 4096;
  ASSERT_EQ(::truncate(iPath.c_str(), static_cast<off_t>(size)), 0);  // sparse, reads as zeros
  // A reservation is read on demand, so holding that much costs nothing here.
  PXC_TBuffer buffer(iURL, 0, 0, 16);
  const PXC_IBuffer& most =
      buffer.Reserve(0, size, static_cast<std::uint32_t>(PXC_TBuffer::kMaxRead));
  EXPECT_EQ(most.Size(), PXC_TBuffer::kMaxRead);
  EXPECT_EQ(PXC_IBuffer::ExtendBuffer(most), nullptr);
  EXPECT_EQ(ReadRange(most, size - 10, 100), std::string(10, '\0'));
  BufferPtr more(PXC_IBuffer::ExtendBuffer(buffer.Reserve(0, size, static_cast<std::uint32_t>(size / 2))));
  ASSERT_NE(more, nullptr);
  EXPECT_EQ(more->Size(), PXC_TBuffer::kMaxRead);
}

// A sub-buffer holds exactly its range, named as that range, whether it
// shares or copies the bytes (both were once wrong); it may not reach past
// the bytes held.
TEST_F(Buffer, SubBuffersHoldAndNameTheirRange) {
  BufferPtr buffer = Open(iURL, 0, 0, 1000);
  BufferPtr shared(buffer->SubBuffer(100, 200, false));
  EXPECT_EQ(shared->Data(), buffer->Data() + 100);
  EXPECT_EQ(shared->SourceSize(), 200u);
  EXPECT_EQ(shared->URL(), ZQ_TURL::Embed(iURL, 100, 200));
  EXPECT_EQ(ReadRange(*shared, 150, 100), Slice(250, 50));
  EXPECT_EQ(PXC_IBuffer::ExtendBuffer(*shared), nullptr);
  BufferPtr copied(buffer->SubBuffer(100, 200, true));
  EXPECT_NE(copied->Data(), buffer->Data() + 100);
  EXPECT_EQ(Held(*copied), Slice(100, 200));
  EXPECT_EQ(copied->URL(), shared->URL());
  BufferPtr nested(shared->SubBuffer(50, 100, false));
  EXPECT_EQ(nested->URL(), ZQ_TURL::Embed(iURL, 150, 100));
  EXPECT_EQ(BufferPtr(buffer->SubBuffer(1000, 0, false))->Size(), 0u);
  buffer.reset();  // the bytes outlive the buffer they came from
  EXPECT_EQ(Held(*nested), Slice(150, 100));

  BufferPtr again = Open(iURL, 0, 0, 1000);
  EXPECT_EQ(Datum(Raised<PXC_EBufferSliceStartsAfterEnd>(
                [&] { BufferPtr(again->SubBuffer(1001, 0, false)); })),
            iPath);
  EXPECT_EQ(Datum(Raised<PXC_EBufferSliceTooLarge>([&] { BufferPtr(again->SubBuffer(900, 101, false)); })),
            iPath);
  Raised<PXC_EBufferSliceTooLarge>([&] { BufferPtr(again->SubBuffer(1, ~0ull, true)); });
}

// ReadAt and Reserve read a range of the window (counted from its start)
// beyond the read-ahead; a new reservation replaces the last, and copies of
// the buffer do not share it.
TEST_F(Buffer, ReservationsReadRangesOfTheWindow) {
  BufferPtr created = Open(iURL, 0, 0, 64);
  PXC_TBuffer buffer(*created);
  created.reset();
  const std::uint8_t* bytes = buffer.ReadAt(5000, 300);
  ASSERT_NE(bytes, nullptr);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes), 300), Slice(5000, 300));
  EXPECT_EQ(buffer.Reserved().Data(), bytes);
  EXPECT_EQ(buffer.Reserved().URL(), ZQ_TURL::Embed(iURL, 5000, 300));
  buffer.ReadAt(9900, 100);
  EXPECT_EQ(Held(buffer.Reserved()), Slice(9900, 100));
  EXPECT_EQ(Held(buffer), Slice(0, 64));
  PXC_TBuffer copy(buffer);
  EXPECT_EQ(copy.Data(), buffer.Data());
  Raised<PXC_EBufferEmptyBuffer>([&] { copy.Reserved(); });
  buffer.FreeReservation();
  EXPECT_EQ(Datum(Raised<PXC_EBufferEmptyBuffer>([&] { buffer.Reserved(); })), iPath);
  EXPECT_EQ(Datum(Raised<PXC_EBufferRegionTooLarge>([&] { buffer.ReadAt(9950, 100); })), iPath);
  Raised<PXC_EBufferRegionTooLarge>([&] { buffer.ReadAt(~0ull - 5, 10); });
  Raised<PXC_EBufferRegionTooLarge>([&] { buffer.ReadAt(0, PXC_TBuffer::kMaxRead + 1); });

  PXC_TBuffer window(iURL, 1000, 2000, 16);
  window.ReadAt(500, 100);
  EXPECT_EQ(Held(window.Reserved()), Slice(1500, 100));
  EXPECT_EQ(window.Reserved().URL(), ZQ_TURL::Embed(iURL, 1500, 100));
  Raised<PXC_EBufferRegionTooLarge>([&] { window.ReadAt(1950, 100); });
  // With a small read-ahead the rest of a reservation is read on demand.
  const PXC_IBuffer& reserved = window.Reserve(200, 1500, 64);
  EXPECT_EQ(Held(reserved), Slice(1200, 64));
  EXPECT_EQ(ReadRange(reserved, 1490, 100), Slice(2690, 10));
  BufferPtr more(PXC_IBuffer::ExtendBuffer(reserved));
  ASSERT_NE(more, nullptr);
  EXPECT_EQ(Held(*more), Slice(1200, 1500));
}

// Buffers over bytes in memory read, slice and reserve as file buffers do;
// reads across the end of the first megabyte (read as one shared chunk) are
// whole.
TEST_F(Buffer, MemoryBuffersAndTheFirstMegabyte) {
  const std::string bytes = Pattern(500, 9);
  PXC_TBuffer memory(bytes.data(), bytes.size(), iURL);
  EXPECT_EQ(Held(memory), bytes);
  EXPECT_EQ(ReadRange(memory, 490, 20), bytes.substr(490));
  EXPECT_EQ(BufferPtr(memory.SubBuffer(10, 20, false))->URL(), ZQ_TURL::Embed(iURL, 10, 20));

  const std::string big = Pattern((1u << 20) + 4096, 5);
  WriteFile(iPath, big);
  PXC_TBuffer head(iURL, 0, 0, 4096);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(head.ReadAt((1u << 20) - 50, 100)), 100),
            big.substr((1u << 20) - 50, 100));
  EXPECT_EQ(Held(*Open(iURL, (1u << 20) - 10, 20, 20)), big.substr((1u << 20) - 10, 20));
}

// A buffer over an embedded range reads only that range, and extends only
// inside it; ranges outside the file are refused.
TEST_F(Buffer, EmbeddedRanges) {
  const ZQ_TURL outer = PXC_EmbeddedFile(iURL, 1000, 5000, 0, 0.0, 0.0);
  const ZQ_TURL inner = PXC_EmbeddedFile(outer, 200, 300, 7, 1.5, 2.5);
  BufferPtr buffer = Open(inner, 0, 0, 1u << 20);
  EXPECT_EQ(Held(*buffer), Slice(1200, 300));
  EXPECT_EQ(buffer->SourceSize(), 300u);
  EXPECT_EQ(buffer->URL(), inner);
  EXPECT_EQ(ReadRange(*buffer, 299, 10), Slice(1499, 1));
  EXPECT_EQ(PXC_IBuffer::ExtendBuffer(*buffer), nullptr);
  EXPECT_EQ(Open(outer, 200, 300, 10)->URL(), inner);
  BufferPtr extended(PXC_IBuffer::ExtendBuffer(*Open(outer, 0, 0, 10)));
  ASSERT_NE(extended, nullptr);
  EXPECT_EQ(Held(*extended), Slice(1000, 5000));

  for (const auto& [offset, length] : {std::pair<std::uint64_t, std::uint64_t>{9000, 1001},
                                       {10001, 1},
                                       {~0ull - 10, 100}}) {
    SCOPED_TRACE(offset);
    EXPECT_EQ(Datum(Raised<PXC_EBufferRegionTooLarge>(
                  [&] { Open(ZQ_TURL::Embed(iURL, offset, length), 0, 0, 16); })),
              iPath);
  }
  Raised<PXC_EBufferEmptyFile>([&] { Open(ZQ_TURL::Embed(iURL, 10, 0), 0, 0, 16); });
}

// Devices and other schemes raise buffer errors naming them.
TEST_F(Buffer, FilesThatCannotBeReadRaiseBufferErrorsNamingThem) {
  for (const char* special : {"/dev/null", "/dev/zero"}) {
    EXPECT_EQ(Datum(Raised<PXC_EBufferCannotOpenFile>([&] { Open(ZQ_TURL::FromPath(special), 0, 0, 16); })),
              special);
  }
  const PXC_EBufferUnknownProtocol remote = Raised<PXC_EBufferUnknownProtocol>(
      [&] { Open(ZQ_TURL("http://example.invalid/a.tif"), 0, 0, 16); });
  EXPECT_NE(Text(remote).find("http://example.invalid/a.tif"), std::string::npos);
}

// Bytes of a file that became shorter are no longer the ones described: every
// later read raises (extending once returned the short bytes silently).
TEST_F(Buffer, AFileThatShrinksRaisesOnTheNextLazyRead) {
  const std::string big = Pattern(100000, 1);
  WriteFile(iPath, big);
  BufferPtr buffer = Open(iURL, 0, 0, 16);
  PXC_TBuffer wrapper(*buffer);
  ASSERT_EQ(::truncate(iPath.c_str(), 50), 0);
  EXPECT_EQ(ReadRange(*buffer, 0, 16), big.substr(0, 16)) << "what was read before stays";
  EXPECT_EQ(Datum(Raised<PXC_EBufferCannotReadFile>([&] {
              BufferPtr more(PXC_IBuffer::ExtendBuffer(*buffer));
              ASSERT_NE(more, nullptr);
              more->Data();
            })),
            iPath);
  EXPECT_EQ(Datum(Raised<PXC_EBufferCannotReadFile>([&] { ReadRange(*buffer, 5000, 100); })), iPath);
  Raised<PXC_EBufferCannotReadFile>([&] { ReadRange(*buffer, 40, 20); });
  Raised<PXC_EBufferCannotReadFile>([&] { wrapper.ReadAt(5000, 100); });
  Raised<PXC_EBufferCannotReadFile>([&] { wrapper.Reserve(60000, 1000, 10).Data(); });
}
