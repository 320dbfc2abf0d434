// Read buffers over real files: read-ahead, windows, sub-buffers, extension,
// reservations, embedded ranges, and every kind of file that cannot be read.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <future>
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

TEST_F(Buffer, HoldsTheReadAheadOrTheWholeFileWhenSmaller) {
  BufferPtr small = Open(iURL, 0, 0, 100);
  EXPECT_EQ(small->Size(), 100u);
  EXPECT_EQ(small->SourceSize(), 10000u);
  EXPECT_EQ(Held(*small), Slice(0, 100));
  EXPECT_EQ(small->URL(), iURL);

  BufferPtr large = Open(iURL, 0, 0, 1u << 20);
  EXPECT_EQ(large->Size(), 10000u);
  EXPECT_EQ(Held(*large), iBytes);
  EXPECT_EQ(PXC_IBuffer::ExtendBuffer(*large), nullptr);

  BufferPtr none = Open(iURL, 0, 0, 0);
  EXPECT_EQ(none->Size(), 0u);
  EXPECT_EQ(none->Data(), nullptr);
  EXPECT_EQ(ReadRange(*none, 20, 5), Slice(20, 5));
}

TEST_F(Buffer, OffsetAndLengthNarrowTheWindow) {
  BufferPtr window = Open(iURL, 100, 50, 1000);
  EXPECT_EQ(window->Size(), 50u);
  EXPECT_EQ(window->SourceSize(), 50u);
  EXPECT_EQ(Held(*window), Slice(100, 50));
  EXPECT_EQ(window->URL(), ZQ_TURL::Embed(iURL, 100, 50));
  EXPECT_EQ(ReadRange(*window, 40, 20), Slice(140, 10));

  BufferPtr rest = Open(iURL, 9000, 0, 10);
  EXPECT_EQ(rest->SourceSize(), 1000u);
  EXPECT_EQ(ReadRange(*rest, 990, 100), Slice(9990, 10));

  PXC_EBufferSliceStartsAfterEnd late =
      Raised<PXC_EBufferSliceStartsAfterEnd>([&] { Open(iURL, 10001, 0, 10); });
  EXPECT_EQ(Datum(late), iPath);
  PXC_EBufferSliceTooLarge longer =
      Raised<PXC_EBufferSliceTooLarge>([&] { Open(iURL, 9000, 1001, 10); });
  EXPECT_EQ(Datum(longer), iPath);
}

TEST_F(Buffer, ReadGoesBeyondTheReadAheadAndStopsAtTheEnd) {
  BufferPtr buffer = Open(iURL, 0, 0, 16);
  EXPECT_EQ(ReadRange(*buffer, 0, 16), Slice(0, 16));
  EXPECT_EQ(ReadRange(*buffer, 10, 20), Slice(10, 20));  // across the bytes held
  EXPECT_EQ(ReadRange(*buffer, 5000, 100), Slice(5000, 100));
  EXPECT_EQ(ReadRange(*buffer, 9990, 100), Slice(9990, 10));
  EXPECT_EQ(ReadRange(*buffer, 10000, 10), "");
  EXPECT_EQ(ReadRange(*buffer, 1u << 30, 10), "");
  EXPECT_EQ(buffer->Size(), 16u);  // reading does not change what is held
}

