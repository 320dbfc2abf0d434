// The magic plugin: recognises a file from its first bytes by running the
// match chains of the magic entries its selection names, in order.
//
// The process-wide tables: the magic table (entry name to its list of
// chains), the selections (name to a list of items "entry" or
// "entry(argument)"), the extension list and the trust-less list, loaded once
// from the configuration ("/Resources/Modules/IMR/Magic", ".../Selections",
// ".../ExtensionList") and extended at run time.  The default selection
// "ALL SELECTION" lists every entry name known: those of the configuration's
// selection first in their order, then the providers declared in the
// configuration and registered with the loader, trusted names ahead of
// trust-less ones.
//
// Threads: many threads match at once.  Matching reads an immutable snapshot
// of the compiled table, through the plugin's selection compiled against it
// (fetched under a short per-plugin lock).  An entry a provider serves is
// built the first time a walk reaches it (once, whichever thread gets there
// first); the snapshot knows beforehand which first bytes it may pass with.
// A host adding an entry builds all of its chains first, then a new snapshot
// under the table's own mutex, and publishes it.  Edits
// made directly through the MagicEntries() reference are seen by the next
// match (it compiles the table again), but must not overlap detections.  A
// selection item that no provider served is looked up again once a creator
// is registered, and at most once a second otherwise.
#pragma once

#include <exception>
#include <memory>
#include <mutex>

#include "core/imr_core.h"

// A provider table: a null-terminated array of alternatives, each a
// null-terminated array of entry texts (magic/imr_magic-priv.h).
using IMR_TMagicTable = const char* const* const*;
using IMR_TMagicProvider = IMR_TMagicTable (*)();

class IMR_TMagic : public IMR_TPlugin {
  ZQ_CLASS_BOILERPLATE(IMR_TMagic)
 public:
  // A plugin over the named selection (empty: the default selection);
  // IMR_EMagicFileNotGiven when there is no such selection.
  explicit IMR_TMagic(const ZQ_TString& selection);
  // A plugin over a copy of the given selection items.
  explicit IMR_TMagic(const ZQ_TList& selection);
  IMR_TMagic(const IMR_TMagic& other);
  ~IMR_TMagic() override;
  static ZQ_TObject* ZQ_Create();
  static bool ZQ_Initialize();
  static IMR_IPlugin* Creator(const ZQ_TString& selection);

  IMR_TPluginStatus ImageInfo(const PXC_IBuffer& buffer, PXC_TImageTicket& ticket,
                              PXC_TFillLevel level, unsigned int index,
                              IMR_TImageTypes types) override;
  bool IsImageValid(PXC_TImageTicket&) override { return false; }
  bool IsSafePlugin(PXC_TFillLevel) const override { return true; }
  const ZQ_TList& Selection() const { return iSelection; }

  // Loads the three configuration values, once per process.
  static void LoadConfiguration();
  // Builds the entry `name` from a provider table (replacing an entry of that
  // name) and adds the name to the default selection.
  static void AddMagicEntry(const ZQ_TString& name, IMR_TMagicTable table);
  static void RegisterMagic(const ZQ_TString& name, IMR_TMagicProvider provider);
  // The provider registered for `name`, loading its module on demand;
  // PXC_EDynamicLoaderNoSuchCreator when none serves it.
  static IMR_TMagicProvider MagicByName(const ZQ_TString& name);
  static ZQ_TDict& MagicEntries();
  static ZQ_TDict& Selections();
  static ZQ_TString& ExtensionList();
  // IMR_EMagicDoubleSelectionEntry when `name` exists and `replace` is false.
  static void AddToSelections(const ZQ_TString& name, const ZQ_TList& items, bool replace);
  // Empty `name`: rebuilds the default selection; else appends `name` to it.
  static void UpdateDefaultSelection(const ZQ_TString& name);
  // The default selection tries `name` last.
  static void AddInTrustLessList(const ZQ_TString& name);
  // Guards loading the configuration and changing selections.
  static ZQ_TRWLock& MagicLock();

  struct Compiled;

 private:
  std::shared_ptr<const Compiled> CompiledSelection() const;
  // Makes pending at once the entries of `compiled` the table lacks whose
  // providers can be found: each is built the first time a walk reaches it.
  // The others are met one by one as the selection is walked.
  static void IndexMissingEntries(const Compiled& compiled);
  // The chains of a provider table.  A text the parser refuses ends the
  // table there; its failure is kept beside the chains built before it.
  static ZQ_TList BuildChains(IMR_TMagicTable table, std::exception_ptr& failure);
  void CopySelection(const ZQ_TString* name, const ZQ_TList* items);

  ZQ_TList iSelection;
  // The selection compiled against the current snapshot, under its mutex.
  mutable std::mutex iCompiledMutex;
  mutable std::shared_ptr<const Compiled> iCompiled;
};

// The default selection's name.
extern const char* const IMR_kDefaultSelection;

// Registers and initialises the magic plugin's and the match elements' classes.
bool IMR_RegisterMagicClasses();
