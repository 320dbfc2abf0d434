// Match elements: the chains that magic entries are made of.  A chain is
// evaluated left to right over the first bytes of a file; each element tests
// one thing (or, for IMR_TSet, writes one fact into the ticket) and on
// success hands on to its successor, which it owns.
#pragma once

#include <atomic>
#include <cstdint>

#include "core/imr_core.h"

class IMR_TMatch : public ZQ_TObject,
                   public virtual ZQ_IPackable,
                   public virtual ZQ_IPrintable,
                   public virtual ZQ_IHumanReadable,
                   private IMR_TTicketAccess {
  ZQ_CLASS_BOILERPLATE(IMR_TMatch)
 public:
  IMR_TMatch() = default;
  // Copies the element and deep-copies the rest of the chain.
  IMR_TMatch(const IMR_TMatch& other);
  IMR_TMatch& operator=(const IMR_TMatch& other);
  // Destroys the rest of the chain.
  ~IMR_TMatch() override;
  static ZQ_TObject* ZQ_Create();

  // Compares only the shape of two chains (which elements have successors).
  virtual bool operator==(const IMR_TMatch& other) const;
  virtual bool operator!=(const IMR_TMatch& other) const { return !(*this == other); }
  // The test.  `entryArgument` is the selection item's argument; `passThrough`
  // is handed on unchanged.  The base raises IMR_EMagicMatchInterfaceCalled.
  virtual bool operator()(const ZQ_TString& entryArgument, const PXC_IBuffer& buffer,
                          PXC_TImageTicket& ticket, bool& pluginRequested, PXC_TFillLevel level,
                          unsigned int passThrough) const;
  // The largest byte offset that the chain's byte comparisons read.
  virtual std::uint32_t MatchLength() const;

  void ZQ_Pack(ZQ_IPacking& out) const override;
  void ZQ_Unpack(ZQ_IUnpacking& in) override;
  ZQ_IPackable* ZQ_Clone(void* = nullptr) const override;
  bool ZQ_IsIdent(const ZQ_IPackable& other) const override;
  void PrintOn(std::ostream& out) const override;
  bool WriteTo(ZQ_THumanReadableStream& out) const override;
  bool ReadFrom(ZQ_THumanReadableStream& in) override;
  bool ZQ_HRMultiLine() const override { return true; }

 protected:
  const IMR_TMatch* Next() const { return iSuccessor; }
  // Makes `next` the successor (owned) and returns it; IMR_EMagicInternal
  // when there is one already.
  IMR_TMatch* AttachNext(IMR_TMatch* next);
  bool CallNext(const ZQ_TString& entryArgument, const PXC_IBuffer& buffer,
                PXC_TImageTicket& ticket, bool& pluginRequested, PXC_TFillLevel level,
                unsigned int passThrough) const;

  using IMR_TTicketAccess::ExtendedInfo;
  using IMR_TTicketAccess::Internal;
  using IMR_TTicketAccess::SetAlphaPlane;
  using IMR_TTicketAccess::SetChannelEncoding;
  using IMR_TTicketAccess::SetCreatorId;
  using IMR_TTicketAccess::SetFile;
  using IMR_TTicketAccess::SetFileFormat;
  using IMR_TTicketAccess::SetFileFormatVersion;
  using IMR_TTicketAccess::SetFileTimeStamp;
  using IMR_TTicketAccess::SetFillLevel;
  using IMR_TTicketAccess::SetHRealSize;
  using IMR_TTicketAccess::SetHResolution;
  using IMR_TTicketAccess::SetImagePosition;
  using IMR_TTicketAccess::SetImageProcessor;
  using IMR_TTicketAccess::SetImageSubtype;
  using IMR_TTicketAccess::SetImageType;
  using IMR_TTicketAccess::SetMeasurementUnits;
  using IMR_TTicketAccess::SetNrInks;
  using IMR_TTicketAccess::SetRotation;
  using IMR_TTicketAccess::SetVRealSize;
  using IMR_TTicketAccess::SetVResolution;
  using IMR_TTicketAccess::Wipe;

  // The successor as a cast of an object a stream rebuilt (null when it is
  // not a match element, which is then deleted).
  static IMR_TMatch* AdoptMatch(ZQ_TObject* object);
  // The successor's line and the successor's own lines.
  void PrintNext(std::ostream& out) const;

  // The table builder links chains.
  friend class IMR_TMagic;

 private:
  IMR_TMatch* iSuccessor = nullptr;
};

