// The process-wide memory manager: two compacting heaps over static arenas
// and a pool of handle cells. Holders outside the core see its blocks
// through API/core/FxMovableBlocks.h; this is the manager itself, for the
// core's own sources.
//
// The string heap never pins; the block heap keeps blocks that the calling
// thread's stack points into where they are. The arenas and the cell pool
// are one zero-initialised static region (FxMovableBlocks.h): the string
// heap's arena, the block heap's arena directly after it, then the cell
// pool. Untouched pages cost nothing.
//
// Single-threaded: no locks.
#pragma once

#include "API/core/FxMovableBlocks.h"
#include "API/core/FxTypes.h"
#include "Core/cFxCompactingHeap.h"

namespace kFxMemory {
constexpr int32_t cBlockHeapReserve = 256;  // block heap: pinning on
constexpr int32_t cStringHeapReserve = -1;  // string heap: pinning off
}  // namespace kFxMemory

// Units a request of `bytes` occupies: header (8) plus data, in 16-byte units.
constexpr uint32_t FxUnitsFor(uint32_t bytes) { return (bytes + 23) >> 4; }

// Alignment helpers over 32-bit values.
// ((value + alignment + offset - 1) & -alignment) - offset: the smallest
// result >= value whose sum with `offset` is a multiple of `alignment`.
uint32_t FxAlignUpWithOffset(uint32_t value, uint32_t alignment, uint32_t offset);
// ((value - alignment + offset + 1) & -alignment) - offset.
uint32_t FxAlignDownWithOffset(uint32_t value, uint32_t alignment, uint32_t offset);

// When true, every allocation and free is written to the debugger output
// ("cFxCompactingHeap: Allocated %d bytes at %x", the address given as the
// data's offset from FxArenaBase()). Off unless a build turns it on.
extern bool gFxHeapTrace;

class cFxMemoryManager;
// The manager once built; null before the first use.
extern cFxMemoryManager* gFxMemoryManager;

class cFxMemoryManager {
 public:
  // The process-wide manager, constructed on first use and never destroyed.
  static cFxMemoryManager& GetMemoryManager() {
    return gFxMemoryManager ? *gFxMemoryManager : Build();
  }

  // Data address of a new block of `bytes`, or null when the heap cannot
  // supply it: the request exceeds the heap's free units, the cell pool is
  // exhausted, or compaction finds no room. A compaction of the block heap
  // also gives up (null) when the thread's stack bounds are unknown or more
  // than 128 distinct stack words point into the heap, since it could not
  // then keep every block the stack points into in place.
  void* AllocBlock(uint32_t bytes);
  void* AllocString(uint32_t bytes);
  // The same with raw pointers the caller still needs afterwards: when the
  // allocation compacts the heap, pointers into moved blocks are adjusted.
  void* AllocString(uint32_t bytes, const void** anchors, uint32_t anchorCount);

  // Returns a block to whichever heap holds it (block heap asked first).
  // Null and addresses outside both heaps are ignored.
  void Free(void* data);

  // The handle cell of a block; for null, one fixed static cell.
  sFxHandleCell* HandleOf(const void* data);

  // The pool of handle cells: cells are handed out from the last one down.
  // TakeCell answers null when the pool is exhausted.
  sFxHandleCell* TakeCell() { return mCells.Take(); }
  void ReturnCell(sFxHandleCell* cell) { mCells.Return(cell); }

  cFxCompactingHeap& BlockHeap() { return mBlockHeap; }
  cFxCompactingHeap& StringHeap() { return mStringHeap; }

 private:
  cFxMemoryManager();
  static cFxMemoryManager& Build();

  [[maybe_unused]] uint32_t mReserved;  // not read
  cFxCellPool mCells;       // base, count, free list
  sFxPinnedSet mPinned;     // stack words of one pinned compaction
  uint8_t* mBlockArenaBase;
  uint32_t mBlockArenaSize;
  uint8_t* mStringArenaBase;
  uint32_t mStringArenaSize;
  cFxCompactingHeap mBlockHeap;
  cFxCompactingHeap mStringHeap;
};
