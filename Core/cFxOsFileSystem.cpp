// Platform-neutral parts of the OS file layer: the mount table, the pool of
// open files, the storage of file and search objects, directory searches
// over the platform's one lister, and the rules every backend shares. The
// operations that touch the disk are defined by the platform backend.
#include "Core/cFxOsFileSystem.h"

#include <climits>
#include <new>
#include <string>

#include "API/core/FxError.h"
#include "Core/cFxMemoryManager.h"
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
  // Every start begins with an empty pool; a mutex made by an earlier start
  // is kept rather than leaked.
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

static_assert(sizeof(cFxOsFile) <= kFxFilePool::cEntryBytes, "a file object must fit a pool entry");

namespace {

// The file whose overlapped read is pending; one in the whole process.
const cFxOsFile* gPendingRead = nullptr;

// A negative count or a missing buffer never reaches the system.
bool IsTransferValid(const void* buffer, int count) {
  if (count >= 0 && (buffer != nullptr || count == 0)) return true;
  FxSetErrorCode(kFxError::cFileOther);
  return false;
}

bool HasPendingRead(const cFxOsFile* file) {
  if (gPendingRead == file) return true;
  FxSetErrorCode(kFxError::cFileReadPending);
  return false;
}

}  // namespace

sFxOpenRequest FxDecodeOpenMode(int mode, int attributes) {
  sFxOpenRequest request;
  request.mRead = (mode & kFxFileMode::cRead) != 0;
  request.mWrite = (mode & kFxFileMode::cWrite) != 0;
  if (mode & kFxFileMode::cCreate) {
    if (mode & kFxFileMode::cOnlyNew)
      request.mDisposition = (mode & kFxFileMode::cClearFirst) ? eFxClearAndCreateNew : eFxCreateNew;
    else if (mode & kFxFileMode::cReplace)
      request.mDisposition = eFxCreateAlways;
    else
      request.mDisposition = eFxOpenAlways;
  } else {
    request.mDisposition = (mode & kFxFileMode::cReplace) ? eFxTruncateExisting : eFxOpenExisting;
  }
  request.mReadOnlyFile = (attributes & kFxFileAttribute::cReadOnly) != 0;
  request.mOverlapped = (mode & kFxFileMode::cOverlapped) != 0;
  return request;
}

cFxOsFile::~cFxOsFile() {
  if (mHandle != -1) cFxOsFile::Close();
}

bool cFxOsFile::Close() {
  if (gPendingRead == this) {
    CancelReadNative();
    gPendingRead = nullptr;
  }
  if (mHandle == -1) return true;
  // Given up even when closing reports an error, so it is never closed twice.
  const intptr_t handle = mHandle;
  mHandle = -1;
  return CloseNative(handle);
}

int cFxOsFile::Read(void* buffer, int count) {
  return IsTransferValid(buffer, count) ? ReadNative(buffer, count) : -1;
}

int cFxOsFile::Write(const void* buffer, int count) {
  return IsTransferValid(buffer, count) ? WriteNative(buffer, count) : -1;
}

bool cFxOsFile::ReadAsync(uint32_t offset, void* buffer, int count) {
  if (gPendingRead != nullptr) {
    FxSetErrorCode(kFxError::cFileReadPending);
    return false;
  }
  if (!IsTransferValid(buffer, count)) return false;
  gPendingRead = this;
  if (StartReadNative(offset, buffer, count)) return true;
  // Nothing is pending after a read that could not start.
  gPendingRead = nullptr;
  return false;
}

bool cFxOsFile::IsReadDone() { return HasPendingRead(this) && IsReadFinishedNative(); }

bool cFxOsFile::WaitRead() {
  if (!HasPendingRead(this)) return false;
  gPendingRead = nullptr;
  return WaitReadNative();
}

bool cFxOsFile::Tell(int& position) { return Move(0, eFromCurrent, &position); }
bool cFxOsFile::Seek(int position) { return Move(position, eFromStart, nullptr); }
bool cFxOsFile::SeekRelative(int delta) { return Move(delta, eFromCurrent, nullptr); }
bool cFxOsFile::SeekFromEnd(int delta) { return Move(delta, eFromEnd, nullptr); }