// One masked byte of the buffer compared with a value: equal, less, more.
class IMR_TByteMatch : public IMR_TMatch {
 public:
  IMR_TByteMatch(std::uint32_t offset, std::uint8_t mask, std::uint8_t value)
      : iOffset(offset), iMask(mask), iValue(value) {}
  std::uint32_t Offset() const { return iOffset; }
  std::uint8_t Mask() const { return iMask; }
  std::uint8_t Value() const { return iValue; }
  std::uint32_t MatchLength() const override;

 protected:
  // The masked byte, read only when it lies within the buffer.  A buffer
  // without data raises IMR_EPluginDataBufferEmpty.
  bool MaskedByte(const PXC_IBuffer& buffer, std::uint8_t& byte) const;
  bool SameParameters(const IMR_TByteMatch& other) const {
    return iOffset == other.iOffset && iMask == other.iMask && iValue == other.iValue;
  }
  void PackParameters(ZQ_IPacking& out) const;
  void UnpackParameters(ZQ_IUnpacking& in);
  void WriteParameters(ZQ_THumanReadableStream& out) const;
  void ReadParameters(ZQ_THumanReadableStream& in);
  void PrintComparison(std::ostream& out, const char* comparison) const;

 private:
  std::uint32_t iOffset;
  std::uint8_t iMask;
  std::uint8_t iValue;
};

// Declares one byte comparison class.
#define IMR_BYTE_MATCH_CLASS(Cls)                                                         \
  class Cls : public IMR_TByteMatch {                                                     \
    ZQ_CLASS_BOILERPLATE(Cls)                                                             \
   public:                                                                                \
    Cls(std::uint32_t offset = 0, std::uint8_t mask = 0, std::uint8_t value = 0)          \
        : IMR_TByteMatch(offset, mask, value) {}                                          \
    static ZQ_TObject* ZQ_Create() { return new Cls; }                                    \
    bool operator()(const ZQ_TString& entryArgument, const PXC_IBuffer& buffer,           \
                    PXC_TImageTicket& ticket, bool& pluginRequested, PXC_TFillLevel level, \
                    unsigned int passThrough) const override;                             \
    virtual bool operator==(const Cls& other) const {                                     \
      return SameParameters(other) && IMR_TMatch::operator==(other);                      \
    }                                                                                     \
    virtual bool operator!=(const Cls& other) const { return !(*this == other); }         \
    using IMR_TMatch::operator==;                                                         \
    using IMR_TMatch::operator!=;                                                         \
    void ZQ_Pack(ZQ_IPacking& out) const override;                                        \
    void ZQ_Unpack(ZQ_IUnpacking& in) override;                                           \
    ZQ_IPackable* ZQ_Clone(void* = nullptr) const override { return new Cls(*this); }     \
    bool ZQ_IsIdent(const ZQ_IPackable& other) const override;                            \
    void PrintOn(std::ostream& out) const override;                                       \
    bool WriteTo(ZQ_THumanReadableStream& out) const override;                            \
    bool ReadFrom(ZQ_THumanReadableStream& in) override;                                  \
  };

// The masked byte equals the value.
IMR_BYTE_MATCH_CLASS(IMR_TEqual)
// The masked byte is smaller than the value (unsigned).
IMR_BYTE_MATCH_CLASS(IMR_TLess)
// The masked byte is larger than the value (unsigned).
IMR_BYTE_MATCH_CLASS(IMR_TMore)

// Passes when its negated chain fails.
class IMR_TNot : public IMR_TMatch {
  ZQ_CLASS_BOILERPLATE(IMR_TNot)
 public:
  IMR_TNot() = default;
  // Keeps a clone of `negated` (the caller keeps `negated`).
  explicit IMR_TNot(const IMR_TMatch* negated);
  IMR_TNot(const IMR_TNot& other);
  IMR_TNot& operator=(const IMR_TNot& other);
  ~IMR_TNot() override;
  static ZQ_TObject* ZQ_Create() { return new IMR_TNot; }
  const IMR_TMatch* Negated() const { return iNegated; }