TEST_F(Buffer, ExtendBufferGrowsUntilTheWholeWindowIsHeld) {
  const std::string big = Pattern(300000, 3);
  WriteFile(iPath, big);
  BufferPtr buffer = Open(iURL, 0, 0, 100);
  std::size_t held = buffer->Size();
  int steps = 0;
  while (BufferPtr more = BufferPtr(PXC_IBuffer::ExtendBuffer(*buffer))) {
    ASSERT_LT(++steps, 32) << "ExtendBuffer never reports the whole file held";
    EXPECT_GT(more->Size(), held);
    EXPECT_EQ(more->SourceSize(), big.size());
    EXPECT_EQ(Held(*more), big.substr(0, more->Size()));
    held = more->Size();
    buffer = std::move(more);
  }
  EXPECT_EQ(held, big.size());
  EXPECT_GE(steps, 2);

  // An extension of a window stays inside it.
  BufferPtr window = Open(iURL, 1000, 5000, 10);
  BufferPtr wider(PXC_IBuffer::ExtendBuffer(*window));
  ASSERT_NE(wider, nullptr);
  EXPECT_EQ(Held(*wider), big.substr(1000, 5000));
  EXPECT_EQ(wider->URL(), window->URL());
  EXPECT_EQ(PXC_IBuffer::ExtendBuffer(*wider), nullptr);
}

TEST_F(Buffer, ExtendBufferGivesNullOnceNoMoreMayBeHeld) {
  // A window longer than the largest read: once that much is held, extending
  // cannot make progress and must say so instead of returning the same again.
  const std::uint64_t size = PXC_TBuffer::kMaxRead + 4096;
  const int file = ::open(iPath.c_str(), O_WRONLY | O_TRUNC);
  ASSERT_GE(file, 0);
  ASSERT_EQ(::ftruncate(file, static_cast<off_t>(size)), 0);  // sparse, reads as zeros
  ::close(file);
  // A reservation is read on demand, so holding that much costs nothing here.
  PXC_TBuffer buffer(iURL, 0, 0, 16);
  const PXC_IBuffer& most =
      buffer.Reserve(0, size, static_cast<std::uint32_t>(PXC_TBuffer::kMaxRead));
  EXPECT_EQ(most.Size(), PXC_TBuffer::kMaxRead);
  EXPECT_EQ(most.SourceSize(), size);
  EXPECT_EQ(PXC_IBuffer::ExtendBuffer(most), nullptr);
  EXPECT_EQ(ReadRange(most, size - 10, 100), std::string(10, '\0'));
  // Below that size extending still makes progress.
  const PXC_IBuffer& half = buffer.Reserve(0, size, static_cast<std::uint32_t>(size / 2));
  BufferPtr more(PXC_IBuffer::ExtendBuffer(half));
  ASSERT_NE(more, nullptr);
  EXPECT_EQ(more->Size(), PXC_TBuffer::kMaxRead);
}

TEST_F(Buffer, SubBuffersShareTheBytesAndNameTheirRange) {
  BufferPtr buffer = Open(iURL, 0, 0, 1000);
  BufferPtr shared(buffer->SubBuffer(100, 200, false));
  EXPECT_EQ(shared->Size(), 200u);
  EXPECT_EQ(shared->Data(), buffer->Data() + 100);
  EXPECT_EQ(shared->SourceSize(), 200u);
  EXPECT_EQ(shared->URL(), ZQ_TURL::Embed(iURL, 100, 200));
  EXPECT_EQ(ReadRange(*shared, 150, 100), Slice(250, 50));
  EXPECT_EQ(PXC_IBuffer::ExtendBuffer(*shared), nullptr);

  BufferPtr copied(buffer->SubBuffer(100, 200, true));
  EXPECT_NE(copied->Data(), buffer->Data() + 100);
  EXPECT_EQ(Held(*copied), Slice(100, 200));
  EXPECT_EQ(copied->SourceSize(), shared->SourceSize());
  EXPECT_EQ(copied->URL(), shared->URL());

  BufferPtr nested(shared->SubBuffer(50, 100, false));
  EXPECT_EQ(nested->URL(), ZQ_TURL::Embed(iURL, 150, 100));
  EXPECT_EQ(Held(*nested), Slice(150, 100));

  BufferPtr whole(buffer->SubBuffer(0, 1000, false));
  EXPECT_EQ(Held(*whole), Slice(0, 1000));
  BufferPtr empty(buffer->SubBuffer(1000, 0, false));
  EXPECT_EQ(empty->Size(), 0u);

  // The bytes outlive the buffer they came from.
  buffer.reset();
  EXPECT_EQ(Held(*shared), Slice(100, 200));
  EXPECT_EQ(Held(*nested), Slice(150, 100));
}

