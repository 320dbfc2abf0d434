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
// headers, as the file was described; a ticket of data embedded in that file
// is read through a range of its buffer, without opening the file again.
struct IMR_TCore::UpdateRun {
  ZQ_TURL file;
  std::optional<PXC_TBuffer> root;    // the whole file last opened
  std::optional<PXC_TBuffer> buffer;  // what `file` names: the root, or a range of it
  ZQ_TFileInfo facts;
  IMR_TContextOwner context;
  ZQ_TString contextPlugin;  // DescribingPlugin of the ticket the context described

  PXC_TBuffer& Open(const ZQ_TURL& url) {
    if (!buffer || file != url) {
      Forget();
      buffer.reset();
      if (InRoot(url)) {
        buffer.emplace(root->Reserve(url.EmbedOffset(), url.EmbedLength(), sReadAhead));
        root->FreeReservation();
      } else {
        buffer.emplace(url, 0, 0, sReadAhead);
        if (url.IsEmbed()) {
          root.reset();
        } else {
          root = buffer;
        }
      }
      file = url;
      // A raised description is not stored, so it takes no digest.
      facts = buffer->Facts(false);
    }
    return *buffer;
  }
  // Whether `url` names a non-empty range of the open root file; a range
  // that lies outside it is opened on its own, which says why it fails.
  bool InRoot(const ZQ_TURL& url) const {
    if (!root || !url.IsEmbed() || url.Root() != root->URL()) return false;
    const std::uint64_t size = root->SourceSize();
    return url.EmbedLength() != 0 && url.EmbedOffset() <= size &&
           url.EmbedLength() <= size - url.EmbedOffset();
  }
  void Forget() {
    delete context.plugin;
    context.plugin = nullptr;
    contextPlugin = ZQ_TString();
  }
};
