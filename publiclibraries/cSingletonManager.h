// The registry of process-wide services, found by interface identifier.
//
// A service registers an instance, a creation routine, or both, under its
// identifier with an order. Entries are kept sorted by order, ascending;
// equal orders keep their registration order. GetInstance answers the
// first entry with an equal identifier, calling its creation routine on the
// first request when it has no instance yet. At shutdown (the manager's
// destruction) the owned instances are destroyed in list order, then every
// entry is removed.
//
// Registration and removal are traced on the log filter "Singleton"; misuse
// (null entries, a registration with neither instance nor creator) is
// reported as an assertion and otherwise ignored.
//
// The process-wide manager is tSingletonManager::Instance(). Single-threaded.
#pragma once

#include <list>

#include "API/core/cGUID.h"
#include "publiclibraries/iInterface.h"
#include "publiclibraries/tSingletonHolder.h"

typedef iInterfaceProvider* (*tSingletonCreator)();

struct sSingletonEntry {
  cGUID mId;
  tSingletonCreator mCreator;    // may be null
  iInterfaceProvider* mInstance;  // may be null until the first request
  uint32_t mOrder;
  uint8_t mOwned;  // the manager destroys the instance at shutdown
};

class cSingletonManager {
 public:
  cSingletonManager() = default;
  ~cSingletonManager();
  cSingletonManager(const cSingletonManager&) = delete;
  cSingletonManager& operator=(const cSingletonManager&) = delete;

  void Register(const cGUID& id, tSingletonCreator creator, iInterfaceProvider* instance,
                uint32_t order, bool owned);
  // Takes over an entry made with new and sorts it into the list.
  void AddEntry(sSingletonEntry* entry);
  // Destroys the entry's instance when owned, frees the entry and unlinks
  // it. An entry not in the list is left alone.
  void RemoveEntry(sSingletonEntry* entry);
  // The instance registered under `id`, created on the first request; null
  // when nothing is registered under it.
  iInterfaceProvider* GetInstance(const cGUID& id);

  const std::list<sSingletonEntry*>& GetEntries() const { return mEntries; }

  // The process-wide manager in static storage, for the singleton holder.
  static cSingletonManager* CreateInstance();

 private:
  std::list<sSingletonEntry*> mEntries;
};

typedef tSingletonHolder<cSingletonManager, CreateUsingStaticMemberFunction, DefaultLifetime>
    tSingletonManager;
