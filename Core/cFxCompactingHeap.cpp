#include "Core/cFxCompactingHeap.h"

#include <cstdio>
#include <cstring>

#include "Core/cFxMemoryManager.h"
#include "Core/platform/FxPlatform.h"

using namespace kFxHeap;

namespace {

constexpr uint32_t cFreeBit = 1;
constexpr uint32_t cPrevFreeBit = 2;
constexpr uint32_t cNone = 0xFFFFFFFFu;

void Trace(const char* what, uint32_t bytes, uint32_t offset) {
  char line[96];
  // Offsets, not addresses: they are what the arena's own words hold.
  std::snprintf(line, sizeof line, "cFxCompactingHeap: %s %u bytes at %x\n", what, bytes, offset);
  FxPlatformDebugOutput(line);
}

}  // namespace

cFxCompactingHeap::cFxCompactingHeap()
    : mStart(0),
      mEnd(0),
      mReserve(0),
      mPinning(0),
      mReservedUnits(0),
      mFreeUnits(0),
      mGranularity(cGranularity),
      mGranularityShift(cGranularityShift),
      mBuckets(),
      mCounts(),
      mBase(nullptr),
      mCells(nullptr),
      mPinned(nullptr) {}

void cFxCompactingHeap::Init(uint8_t* base, uint8_t* begin, uint8_t* end, int32_t reserve,
                             bool pinning, cFxCellPool* cells, sFxPinnedSet* pinned) {
  mBase = base;
  mCells = cells;
  mPinned = pinned;
  // Headers sit 8 bytes below a 16-byte boundary so that data is aligned.
  // Only the low bits of the addresses matter for that, so the 32-bit
  // helpers give the distance to move on any build.
  uint32_t lowBegin = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(begin));
  uint32_t lowEnd = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(end));
  uint8_t* first = begin + (FxAlignUpWithOffset(lowBegin, mGranularity, 8) - lowBegin);
  uint8_t* last = end - (lowEnd - FxAlignDownWithOffset(lowEnd, mGranularity, 8));
  if (last < first) last = first;
  mStart = static_cast<uint32_t>(first - base);
  mEnd = static_cast<uint32_t>(last - base);

  for (uint32_t k = 0; k < cBucketCount; ++k) {
    uint32_t self = cSentinelBase + k;
    mBuckets[k] = sSentinel{0, self, self};
    mCounts[k] = 0;
  }

  uint32_t total = TotalUnits();
  mReserve = reserve;
  mPinning = pinning ? 1 : 0;
  mReservedUnits = pinning && reserve > 0 ? static_cast<uint32_t>(reserve) * 129 / mGranularity : 0;
  if (mReservedUnits > total) mReservedUnits = total;
  mFreeUnits = total - mReservedUnits;
  if (total > 0) MakeFree(mStart, total, 0);
}

uint32_t& cFxCompactingHeap::NextOf(uint32_t block) {
  if (block >= cSentinelBase) return mBuckets[block - cSentinelBase].mNext;
  return Word(block + 4);
}

uint32_t& cFxCompactingHeap::PrevOf(uint32_t block) {
  if (block >= cSentinelBase) return mBuckets[block - cSentinelBase].mPrev;
  return Word(block + 8);
}

uint32_t cFxCompactingHeap::Extent(uint32_t block) const {
  uint32_t w = Word(block);
  return (w & cFreeBit) ? w >> 2 : FxUnitsFor(w >> 2);
}

void cFxCompactingHeap::LinkFront(uint32_t block, uint32_t units) {
  uint32_t k = BucketFor(units);
  uint32_t sentinel = cSentinelBase + k;
  uint32_t first = mBuckets[k].mNext;
  NextOf(block) = first;
  PrevOf(block) = sentinel;
  PrevOf(first) = block;
  mBuckets[k].mNext = block;
  ++mCounts[k];
}

void cFxCompactingHeap::Unlink(uint32_t block) {
  uint32_t next = NextOf(block);
  uint32_t prev = PrevOf(block);
  NextOf(prev) = next;
  PrevOf(next) = prev;
  --mCounts[BucketFor(FreeSize(block))];
}

void cFxCompactingHeap::MakeFree(uint32_t block, uint32_t units, uint32_t prevFreeBit) {
  Word(block) = (units << 2) | prevFreeBit | cFreeBit;
  LinkFront(block, units);
  Word(block + (units << mGranularityShift) - 4) = units;
}

void cFxCompactingHeap::SetPrevFree(uint32_t block) {
  if (block < mEnd) Word(block) |= cPrevFreeBit;
}

