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
// Single-threaded: no locks.
#pragma once

#include "API/core/FxTypes.h"

// A handle cell holds the 32-bit offset of its block's data from the base of
// the arena region. The handle that holders keep is the cell's address.
typedef uint32_t sFxHandleCell;

namespace kFxMemory {
constexpr uint32_t cArenaBytes = 0x0EB50000;     // each heap's arena
constexpr uint32_t cCellCount = 0x01608000;      // handle cells in the pool
constexpr uint32_t cGranularity = 16;            // bytes per unit
constexpr uint32_t cGranularityShift = 4;
constexpr uint32_t cBucketCount = 32;
constexpr uint32_t cMaxPinned = 128;
}  // namespace kFxMemory

// Base address of the arena region (string heap's arena, then the block
// heap's). Offsets stored in handle cells are relative to it.
uint8_t* FxArenaBase();

// Data address of the block whose handle cell is `cell`; null for null.
inline uint8_t* FxHandleAddress(const sFxHandleCell* cell) {
  return cell ? FxArenaBase() + *cell : nullptr;
}

// Units a request of `bytes` occupies: header (8) plus data, in 16-byte units.
inline uint32_t FxUnitsFor(uint32_t bytes) { return (bytes + 23) >> 4; }

// Alignment helpers over 32-bit values.
uint32_t FxAlignUpWithOffset(uint32_t value, uint32_t alignment, uint32_t offset);
uint32_t FxAlignDownWithOffset(uint32_t value, uint32_t alignment, uint32_t offset);
int32_t FxRoundUp(int32_t value, int32_t alignment);

// When true, every allocation and free is written to the debugger output.
// Off unless a build turns it on.
extern bool gFxHeapTrace;

class cFxCompactingHeap;

class cFxMemoryManager {
 public:
  // The process-wide manager, constructed on first use and never destroyed.
  static cFxMemoryManager& GetMemoryManager();

  // Data address of a new block of `bytes`, or null when the heap cannot
  // supply it (after trying to compact).
  void* AllocBlock(uint32_t bytes);
  void* AllocString(uint32_t bytes);
  // The same, answering the block's handle instead of its address.
  sFxHandleCell* AllocBlockHandle(uint32_t bytes);
  sFxHandleCell* AllocStringHandle(uint32_t bytes);

  // Returns a block to whichever heap holds it (block heap asked first).
  // Null and addresses outside both heaps are ignored.
  void Free(void* data);
  void FreeHandle(sFxHandleCell* handle);

  // The handle cell of a block; for null, one fixed static cell.
  sFxHandleCell* HandleOf(const void* data);
  // The requested byte count recorded for a block (not the rounded extent).
  static uint32_t SizeOf(const void* data);

  // The pool of handle cells: cells are handed out from the last one down.
  sFxHandleCell* TakeCell();
  void ReturnCell(sFxHandleCell* cell);

  cFxCompactingHeap& BlockHeap();
  cFxCompactingHeap& StringHeap();

 private:
  cFxMemoryManager();
  // (fields as the implementation needs them)
};