TEST_F(Buffer, SubBufferOutsideTheBytesHeldIsRefused) {
  BufferPtr buffer = Open(iURL, 0, 0, 1000);
  PXC_EBufferSliceStartsAfterEnd late =
      Raised<PXC_EBufferSliceStartsAfterEnd>([&] { BufferPtr(buffer->SubBuffer(1001, 0, false)); });
  EXPECT_EQ(Datum(late), iPath);
  PXC_EBufferSliceTooLarge longer =
      Raised<PXC_EBufferSliceTooLarge>([&] { BufferPtr(buffer->SubBuffer(900, 101, false)); });
  EXPECT_EQ(Datum(longer), iPath);
  Raised<PXC_EBufferSliceTooLarge>([&] { BufferPtr(buffer->SubBuffer(1, ~0ull, true)); });
  // Bytes of the file that are not held are not part of a sub-buffer.
  Raised<PXC_EBufferSliceTooLarge>([&] { BufferPtr(buffer->SubBuffer(0, 5000, false)); });
}

TEST_F(Buffer, ReadAtReservesARangeBeyondTheReadAhead) {
  BufferPtr created = Open(iURL, 0, 0, 64);
  PXC_TBuffer buffer(*created);
  created.reset();
  EXPECT_EQ(Held(buffer), Slice(0, 64));

  const std::uint8_t* bytes = buffer.ReadAt(5000, 300);
  ASSERT_NE(bytes, nullptr);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes), 300), Slice(5000, 300));
  const PXC_IBuffer& reserved = buffer.Reserved();
  EXPECT_EQ(reserved.Data(), bytes);
  EXPECT_EQ(reserved.Size(), 300u);
  EXPECT_EQ(reserved.SourceSize(), 300u);
  EXPECT_EQ(reserved.URL(), ZQ_TURL::Embed(iURL, 5000, 300));

  // A second reservation replaces the first; the buffer itself is unchanged.
  buffer.ReadAt(9900, 100);
  EXPECT_EQ(Held(buffer.Reserved()), Slice(9900, 100));
  EXPECT_EQ(Held(buffer), Slice(0, 64));

  buffer.FreeReservation();
  PXC_EBufferEmptyBuffer none = Raised<PXC_EBufferEmptyBuffer>([&] { buffer.Reserved(); });
  EXPECT_EQ(Datum(none), iPath);

  PXC_EBufferRegionTooLarge outside =
      Raised<PXC_EBufferRegionTooLarge>([&] { buffer.ReadAt(9950, 100); });
  EXPECT_EQ(Datum(outside), iPath);
  Raised<PXC_EBufferRegionTooLarge>([&] { buffer.ReadAt(~0ull - 5, 10); });
  Raised<PXC_EBufferRegionTooLarge>([&] { buffer.ReadAt(0, PXC_TBuffer::kMaxRead + 1); });
}

TEST_F(Buffer, ReservationsCountFromTheStartOfTheWindow) {
  PXC_TBuffer window(iURL, 1000, 2000, 16);
  EXPECT_EQ(Held(window), Slice(1000, 16));
  window.ReadAt(500, 100);
  EXPECT_EQ(Held(window.Reserved()), Slice(1500, 100));
  EXPECT_EQ(window.Reserved().URL(), ZQ_TURL::Embed(iURL, 1500, 100));
  Raised<PXC_EBufferRegionTooLarge>([&] { window.ReadAt(1950, 100); });
}

