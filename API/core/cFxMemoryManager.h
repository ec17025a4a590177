// The process-wide memory manager: two compacting heaps over static arenas
// and a pool of handle cells.
//
// Blocks are movable. A holder keeps the block's handle (the address of its
// handle cell) and re-reads the data address through it after anything that
// may allocate from the same heap, because allocation may compact the heap
// and slide live blocks down. The string heap never pins; the block heap
// keeps blocks that the calling thread's stack points into where they are.
//
// Everything stored inside the arenas is 32 bits wide, also on 64-bit
// builds: a handle cell holds the offset of its block's data from the start
// of the arena region, a block header holds the index of its handle cell.
// Sizes, unit counts and recorded sizes are thus the same on every build.
//
// The arenas and the cell pool are one zero-initialised static region:
// the string heap's arena, the block heap's arena directly after it, then
// the cell pool. Untouched pages cost nothing.
//
// Single-threaded: no locks.
#pragma once

#include "API/core/FxTypes.h"
#include "Core/cFxCompactingHeap.h"

// A handle cell holds the 32-bit offset of its block's data from the base of
// the arena region. The handle that holders keep is the cell's address.
typedef uint32_t sFxHandleCell;

namespace kFxMemory {
constexpr uint32_t cArenaBytes = 0x0EB50000;     // each heap's arena
constexpr uint32_t cCellCount = 0x01608000;      // handle cells in the pool
constexpr int32_t cBlockHeapReserve = 256;       // block heap: pinning on
constexpr int32_t cStringHeapReserve = -1;       // string heap: pinning off
constexpr size_t cRegionBytes =
    2 * static_cast<size_t>(cArenaBytes) + static_cast<size_t>(cCellCount) * sizeof(uint32_t);
}  // namespace kFxMemory

// The static region: string heap arena, block heap arena, cell pool.
extern uint8_t gFxArenaRegion[];

// Base address of the arena region (string heap's arena, then the block
// heap's). Offsets stored in handle cells are relative to it.
inline uint8_t* FxArenaBase() { return gFxArenaRegion; }

// The first cell of the process-wide cell pool.
inline sFxHandleCell* FxCellPoolBase() {
  return reinterpret_cast<sFxHandleCell*>(gFxArenaRegion + 2 * static_cast<size_t>(kFxMemory::cArenaBytes));
}

// Data address of the block whose handle cell is `cell`; null for null and
// for a cell holding 0 (the cell HandleOf answers for null: no block's data
// starts at the region's base).
inline uint8_t* FxHandleAddress(const sFxHandleCell* cell) {
  return cell && *cell ? FxArenaBase() + *cell : nullptr;
}

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
  // The same, answering the block's handle instead of its address (null
  // when the heap cannot supply the block).
  sFxHandleCell* AllocBlockHandle(uint32_t bytes);
  sFxHandleCell* AllocStringHandle(uint32_t bytes);

  // Returns a block to whichever heap holds it (block heap asked first).
  // Null and addresses outside both heaps are ignored.
  void Free(void* data);
  void FreeHandle(sFxHandleCell* handle);

  // The handle cell of a block; for null, one fixed static cell.
  sFxHandleCell* HandleOf(const void* data);
  // The requested byte count recorded for a block (not the rounded extent).
  static uint32_t SizeOf(const void* data) { return cFxCompactingHeap::SizeOf(data); }

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