// Merging happens only against buckets that already hold two or more blocks;
// a lone block of its size is left unmerged so it stays an exact fit.
uint32_t cFxCompactingHeap::Insert(uint32_t block, uint32_t units, uint32_t prevFreeBit) {
  uint32_t next = block + (units << mGranularityShift);
  bool hasNext = next < mEnd;

  if (mCounts[BucketFor(units)] >= 2) {
    if (prevFreeBit) {
      uint32_t prevUnits = Word(block - 4);
      uint32_t prev = block - (prevUnits << mGranularityShift);
      if (mCounts[BucketFor(prevUnits)] >= 2) {
        uint32_t prevFlag = Word(prev) & cPrevFreeBit;
        if (hasNext && IsFree(next) && mCounts[BucketFor(FreeSize(next))] < 2) {
          uint32_t nextUnits = FreeSize(next);
          Unlink(prev);
          Unlink(next);
          MakeFree(prev, prevUnits + units + nextUnits, prevFlag);
          return prev;
        }
        Unlink(prev);
        MakeFree(prev, prevUnits + units, prevFlag);
        SetPrevFree(next);
        return prev;
      }
    }
    if (hasNext && IsFree(next) && mCounts[BucketFor(FreeSize(next))] >= 2) {
      uint32_t nextUnits = FreeSize(next);
      Unlink(next);
      MakeFree(block, units + nextUnits, prevFreeBit);
      return block;
    }
  }
  MakeFree(block, units, prevFreeBit);
  SetPrevFree(next);
  return block;
}

uint32_t cFxCompactingHeap::FindFree(uint32_t units) {
  if (units <= 30) {
    for (uint32_t k = units; k <= 30; ++k)
      if (mCounts[k] != 0) return mBuckets[k].mNext;
  }
  uint32_t best = cNone;
  uint32_t bestUnits = 0;
  for (uint32_t b = mBuckets[31].mNext; b < cSentinelBase; b = NextOf(b)) {
    uint32_t size = FreeSize(b);
    if (size >= units && (best == cNone || size < bestUnits)) {
      best = b;
      bestUnits = size;
      if (size == units) break;
    }
  }
  return best;
}

void* cFxCompactingHeap::Alloc(uint32_t bytes, const void** anchors, uint32_t anchorCount) {
  if (bytes > cMaxRequest) return nullptr;
  uint32_t units = FxUnitsFor(bytes);
  if (units > mFreeUnits) return nullptr;
  // No cell, no block: checked first so a failed request changes nothing.
  if (mCells->IsEmpty()) return nullptr;

  uint32_t block = FindFree(units);
  if (block == cNone) {
    block = Compact(units, anchors, anchorCount);
    if (block == cNone) return nullptr;
  }

  mFreeUnits -= units;
  uint32_t have = FreeSize(block);
  uint32_t prevFlag = Word(block) & cPrevFreeBit;
  Unlink(block);
  uint32_t after = block + (units << mGranularityShift);
  if (have > units) Insert(after, have - units, 0);
  Word(block) = (bytes << 2) | prevFlag;
  if (after < mEnd) Word(after) &= ~cPrevFreeBit;

  uint32_t* cell = mCells->Take();
  *cell = block + 8;
  Word(block + 4) = mCells->IndexOf(cell);
  if (gFxHeapTrace) Trace("Allocated", bytes, block + 8);
  return mBase + block + 8;
}

void cFxCompactingHeap::Free(void* data) {
  if (!data) return;
  uint32_t block = static_cast<uint32_t>(static_cast<uint8_t*>(data) - mBase) - 8;
  uint32_t bytes = Word(block) >> 2;
  if (gFxHeapTrace) Trace("Freed", bytes, block + 8);
  mFreeUnits += FxUnitsFor(bytes);
  mCells->Return(mCells->CellAt(Word(block + 4)));
  Insert(block, FxUnitsFor(bytes), Word(block) & cPrevFreeBit);
}

uint32_t* cFxCompactingHeap::HandleOf(const void* data) const {
  const uint8_t* header = static_cast<const uint8_t*>(data) - 8;
  return mCells->CellAt(*reinterpret_cast<const uint32_t*>(header + 4));
}

bool cFxCompactingHeap::CollectPins() {
  return FxCollectStackPins(reinterpret_cast<uintptr_t>(mBase + mStart),
                            reinterpret_cast<uintptr_t>(mBase + mEnd), mBase, *mPinned);
}

