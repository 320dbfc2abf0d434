// The identity of a proxy's file and of every file its selected image needs.
#include <cstdio>
#include <string>
#include <vector>

#include "core/imr_core.h"

namespace {

constexpr std::uint32_t kModulus = 999999999u;
constexpr std::size_t kRingSize = 32;
constexpr std::size_t kMaxDepth = 32;

// The dependencies being described on this thread, outermost first: a
// dependency found among them is a cycle and is not described again.
thread_local std::vector<std::string> tInProgress;

// The last 32 distinct dependencies of one SmartID call and their identities.
class MemoRing {
 public:
  const std::uint32_t* Find(const ZQ_TString& text) const {
    for (std::size_t n = 0; n < iCount; ++n) {
      const Entry& entry = iEntries[(iHead + kRingSize - 1 - n) % kRingSize];
      if (entry.text == text) return &entry.id;
    }
    return nullptr;
  }
  void Add(const ZQ_TString& text, std::uint32_t id) {
    iEntries[iHead] = Entry{text, id};
    iHead = (iHead + 1) % kRingSize;
    if (iCount < kRingSize) ++iCount;
  }

 private:
  struct Entry {
    ZQ_TString text;
    std::uint32_t id = 0;
  };
  Entry iEntries[kRingSize];
  std::size_t iHead = 0;
  std::size_t iCount = 0;
};

// Files starting with "I1" (and at least 8 bytes long) are identified by
// their facts alone, without being described.
bool IsDirectIdentityFile(const ZQ_TURL& url) {
  FILE* file = std::fopen(url.Path().Narrow(), "rb");
  if (file == nullptr) return false;
  unsigned char head[8];
  const std::size_t got = std::fread(head, 1, sizeof head, file);
  std::fclose(file);
  return got == sizeof head && head[0] == 0x49 && head[1] == 0x31;
}

// Removes the innermost in-progress entry when it goes out of scope.
struct InProgress {
  explicit InProgress(const ZQ_TString& text) { tInProgress.push_back(text.Std()); }
  ~InProgress() { tInProgress.pop_back(); }
  InProgress(const InProgress&) = delete;
  InProgress& operator=(const InProgress&) = delete;
};

bool IsInProgress(const ZQ_TString& text) {
  if (tInProgress.size() >= kMaxDepth) return true;
  for (const std::string& open : tInProgress) {
    if (text.View() == open) return true;
  }
  return false;
}

}  // namespace

std::uint32_t IMR_TCore::DependencyID(const ZQ_TURL& dependency) const {
  if (IsInProgress(dependency.Text())) return ZQ_TFileInfo(dependency, true).SmartID();
  PXC_TImageProxy described;
  try {
    FillImageProxy(described, dependency, PXC_FL_DEPENDENCIES, 7);
  } catch (const IMR_EPluginFileNotRecognized&) {
    return ZQ_TFileInfo(dependency, true).SmartID();
  }
  return SmartID(described, false);
}

std::uint32_t IMR_TCore::SmartID(PXC_TImageProxy& proxy, bool update) const {
  IMR_TRACE(0x04, "IMR_TCore::SmartID(%s)\n", proxy.URL().Text().Narrow());
  InProgress guard(proxy.URL().Text());
  try {
    if (update) UpdateImageProxy(proxy, PXC_FL_DEPENDENCIES);
    if (proxy.Entries() == 0) return 0;
    std::uint32_t id = proxy.SmartID();
    const PXC_TImageTicket* selected = proxy.Selected();
    ZQ_TList dependencies;
    if (selected == nullptr || !selected->Dependencies(dependencies, true, false)) return id;
    MemoRing ring;
    for (const ZQ_TList::Entry& entry : dependencies) {
      const ZQ_TURL* url = entry.value.DynamicCast<ZQ_TURL>();
      if (url == nullptr) continue;
      std::uint32_t d;
      if (IsDirectIdentityFile(*url)) {
        d = ZQ_TFileInfo(*url, true).SmartID();
      } else if (const std::uint32_t* held = ring.Find(url->Text())) {
        d = *held;
      } else {
        d = DependencyID(*url);
        ring.Add(url->Text(), d);
      }
      id = (id + d) % kModulus;  // the sum wraps at 2^32 first
    }
    return id;
  } catch (...) {
    return 0;
  }
}

ZQ_TString IMR_TCore::SmartIDStr(PXC_TImageProxy& proxy, std::uint8_t radix) const {
  if (radix < 2 || radix > 36) radix = 10;
  std::uint32_t id = SmartID(proxy, true);
  char digits[40];
  int length = 0;
  do {
    const std::uint32_t digit = id % radix;
    digits[length++] = static_cast<char>(digit < 10 ? '0' + digit : 'a' + digit - 10);
    id /= radix;
  } while (id != 0);
  std::string text(digits, static_cast<std::size_t>(length));
  return ZQ_TString(std::string(text.rbegin(), text.rend()));
}
