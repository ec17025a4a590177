// The process-wide memory manager: its static layout, the two heaps, the
// cell pool's order, what it ignores, and the alignment helpers.
#include <gtest/gtest.h>

#include <vector>

#include "API/core/cFxMemoryManager.h"

TEST(MemoryManager, LaysTheHeapsOverTheStaticRegion) {
  cFxMemoryManager& manager = cFxMemoryManager::GetMemoryManager();
  cFxCompactingHeap& strings = manager.StringHeap();
  cFxCompactingHeap& blocks = manager.BlockHeap();
  uint8_t* base = FxArenaBase();
  const size_t arena = kFxMemory::cArenaBytes;
  // String heap first, block heap directly after it, the cell pool after
  // both; headers 8 below a 16-byte boundary. Aligning the end down with
  // offset 8 keeps one more unit back from an already aligned end.
  EXPECT_EQ(strings.StartAddress(), base + 8);
  EXPECT_EQ(blocks.StartAddress(), base + arena + 8);
  EXPECT_EQ(blocks.EndAddress(), base + 2 * arena - 24);
  EXPECT_EQ(reinterpret_cast<uint8_t*>(FxCellPoolBase()), base + 2 * arena);
  EXPECT_EQ(strings.TotalUnits(), arena / 16 - 2);
  // Only the block heap pins, and withholds 256 * 129 / 16 units for it.
  EXPECT_TRUE(blocks.IsPinning() && !strings.IsPinning());
  EXPECT_EQ(blocks.ReservedUnits(), 2064u);
  EXPECT_EQ(strings.ReservedUnits(), 0u);
}

TEST(MemoryManager, AllocatesFromEachHeapFreesBackAndIgnoresForeignAddresses) {
  cFxMemoryManager& manager = cFxMemoryManager::GetMemoryManager();
  cFxCompactingHeap& blocks = manager.BlockHeap();
  cFxCompactingHeap& strings = manager.StringHeap();
  uint32_t blockFree = blocks.FreeUnits();
  uint32_t stringFree = strings.FreeUnits();

  void* block = manager.AllocBlock(300);
  void* text = manager.AllocString(5);
  ASSERT_TRUE(block && text);
  EXPECT_TRUE(blocks.Contains(block));
  EXPECT_TRUE(strings.Contains(text));
  EXPECT_EQ(cFxMemoryManager::SizeOf(block), 300u);
  EXPECT_EQ(blocks.FreeUnits(), blockFree - 20);
  EXPECT_EQ(strings.FreeUnits(), stringFree - 1);
  // The handle cell holds the data's offset from the region's base.
  sFxHandleCell* cell = manager.HandleOf(block);
  EXPECT_EQ(*cell, static_cast<uint32_t>(static_cast<uint8_t*>(block) - FxArenaBase()));
  EXPECT_EQ(FxHandleAddress(cell), block);
  sFxHandleCell* textCell = manager.HandleOf(text);
  manager.Free(block);
  manager.Free(text);
  // A freed block's cell goes back to the front of the pool.
  EXPECT_EQ(manager.TakeCell(), textCell);
  manager.ReturnCell(textCell);

  sFxHandleCell* handles[2] = {manager.AllocBlockHandle(1000), manager.AllocStringHandle(100)};
  ASSERT_TRUE(handles[0] && handles[1]);
  EXPECT_TRUE(blocks.Contains(FxHandleAddress(handles[0])));
  EXPECT_TRUE(strings.Contains(FxHandleAddress(handles[1])));
  for (sFxHandleCell* handle : handles) manager.FreeHandle(handle);

  // Null, addresses outside both heaps and the fixed cell of null (which
  // names no block) are ignored; an impossible request changes nothing.
  int local = 0;
  std::vector<uint8_t> elsewhere(64);
  manager.Free(nullptr);
  manager.Free(&local);
  manager.Free(elsewhere.data() + 8);
  manager.FreeHandle(nullptr);
  sFxHandleCell* nullCell = manager.HandleOf(nullptr);
  ASSERT_NE(nullCell, nullptr);
  EXPECT_EQ(nullCell, manager.HandleOf(nullptr));
  EXPECT_EQ(FxHandleAddress(nullCell), nullptr);
  manager.FreeHandle(nullCell);
  EXPECT_EQ(manager.AllocBlock(0xFFFFFFFFu), nullptr);
  EXPECT_EQ(blocks.FreeUnits(), blockFree);
  EXPECT_EQ(strings.FreeUnits(), stringFree);
  EXPECT_TRUE(blocks.CheckConsistency());
  EXPECT_TRUE(strings.CheckConsistency());
}

// The pool hands cells out lazily in the order of a free list threaded
// through every cell at start (cell i pushed for i = 0..count-1): the last
// cell first, returned cells before fresh ones, the latest returned first.
TEST(CellPool, HandsOutTheLastCellFirstAndReturnedCellsBeforeFreshOnes) {
  uint32_t storage[4] = {};
  cFxCellPool pool;
  pool.Init(storage, 4);
  EXPECT_EQ(pool.Take(), &storage[3]);
  EXPECT_EQ(pool.Take(), &storage[2]);
  pool.Return(&storage[3]);
  pool.Return(&storage[2]);
  const int order[] = {2, 3, 1, 0};
  for (int i : order) EXPECT_EQ(pool.Take(), &storage[i]);
  EXPECT_TRUE(pool.IsEmpty());
  EXPECT_EQ(pool.Take(), nullptr);
  pool.Return(&storage[1]);
  EXPECT_EQ(pool.Take(), &storage[1]);
}

TEST(MemoryAlignment, AlignsWithOffsetAndRoundsUp) {
  struct Case {
    uint32_t value, alignment, offset, up, down;
  } cases[] = {
      // up: the smallest result >= value whose sum with offset is aligned;
      // down: ((value - alignment + offset + 1) & -alignment) - offset.
      {0x1000, 16, 8, 0x1008, 0x0FE8},
      {0x1008, 16, 8, 0x1008, 0x0FF8},
      {0x1009, 16, 8, 0x1018, 0x0FF8},
      {0x1018, 16, 8, 0x1018, 0x1008},
      {0x1000, 16, 0, 0x1000, 0x0FF0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FxAlignUpWithOffset(c.value, c.alignment, c.offset), c.up) << c.value;
    EXPECT_EQ(FxAlignDownWithOffset(c.value, c.alignment, c.offset), c.down) << c.value;
  }
  EXPECT_EQ(FxRoundUp(17, 16), 32);
  EXPECT_EQ(FxRoundUp(32, 16), 32);
  EXPECT_EQ(FxRoundUp(-17, 16), -16);
  EXPECT_EQ(FxRoundUp(17, 0), 17);
  EXPECT_EQ(FxRoundUp(17, -4), 17);
}
