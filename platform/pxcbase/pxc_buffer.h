// Read buffers over files and byte ranges of files.
//
// A buffer is a window onto a source (a regular file, or bytes in memory): it
// starts at some byte of the source, may run on to the end of the source or
// of an embedded range, and holds its first Size() bytes in memory.  More of
// the window is reached through Read, ExtendBuffer or a reservation, never by
// reading the whole file unless asked; small reads beyond the bytes held (a
// reader walking a file's structures) share one block read around them.
// Buffers made from one another share the source and the bytes already read.
// Every failure is a PXC_EBuffer... exception whose datum is the file's path
// and whose message says why.
#pragma once

#include <cstdint>
#include <memory>

#include "zqtypes/zqtypes.h"

class PXC_IBuffer : public virtual ZQ_IInterface {
  ZQ_CLASS_BOILERPLATE(PXC_IBuffer)
 public:
  // A buffer over the file or embedded range that `url` names, narrowed to
  // `length` bytes from `offset` (0, 0: all of it), holding its first
  // `readAhead` bytes.  Only regular files are opened.  The caller owns it.
  static PXC_IBuffer* Create(const ZQ_TURL& url, std::uint64_t offset, std::uint64_t length,
                             std::uint32_t readAhead);
  // A new buffer over the same window holding more of it, or null when
  // `buffer` holds the whole window already (or kMaxRead bytes of a longer
  // one).  The caller owns it.
  static PXC_IBuffer* ExtendBuffer(const PXC_IBuffer& buffer);

  // The bytes held; null when none are.
  virtual const std::uint8_t* Data() const = 0;
  virtual std::size_t Size() const = 0;
  // A new buffer over `length` bytes from `offset` of the bytes held (the
  // caller owns it).  `copy` asks for bytes of its own instead of shared ones.
  virtual PXC_IBuffer* SubBuffer(std::uint64_t offset, std::uint64_t length, bool copy) const = 0;
  // The file, or the embedded range, that the window covers.
  virtual ZQ_TURL URL() const = 0;
  // Bytes in the whole window, held or not.
  virtual std::uint64_t SourceSize() const = 0;
  // Copies up to `count` bytes from `position` of the window; returns how many
  // (fewer at its end).  A read error raises PXC_EBufferCannotReadFile.
  virtual std::size_t Read(std::uint64_t position, void* out, std::size_t count) const = 0;

 protected:
  virtual PXC_IBuffer* Extended() const = 0;
};

class PXC_TBuffer : public ZQ_TObject, public virtual PXC_IBuffer {
  ZQ_CLASS_BOILERPLATE(PXC_TBuffer)
 public:
  // An empty buffer.
  PXC_TBuffer();
  // The same window and bytes as `buffer`, without its reservation.
  explicit PXC_TBuffer(const PXC_IBuffer& buffer);
  // As PXC_IBuffer::Create.
  PXC_TBuffer(const ZQ_TURL& url, std::uint64_t offset, std::uint64_t length,
              std::uint32_t readAhead);
  // A buffer over a copy of `size` bytes in memory, named `url`.
  PXC_TBuffer(const void* data, std::size_t size, const ZQ_TURL& url);
  PXC_TBuffer(const PXC_TBuffer& other);
  PXC_TBuffer& operator=(const PXC_TBuffer& other);
  ~PXC_TBuffer() override;
  static ZQ_TObject* ZQ_Create() { return new PXC_TBuffer; }

  const std::uint8_t* Data() const override;
  std::size_t Size() const override { return iHeld; }
  PXC_IBuffer* SubBuffer(std::uint64_t offset, std::uint64_t length, bool copy) const override;
  ZQ_TURL URL() const override;
  std::uint64_t SourceSize() const override { return iLength; }
  std::size_t Read(std::uint64_t position, void* out, std::size_t count) const override;

  // The facts of the window's file as they were when it was opened, named
  // URL(), with the window's length as size and, when `digest`, the
  // window's digest.
  ZQ_TFileInfo Facts(bool digest = true) const;

  // Reserves `length` bytes from `position` of the window, reads them all and
  // returns them; the range must lie within the window.  Replaces an earlier
  // reservation.
  const std::uint8_t* ReadAt(std::uint64_t position, std::uint64_t length);
  // Reserves the range as a buffer holding its first `readAhead` bytes (the
  // rest is read on demand).
  const PXC_IBuffer& Reserve(std::uint64_t position, std::uint64_t length,
                             std::uint32_t readAhead);
  // The reserved range as a buffer; PXC_EBufferEmptyBuffer when none.
  const PXC_IBuffer& Reserved() const;
  void FreeReservation() { iReservation.reset(); }

  // Ranges longer than this are never read into memory at once.
  static constexpr std::uint64_t kMaxRead = 256u << 20;

 protected:
  PXC_IBuffer* Extended() const override;

 private:
  class Source;
  struct Chunk;
  PXC_TBuffer(std::shared_ptr<Source> source, std::uint64_t base, std::uint64_t length,
              std::size_t held);
  void Open(const ZQ_TURL& url, std::uint64_t offset, std::uint64_t length,
            std::uint32_t readAhead);

  std::shared_ptr<Source> iSource;
  std::uint64_t iBase = 0;    // first byte of the window in the source
  std::uint64_t iLength = 0;  // bytes in the window
  std::size_t iHeld = 0;      // bytes of the window held in memory
  mutable std::shared_ptr<const Chunk> iChunk;  // holds the bytes once read
  mutable const std::uint8_t* iData = nullptr;
  std::unique_ptr<PXC_TBuffer> iReservation;
};