bool cFxCompactingHeap::IsPinned(uint32_t block) const {
  uint32_t data = block + 8;
  uint32_t last = data + (Word(block) >> 2);
  // First pinned offset >= data, then whether it lies within the block.
  uint32_t lo = 0;
  uint32_t hi = mPinned->mCount;
  while (lo < hi) {
    uint32_t mid = (lo + hi) / 2;
    if (mPinned->mOffsets[mid] < data)
      lo = mid + 1;
    else
      hi = mid;
  }
  return lo < mPinned->mCount && mPinned->mOffsets[lo] <= last;
}

// Finds the first run of blocks, bounded by pinned blocks or the heap's ends,
// whose free units add up to the request, and slides its live blocks down so
// that the free units become one block at its end. Without pinning the run
// starts at the first free block and ends at the heap's end.
uint32_t cFxCompactingHeap::Compact(uint32_t units, const void** anchors, uint32_t anchorCount) {
  bool pinning = mPinning != 0;
  if (pinning && !CollectPins()) return cNone;

  uint32_t windowStart = cNone;
  uint32_t windowEnd = cNone;
  uint32_t total = 0;
  for (uint32_t b = mStart; b < mEnd; b += Extent(b) << mGranularityShift) {
    if (IsFree(b)) {
      if (windowStart == cNone) windowStart = b;
      total += FreeSize(b);
    } else if (pinning && IsPinned(b)) {
      if (windowStart != cNone && total >= units) {
        windowEnd = b;
        break;
      }
      windowStart = cNone;
      total = 0;
    }
  }
  if (windowEnd == cNone) {
    if (windowStart == cNone || total < units) return cNone;
    windowEnd = mEnd;
  }

  uint32_t dest = windowStart;
  uint32_t firstFlag = Word(windowStart) & cPrevFreeBit;
  bool moved = false;
  for (uint32_t cur = windowStart; cur < windowEnd;) {
    uint32_t w = Word(cur);
    if (w & cFreeBit) {
      Unlink(cur);
      cur += (w >> 2) << mGranularityShift;
      continue;
    }
    uint32_t extent = FxUnitsFor(w >> 2) << mGranularityShift;
    std::memmove(mBase + dest, mBase + cur, extent);
    Word(dest) = (w & ~cPrevFreeBit) | (moved ? 0 : firstFlag);
    *mCells->CellAt(Word(dest + 4)) = dest + 8;
    const uint8_t* from = mBase + cur;
    for (uint32_t i = 0; i < anchorCount; ++i) {
      const uint8_t* a = static_cast<const uint8_t*>(anchors[i]);
      if (a >= from && a < from + extent) anchors[i] = a - (cur - dest);
    }
    moved = true;
    dest += extent;
    cur += extent;
  }
  return Insert(dest, (windowEnd - dest) >> mGranularityShift, moved ? 0 : firstFlag);
}

bool cFxCompactingHeap::CheckConsistency() const {
  uint32_t counts[cBucketCount] = {};
  uint32_t freeUnits = 0;
  uint32_t usedUnits = 0;
  bool prevFree = false;
  uint32_t b = mStart;
  while (b < mEnd) {
    uint32_t w = Word(b);
    if (((w & cPrevFreeBit) != 0) != prevFree) return false;
    uint32_t extent = Extent(b);
    if (extent == 0 || b + (extent << mGranularityShift) > mEnd) return false;
    if (w & cFreeBit) {
      if (Word(b + (extent << mGranularityShift) - 4) != extent) return false;
      ++counts[BucketFor(extent)];
      freeUnits += extent;
    } else {
      if (*mCells->CellAt(Word(b + 4)) != b + 8) return false;
      usedUnits += extent;
    }
    prevFree = (w & cFreeBit) != 0;
    b += extent << mGranularityShift;
  }
  if (b != mEnd) return false;

  auto* self = const_cast<cFxCompactingHeap*>(this);
  for (uint32_t k = 0; k < cBucketCount; ++k) {
    if (counts[k] != mCounts[k]) return false;
    uint32_t seen = 0;
    uint32_t prev = cSentinelBase + k;
    for (uint32_t x = mBuckets[k].mNext; x != cSentinelBase + k; x = self->NextOf(x)) {
      if (x >= cSentinelBase || !IsFree(x) || BucketFor(FreeSize(x)) != k) return false;
      if (self->PrevOf(x) != prev || ++seen > counts[k]) return false;
      prev = x;
    }
    if (seen != counts[k] || mBuckets[k].mPrev != prev) return false;
  }
  return usedUnits + mFreeUnits + mReservedUnits == TotalUnits() && freeUnits + usedUnits == TotalUnits();
}
