#include "Core/cFxMemoryManager.h"

#include <cstring>
#include <new>

// The whole static region: zero-filled at load, so untouched pages of the
// arenas and of the cell pool never become resident.
alignas(4096) uint8_t gFxArenaRegion[kFxMemory::cRegionBytes];

bool gFxHeapTrace = false;
cFxMemoryManager* gFxMemoryManager = nullptr;

namespace {

alignas(cFxMemoryManager) uint8_t gManagerStorage[sizeof(cFxMemoryManager)];

// What HandleOf answers for null: a cell holding 0, which no block's data
// offset equals, so reading an address through it gives null again.
sFxHandleCell gNullCell = 0;

}  // namespace

uint32_t FxAlignUpWithOffset(uint32_t value, uint32_t alignment, uint32_t offset) {
  return ((value + alignment + offset - 1) & (0u - alignment)) - offset;
}

uint32_t FxAlignDownWithOffset(uint32_t value, uint32_t alignment, uint32_t offset) {
  return ((value - alignment + offset + 1) & (0u - alignment)) - offset;
}

cFxMemoryManager& cFxMemoryManager::Build() {
  std::memset(gManagerStorage, 0, sizeof gManagerStorage);
  gFxMemoryManager = new (gManagerStorage) cFxMemoryManager();
  return *gFxMemoryManager;
}

cFxMemoryManager::cFxMemoryManager() : mReserved(0), mPinned() {
  mStringArenaBase = gFxArenaRegion;
  mStringArenaSize = kFxMemory::cArenaBytes;
  mBlockArenaBase = gFxArenaRegion + kFxMemory::cArenaBytes;
  mBlockArenaSize = kFxMemory::cArenaBytes;
  mCells.Init(FxCellPoolBase(), kFxMemory::cCellCount);
  mBlockHeap.Init(FxArenaBase(), mBlockArenaBase, mBlockArenaBase + mBlockArenaSize,
                  kFxMemory::cBlockHeapReserve, true, &mCells, &mPinned);
  mStringHeap.Init(FxArenaBase(), mStringArenaBase, mStringArenaBase + mStringArenaSize,
                   kFxMemory::cStringHeapReserve, false, &mCells, &mPinned);
}

void* cFxMemoryManager::AllocBlock(uint32_t bytes) { return mBlockHeap.Alloc(bytes); }

void* cFxMemoryManager::AllocString(uint32_t bytes) { return mStringHeap.Alloc(bytes); }

void* cFxMemoryManager::AllocString(uint32_t bytes, const void** anchors, uint32_t anchorCount) {
  return mStringHeap.Alloc(bytes, anchors, anchorCount);
}


void cFxMemoryManager::Free(void* data) {
  if (!data) return;
  if (mBlockHeap.Contains(data))
    mBlockHeap.Free(data);
  else if (mStringHeap.Contains(data))
    mStringHeap.Free(data);
}


sFxHandleCell* cFxMemoryManager::HandleOf(const void* data) {
  if (!data) return &gNullCell;
  return mCells.CellAt(reinterpret_cast<const uint32_t*>(static_cast<const uint8_t*>(data) - 8)[1]);
}

sFxHandleCell* FxAllocBlockHandle(uint32_t bytes) {
  cFxCompactingHeap& heap = cFxMemoryManager::GetMemoryManager().BlockHeap();
  void* data = heap.Alloc(bytes);
  return data ? heap.HandleOf(data) : nullptr;
}

sFxHandleCell* FxAllocStringHandle(uint32_t bytes) {
  cFxCompactingHeap& heap = cFxMemoryManager::GetMemoryManager().StringHeap();
  void* data = heap.Alloc(bytes);
  return data ? heap.HandleOf(data) : nullptr;
}

void FxFreeHandle(sFxHandleCell* handle) { cFxMemoryManager::GetMemoryManager().Free(FxHandleAddress(handle)); }