  bool operator()(const ZQ_TString& entryArgument, const PXC_IBuffer& buffer,
                  PXC_TImageTicket& ticket, bool& pluginRequested, PXC_TFillLevel level,
                  unsigned int passThrough) const override;
  // Nothing of its own: only the successors' shape.
  virtual bool operator==(const IMR_TNot& other) const { return IMR_TMatch::operator==(other); }
  virtual bool operator!=(const IMR_TNot& other) const { return !(*this == other); }
  using IMR_TMatch::operator==;
  using IMR_TMatch::operator!=;
  void ZQ_Pack(ZQ_IPacking& out) const override;
  void ZQ_Unpack(ZQ_IUnpacking& in) override;
  ZQ_IPackable* ZQ_Clone(void* = nullptr) const override { return new IMR_TNot(*this); }
  bool ZQ_IsIdent(const ZQ_IPackable& other) const override;
  void PrintOn(std::ostream& out) const override;
  bool WriteTo(ZQ_THumanReadableStream& out) const override;
  bool ReadFrom(ZQ_THumanReadableStream& in) override;

 private:
  IMR_TMatch* iNegated = nullptr;
};

// Searches a byte string in a window of at most 4096 bytes from a start that
// is fixed or read from the file.
class IMR_TSearch : public IMR_TMatch {
  ZQ_CLASS_BOILERPLATE(IMR_TSearch)
 public:
  static constexpr std::uint32_t kMaxPattern = 127;
  static constexpr std::uint32_t kWindow = 4096;

  IMR_TSearch();
  IMR_TSearch(const char* pattern, unsigned int offset);
  IMR_TSearch(const char* pattern, unsigned int offsetPosition, unsigned int offsetBytes,
              bool littleEndian);
  static ZQ_TObject* ZQ_Create() { return new IMR_TSearch; }
  const char* Pattern() const { return iPattern; }
  std::uint32_t PatternLength() const { return iPatternLength; }

  bool operator()(const ZQ_TString& entryArgument, const PXC_IBuffer& buffer,
                  PXC_TImageTicket& ticket, bool& pluginRequested, PXC_TFillLevel level,
                  unsigned int passThrough) const override;
  virtual bool operator==(const IMR_TSearch& other) const;
  virtual bool operator!=(const IMR_TSearch& other) const { return !(*this == other); }
  using IMR_TMatch::operator==;
  using IMR_TMatch::operator!=;
  void ZQ_Pack(ZQ_IPacking& out) const override;
  void ZQ_Unpack(ZQ_IUnpacking& in) override;
  ZQ_IPackable* ZQ_Clone(void* = nullptr) const override { return new IMR_TSearch(*this); }
  bool ZQ_IsIdent(const ZQ_IPackable& other) const override;
  void PrintOn(std::ostream& out) const override;
  bool WriteTo(ZQ_THumanReadableStream& out) const override;
  bool ReadFrom(ZQ_THumanReadableStream& in) override;

 private:
  // The start of the search; false when the stored start cannot be read.
  bool Start(const PXC_IBuffer& buffer, std::uint32_t& start) const;
  void SetPattern(const char* pattern, std::size_t length);

  char iPattern[kMaxPattern + 1];
  std::uint32_t iOffset = 0;
  std::uint32_t iPatternLength = 0;
  std::uint32_t iOffsetPosition = 0;
  std::uint32_t iOffsetBytes = 0;
  bool iLittleEndian = false;
};

// Heads every chain built from entry texts: the chain runs only when the
// buffer holds more bytes than the chain's largest tested offset.
class IMR_TTrue : public IMR_TMatch {
  ZQ_CLASS_BOILERPLATE(IMR_TTrue)
 public:
  IMR_TTrue() = default;
  IMR_TTrue(const IMR_TTrue& other) : IMR_TMatch(other) {}
  IMR_TTrue& operator=(const IMR_TTrue& other);
  static ZQ_TObject* ZQ_Create() { return new IMR_TTrue; }

