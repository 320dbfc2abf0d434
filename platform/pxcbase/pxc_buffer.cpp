#include "pxcbase/pxc_buffer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <mutex>
#include <vector>

#include "pxcbase/pxc_digest.h"
#include "pxcbase/pxc_exceptions.h"

namespace {
// Bytes from the start of a source kept in one shared head chunk; windows
// beyond it read chunks of their own.
constexpr std::uint64_t kHeadLimit = 1u << 20;
// Readers that walk a file's structures take a few bytes at a time beyond
// what their buffer holds.  Such small reads are served from one block kept
// per source, read whole around the first of them.
constexpr std::size_t kSmallRead = 4096;
constexpr std::size_t kBlockSize = 16384;


template <class E>
[[noreturn]] void Fail(int line, const char* what, const ZQ_TString& path) {
  ZQ_Throw<E>(line, __FILE__, ZQ_TString(what), path);
}
#define PXC_BUFFER_FAIL(E, what, path) Fail<E>(__LINE__, what, path)
}  // namespace

struct PXC_TBuffer::Chunk {
  std::uint64_t start = 0;  // first byte of the chunk in the source
  // Not zeroed when allocated: every byte is read from the source first.
  std::unique_ptr<std::uint8_t[]> data;
  std::size_t size = 0;
};

