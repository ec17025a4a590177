// The pool of handle cells that the compacting heaps hand to their blocks.
//
// A cell is one 32-bit word. While in use it holds the offset of its block's
// data; while free it holds the number (index + 1) of the next free cell, 0
// ending the list. Cells are handed out from the last one downwards.
//
// The pool is not threaded through all its cells at start: that would write
// every cell (about 92 MB for the process-wide pool) at every program start.
// Instead it keeps a count of cells never handed out and a list of returned
// cells. Taking pops the returned list first and otherwise the highest cell
// never used, which gives exactly the order of a list built by pushing cells
// 0, 1, ..., count-1 and then popping and pushing.
//
// Single-threaded: no locks.
#pragma once

#include "API/core/FxTypes.h"

class cFxCellPool {
 public:
  // A pool over `count` cells at `cells` (caller-owned storage).
  void Init(uint32_t* cells, uint32_t count) {
    mCells = cells;
    mFresh = count;
    mFreeHead = 0;
  }

  // A free cell, or null when the pool is exhausted.
  uint32_t* Take() {
    if (mFreeHead != 0) {
      uint32_t* cell = mCells + (mFreeHead - 1);
      mFreeHead = *cell;
      return cell;
    }
    if (mFresh == 0) return nullptr;
    return mCells + --mFresh;
  }

  // Puts a cell taken from this pool back at the front of the free list.
  void Return(uint32_t* cell) {
    *cell = mFreeHead;
    mFreeHead = static_cast<uint32_t>(cell - mCells) + 1;
  }

  bool IsEmpty() const { return mFreeHead == 0 && mFresh == 0; }
  uint32_t IndexOf(const uint32_t* cell) const { return static_cast<uint32_t>(cell - mCells); }
  uint32_t* CellAt(uint32_t index) const { return mCells + index; }

 private:
  uint32_t* mCells = nullptr;
  uint32_t mFresh = 0;     // cells [0, mFresh) have never been handed out
  uint32_t mFreeHead = 0;  // number (index + 1) of the first returned cell; 0 none
};
