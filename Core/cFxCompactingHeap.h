// A compacting heap of movable blocks over one caller-supplied arena.
//
// Memory is counted in 16-byte units. A block header is 8 bytes and sits
// 8 bytes below a 16-byte boundary, so data addresses are 16-byte aligned.
// Every word stored in the arena is 32 bits wide, also on 64-bit builds:
//
//   allocated block: word 0 = (requested bytes << 2) | (previous block free ? 2 : 0)
//                    word 1 = index of the block's handle cell in the cell pool
//                    data from byte 8
//   free block:      word 0 = (units << 2) | (previous block free ? 2 : 0) | 1
//                    word 1 = next block in its bucket, word 2 = previous one
//                    last word = size in units (boundary tag)
//
// Block positions (bucket links, handle cell contents, pinned addresses) are
// byte offsets from the heap's base address. Free blocks sit in 32 buckets by
// size in units (bucket 31: 31 units and more); each bucket is a circular
// list through a sentinel held in the heap object.
//
// A block is reached through its handle cell, which holds the offset of its
// data from the base. When no free block fits a request, the heap compacts:
// it slides live blocks down inside one window and rewrites their cells.
// With pinning on, blocks that the calling thread's stack points into stay
// where they are.
//
// Single-threaded: no locks.
#pragma once

#include "API/core/FxTypes.h"
#include "Core/cFxCellPool.h"

namespace kFxHeap {
constexpr uint32_t cGranularity = 16;
constexpr uint32_t cGranularityShift = 4;
constexpr uint32_t cBucketCount = 32;
constexpr uint32_t cMaxPinned = 128;
// Largest request: the header keeps the byte count shifted left by 2.
constexpr uint32_t cMaxRequest = 0x3FFFFFFFu;
// Bucket sentinels are named by offsets no arena reaches.
constexpr uint32_t cSentinelBase = 0xFFFFFFE0u;
}  // namespace kFxHeap

// Stack words found pointing into a pinning heap during one compaction, as
// offsets from the heap's base, sorted ascending.
struct sFxPinnedSet {
  uint32_t mCount;
  uint32_t mOffsets[kFxHeap::cMaxPinned];
};

class cFxCompactingHeap {
 public:
  cFxCompactingHeap();

  // Lays the heap over [begin, end). `base` is the address all stored
  // offsets count from; [begin, end) must lie within 0xFFFFFF00 bytes above
  // it. `reserve` withholds reserve * 129 / 16 units from allocation when
  // pinning is on (room for blocks that pinning keeps in place). Cells come
  // from `cells`; a pinning heap records stack words in `pinned`. The heap
  // does not own the arena, the pool or the pinned set.
  void Init(uint8_t* base, uint8_t* begin, uint8_t* end, int32_t reserve, bool pinning,
            cFxCellPool* cells, sFxPinnedSet* pinned);

  // Data address of a new block of `bytes` (its cell already holds the
  // data's offset), or null when the request exceeds the free units, no
  // cell is left, or compaction finds no room. `anchors` are raw pointers
  // the caller still needs after the call (e.g. source text inside this
  // heap): compaction adjusts any that point into a block it moves.
  void* Alloc(uint32_t bytes, const void** anchors = nullptr, uint32_t anchorCount = 0);
  // Returns a block and its handle cell. Null does nothing; the address must
  // be the data address of a live block of this heap.
  void Free(void* data);

  // Whether `data` lies in this heap's block range.
  bool Contains(const void* data) const {
    const uint8_t* p = static_cast<const uint8_t*>(data);
    return p >= mBase + mStart && p < mBase + mEnd;
  }
  // The handle cell of a live block of this heap.
  uint32_t* HandleOf(const void* data) const;
  // Current data address of the block whose handle cell is `cell`.
  uint8_t* AddressOf(const uint32_t* cell) const { return mBase + *cell; }

  // Diagnostics.
  uint32_t FreeUnits() const { return mFreeUnits; }
  uint32_t ReservedUnits() const { return mReservedUnits; }
  uint32_t TotalUnits() const { return (mEnd - mStart) >> kFxHeap::cGranularityShift; }
  uint32_t BucketCount(uint32_t bucket) const { return mCounts[bucket]; }
  uint8_t* StartAddress() const { return mBase + mStart; }
  uint8_t* EndAddress() const { return mBase + mEnd; }
  bool IsPinning() const { return mPinning != 0; }
  // Walks every block and bucket and answers whether headers, boundary
  // tags, previous-free bits, bucket lists, counts and free units agree.
  bool CheckConsistency() const;

 private:
  struct sSentinel {
    uint32_t mHeader;
    uint32_t mNext;
    uint32_t mPrev;
  };

  uint32_t& Word(uint32_t offset) const { return *reinterpret_cast<uint32_t*>(mBase + offset); }
  uint32_t& NextOf(uint32_t block);
  uint32_t& PrevOf(uint32_t block);
  static uint32_t BucketFor(uint32_t units) { return units < 31 ? units : 31; }
  uint32_t FreeSize(uint32_t block) const { return Word(block) >> 2; }
  uint32_t Extent(uint32_t block) const;  // units of any block
  bool IsFree(uint32_t block) const { return (Word(block) & 1) != 0; }

  void LinkFront(uint32_t block, uint32_t units);
  void Unlink(uint32_t block);
  void MakeFree(uint32_t block, uint32_t units, uint32_t prevFreeBit);
  void SetPrevFree(uint32_t block);
  uint32_t Insert(uint32_t block, uint32_t units, uint32_t prevFreeBit);
  uint32_t FindFree(uint32_t units);
  uint32_t Compact(uint32_t units, const void** anchors, uint32_t anchorCount);
  bool CollectPins();
  bool IsPinned(uint32_t block) const;

  // Field order follows the heap's record; the base, the cell pool and the
  // pinned set are what a port needs beyond it.
  uint32_t mStart;          // first block header
  uint32_t mEnd;            // end of the usable arena
  int32_t mReserve;         // reserve parameter
  uint32_t mPinning;        // 1: compaction keeps blocks the stack points into
  uint32_t mReservedUnits;  // withheld from allocation
  uint32_t mFreeUnits;      // what allocation may still take
  uint32_t mGranularity;
  uint32_t mGranularityShift;
  sSentinel mBuckets[kFxHeap::cBucketCount];
  uint32_t mCounts[kFxHeap::cBucketCount];
  uint8_t* mBase;
  cFxCellPool* mCells;
  sFxPinnedSet* mPinned;
};

// Records every pointer-sized word of the calling thread's stack, from the
// current stack position up to its base, whose value lies in [low, high], as
// an offset from `base`, sorted and without duplicates. False when the stack
// bounds are unknown or more than the set holds were found.
bool FxCollectStackPins(uintptr_t low, uintptr_t high, const uint8_t* base, sFxPinnedSet& set);
