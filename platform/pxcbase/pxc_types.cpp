#include "pxcbase/pxc_types.h"

#include <ostream>

void PXC_TTag::ZQ_Pack(ZQ_IPacking& out) const {
  out.PackU64(iOffset);
  out.PackU64(iLength);
}

void PXC_TTag::ZQ_Unpack(ZQ_IUnpacking& in) {
  iOffset = in.UnpackU64();
  iLength = in.UnpackU64();
}

bool PXC_TTag::ZQ_IsIdent(const ZQ_IPackable& other) const {
  const PXC_TTag* tag = ZQ_DynamicCast<PXC_TTag>(&other);
  return tag != nullptr && tag->iOffset == iOffset && tag->iLength == iLength;
}

void PXC_TReference::ZQ_Pack(ZQ_IPacking& out) const {
  out.PackString(iLocation);
  out.PackString(iRole);
}

void PXC_TReference::ZQ_Unpack(ZQ_IUnpacking& in) {
  iLocation = in.UnpackString();
  iRole = in.UnpackString();
}

bool PXC_TReference::ZQ_IsIdent(const ZQ_IPackable& other) const {
  const PXC_TReference* ref = ZQ_DynamicCast<PXC_TReference>(&other);
  return ref != nullptr && ref->iLocation == iLocation && ref->iRole == iRole;
}

void PXC_TReference::PrintOn(std::ostream& out) const {
  out << iLocation;
  if (!iRole.IsEmpty()) out << " (" << iRole << ')';
}

void PXC_TKnot::ZQ_Pack(ZQ_IPacking& out) const {
  out.PackDouble(iX);
  out.PackDouble(iY);
}

void PXC_TKnot::ZQ_Unpack(ZQ_IUnpacking& in) {
  iX = in.UnpackDouble();
  iY = in.UnpackDouble();
}

bool PXC_TKnot::ZQ_IsIdent(const ZQ_IPackable& other) const {
  const PXC_TKnot* knot = ZQ_DynamicCast<PXC_TKnot>(&other);
  return knot != nullptr && knot->iX == iX && knot->iY == iY;
}

void PXC_TInk::ZQ_Pack(ZQ_IPacking& out) const {
  out.PackString(iName);
  out.PackBool(iProcess);
}

void PXC_TInk::ZQ_Unpack(ZQ_IUnpacking& in) {
  iName = in.UnpackString();
  iProcess = in.UnpackBool();
}

bool PXC_TInk::ZQ_IsIdent(const ZQ_IPackable& other) const {
  const PXC_TInk* ink = ZQ_DynamicCast<PXC_TInk>(&other);
  return ink != nullptr && ink->iName == iName && ink->iProcess == iProcess;
}

void PXC_TInk::PrintOn(std::ostream& out) const {
  out << iName << (iProcess ? " (process)" : " (spot)");
}

ZQ_CLASS_IMPLEMENT(PXC_TTag, ZQ_TObject, &PXC_TTag::ZQ_Create, nullptr, ZQ_IPackable)
ZQ_CLASS_IMPLEMENT(PXC_TReference, ZQ_TObject, &PXC_TReference::ZQ_Create, nullptr, ZQ_IPackable,
                   ZQ_IPrintable)
ZQ_CLASS_IMPLEMENT(PXC_TKnot, ZQ_TObject, &PXC_TKnot::ZQ_Create, nullptr, ZQ_IPackable)
ZQ_CLASS_IMPLEMENT(PXC_TInk, ZQ_TObject, &PXC_TInk::ZQ_Create, nullptr, ZQ_IPackable,
                   ZQ_IPrintable)
