// The two-ended stack heap with its housekeeping outside the arena.
#include "Core/cFxMemoryHeapOutBandStack.h"

namespace {

const char cSourceFile[] = "Core/cFxMemoryHeapOutBandStack";
constexpr uint32_t cUsedBit = 1;
constexpr uint32_t cSizeMask = ~3u;

uint32_t Rounded(int32_t size) { return (static_cast<uint32_t>(size) + 3) & cSizeMask; }

}  // namespace

cFxMemoryHeapOutBandStack::cFxMemoryHeapOutBandStack(const char* name)
    : cFxMemoryHeap(name, kFxMemoryHeap::cKindOutBandStack),
      mArena(nullptr),
      mSize(0),
      mBottom(0),
      mTop(0),
      mTable(nullptr),
      mCapacity(0),
      mLowCount(0),
      mTopCount(0) {}

void cFxMemoryHeapOutBandStack::Init(void* arena, uint32_t bytes, sFxOutBandEntry* table,
                                     uint32_t capacity) {
  mArena = static_cast<uint8_t*>(arena);
  mSize = bytes & cSizeMask;
  mBottom = 0;
  mTop = mSize;
  mTable = table;
  mCapacity = table ? capacity : 0;
  mLowCount = 0;
  mTopCount = 0;
  Start(mSize);
}

void cFxMemoryHeapOutBandStack::ReportOutOfMemory(int32_t size) {
  Report(cSourceFile, __LINE__, kFxError::cStackHeapAlloc,
         "Stack heap '%s' out of memory : cannot allocate %d bytes", mName, size);
  RunOutOfMemoryHandler(size);
}

void* cFxMemoryHeapOutBandStack::AllocFrom(int32_t size, bool fromTop) {
  if (!mInitialised || size < 1) return nullptr;
  const uint32_t rounded = Rounded(size);
  if (rounded > mTop - mBottom || mLowCount + mTopCount >= mCapacity) {
    ReportOutOfMemory(size);
    return nullptr;
  }
  sFxOutBandEntry* entry;
  if (fromTop) {
    mTop -= rounded;
    entry = &mTable[mCapacity - ++mTopCount];
    entry->mOffset = mTop;
  } else {
    entry = &mTable[mLowCount++];
    entry->mOffset = mBottom;
    mBottom += rounded;
  }
  entry->mSize = rounded | cUsedBit;
  CountAlloc(rounded);
  return mArena + entry->mOffset;
}

void* cFxMemoryHeapOutBandStack::AllocAligned(int32_t size, int32_t alignment) {
  if (!mInitialised || size < 1) return nullptr;
  uint32_t align = 4;
  while (align < static_cast<uint32_t>(alignment) && align < 0x40000000u) align <<= 1;
  const uintptr_t at = reinterpret_cast<uintptr_t>(mArena) + mBottom;
  const uint64_t aligned = mBottom + static_cast<uint64_t>((0 - at) & (align - 1));
  if (aligned > mTop) {
    Report(cSourceFile, __LINE__, kFxError::cStackHeapAlloc,
           "Failed to align to %d bytes in heap '%s' whilst creating housekeeping for out band "
           "stack '%s'",
           alignment, mName, mName);
    return nullptr;
  }
  const uint32_t before = mBottom;
  mBottom = static_cast<uint32_t>(aligned);
  void* data = AllocFrom(size, false);
  if (data == nullptr) mBottom = before;
  return data;
}

void cFxMemoryHeapOutBandStack::FreeFrom(void* ptr, int32_t, bool fromTop) {
  if (!mInitialised || ptr == nullptr) return;
  const uintptr_t p = reinterpret_cast<uintptr_t>(ptr);
  const uintptr_t base = reinterpret_cast<uintptr_t>(mArena);
  sFxOutBandEntry* entry = nullptr;
  if (p >= base && p < base + mSize) {
    const uint32_t offset = static_cast<uint32_t>(p - base);
    if (fromTop) {
      for (uint32_t i = mCapacity; i > mCapacity - mTopCount && entry == nullptr; --i) {
        if (mTable[i - 1].mOffset == offset) entry = &mTable[i - 1];
      }
    } else {
      for (uint32_t i = 0; i < mLowCount && entry == nullptr; ++i) {
        if (mTable[i].mOffset == offset) entry = &mTable[i];
      }
    }
  }
  if (entry == nullptr) {
    char address[2 * sizeof(uintptr_t) + 1];
    FxPointerText(ptr, address);
    Report(cSourceFile, __LINE__, kFxError::cStackHeapPointer,
           "Stack heap '%s' detected invalid pointer 0x%s passed to free()", mName, address);
    return;
  }
  if (!(entry->mSize & cUsedBit)) return;
  entry->mSize &= ~cUsedBit;
  CountFree(entry->mSize);
  // Each end moves back to the nearest block still in use there, giving back
  // alignment padding with the blocks above it.
  if (fromTop) {
    while (mTopCount > 0 && !(mTable[mCapacity - mTopCount].mSize & cUsedBit)) --mTopCount;
    mTop = mTopCount ? mTable[mCapacity - mTopCount].mOffset : mSize;
  } else {
    while (mLowCount > 0 && !(mTable[mLowCount - 1].mSize & cUsedBit)) --mLowCount;
    mBottom = mLowCount ? mTable[mLowCount - 1].mOffset + mTable[mLowCount - 1].mSize - cUsedBit : 0;
  }
}

void cFxMemoryHeapOutBandStack::WalkBlocks(tFxHeapBlockCallback callback, void* context) {
  if (!mInitialised || callback == nullptr) return;
  for (uint32_t i = 0; i < mLowCount; ++i) {
    if (mTable[i].mSize & cUsedBit) callback(mArena + mTable[i].mOffset, mTable[i].mSize & cSizeMask, context);
  }
  for (uint32_t i = mCapacity; i > mCapacity - mTopCount; --i) {
    const sFxOutBandEntry& entry = mTable[i - 1];
    if (entry.mSize & cUsedBit) callback(mArena + entry.mOffset, entry.mSize & cSizeMask, context);
  }
}
