// The process-wide memory manager: the two heaps, what it ignores, and the
// cell pool's order.
#include <gtest/gtest.h>

#include <vector>

#include "API/core/cFxMemoryManager.h"

TEST(MemoryManager, AllocatesFromEachHeapAndIgnoresForeignAddresses) {
  cFxMemoryManager& manager = cFxMemoryManager::GetMemoryManager();
  cFxCompactingHeap& blocks = manager.BlockHeap();
  cFxCompactingHeap& strings = manager.StringHeap();
  const uint32_t blockFree = blocks.FreeUnits(), stringFree = strings.FreeUnits();

  void* block = manager.AllocBlock(300);
  void* text = manager.AllocString(5);
  ASSERT_TRUE(block && text);
  EXPECT_EQ(blocks.FreeUnits(), blockFree - 20);
  EXPECT_EQ(strings.FreeUnits(), stringFree - 1);
  // The handle cell holds the data's offset from the region's base.
  sFxHandleCell* cell = manager.HandleOf(block);
  EXPECT_EQ(*cell, static_cast<uint32_t>(static_cast<uint8_t*>(block) - FxArenaBase()));
  manager.Free(block);
  manager.Free(text);

  // Null, addresses outside both heaps and the cell of null are ignored.
  int local = 0;
  std::vector<uint8_t> elsewhere(64);
  manager.Free(nullptr);
  manager.Free(&local);
  manager.Free(elsewhere.data() + 8);
  sFxHandleCell* nullCell = manager.HandleOf(nullptr);
  ASSERT_NE(nullCell, nullptr);
  EXPECT_EQ(FxHandleAddress(nullCell), nullptr);
  manager.FreeHandle(nullCell);
  EXPECT_EQ(manager.AllocBlock(0xFFFFFFFFu), nullptr);
  EXPECT_EQ(blocks.FreeUnits(), blockFree);
  EXPECT_EQ(strings.FreeUnits(), stringFree);
  EXPECT_TRUE(blocks.CheckConsistency() && strings.CheckConsistency());
}

// Cells are threaded onto a free list at start, so the last cell comes
// first; returned cells come before fresh ones, the latest returned first.
TEST(CellPool, HandsOutTheLastCellFirstAndReturnedCellsBeforeFreshOnes) {
  uint32_t storage[4] = {};
  cFxCellPool pool;
  pool.Init(storage, 4);
  EXPECT_EQ(pool.Take(), &storage[3]);
  EXPECT_EQ(pool.Take(), &storage[2]);
  pool.Return(&storage[3]);
  pool.Return(&storage[2]);
  for (int i : {2, 3, 1, 0}) EXPECT_EQ(pool.Take(), &storage[i]);
  EXPECT_EQ(pool.Take(), nullptr);
}
