// Copy-on-write storage for the containers: copies share one block, and the
// first mutable access of a shared block copies it.
#pragma once

#include <atomic>
#include <cstdint>
#include <utility>

template <class T>
class ZQ_TShared {
 public:
  ZQ_TShared() noexcept = default;
  ZQ_TShared(const ZQ_TShared& other) noexcept : iBlock(other.iBlock) { Retain(); }
  ZQ_TShared(ZQ_TShared&& other) noexcept : iBlock(other.iBlock) { other.iBlock = nullptr; }
  ZQ_TShared& operator=(const ZQ_TShared& other) noexcept {
    if (iBlock != other.iBlock) {
      Release();
      iBlock = other.iBlock;
      Retain();
    }
    return *this;
  }
  ZQ_TShared& operator=(ZQ_TShared&& other) noexcept {
    if (this != &other) {
      Release();
      iBlock = other.iBlock;
      other.iBlock = nullptr;
    }
    return *this;
  }
  ~ZQ_TShared() { Release(); }

  // Read access; null when nothing was ever stored.
  const T* Get() const noexcept { return iBlock ? &iBlock->value : nullptr; }
  // Write access: creates the block, or copies it when it is shared.
  T& Mutable() {
    if (iBlock == nullptr) {
      iBlock = new Block;
    } else if (iBlock->refs.load(std::memory_order_acquire) != 1) {
      Block* copy = new Block(iBlock->value);
      Release();
      iBlock = copy;
    }
    return iBlock->value;
  }
  // True when both hold the same block (or none): no write happened to one
  // of them since it was copied from the other.
  bool SameBlock(const ZQ_TShared& other) const noexcept { return iBlock == other.iBlock; }
  void Reset() noexcept {
    Release();
    iBlock = nullptr;
  }

 private:
  struct Block {
    Block() = default;
    explicit Block(const T& v) : value(v) {}
    std::atomic<std::uint32_t> refs{1};
    T value;
  };
  void Retain() noexcept {
    if (iBlock) iBlock->refs.fetch_add(1, std::memory_order_relaxed);
  }
  void Release() noexcept {
    if (iBlock && iBlock->refs.fetch_sub(1, std::memory_order_acq_rel) == 1) delete iBlock;
  }

  Block* iBlock = nullptr;
};
