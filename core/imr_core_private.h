// What the core's sources share and hosts do not see.
#pragma once

#include <optional>

#include "core/imr_core.h"

// The plugin lock: shared around calls into plugins that are safe for the
// level, exclusive around other plugin calls and edits of the default list.
ZQ_TRWLock& IMR_PluginLock();
// Offered to plugins and hosts through Lock/UnlockSharedResource.
ZQ_TRWLock& IMR_SharedResourceLock();

// Limits that keep a misbehaving plugin or file from hanging a detection.
struct IMR_TBounds {
  std::uint32_t restarts = 64;   // restarts of one image's plugin walk
  std::uint32_t images = 16384;  // images described for one file
};
const IMR_TBounds& IMR_Bounds();

// Whether `types` asks for images of `type` (types above 5 always pass).
bool IMR_WantsImageType(IMR_TImageTypes types, PXC_TImageType type);

// Owns a run's context plugin, which is deleted however the run ends.
struct IMR_TContextOwner {
  IMR_IContextPlugin* plugin = nullptr;
  IMR_TContextOwner() = default;
  IMR_TContextOwner(const IMR_TContextOwner&) = delete;
  IMR_TContextOwner& operator=(const IMR_TContextOwner&) = delete;
  ~IMR_TContextOwner() { delete plugin; }
};

// Removes the file's cache record, if any; failures are logged.
void IMR_RemoveImageProxyCache(const ZQ_TURL& url);

// What one update keeps from ticket to ticket: the file last opened, and the
// context of the plugin that described its last ticket.  A proxy's tickets
// of one file are so raised with one read buffer and one parse of the file's
// headers, as the file was described.
struct IMR_TCore::UpdateRun {
  ZQ_TURL file;
  std::optional<PXC_TBuffer> buffer;
  ZQ_TFileInfo facts;
  IMR_TContextOwner context;
  ZQ_TString contextPlugin;  // DescribingPlugin of the ticket the context described

  PXC_TBuffer& Open(const ZQ_TURL& url) {
    if (!buffer || file != url) {
      Forget();
      buffer.reset();
      buffer.emplace(url, 0, 0, sReadAhead);
      file = url;
      // A raised description is not stored, so it takes no digest.
      facts = buffer->Facts(false);
    }
    return *buffer;
  }
  void Forget() {
    delete context.plugin;
    context.plugin = nullptr;
    contextPlugin = ZQ_TString();
  }
};
