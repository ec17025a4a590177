// The process-wide memory manager: its static layout, the two heaps, the
// cell pool's order, and what it ignores.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "API/core/cFxMemoryManager.h"

TEST(MemoryManager, LaysTheHeapsOverTheStaticRegion) {
  cFxMemoryManager& manager = cFxMemoryManager::GetMemoryManager();
  EXPECT_EQ(&manager, &cFxMemoryManager::GetMemoryManager());
  cFxCompactingHeap& strings = manager.StringHeap();
  cFxCompactingHeap& blocks = manager.BlockHeap();
  uint8_t* base = FxArenaBase();

  // String heap first, block heap directly after it, headers 8 below a
  // 16-byte boundary.
  EXPECT_EQ(strings.StartAddress(), base + 8);
  EXPECT_GE(blocks.StartAddress(), base + kFxMemory::cArenaBytes);
  EXPECT_LT(blocks.StartAddress(), base + kFxMemory::cArenaBytes + 16);
  EXPECT_LE(blocks.EndAddress(), base + 2 * size_t(kFxMemory::cArenaBytes));
  EXPECT_EQ(reinterpret_cast<uint8_t*>(FxCellPoolBase()), base + 2 * size_t(kFxMemory::cArenaBytes));

  EXPECT_FALSE(strings.IsPinning());
  EXPECT_TRUE(blocks.IsPinning());
  EXPECT_EQ(strings.ReservedUnits(), 0u);
  EXPECT_EQ(blocks.ReservedUnits(), 2064u);
  // The end is aligned down with offset 8 by the heap's own rule, which
  // keeps one more unit back from an already aligned end.
  EXPECT_EQ(blocks.TotalUnits(), kFxMemory::cArenaBytes / 16 - 2);
  EXPECT_EQ(strings.TotalUnits(), kFxMemory::cArenaBytes / 16 - 2);
}

TEST(MemoryManager, AllocatesFromEachHeapAndFreesBack) {
  cFxMemoryManager& manager = cFxMemoryManager::GetMemoryManager();
  uint32_t blockFree = manager.BlockHeap().FreeUnits();
  uint32_t stringFree = manager.StringHeap().FreeUnits();

  void* block = manager.AllocBlock(300);
  void* text = manager.AllocString(5);
  ASSERT_NE(block, nullptr);
  ASSERT_NE(text, nullptr);
  EXPECT_TRUE(manager.BlockHeap().Contains(block));
  EXPECT_TRUE(manager.StringHeap().Contains(text));
  EXPECT_EQ(cFxMemoryManager::SizeOf(block), 300u);
  EXPECT_EQ(cFxMemoryManager::SizeOf(text), 5u);
  EXPECT_EQ(manager.BlockHeap().FreeUnits(), blockFree - FxUnitsFor(300));
  EXPECT_EQ(manager.StringHeap().FreeUnits(), stringFree - 1);

  // The handle cell holds the data's offset from the region's base.
  sFxHandleCell* cell = manager.HandleOf(block);
  EXPECT_EQ(FxHandleAddress(cell), block);
  EXPECT_EQ(*cell, static_cast<uint32_t>(static_cast<uint8_t*>(block) - FxArenaBase()));

  manager.Free(block);
  manager.Free(text);
  EXPECT_EQ(manager.BlockHeap().FreeUnits(), blockFree);
  EXPECT_EQ(manager.StringHeap().FreeUnits(), stringFree);

  sFxHandleCell* handle = manager.AllocBlockHandle(1000);
  ASSERT_NE(handle, nullptr);
  EXPECT_TRUE(manager.BlockHeap().Contains(FxHandleAddress(handle)));
  manager.FreeHandle(handle);
  handle = manager.AllocStringHandle(100);
  ASSERT_NE(handle, nullptr);
  EXPECT_TRUE(manager.StringHeap().Contains(FxHandleAddress(handle)));
  manager.FreeHandle(handle);
  EXPECT_EQ(manager.BlockHeap().FreeUnits(), blockFree);
  EXPECT_EQ(manager.StringHeap().FreeUnits(), stringFree);
  EXPECT_TRUE(manager.BlockHeap().CheckConsistency());
}

TEST(MemoryManager, IgnoresNullAndForeignAddresses) {
  cFxMemoryManager& manager = cFxMemoryManager::GetMemoryManager();
  uint32_t blockFree = manager.BlockHeap().FreeUnits();
  uint32_t stringFree = manager.StringHeap().FreeUnits();
  int local = 0;
  std::vector<uint8_t> elsewhere(64);
  manager.Free(nullptr);
  manager.Free(&local);
  manager.Free(elsewhere.data() + 8);
  manager.FreeHandle(nullptr);
  EXPECT_EQ(manager.BlockHeap().FreeUnits(), blockFree);
  EXPECT_EQ(manager.StringHeap().FreeUnits(), stringFree);
  EXPECT_TRUE(manager.BlockHeap().CheckConsistency());
  EXPECT_TRUE(manager.StringHeap().CheckConsistency());

  // Null has one fixed cell, which names no block.
  sFxHandleCell* nullCell = manager.HandleOf(nullptr);
  ASSERT_NE(nullCell, nullptr);
  EXPECT_EQ(nullCell, manager.HandleOf(nullptr));
  EXPECT_EQ(manager.AllocBlock(0xFFFFFFFFu), nullptr);
}

