// Movable blocks of the core's memory manager, as their holders see them.
//
// The core takes its memory from two compacting heaps over one static
// region: the string heap, which every core string lives in, and the block
// heap. A block may move whenever its heap allocates, so a holder keeps the
// block's handle (the address of its handle cell) and reads the data's
// address through it each time, never across anything that may allocate
// from the same heap.
//
// Everything stored inside the region is 32 bits wide, also on 64-bit
// builds: a handle cell holds the offset of its block's data from the start
// of the region, and a block's header records the byte count it was asked
// for. Sizes and lengths are thus the same on every build.
//
// Single-threaded: no locks.
#pragma once

#include <cstring>

#include "API/core/FxTypes.h"

// A handle cell holds the 32-bit offset of its block's data from the base of
// the arena region. The handle that holders keep is the cell's address.
typedef uint32_t sFxHandleCell;

namespace kFxMemory {
constexpr uint32_t cArenaBytes = 0x0EB50000;     // each heap's arena
constexpr uint32_t cCellCount = 0x01608000;      // handle cells in the pool
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
// for a cell holding 0 (the cell the manager answers for null: no block's
// data starts at the region's base).
inline uint8_t* FxHandleAddress(const sFxHandleCell* cell) {
  return cell && *cell ? FxArenaBase() + *cell : nullptr;
}

// The byte count a live block was asked for (not its rounded extent), as its
// header records it in the word 8 bytes before the data. Inline: every
// string's length is asked of it.
inline uint32_t FxBlockSize(const void* data) {
  uint32_t header;
  std::memcpy(&header, static_cast<const uint8_t*>(data) - 8, sizeof header);
  return header >> 2;
}

// The handle of a new block of `bytes` from the block heap or from the
// string heap; null when the heap cannot supply it.
sFxHandleCell* FxAllocBlockHandle(uint32_t bytes);
sFxHandleCell* FxAllocStringHandle(uint32_t bytes);
// Returns the block behind `handle` to its heap; null is ignored.
void FxFreeHandle(sFxHandleCell* handle);
