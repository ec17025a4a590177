// Platform-neutral parts of the OS file layer: the mount table, the pool of
// open files and the storage of file and search objects. The operations that
// touch the disk are defined by the platform backend.
#include "Core/cFxOsFileSystem.h"

#include <new>

#include "API/core/FxError.h"
#include "API/core/cFxMemoryManager.h"
#include "Core/platform/FxPlatform.h"

// ---- Pool of open files -------------------------------------------------------------

namespace {

struct alignas(16) sPoolEntry {
  uint8_t mBytes[kFxFilePool::cEntryBytes];
};

sPoolEntry gPoolEntries[kFxFilePool::cEntries];
bool gPoolInUse[kFxFilePool::cEntries];
void* gPoolMutex = nullptr;

// Holds the pool mutex for one scope; `mLocked` tells whether it was got.
class cPoolLock {
 public:
  cPoolLock()
      : mLocked(gPoolMutex != nullptr &&
                FxPlatformMutexLock(gPoolMutex, kFxFilePool::cLockTimeoutMs)) {
    if (!mLocked) FxSetErrorCode(kFxError::cFileOther);
  }
  ~cPoolLock() {
    if (mLocked) FxPlatformMutexUnlock(gPoolMutex);
  }
  cPoolLock(const cPoolLock&) = delete;
  cPoolLock& operator=(const cPoolLock&) = delete;
  bool mLocked;
};

}  // namespace

bool FxFilePoolStart() {
  for (bool& inUse : gPoolInUse) inUse = false;
  if (gPoolMutex == nullptr) gPoolMutex = FxPlatformMutexCreate();
  return gPoolMutex != nullptr;
}

void FxFilePoolStop() {
  if (gPoolMutex != nullptr) FxPlatformMutexClose(gPoolMutex);
  gPoolMutex = nullptr;
}

bool FxFilePoolContains(const void* address) {
  const uint8_t* byte = static_cast<const uint8_t*>(address);
  const uint8_t* first = gPoolEntries[0].mBytes;
  // Compared as integers: the address may belong to an unrelated object.
  uintptr_t offset = reinterpret_cast<uintptr_t>(byte) - reinterpret_cast<uintptr_t>(first);
  return reinterpret_cast<uintptr_t>(byte) >= reinterpret_cast<uintptr_t>(first) &&
         offset < sizeof(gPoolEntries) && offset % sizeof(sPoolEntry) == 0;
}

void* FxFilePoolTake() {
  cPoolLock lock;
  if (!lock.mLocked) return nullptr;
  for (uint32_t i = 0; i < kFxFilePool::cEntries; ++i) {
    if (!gPoolInUse[i]) {
      gPoolInUse[i] = true;
      return gPoolEntries[i].mBytes;
    }
  }
  FxSetErrorCode(kFxError::cFileTooMany);
  return nullptr;
}

void FxFilePoolGiveBack(void* entry) {
  if (!FxFilePoolContains(entry)) return;
  cPoolLock lock;
  // Without the lock the entry stays taken rather than risk handing it out
  // twice.
  if (!lock.mLocked) return;
  uintptr_t offset =
      reinterpret_cast<uintptr_t>(entry) - reinterpret_cast<uintptr_t>(gPoolEntries[0].mBytes);
  gPoolInUse[offset / sizeof(sPoolEntry)] = false;
}

uint32_t FxFilePoolInUse() {
  uint32_t count = 0;
  for (bool inUse : gPoolInUse) count += inUse ? 1 : 0;
  return count;
}

// ---- File and search objects ----------------------------------------------------------

cFxOsFile::~cFxOsFile() {
  if (mHandle != -1) cFxOsFile::Close();
}

void* cFxOsFile::operator new(size_t size) { return ::operator new(size); }

void* cFxOsFile::operator new(size_t size, const sFxFromFilePool&) noexcept {
  if (size > kFxFilePool::cEntryBytes) {
    FxSetErrorCode(kFxError::cFileOther);
    return nullptr;
  }
  return FxFilePoolTake();
}

void cFxOsFile::operator delete(void* object) {
  if (object == nullptr) return;
  if (FxFilePoolContains(object))
    FxFilePoolGiveBack(object);
  else
    ::operator delete(object);
}

void cFxOsFile::operator delete(void* object, const sFxFromFilePool&) noexcept {
  FxFilePoolGiveBack(object);
}

cFxOsSearch::~cFxOsSearch() {
  if (mHandle != nullptr) cFxOsSearch::Close();
}

void* cFxOsSearch::operator new(size_t size) noexcept {
  return cFxMemoryManager::GetMemoryManager().AllocBlock(static_cast<uint32_t>(size));
}

void cFxOsSearch::operator delete(void* object) {
  cFxMemoryManager::GetMemoryManager().Free(object);
}

// ---- The layer's neutral slots --------------------------------------------------------

cFxOsFileSystem::~cFxOsFileSystem() { FxUnmount(*this); }

bool cFxOsFileSystem::QueryInfo(const cFxString& path, sFxFileInfo& info) {
  return GetInfo(path, info);
}

bool cFxOsFileSystem::ApplyInfo(const cFxString& path, const sFxFileInfo& info) {
  return SetInfo(path, info);
}

// ---- Mount table ------------------------------------------------------------------------

namespace {
cFxOsFileSystem* gMountHead = nullptr;
}

bool FxMount(cFxOsFileSystem& fileSystem, const cFxString& name, uint32_t flags,
             const cFxString& options, uint32_t value) {
  if (name.IsEmpty() || name.FindChar(':') >= 0 || name.FindChar('/') >= 0 ||
      FxFindMount(name) != nullptr) {
    FxSetErrorCode(kFxError::cFileMount);
    return false;
  }
  FxUnmount(fileSystem);
  fileSystem.mMountName = name;
  fileSystem.mMountFlags = flags;
  fileSystem.mMountOptions = options;
  fileSystem.mMountValue = value;
  fileSystem.mNextMount = gMountHead;
  fileSystem.mMounted = true;
  gMountHead = &fileSystem;
  return true;
}

void FxUnmount(cFxOsFileSystem& fileSystem) {
  if (!fileSystem.mMounted) return;
  for (cFxOsFileSystem** link = &gMountHead; *link != nullptr; link = &(*link)->mNextMount) {
    if (*link == &fileSystem) {
      *link = fileSystem.mNextMount;
      break;
    }
  }
  fileSystem.mNextMount = nullptr;
  fileSystem.mMountName = cFxString();
  fileSystem.mMountOptions = cFxString();
  fileSystem.mMountFlags = 0;
  fileSystem.mMounted = false;
}

cFxOsFileSystem* FxFindMount(const cFxString& name) {
  for (cFxOsFileSystem* entry = gMountHead; entry != nullptr; entry = entry->mNextMount) {
    if (entry->mMountName == name) return entry;
  }
  return nullptr;
}
