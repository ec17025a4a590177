// A two-ended stack heap that keeps no words in its arena: every block is
// recorded in a housekeeping table of (offset, size | 1) pairs, low-end
// blocks from the table's front, top-end blocks from its back. Offsets are
// 32-bit, counted from the arena's start, also on 64-bit builds.
//
// Freeing clears the entry's used bit and pops free entries at that end;
// the end then moves back to the nearest block still in use. Reallocation
// is not supported (null).
#pragma once

#include "API/core/cFxMemoryHeap.h"

struct sFxOutBandEntry {
  uint32_t mOffset;  // data, from the arena's start
  uint32_t mSize;    // size | 1 while allocated
};

class cFxMemoryHeapOutBandStack final : public cFxMemoryHeap {
 public:
  explicit cFxMemoryHeapOutBandStack(const char* name = "");

  // Lays the heap over [arena, arena + bytes) with a housekeeping table of
  // `capacity` entries. Neither is owned; both must outlive the heap's use.
  void Init(void* arena, uint32_t bytes, sFxOutBandEntry* table, uint32_t capacity);

  void* Alloc(int32_t size) override { return AllocFrom(size, false); }
  void Free(void* ptr, int32_t size) override { FreeFrom(ptr, size, false); }
  void* Realloc(void*, int32_t, int32_t) override { return nullptr; }
  // Moves the low end up to `alignment`, then allocates there.
  void* AllocAligned(int32_t size, int32_t alignment) override;
  void FreeAligned(void* ptr, int32_t size) override { FreeFrom(ptr, size, false); }
  void* ReallocAligned(void*, int32_t, int32_t, int32_t) override { return nullptr; }
  bool IsValid() override { return mInitialised != 0; }
  // Low-end entries from the front, then top-end entries from the back.
  void WalkBlocks(tFxHeapBlockCallback callback, void* context) override;
  bool Owns(const void*, int32_t) override { return false; }
  void* AllocFrom(int32_t size, bool fromTop) override;
  // A pointer with no entry at that end is reported as invalid.
  void FreeFrom(void* ptr, int32_t size, bool fromTop) override;

  uint32_t GetFreeSpace() const { return mTop - mBottom; }
  uint32_t GetEntryCount() const { return mLowCount + mTopCount; }

 private:
  void ReportOutOfMemory(int32_t size);

  uint8_t* mArena;
  uint32_t mSize;
  uint32_t mBottom;
  uint32_t mTop;
  sFxOutBandEntry* mTable;
  uint32_t mCapacity;
  uint32_t mLowCount;  // entries [0, mLowCount)
  uint32_t mTopCount;  // entries [mCapacity - mTopCount, mCapacity), the newest first
};
