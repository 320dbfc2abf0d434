#include "pxcver/pxc_version.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <vector>

namespace {

std::mutex& RegistryMutex() {
  static std::mutex mutex;
  return mutex;
}

std::vector<PXC_TVersionBlock*>& Blocks() {
  static std::vector<PXC_TVersionBlock*> blocks;
  return blocks;
}

std::vector<std::pair<const PXC_TVersionBlock*, const PXC_TVersionRecord*>> AllRecords() {
  std::vector<std::pair<const PXC_TVersionBlock*, const PXC_TVersionRecord*>> records;
  std::lock_guard lock(RegistryMutex());
  for (const PXC_TVersionBlock* block : Blocks()) {
    int guard = 0;  // a corrupt list must not loop forever
    for (const PXC_TVersionRecord* r = block->head; r != nullptr && guard < 4096;
         r = r->next, ++guard) {
      records.emplace_back(block, r);
    }
  }
  return records;
}

}  // namespace

void PXC_VersionRegister(PXC_TVersionBlock* block) {
  if (block == nullptr) return;
  std::lock_guard lock(RegistryMutex());
  std::vector<PXC_TVersionBlock*>& blocks = Blocks();
  if (std::find(blocks.begin(), blocks.end(), block) == blocks.end()) blocks.push_back(block);
}

void PXC_VersionPrint(FILE* out) {
  for (const auto& [block, record] : AllRecords()) {
    std::fprintf(out, "%-8s %-8s %d.%d  (%s, built %s)\n", block->module ? block->module : "?",
                 record->library ? record->library : "?", record->major, record->build,
                 record->definedIn ? record->definedIn : "?",
                 record->builtAt ? record->builtAt : "?");
  }
}

int PXC_VersionSorted(const PXC_TVersionRecord** out, int capacity) {
  std::vector<const PXC_TVersionRecord*> records;
  for (const auto& entry : AllRecords()) records.push_back(entry.second);
  std::stable_sort(records.begin(), records.end(),
                   [](const PXC_TVersionRecord* a, const PXC_TVersionRecord* b) {
                     int names = std::strcmp(a->library ? a->library : "",
                                             b->library ? b->library : "");
                     if (names != 0) return names < 0;
                     if (a->major != b->major) return a->major < b->major;
                     return a->build < b->build;
                   });
  for (int i = 0; i < capacity && i < static_cast<int>(records.size()); ++i) {
    out[i] = records[static_cast<std::size_t>(i)];
  }
  return static_cast<int>(records.size());
}