TEST_F(Buffer, AReservationWithASmallReadAheadReadsTheRestOnDemand) {
  PXC_TBuffer buffer(iURL, 0, 0, 16);
  const PXC_IBuffer& reserved = buffer.Reserve(2000, 5000, 64);
  EXPECT_EQ(reserved.Size(), 64u);
  EXPECT_EQ(reserved.SourceSize(), 5000u);
  EXPECT_EQ(Held(reserved), Slice(2000, 64));
  EXPECT_EQ(ReadRange(reserved, 1000, 100), Slice(3000, 100));
  EXPECT_EQ(ReadRange(reserved, 4990, 100), Slice(6990, 10));
  BufferPtr more(PXC_IBuffer::ExtendBuffer(reserved));
  ASSERT_NE(more, nullptr);
  EXPECT_EQ(Held(*more), Slice(2000, 5000));
  EXPECT_EQ(&buffer.Reserved(), &reserved);
  Raised<PXC_EBufferRegionTooLarge>([&] { buffer.Reserve(9000, 1001, 10); });
}

TEST_F(Buffer, CopiesShareTheWindowButNotTheReservation) {
  PXC_TBuffer buffer(iURL, 0, 0, 100);
  buffer.ReadAt(10, 10);
  PXC_TBuffer copy(buffer);
  EXPECT_EQ(copy.Data(), buffer.Data());
  EXPECT_EQ(copy.URL(), buffer.URL());
  Raised<PXC_EBufferEmptyBuffer>([&] { copy.Reserved(); });
  PXC_TBuffer assigned;
  EXPECT_EQ(assigned.Data(), nullptr);
  EXPECT_EQ(assigned.Size(), 0u);
  EXPECT_TRUE(assigned.URL().IsEmpty());
  assigned = buffer;
  EXPECT_EQ(Held(assigned), Slice(0, 100));
  Raised<PXC_EBufferEmptyBuffer>([&] { assigned.Reserved(); });
}

TEST_F(Buffer, MemoryBuffersBehaveLikeFileBuffers) {
  const std::string bytes = Pattern(500, 9);
  PXC_TBuffer memory(bytes.data(), bytes.size(), iURL);
  EXPECT_EQ(Held(memory), bytes);
  EXPECT_EQ(memory.URL(), iURL);
  EXPECT_EQ(memory.SourceSize(), 500u);
  EXPECT_EQ(ReadRange(memory, 490, 20), bytes.substr(490));
  BufferPtr slice(memory.SubBuffer(10, 20, false));
  EXPECT_EQ(Held(*slice), bytes.substr(10, 20));
  EXPECT_EQ(slice->URL(), ZQ_TURL::Embed(iURL, 10, 20));
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(memory.ReadAt(100, 5)), 5),
            bytes.substr(100, 5));
}

TEST_F(Buffer, LargeFilesAreReadPieceByPiece) {
  // Past the first megabyte windows read chunks of their own.
  const std::string big = Pattern(3u << 20, 5);
  WriteFile(iPath, big);
  BufferPtr far = Open(iURL, 2u << 20, 4096, 4096);
  EXPECT_EQ(Held(*far), big.substr(2u << 20, 4096));
  BufferPtr head = Open(iURL, 0, 0, 4096);
  BufferPtr across(head->SubBuffer(4000, 96, false));
  EXPECT_EQ(Held(*across), big.substr(4000, 96));
  PXC_TBuffer wrapper(*head);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(wrapper.ReadAt((1u << 20) - 50, 100)), 100),
            big.substr((1u << 20) - 50, 100));
  EXPECT_EQ(ReadRange(*head, (3u << 20) - 5, 10), big.substr((3u << 20) - 5));
}

