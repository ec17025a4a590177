// The singleton manager: an ordered list of entries, creation on first
// request, and destruction of owned instances at shutdown.
#include "publiclibraries/cSingletonManager.h"

#include <cstdlib>
#include <new>

#include "API/core/FxAssert.h"

namespace {

alignas(cSingletonManager) unsigned char gManagerStorage[sizeof(cSingletonManager)];
bool gManagerAlive = false;

void DestroyManager() {
  if (!gManagerAlive) return;
  gManagerAlive = false;
  reinterpret_cast<cSingletonManager*>(gManagerStorage)->~cSingletonManager();
}

bool ByOrder(const sSingletonEntry* a, const sSingletonEntry* b) { return a->mOrder < b->mOrder; }

}  // namespace

cSingletonManager* cSingletonManager::CreateInstance() {
  if (!gManagerAlive) {
    new (gManagerStorage) cSingletonManager();
    gManagerAlive = true;
    atexit(DestroyManager);
  }
  return reinterpret_cast<cSingletonManager*>(gManagerStorage);
}

void cSingletonManager::Register(const cGUID& id, tSingletonCreator creator,
                                 iInterfaceProvider* instance, uint32_t order, bool owned) {
  FX_TRACE("Registering Singleton " << id << ":" << order);
  FX_ASSERT(creator || instance, "Can't register a singleton without either an instance or a creation routine");
  sSingletonEntry* entry = new (std::nothrow) sSingletonEntry{id, creator, instance, order, owned ? uint8_t{1} : uint8_t{0}};
  FX_VERIFY(entry != 0, "Couldn't create cSingletonManager entry for singleton");
  if (entry != nullptr) AddEntry(entry);
}

void cSingletonManager::AddEntry(sSingletonEntry* entry) {
  FX_ASSERT(entry != 0, "Can't add a null entry");
  if (entry == nullptr) return;
  mEntries.push_back(entry);
  // A stable merge sort: equal orders keep their registration order.
  mEntries.sort(ByOrder);
}

void cSingletonManager::RemoveEntry(sSingletonEntry* entry) {
  FX_ASSERT(entry != 0, "Can't remove a null entry");
  if (entry == nullptr) return;
  for (auto it = mEntries.begin(); it != mEntries.end(); ++it) {
    if (*it != entry) continue;
    if (entry->mOwned && entry->mInstance != nullptr) delete entry->mInstance;
    delete entry;
    mEntries.erase(it);
    return;
  }
}

iInterfaceProvider* cSingletonManager::GetInstance(const cGUID& id) {
  for (sSingletonEntry* entry : mEntries) {
    if (!(entry->mId == id)) continue;
    if (entry->mInstance == nullptr && entry->mCreator != nullptr) entry->mInstance = entry->mCreator();
    return entry->mInstance;
  }
  return nullptr;
}

cSingletonManager::~cSingletonManager() {
  for (sSingletonEntry* entry : mEntries) {
    if (!entry->mOwned) continue;
    FX_TRACE("Deleting Singleton " << entry->mId << ":" << entry->mOrder);
    delete entry->mInstance;
    entry->mInstance = nullptr;
  }
  while (!mEntries.empty()) RemoveEntry(mEntries.front());
}