  bool operator()(const ZQ_TString& entryArgument, const PXC_IBuffer& buffer,
                  PXC_TImageTicket& ticket, bool& pluginRequested, PXC_TFillLevel level,
                  unsigned int passThrough) const override;
  // The rest of the chain's MatchLength, computed once.
  std::uint32_t MatchLength() const override;
  virtual bool operator==(const IMR_TTrue& other) const;
  virtual bool operator!=(const IMR_TTrue& other) const { return !(*this == other); }
  using IMR_TMatch::operator==;
  using IMR_TMatch::operator!=;
  void ZQ_Pack(ZQ_IPacking& out) const override;
  void ZQ_Unpack(ZQ_IUnpacking& in) override;
  ZQ_IPackable* ZQ_Clone(void* = nullptr) const override { return new IMR_TTrue(*this); }
  bool ZQ_IsIdent(const ZQ_IPackable& other) const override;
  void PrintOn(std::ostream& out) const override;
  bool WriteTo(ZQ_THumanReadableStream& out) const override;
  bool ReadFrom(ZQ_THumanReadableStream& in) override;

 private:
  // 0 until computed; every thread that computes it stores the same value.
  mutable std::atomic<std::uint32_t> iMinimalLength{0};
};

// Writes one fact into the ticket, or asks for a further plugin.
class IMR_TSet : public IMR_TMatch {
  ZQ_CLASS_BOILERPLATE(IMR_TSet)
 public:
  IMR_TSet() = default;
  IMR_TSet(const ZQ_TString& key, const ZQ_TString& value);
  static ZQ_TObject* ZQ_Create() { return new IMR_TSet; }
  const ZQ_TString& Key() const { return iKey; }
  const ZQ_TString& Value() const { return iValue; }

  // The value read as a real (atof), as a decimal 64-bit integer's low 32 bits
  // (_atoi64), or its low 8 bits.
  double ValueD() const;
  unsigned int ValueU32() const;
  signed char ValueI8() const;

  bool operator()(const ZQ_TString& entryArgument, const PXC_IBuffer& buffer,
                  PXC_TImageTicket& ticket, bool& pluginRequested, PXC_TFillLevel level,
                  unsigned int passThrough) const override;
  virtual bool operator==(const IMR_TSet& other) const;
  virtual bool operator!=(const IMR_TSet& other) const { return !(*this == other); }
  using IMR_TMatch::operator==;
  using IMR_TMatch::operator!=;
  void ZQ_Pack(ZQ_IPacking& out) const override;
  void ZQ_Unpack(ZQ_IUnpacking& in) override;
  ZQ_IPackable* ZQ_Clone(void* = nullptr) const override { return new IMR_TSet(*this); }
  bool ZQ_IsIdent(const ZQ_IPackable& other) const override;
  void PrintOn(std::ostream& out) const override;
  bool WriteTo(ZQ_THumanReadableStream& out) const override;
  bool ReadFrom(ZQ_THumanReadableStream& in) override;

  // The keys with an action of their own; any other key goes to the
  // extended information.
  enum class Action : std::uint8_t {
    PluginRequest, FillLevel, ImageType, ImagePosition, CreatorId, ImageProcessor, FileFormat,
    FileFormatVersion, MeasurementUnits, VResolution, HResolution, VRealSize, HRealSize,
    ImageRotation, ChannelEncoding, AlphaPlane, NrInks, ExtendedInfo
  };

 private:
  // Performs the action; false when it fails (FileFormat already set).
  bool Apply(const ZQ_TString& entryArgument, PXC_TImageTicket& ticket,
             bool& pluginRequested) const;
  static Action ActionOf(const ZQ_TString& key);

  ZQ_TString iKey;
  ZQ_TString iValue;
  Action iAction = Action::ExtendedInfo;
};

// Turns one entry text into a new element (owned by the caller).
// IMR_EMagicInvalidMagicEntry ("Invalid magic entry %s", the text as datum)
// for an invalid text.
IMR_TMatch* ParseMagicEntry(const char* entry);

// The magic table from its configured text (LoadConfiguration's reader):
// the human-readable form of the dictionary, or its packed form spelled as
// hexadecimal.  Null when neither form reads; never raises.  The caller
// owns the table.
ZQ_TDict* IMR_ReadMagicText(const ZQ_TString& text);
