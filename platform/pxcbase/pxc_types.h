// Small value classes of the image-object library.
#pragma once

#include <cstdint>

#include "zqtypes/zqtypes.h"

// The byte range of embedded data within its root file.
class PXC_TTag : public ZQ_TObject, public virtual ZQ_IPackable {
  ZQ_CLASS_BOILERPLATE(PXC_TTag)
 public:
  PXC_TTag() = default;
  PXC_TTag(std::uint64_t offset, std::uint64_t length) : iOffset(offset), iLength(length) {}
  static ZQ_TObject* ZQ_Create() { return new PXC_TTag; }
  std::uint64_t Offset() const { return iOffset; }
  std::uint64_t Length() const { return iLength; }

  void ZQ_Pack(ZQ_IPacking& out) const override;
  void ZQ_Unpack(ZQ_IUnpacking& in) override;
  ZQ_IPackable* ZQ_Clone(void* = nullptr) const override { return new PXC_TTag(*this); }
  bool ZQ_IsIdent(const ZQ_IPackable& other) const override;

 private:
  std::uint64_t iOffset = 0;
  std::uint64_t iLength = 0;
};

// A file that an image refers to: where it is (a path, absolute or relative
// to the referring file, or a URL) and what it is for ("plate", "placed").
class PXC_TReference : public ZQ_TObject, public virtual ZQ_IPackable, public virtual ZQ_IPrintable {
  ZQ_CLASS_BOILERPLATE(PXC_TReference)
 public:
  PXC_TReference() = default;
  PXC_TReference(const ZQ_TString& location, const ZQ_TString& role)
      : iLocation(location), iRole(role) {}
  static ZQ_TObject* ZQ_Create() { return new PXC_TReference; }
  const ZQ_TString& Location() const { return iLocation; }
  const ZQ_TString& Role() const { return iRole; }

  void ZQ_Pack(ZQ_IPacking& out) const override;
  void ZQ_Unpack(ZQ_IUnpacking& in) override;
  ZQ_IPackable* ZQ_Clone(void* = nullptr) const override { return new PXC_TReference(*this); }
  bool ZQ_IsIdent(const ZQ_IPackable& other) const override;
  void PrintOn(std::ostream& out) const override;

 private:
  ZQ_TString iLocation;
  ZQ_TString iRole;
};

// A point of a clipping path, in the image's real-size units.
class PXC_TKnot : public ZQ_TObject, public virtual ZQ_IPackable {
  ZQ_CLASS_BOILERPLATE(PXC_TKnot)
 public:
  PXC_TKnot() = default;
  PXC_TKnot(double x, double y) : iX(x), iY(y) {}
  static ZQ_TObject* ZQ_Create() { return new PXC_TKnot; }
  double X() const { return iX; }
  double Y() const { return iY; }

  void ZQ_Pack(ZQ_IPacking& out) const override;
  void ZQ_Unpack(ZQ_IUnpacking& in) override;
  ZQ_IPackable* ZQ_Clone(void* = nullptr) const override { return new PXC_TKnot(*this); }
  bool ZQ_IsIdent(const ZQ_IPackable& other) const override;

 private:
  double iX = 0;
  double iY = 0;
};

// A printing ink of an image: a process colour or a named spot colour.
class PXC_TInk : public ZQ_TObject, public virtual ZQ_IPackable, public virtual ZQ_IPrintable {
  ZQ_CLASS_BOILERPLATE(PXC_TInk)
 public:
  PXC_TInk() = default;
  PXC_TInk(const ZQ_TString& name, bool process) : iName(name), iProcess(process) {}
  static ZQ_TObject* ZQ_Create() { return new PXC_TInk; }
  const ZQ_TString& Name() const { return iName; }
  bool IsProcess() const { return iProcess; }

  void ZQ_Pack(ZQ_IPacking& out) const override;
  void ZQ_Unpack(ZQ_IUnpacking& in) override;
  ZQ_IPackable* ZQ_Clone(void* = nullptr) const override { return new PXC_TInk(*this); }
  bool ZQ_IsIdent(const ZQ_IPackable& other) const override;
  void PrintOn(std::ostream& out) const override;

 private:
  ZQ_TString iName;
  bool iProcess = false;
};