TEST_F(Buffer, EmbedURLsNestAndBuffersOverThemReadOnlyTheirRange) {
  const ZQ_TURL outer = PXC_EmbeddedFile(iURL, 1000, 5000, 0, 0.0, 0.0);
  EXPECT_TRUE(outer.IsEmbed());
  const ZQ_TURL inner = PXC_EmbeddedFile(outer, 200, 300, 7, 1.5, 2.5);
  EXPECT_EQ(inner.Root(), iURL);
  PXC_TTag tag = PXC_Embedded2Tag(inner);
  EXPECT_EQ(tag.Offset(), 1200u);
  EXPECT_EQ(tag.Length(), 300u);

  BufferPtr buffer = Open(inner, 0, 0, 1u << 20);
  EXPECT_EQ(buffer->Size(), 300u);
  EXPECT_EQ(buffer->SourceSize(), 300u);
  EXPECT_EQ(Held(*buffer), Slice(1200, 300));
  EXPECT_EQ(buffer->URL(), inner);
  EXPECT_EQ(ReadRange(*buffer, 299, 10), Slice(1499, 1));
  EXPECT_EQ(ReadRange(*buffer, 300, 10), "");
  EXPECT_EQ(PXC_IBuffer::ExtendBuffer(*buffer), nullptr);

  // The same range reached as a window of the outer range.
  BufferPtr window = Open(outer, 200, 300, 10);
  EXPECT_EQ(window->URL(), inner);
  BufferPtr extended(PXC_IBuffer::ExtendBuffer(*Open(outer, 0, 0, 10)));
  ASSERT_NE(extended, nullptr);
  EXPECT_EQ(Held(*extended), Slice(1000, 5000));
  BufferPtr sub(buffer->SubBuffer(100, 50, false));
  EXPECT_EQ(sub->URL(), PXC_EmbeddedFile(inner, 100, 50, 0, 0, 0));
}

TEST_F(Buffer, AnEmbedRangeOutsideTheFileIsRefused) {
  for (const auto& [offset, length] : {std::pair<std::uint64_t, std::uint64_t>{9000, 1001},
                                       {10001, 1},
                                       {~0ull - 10, 100}}) {
    SCOPED_TRACE(offset);
    PXC_EBufferRegionTooLarge error = Raised<PXC_EBufferRegionTooLarge>(
        [&] { Open(ZQ_TURL::Embed(iURL, offset, length), 0, 0, 16); });
    EXPECT_EQ(Datum(error), iPath);
  }
  Raised<PXC_EBufferEmptyFile>([&] { Open(ZQ_TURL::Embed(iURL, 10, 0), 0, 0, 16); });
}

TEST_F(Buffer, FilesThatCannotBeReadRaiseBufferErrorsNamingThem) {
  const std::string missing = iDir / "missing.bin";
  PXC_EBufferCannotOpenFile absent =
      Raised<PXC_EBufferCannotOpenFile>([&] { Open(ZQ_TURL::FromPath(missing), 0, 0, 16); });
  EXPECT_EQ(Datum(absent), missing);
  EXPECT_NE(Text(absent).find(missing), std::string::npos);
  EXPECT_NE(Text(absent).find("No such file"), std::string::npos) << Text(absent);

  const std::string empty = iDir / "empty.bin";
  WriteFile(empty, "");
  PXC_EBufferEmptyFile nothing =
      Raised<PXC_EBufferEmptyFile>([&] { Open(ZQ_TURL::FromPath(empty), 0, 0, 16); });
  EXPECT_EQ(Datum(nothing), empty);

  PXC_EBufferCannotOpenFile folder =
      Raised<PXC_EBufferCannotOpenFile>([&] { Open(ZQ_TURL::FromPath(iDir.Path()), 0, 0, 16); });
  EXPECT_NE(Text(folder).find(iDir.Path()), std::string::npos);

  for (const char* device : {"/dev/null", "/dev/zero"}) {
    PXC_EBufferCannotOpenFile error =
        Raised<PXC_EBufferCannotOpenFile>([&] { Open(ZQ_TURL::FromPath(device), 0, 0, 16); });
    EXPECT_EQ(Datum(error), device);
  }

  PXC_EBufferUnknownProtocol remote = Raised<PXC_EBufferUnknownProtocol>(
      [&] { Open(ZQ_TURL("http://example.invalid/a.tif"), 0, 0, 16); });
  EXPECT_NE(Text(remote).find("http://example.invalid/a.tif"), std::string::npos);

  // Every one of them is a PXC_EBuffer.
  try {
    Open(ZQ_TURL::FromPath(empty), 0, 0, 16);
    ADD_FAILURE() << "an empty file was opened";
  } catch (const PXC_EBuffer& error) {
    EXPECT_STREQ(error.ClassName(), "PXC_EBufferEmptyFile");
  }
}

