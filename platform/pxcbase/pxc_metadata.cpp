#include "pxcbase/pxc_metadata.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <zlib.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <memory>
#include <span>
#include <thread>
#include <vector>

#include "pxcbase/pxc_exceptions.h"

namespace {

// First byte of a stored value: how the packed form follows.
enum : std::uint8_t { kRaw = 'R', kDeflated = 'Z' };
// A deflated value never expands beyond this when read back.
constexpr uLongf kMaxInflated = 16u << 20;
// Packed forms smaller than this are not worth compressing.
constexpr std::size_t kCompressFrom = 1024;
// The largest value the store writes: a packed form of kMaxValue bytes,
// behind its first byte (and a deflated one's length).
constexpr std::size_t kMaxStored = PXC_TMetadata::kMaxValue + 1 + sizeof(std::uint32_t);
// What a first read offers: most values are smaller.
constexpr std::size_t kFirstRead = 4096;
// How long a hold waits for others' locks: writers of this library keep a
// file for a few calls; a lock kept longer is someone else's.
constexpr std::chrono::milliseconds kHoldWait{20};
constexpr std::chrono::microseconds kHoldPause{100};

// A file system without user attributes holds no values, and none to remove.
bool HoldsNoAttributes(int error) { return error == ENOTSUP; }  // EOPNOTSUPP on Linux too

std::string AttributeName(const ZQ_TString& key) { return "user.imr." + key.Std(); }

[[noreturn]] void Refuse(int line, bool writing, const ZQ_TString& path, const char* why) {
  ZQ_TString message = ZQ_TString::Format("Cannot %s the metadata of %%s (%s)",
                                          writing ? "write" : "read", why);
  if (writing) ZQ_Throw<PXC_EMetadataCouldNotWrite>(line, __FILE__, message, path);
  ZQ_Throw<PXC_EMetadataCouldNotRead>(line, __FILE__, message, path);
}

[[noreturn]] void FromErrno(int line, int error, bool writing, const ZQ_TString& path) {
  if (error == ENOENT || error == ENOTDIR) {
    ZQ_Throw<PXC_EMetadataFileDoesNotExist>(line, __FILE__, "The file %s does not exist", path);
  }
  Refuse(line, writing, path, std::strerror(error));
}

std::string Encode(const ZQ_IPackable& value) {
  ZQ_TMemoryStream memory;
  ZQ_TDataStream packed(memory);
  packed.Insert(value);
  std::string encoded(1, static_cast<char>(kRaw));
  encoded.append(memory.View());
  if (memory.Size() < kCompressFrom) return encoded;
  uLongf room = compressBound(static_cast<uLong>(memory.Size()));
  std::string deflated(1 + sizeof(std::uint32_t) + room, '\0');
  if (compress2(reinterpret_cast<Bytef*>(deflated.data() + 1 + sizeof(std::uint32_t)), &room,
                memory.Data(), static_cast<uLong>(memory.Size()), Z_BEST_COMPRESSION) != Z_OK) {
    return encoded;
  }
  deflated[0] = static_cast<char>(kDeflated);
  std::uint32_t size = static_cast<std::uint32_t>(memory.Size());
  std::memcpy(deflated.data() + 1, &size, sizeof size);
  deflated.resize(1 + sizeof size + room);
  return deflated.size() < encoded.size() ? deflated : encoded;
}

}  // namespace

PXC_TMetadata::PXC_TMetadata(const ZQ_TURL& url) : iURL(url) {
  if (iURL.IsFile()) iPath = iURL.Path();
}

const ZQ_TString& PXC_TMetadata::FilePath() const {
  if (!iURL.IsFile()) {
    ZQ_THROW(PXC_EMetadataNotImplemented, "No metadata is kept for %s", iURL.Text());
  }
  return iPath;
}

bool PXC_TMetadata::HasKey(const ZQ_TString& key) const {
  const ZQ_TString& path = FilePath();
  if (::getxattr(path.Narrow(), AttributeName(key).c_str(), nullptr, 0) >= 0) return true;
  if (errno == ENODATA || HoldsNoAttributes(errno)) return false;
  FromErrno(__LINE__, errno, false, path);
}