// What a buffer reads from: an open regular file or bytes in memory.
class PXC_TBuffer::Source {
 public:
  // Opens the file that `root` names; only regular files are opened, and
  // never in a way that blocks.
  explicit Source(const ZQ_TURL& root) : iURL(root), iPath(root.Path()) {
    if (iPath.IsEmpty()) {
      PXC_BUFFER_FAIL(PXC_EBufferUnknownProtocol, "Cannot read %s (unsupported protocol)",
                      root.Text());
    }
    struct stat facts;
    if (::stat(iPath.Narrow(), &facts) != 0) {
      PXC_BUFFER_FAIL(PXC_EBufferCannotOpenFile,
                      ZQ_TString::Format("Cannot open %%s (%s)", std::strerror(errno)).Narrow(),
                      iPath);
    }
    if (!S_ISREG(facts.st_mode)) {
      PXC_BUFFER_FAIL(PXC_EBufferCannotOpenFile,
                      S_ISDIR(facts.st_mode) ? "Cannot read %s (it is a directory)"
                                             : "Cannot read %s (not a regular file)",
                      iPath);
    }
    // The facts are those of the stat above: a file put in the path's place
    // in between is read as it is, and its description does not outlive it
    // (its facts differ); a special file put there cannot be read.
    iFile = ::open(iPath.Narrow(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (iFile < 0) {
      PXC_BUFFER_FAIL(PXC_EBufferCannotOpenFile,
                      ZQ_TString::Format("Cannot open %%s (%s)", std::strerror(errno)).Narrow(),
                      iPath);
    }
    iFacts = ZQ_TFileFacts::FromStat(facts);
    iSize = iFacts.size;
  }
  Source(const void* data, std::size_t size, const ZQ_TURL& url)
      : iURL(url), iPath(url.Path().IsEmpty() ? url.Text() : url.Path()), iSize(size) {
    iMemory.assign(static_cast<const std::uint8_t*>(data),
                   static_cast<const std::uint8_t*>(data) + size);
    iFacts.exists = iFacts.regular = true;
    iFacts.size = size;
  }
  ~Source() {
    if (iFile >= 0) ::close(iFile);
  }
  Source(const Source&) = delete;
  Source& operator=(const Source&) = delete;

  std::uint64_t Size() const { return iSize; }
  const ZQ_TFileFacts& Facts() const { return iFacts; }
  const ZQ_TURL& URL() const { return iURL; }
  const ZQ_TString& Path() const { return iPath; }

  // Copies up to `count` bytes at `position`; fewer only at the end.  A file
  // that has become shorter than it was when opened raises: its bytes are no
  // longer the ones the buffers describe.
  std::size_t Read(std::uint64_t position, void* out, std::size_t count) const {
    if (position >= iSize) return 0;
    if (count > iSize - position) count = static_cast<std::size_t>(iSize - position);
    if (iFile < 0) {
      std::memcpy(out, iMemory.data() + position, count);
      return count;
    }
    std::size_t done = 0;
    while (done < count) {
      ssize_t got = ::pread(iFile, static_cast<std::uint8_t*>(out) + done, count - done,
                            static_cast<off_t>(position + done));
      if (got < 0 && errno == EINTR) continue;
      if (got < 0) {
        PXC_BUFFER_FAIL(PXC_EBufferCannotReadFile,
                        ZQ_TString::Format("Cannot read %%s (%s)", std::strerror(errno)).Narrow(),
                        iPath);
      }
      if (got == 0) {
        PXC_BUFFER_FAIL(PXC_EBufferCannotReadFile, "Cannot read %s (the file became shorter)",
                        iPath);
      }
      done += static_cast<std::size_t>(got);
    }
    return done;
  }

  // As Read, but a small range is copied from the head or the block when
  // they hold it, and otherwise read with the block around it.
  std::size_t ReadSmall(std::uint64_t position, void* out, std::size_t count) {
    if (iFile < 0 || count > kSmallRead) return Read(position, out, count);
    if (count == 0 || position >= iSize) return 0;
    if (count > iSize - position) count = static_cast<std::size_t>(iSize - position);
    std::lock_guard lock(iMutex);
    const std::uint8_t* from = Held(iHead.get(), position, count);
    if (from == nullptr) from = Held(&iBlock, position, count);
    if (from == nullptr) {
      if (!iBlock.data) iBlock.data.reset(new std::uint8_t[kBlockSize]);
      iBlock.size = 0;  // until the new bytes are all in
      iBlock.start = position - position % kSmallRead;
      const std::uint64_t rest = iSize - iBlock.start;
      iBlock.size = Read(iBlock.start, iBlock.data.get(),
                         rest < kBlockSize ? static_cast<std::size_t>(rest) : kBlockSize);
      from = iBlock.data.get() + (position - iBlock.start);
    }
    std::memcpy(out, from, count);
    return count;
  }

  // A chunk holding [start, start + count): the shared head when the range
  // lies in it, else a chunk of its own.  The bytes must all be there.
  std::shared_ptr<const Chunk> Fetch(std::uint64_t start, std::size_t count) {
    if (start + count <= kHeadLimit) {
      std::lock_guard lock(iMutex);
      if (!iHead || iHead->size < start + count) {
        std::uint64_t want = iHead ? iHead->size * 2 : 0;
        if (want < start + count) want = start + count;
        if (want > kHeadLimit) want = kHeadLimit;
        if (want > iSize) want = iSize;
        iHead = ReadChunk(0, static_cast<std::size_t>(want));
      }
      return iHead;
    }
    return ReadChunk(start, count);
  }

 private:
  std::shared_ptr<const Chunk> ReadChunk(std::uint64_t start, std::size_t count) {
    auto chunk = std::make_shared<Chunk>();
    chunk->start = start;
    try {
      chunk->data.reset(new std::uint8_t[count]);
    } catch (const std::bad_alloc&) {
      PXC_BUFFER_FAIL(PXC_EBufferNotEnoughMemory, "Not enough memory to read %s", iPath);
    }
    chunk->size = Read(start, chunk->data.get(), count);
    return chunk;
  }

  // Where `chunk` holds [position, position + count); null when it does not.
  static const std::uint8_t* Held(const Chunk* chunk, std::uint64_t position, std::size_t count) {
    if (chunk == nullptr || position < chunk->start || position - chunk->start > chunk->size ||
        count > chunk->size - (position - chunk->start)) {
      return nullptr;
    }
    return chunk->data.get() + (position - chunk->start);
  }

  ZQ_TURL iURL;
  ZQ_TString iPath;
  int iFile = -1;
  std::uint64_t iSize = 0;
  ZQ_TFileFacts iFacts;
  std::vector<std::uint8_t> iMemory;
  std::mutex iMutex;
  std::shared_ptr<const Chunk> iHead;
  Chunk iBlock;  // the bytes around the last small read outside the head
};

// ---------------------------------------------------------------------------

PXC_IBuffer* PXC_IBuffer::Create(const ZQ_TURL& url, std::uint64_t offset, std::uint64_t length,
                                 std::uint32_t readAhead) {
  return new PXC_TBuffer(url, offset, length, readAhead);
}

PXC_IBuffer* PXC_IBuffer::ExtendBuffer(const PXC_IBuffer& buffer) { return buffer.Extended(); }

PXC_TBuffer::PXC_TBuffer() = default;
PXC_TBuffer::~PXC_TBuffer() = default;

PXC_TBuffer::PXC_TBuffer(std::shared_ptr<Source> source, std::uint64_t base,
                         std::uint64_t length, std::size_t held)
    : iSource(std::move(source)), iBase(base), iLength(length), iHeld(held) {}

PXC_TBuffer::PXC_TBuffer(const ZQ_TURL& url, std::uint64_t offset, std::uint64_t length,
                         std::uint32_t readAhead) {
  Open(url, offset, length, readAhead);
}

PXC_TBuffer::PXC_TBuffer(const void* data, std::size_t size, const ZQ_TURL& url)
    : iSource(std::make_shared<Source>(data, size, url)), iLength(size), iHeld(size) {}

PXC_TBuffer::PXC_TBuffer(const PXC_IBuffer& buffer) : PXC_IBuffer(), ZQ_TObject() {
  if (const PXC_TBuffer* same = ZQ_DynamicCast<PXC_TBuffer>(&buffer)) {
    iSource = same->iSource;
    iBase = same->iBase;
    iLength = same->iLength;
    iHeld = same->iHeld;
    iChunk = same->iChunk;
    iData = same->iData;
    return;
  }
  // Another implementation: keep a copy of the bytes it holds.
  iSource = std::make_shared<Source>(buffer.Data(), buffer.Size(), buffer.URL());
  iLength = iHeld = buffer.Size();
}

PXC_TBuffer::PXC_TBuffer(const PXC_TBuffer& other)
    : ZQ_IInterface(), PXC_IBuffer(), ZQ_TObject(),
      iSource(other.iSource), iBase(other.iBase), iLength(other.iLength), iHeld(other.iHeld),
      iChunk(other.iChunk), iData(other.iData) {}

PXC_TBuffer& PXC_TBuffer::operator=(const PXC_TBuffer& other) {
  if (this != &other) {
    iSource = other.iSource;
    iBase = other.iBase;
    iLength = other.iLength;
    iHeld = other.iHeld;
    iChunk = other.iChunk;
    iData = other.iData;
    iReservation.reset();
  }
  return *this;
}

void PXC_TBuffer::Open(const ZQ_TURL& url, std::uint64_t offset, std::uint64_t length,
                       std::uint32_t readAhead) {
  iSource = std::make_shared<Source>(url.Root());
  std::uint64_t base = 0;
  std::uint64_t size = iSource->Size();
  if (url.IsEmbed()) {
    base = url.EmbedOffset();
    size = url.EmbedLength();
    if (base > iSource->Size() || size > iSource->Size() - base) {
      PXC_BUFFER_FAIL(PXC_EBufferRegionTooLarge, "The embedded range lies outside the file %s",
                      iSource->Path());
    }
  }
  if (offset > size) {
    PXC_BUFFER_FAIL(PXC_EBufferSliceStartsAfterEnd, "The range starts after the end of %s",
                    iSource->Path());
  }
  size -= offset;
  if (length != 0) {
    if (length > size) {
      PXC_BUFFER_FAIL(PXC_EBufferSliceTooLarge, "The range runs past the end of %s",
                      iSource->Path());
    }
    size = length;
  }
  if (size == 0) PXC_BUFFER_FAIL(PXC_EBufferEmptyFile, "The file %s is empty", iSource->Path());
  iBase = base + offset;
  iLength = size;
  iHeld = static_cast<std::size_t>(readAhead < size ? readAhead : size);
  Data();  // read ahead now, so that a failure surfaces here
}

const std::uint8_t* PXC_TBuffer::Data() const {
  if (iHeld == 0) return nullptr;
  if (iData == nullptr) {
    iChunk = iSource->Fetch(iBase, iHeld);
    iData = iChunk->data.get() + (iBase - iChunk->start);
  }
  return iData;
}

PXC_IBuffer* PXC_TBuffer::SubBuffer(std::uint64_t offset, std::uint64_t length, bool copy) const {
  if (offset > iHeld) {
    PXC_BUFFER_FAIL(PXC_EBufferSliceStartsAfterEnd, "The slice starts after the bytes held of %s",
                    iSource ? iSource->Path() : ZQ_TString());
  }
  if (length > iHeld - offset) {
    PXC_BUFFER_FAIL(PXC_EBufferSliceTooLarge, "The slice runs past the bytes held of %s",
                    iSource ? iSource->Path() : ZQ_TString());
  }
  // The slice's window is the `length` bytes it holds, named as that range.
  if (copy) {
    const std::uint8_t* bytes = Data();
    const ZQ_TURL url =
        offset == 0 && length == iLength ? URL() : ZQ_TURL::Embed(URL(), offset, length);
    return new PXC_TBuffer(bytes + offset, static_cast<std::size_t>(length), url);
  }
  auto* slice = new PXC_TBuffer(iSource, iBase + offset, length, static_cast<std::size_t>(length));
  if (iData != nullptr) {  // share the bytes already read
    slice->iChunk = iChunk;
    slice->iData = iData + offset;
  }
  return slice;
}

ZQ_TURL PXC_TBuffer::URL() const {
  if (!iSource) return ZQ_TURL();
  const ZQ_TURL& root = iSource->URL();
  if (iBase == 0 && iLength == iSource->Size()) return root;
  return ZQ_TURL::Embed(root, iBase, iLength);
}

std::size_t PXC_TBuffer::Read(std::uint64_t position, void* out, std::size_t count) const {
  if (!iSource || position >= iLength) return 0;
  if (count > iLength - position) count = static_cast<std::size_t>(iLength - position);
  if (position + count <= iHeld) {
    std::memcpy(out, Data() + position, count);
    return count;
  }
  return iSource->ReadSmall(iBase + position, out, count);
}

PXC_IBuffer* PXC_TBuffer::Extended() const {
  if (iHeld >= iLength) return nullptr;
  std::uint64_t more = iHeld < 32768 ? 65536 : static_cast<std::uint64_t>(iHeld) * 2;
  if (more > iLength) more = iLength;
  if (more > kMaxRead) more = kMaxRead;
  if (more <= iHeld) return nullptr;  // as much is held as is ever read at once
  return new PXC_TBuffer(iSource, iBase, iLength, static_cast<std::size_t>(more));
}

const PXC_IBuffer& PXC_TBuffer::Reserve(std::uint64_t position, std::uint64_t length,
                                        std::uint32_t readAhead) {
  if (!iSource || position > iLength || length > iLength - position) {
    PXC_BUFFER_FAIL(PXC_EBufferRegionTooLarge, "The reserved range lies outside %s",
                    iSource ? iSource->Path() : ZQ_TString());
  }
  std::uint64_t held = readAhead < length ? readAhead : length;
  iReservation.reset(
      new PXC_TBuffer(iSource, iBase + position, length, static_cast<std::size_t>(held)));
  return *iReservation;
}

ZQ_TFileInfo PXC_TBuffer::Facts(bool digest) const {
  if (!iSource) return ZQ_TFileInfo();
  ZQ_TFileFacts facts = iSource->Facts();
  facts.size = iLength;
  facts.hasDigest = digest;
  if (digest) facts.digest = PXC_WindowDigest(*this);
  return ZQ_TFileInfo(URL(), facts);
}

const std::uint8_t* PXC_TBuffer::ReadAt(std::uint64_t position, std::uint64_t length) {
  if (length > kMaxRead) {
    PXC_BUFFER_FAIL(PXC_EBufferRegionTooLarge, "The range to read from %s is too large",
                    iSource ? iSource->Path() : ZQ_TString());
  }
  Reserve(position, length, static_cast<std::uint32_t>(length));
  return iReservation->Data();
}

const PXC_IBuffer& PXC_TBuffer::Reserved() const {
  if (!iReservation) {
    PXC_BUFFER_FAIL(PXC_EBufferEmptyBuffer, "Nothing is reserved in %s",
                    iSource ? iSource->Path() : ZQ_TString());
  }
  return *iReservation;
}

ZQ_INTERFACE_IMPLEMENT(PXC_IBuffer, ZQ_IInterface)
ZQ_CLASS_IMPLEMENT(PXC_TBuffer, ZQ_TObject, &PXC_TBuffer::ZQ_Create, nullptr, PXC_IBuffer)