TEST_F(Buffer, AFifoFailsAtOnceInsteadOfBlocking) {
  const std::string fifo = iDir / "pipe";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  auto attempt = std::async(std::launch::async, [&] {
    return Raised<PXC_EBufferCannotOpenFile>([&] { Open(ZQ_TURL::FromPath(fifo), 0, 0, 16); });
  });
  if (attempt.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
    // Release the blocked open so that the test can end.
    const int writer = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
    attempt.wait();
    if (writer >= 0) ::close(writer);
    FAIL() << "opening a FIFO blocked";
  }
  EXPECT_EQ(Datum(attempt.get()), fifo);
}

TEST_F(Buffer, AFileWithoutReadPermissionCannotBeOpened) {
  ASSERT_EQ(::chmod(iPath.c_str(), 0), 0);
  ASSERT_EQ(::chmod(iDir.Path().c_str(), 0755), 0);
  auto check = [&]() -> int {
    try {
      Open(iURL, 0, 0, 16);
    } catch (const PXC_EBufferCannotOpenFile& error) {
      return Datum(error) == iPath && Text(error).find("denied") != std::string::npos ? 0 : 2;
    } catch (...) {
      return 3;
    }
    return 4;
  };
  if (::geteuid() != 0) {
    EXPECT_EQ(check(), 0);
    return;
  }
  // Root reads anything: drop to an ordinary user in a child process.
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(77);
    ::_exit(check());
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  if (WEXITSTATUS(status) == 77) GTEST_SKIP() << "cannot drop root privileges";
  EXPECT_EQ(WEXITSTATUS(status), 0) << "2: wrong datum or text, 3: wrong class, 4: opened";
}

TEST_F(Buffer, AFileThatShrinksRaisesOnTheNextLazyRead) {
  const std::string big = Pattern(100000, 1);
  WriteFile(iPath, big);
  BufferPtr buffer = Open(iURL, 0, 0, 16);
  PXC_TBuffer wrapper(*buffer);
  ASSERT_EQ(::truncate(iPath.c_str(), 50), 0);

  // What was read before stays.
  EXPECT_EQ(Held(*buffer), big.substr(0, 16));
  EXPECT_EQ(ReadRange(*buffer, 0, 16), big.substr(0, 16));

  PXC_EBufferCannotReadFile extended = Raised<PXC_EBufferCannotReadFile>([&] {
    BufferPtr more(PXC_IBuffer::ExtendBuffer(*buffer));
    ASSERT_NE(more, nullptr);
    more->Data();
  });
  EXPECT_EQ(Datum(extended), iPath);
  PXC_EBufferCannotReadFile read =
      Raised<PXC_EBufferCannotReadFile>([&] { ReadRange(*buffer, 5000, 100); });
  EXPECT_EQ(Datum(read), iPath);
  Raised<PXC_EBufferCannotReadFile>([&] { ReadRange(*buffer, 40, 20); });
  Raised<PXC_EBufferCannotReadFile>([&] { wrapper.ReadAt(5000, 100); });
  Raised<PXC_EBufferCannotReadFile>([&] { wrapper.Reserve(60000, 1000, 10).Data(); });
  Raised<PXC_EBufferCannotReadFile>([&] { ReadRange(wrapper.Reserve(60000, 1000, 0), 10, 10); });
}