TEST(MemoryManager, ReturnedCellIsTheNextOneHandedOut) {
  cFxMemoryManager& manager = cFxMemoryManager::GetMemoryManager();
  sFxHandleCell* first = manager.TakeCell();
  sFxHandleCell* second = manager.TakeCell();
  ASSERT_NE(first, nullptr);
  EXPECT_GE(first, FxCellPoolBase());
  EXPECT_LT(first, FxCellPoolBase() + kFxMemory::cCellCount);
  manager.ReturnCell(second);
  EXPECT_EQ(manager.TakeCell(), second);
  manager.ReturnCell(second);
  manager.ReturnCell(first);
  EXPECT_EQ(manager.TakeCell(), first);
  manager.ReturnCell(first);

  // A freed block's cell goes back to the pool, at its front.
  void* data = manager.AllocString(10);
  sFxHandleCell* cell = manager.HandleOf(data);
  manager.Free(data);
  EXPECT_EQ(manager.TakeCell(), cell);
  manager.ReturnCell(cell);
}

TEST(CellPool, FirstCellHandedOutIsThePoolsLast) {
  uint32_t storage[4] = {};
  cFxCellPool pool;
  pool.Init(storage, 4);
  EXPECT_EQ(pool.Take(), &storage[3]);
  EXPECT_EQ(pool.Take(), &storage[2]);
  pool.Return(&storage[3]);
  EXPECT_EQ(pool.Take(), &storage[3]);
  EXPECT_EQ(pool.Take(), &storage[1]);
  EXPECT_EQ(pool.Take(), &storage[0]);
  EXPECT_TRUE(pool.IsEmpty());
  EXPECT_EQ(pool.Take(), nullptr);
}

// The pool hands cells out lazily; its order must equal that of a free list
// threaded through every cell at start (cell i pushed for i = 0..count-1).
TEST(CellPool, LazyOrderMatchesAListBuiltAtStart) {
  const uint32_t count = 64;
  std::vector<uint32_t> storage(count);
  cFxCellPool pool;
  pool.Init(storage.data(), count);
  std::vector<uint32_t> eager;  // front of the list at the back of the vector
  for (uint32_t i = 0; i < count; ++i) eager.push_back(i);

  std::mt19937 random(3);
  std::vector<uint32_t> held;
  for (int step = 0; step < 5000; ++step) {
    if (!held.empty() && random() % 2) {
      uint32_t i = held[random() % held.size()];
      held.erase(std::find(held.begin(), held.end(), i));
      pool.Return(&storage[i]);
      eager.push_back(i);
    } else {
      uint32_t* cell = pool.Take();
      if (eager.empty()) {
        EXPECT_EQ(cell, nullptr);
        continue;
      }
      ASSERT_NE(cell, nullptr);
      EXPECT_EQ(pool.IndexOf(cell), eager.back()) << step;
      held.push_back(eager.back());
      eager.pop_back();
    }
  }
}

TEST(MemoryAlignment, AlignsWithOffsetAndRoundsUp) {
  EXPECT_EQ(FxAlignUpWithOffset(0x1000, 16, 8), 0x1008u);
  EXPECT_EQ(FxAlignUpWithOffset(0x1008, 16, 8), 0x1008u);
  EXPECT_EQ(FxAlignUpWithOffset(0x1009, 16, 8), 0x1018u);
  // ((value - alignment + offset + 1) & -alignment) - offset
  EXPECT_EQ(FxAlignDownWithOffset(0x1000, 16, 8), 0x0FE8u);
  EXPECT_EQ(FxAlignDownWithOffset(0x1008, 16, 8), 0x0FF8u);
  EXPECT_EQ(FxAlignDownWithOffset(0x1018, 16, 8), 0x1008u);
  EXPECT_EQ(FxAlignDownWithOffset(0x1000, 16, 0), 0x0FF0u);
  EXPECT_EQ(FxRoundUp(17, 16), 32);
  EXPECT_EQ(FxRoundUp(32, 16), 32);
  EXPECT_EQ(FxRoundUp(17, 0), 17);
  EXPECT_EQ(FxRoundUp(17, -4), 17);
  EXPECT_EQ(FxUnitsFor(0), 1u);
  EXPECT_EQ(FxUnitsFor(8), 1u);
  EXPECT_EQ(FxUnitsFor(9), 2u);
  EXPECT_EQ(FxUnitsFor(24), 2u);
}