bool cFxOsFile::Move(int distance, eOrigin origin, int* position) {
  int64_t reached = 0;
  if (!MoveNative(distance, origin, reached)) return false;
  // Positions are 32-bit signed: a file position beyond them is refused
  // rather than cut.
  if (reached > INT_MAX) {
    FxSetErrorCode(kFxError::cFileOther);
    return false;
  }
  if (position != nullptr) *position = static_cast<int>(reached);
  return true;
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


void* cFxOsSearch::operator new(size_t size) noexcept {
  return cFxMemoryManager::GetMemoryManager().AllocBlock(static_cast<uint32_t>(size));
}

void cFxOsSearch::operator delete(void* object) {
  cFxMemoryManager::GetMemoryManager().Free(object);
}

// ---- Directory searches ----------------------------------------------------------------
// A face over the platform's lister: the layer's pattern is a path whose
// last part holds the wildcards, and every match is described as the
// layer's file information.

namespace {

// What a search object's handle points to.
struct sSearchState {
  cFxDirSearch* mListing = nullptr;
  sFxDirEntry mEntry;
  bool mEntryUnseen = true;  // mEntry came with the start and is not looked at yet
};

}  // namespace

cFxOsSearch::~cFxOsSearch() {
  if (mHandle != nullptr) cFxOsSearch::Close();
}

bool cFxOsSearch::Close() {
  sSearchState* state = static_cast<sSearchState*>(mHandle);
  if (state == nullptr) return true;
  mHandle = nullptr;
  const cFxOsResult closed = FxPlatformFindClose(state->mListing);
  delete state;
  if (closed.IsOk()) return true;
  closed.Record();
  return false;
}

bool cFxOsSearch::FindNext(sFxFileInfo& info) {
  sSearchState* state = static_cast<sSearchState*>(mHandle);
  if (state == nullptr) {
    FxSetErrorCode(kFxError::cFileOther);
    return false;
  }
  for (;;) {
    if (!state->mEntryUnseen) {
      const cFxOsResult next = FxPlatformFindNext(state->mListing, state->mEntry);
      if (!next.IsOk()) {
        next.Record();
        return false;
      }
    }
    state->mEntryUnseen = false;
    uint64_t size = 0;
    bool readOnly = false;
    // An entry removed since the listing saw it is skipped.
    if (!FxPlatformDescribeEntry(state->mListing, state->mEntry, size, readOnly).IsOk()) continue;
    info.mSize = static_cast<uint32_t>(size);
    info.mFlags = (readOnly ? kFxFileInfo::cReadOnly : 0) |
                  (state->mEntry.mKind == eFxEntryDirectory ? kFxFileInfo::cDirectory : 0);
    return true;
  }
}

cFxOsSearch* cFxOsFileSystem::FindFirst(const cFxString& pattern, sFxFileInfo& info) {
  const cFxString nativePattern = GetNativePath(pattern);
  const std::u16string native =
      FxPlatformNativePathUnits(nativePattern.c_str(), nativePattern.Length());
  // The directory keeps its separator, so a root stays one.
  const size_t separator = native.rfind(cFxNativeSeparator);
  const std::u16string directory =
      separator == std::u16string::npos ? std::u16string(u".") + cFxNativeSeparator : native.substr(0, separator + 1);
  const std::u16string names = separator == std::u16string::npos ? native : native.substr(separator + 1);

  sSearchState* state = new sSearchState;
  const cFxOsResult first = FxPlatformFindFirst(directory.c_str(), names.c_str(), state->mListing, state->mEntry);
  if (!first.IsOk()) {
    first.Record();
    delete state;
    return nullptr;
  }
  cFxOsSearch* search = new cFxOsSearch(state);
  if (search == nullptr) {
    FxPlatformFindClose(state->mListing);
    delete state;
    FxSetErrorCode(kFxError::cFileOther);
    return nullptr;
  }
  if (search->FindNext(info)) return search;
  delete search;
  // Every match went before it could be described.
  if (FxGetErrorCode() == kFxError::cFileNoMore) FxSetErrorCode(kFxError::cFileNotFound);
  return nullptr;
}

// ---- The layer's neutral slots --------------------------------------------------------

cFxOsFileSystem::~cFxOsFileSystem() { FxUnmount(*this); }

cFxOsFile* cFxOsFileSystem::Open(const cFxString& path, int mode, int attributes) {
  const intptr_t handle = OpenNative(GetNativePath(path), FxDecodeOpenMode(mode, attributes));
  if (handle == -1) return nullptr;
  cFxOsFile* file = new (kFxFromFilePool) cFxOsFile(handle);
  if (file == nullptr) {
    // The handle may not outlive the failed open; the pool's code stays.
    const uint32_t why = FxGetErrorCode();
    cFxOsFile(handle).Close();
    FxSetErrorCode(why);
    return nullptr;
  }
  if ((mode & kFxFileMode::cAppend) && !file->SeekFromEnd(0)) {
    delete file;
    return nullptr;
  }
  return file;
}

bool cFxOsFileSystem::CreateDirectory(const cFxString& path, const sFxFileInfo& info) {
  if (!MakeDirectoryNative(GetNativePath(path))) return false;
  if (ApplyInfo(path, info)) return true;
  // The directory goes again, but the caller learns why applying failed.
  const uint32_t why = FxGetErrorCode();
  RemoveDirectory(path);
  FxSetErrorCode(why);
  return false;
}

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