bool PXC_TMetadata::ReadKey(const ZQ_TString& key,
                            const std::function<void(ZQ_TDataStream&)>& read) const {
  const ZQ_TString& path = FilePath();
  const std::string name = AttributeName(key);
  // Most values fit a small buffer and take one call; the kernel sets aside
  // as much as it is offered, so a larger value is sized first.
  thread_local std::vector<std::uint8_t> buffer(kFirstRead);
  buffer.resize(kFirstRead);
  ssize_t got = ::getxattr(path.Narrow(), name.c_str(), buffer.data(), buffer.size());
  while (got < 0 && errno == ERANGE) {
    const ssize_t size = ::getxattr(path.Narrow(), name.c_str(), nullptr, 0);
    if (size < 0) break;
    if (static_cast<std::size_t>(size) > kMaxStored) Refuse(__LINE__, false, path, "value too large");
    buffer.resize(static_cast<std::size_t>(size));
    got = ::getxattr(path.Narrow(), name.c_str(), buffer.data(), buffer.size());  // ERANGE: it grew
  }
  if (got < 0) {
    if (errno == ENODATA || HoldsNoAttributes(errno)) return false;
    FromErrno(__LINE__, errno, false, path);
  }
  const std::span<const std::uint8_t> stored(buffer.data(), static_cast<std::size_t>(got));
  if (stored.empty()) Refuse(__LINE__, false, path, "empty value");

  std::vector<std::uint8_t> inflated;
  const std::uint8_t* packed = stored.data() + 1;
  std::size_t packedSize = stored.size() - 1;
  if (stored[0] == kDeflated) {
    std::uint32_t size = 0;
    if (stored.size() < 1 + sizeof size) Refuse(__LINE__, false, path, "corrupt value");
    std::memcpy(&size, stored.data() + 1, sizeof size);
    if (size > kMaxInflated) Refuse(__LINE__, false, path, "corrupt value");
    inflated.resize(size);
    uLongf length = size;
    if (uncompress(inflated.data(), &length, stored.data() + 1 + sizeof size,
                   static_cast<uLong>(stored.size() - 1 - sizeof size)) != Z_OK ||
        length != size) {
      Refuse(__LINE__, false, path, "corrupt value");
    }
    packed = inflated.data();
    packedSize = inflated.size();
  } else if (stored[0] != kRaw) {
    Refuse(__LINE__, false, path, "corrupt value");
  }
  ZQ_TMemoryStream memory(packed, packedSize);
  ZQ_TDataStream in(memory);
  // A corrupt value may fail in the stream or in the unpacking of whatever
  // class it names; either way the value cannot be read.
  try {
    read(in);
    if (!in.AtEnd()) ZQ_THROW(ZQ_EStreamFormat, "Bytes follow the packed value");
  } catch (const ZQ_EException& error) {
    Refuse(__LINE__, false, path, error.Text().Narrow());
  } catch (const std::exception& error) {
    Refuse(__LINE__, false, path, error.what());
  }
  return true;
}

ZQ_TObject* PXC_TMetadata::GetKeyObject(const ZQ_TString& key) const {
  std::unique_ptr<ZQ_TObject> object;
  ReadKey(key, [&object](ZQ_TDataStream& in) { object.reset(in.Extract(true)); });
  return object.release();
}

void PXC_TMetadata::SetKeyObject(const ZQ_TString& key, const ZQ_IPackable& value) {
  const ZQ_TString& path = FilePath();
  const std::string encoded = Encode(value);
  if (encoded.size() > kMaxValue) Refuse(__LINE__, true, path, "value too large");
  if (::setxattr(path.Narrow(), AttributeName(key).c_str(), encoded.data(), encoded.size(), 0) !=
      0) {
    FromErrno(__LINE__, errno, true, path);
  }
}

void PXC_TMetadata::RemoveKey(const ZQ_TString& key) {
  const ZQ_TString& path = FilePath();
  if (::removexattr(path.Narrow(), AttributeName(key).c_str()) != 0 && errno != ENODATA &&
      !HoldsNoAttributes(errno)) {
    FromErrno(__LINE__, errno, true, path);
  }
}

PXC_TMetadata::Hold::Hold(const PXC_TMetadata& metadata) {
  if (!metadata.iURL.IsFile()) return;
  iFile = ::open(metadata.iPath.Narrow(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  const auto deadline = std::chrono::steady_clock::now() + kHoldWait;
  while (iFile >= 0 && ::flock(iFile, LOCK_EX | LOCK_NB) != 0) {
    if ((errno != EWOULDBLOCK && errno != EINTR) || std::chrono::steady_clock::now() >= deadline) {
      ::close(iFile);
      iFile = -1;
    } else {
      std::this_thread::sleep_for(kHoldPause);
    }
  }
}

PXC_TMetadata::Hold::~Hold() {
  if (iFile >= 0) ::close(iFile);  // gives the lock up
}

ZQ_INTERFACE_IMPLEMENT(PXC_IRelocatable, ZQ_IInterface)
ZQ_INTERFACE_IMPLEMENT(PXC_IMetadata, PXC_IRelocatable)
ZQ_CLASS_IMPLEMENT(PXC_TMetadata, ZQ_TObject, &PXC_TMetadata::ZQ_Create, nullptr, PXC_IMetadata)
