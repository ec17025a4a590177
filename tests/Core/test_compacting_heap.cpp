// The compacting heap over small local arenas (unit sizes, reuse, merging,
// best fit, compaction with and without pinning) and the process-wide
// memory manager over two such heaps.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "Core/cFxCompactingHeap.h"
#include "Core/cFxMemoryManager.h"

namespace {

void Fill(uint8_t* data, uint32_t bytes, uint32_t seed) {
  for (uint32_t i = 0; i < bytes; ++i) data[i] = static_cast<uint8_t>(seed * 31 + i);
}
bool Holds(const uint8_t* data, uint32_t bytes, uint32_t seed) {
  for (uint32_t i = 0; i < bytes; ++i)
    if (data[i] != static_cast<uint8_t>(seed * 31 + i)) return false;
  return true;
}

// A heap over its own arena and cell pool, so tests see a fresh heap.
struct LocalHeap {
  LocalHeap(uint32_t bytes, int32_t reserve, bool pinning, uint32_t cellCount = 4096)
      : mArena(bytes + 64), mCells(cellCount) {
    mPool.Init(mCells.data(), cellCount);
    mHeap.Init(mArena.data(), mArena.data(), mArena.data() + bytes, reserve, pinning, &mPool, &mPinned);
  }
  uint32_t* Alloc(uint32_t bytes) {
    void* data = mHeap.Alloc(bytes);
    return data ? mHeap.HandleOf(data) : nullptr;
  }
  uint8_t* At(uint32_t* cell) { return mHeap.AddressOf(cell); }
  void Free(uint32_t* cell) { mHeap.Free(At(cell)); }
  // Fills the arena with patterned 2-unit blocks and frees every other one,
  // so no free block below the tail is larger than 2 units.
  void Checkerboard() {
    while (mHeap.FreeUnits() >= 2) {
      mBlocks.push_back(Alloc(20));
      Fill(At(mBlocks.back()), 20, static_cast<uint32_t>(mBlocks.size()));
      mBefore.push_back(At(mBlocks.back()));
    }
    for (size_t i = 1; i < mBlocks.size(); i += 2) Free(mBlocks[i]);
  }
  bool Intact(size_t i) { return Holds(At(mBlocks[i]), 20, static_cast<uint32_t>(i + 1)); }

  std::vector<uint8_t> mArena;
  std::vector<uint32_t> mCells;
  cFxCellPool mPool;
  sFxPinnedSet mPinned{};
  cFxCompactingHeap mHeap;
  std::vector<uint32_t*> mBlocks;
  std::vector<uint8_t*> mBefore;
};

// Keeps `count` distinct pointers into the heap in this frame while it compacts.
__attribute__((noinline)) void* AllocWhilePinned(cFxCompactingHeap& heap, uint8_t* from, int count, uint32_t bytes) {
  // Every slot is set: a slot left to whatever an earlier call put there
  // could name another block and pin it too.
  uint8_t* volatile pins[200];
  for (int i = 0; i < 200; ++i) pins[i] = i < count ? from + i : nullptr;
  void* data = heap.Alloc(bytes);
  EXPECT_EQ(pins[count - 1], from + count - 1);
  return data;
}

}  // namespace

TEST(CompactingHeap, RequestsOccupyWholeUnitsAndWhatCannotBeSuppliedChangesNothing) {
  LocalHeap local(8192, -1, false, 8);
  cFxCompactingHeap& heap = local.mHeap;
  const struct { uint32_t mBytes, mUnits; } cases[] = {{0, 1}, {1, 1}, {8, 1}, {9, 2}, {24, 2}, {25, 3}, {4096, 257}};
  uint32_t freeUnits = heap.TotalUnits();
  for (const auto& c : cases) {
    uint8_t* data = static_cast<uint8_t*>(heap.Alloc(c.mBytes));
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(data) % 16, 0u) << c.mBytes;
    EXPECT_EQ(FxBlockSize(data), c.mBytes);  // not the rounded extent
    EXPECT_EQ(heap.FreeUnits(), freeUnits -= c.mUnits) << c.mBytes;
  }
  EXPECT_EQ(heap.Alloc(freeUnits * 16), nullptr);  // one unit more than is free
  EXPECT_EQ(heap.Alloc(0xFFFFFFF0u), nullptr);    // would wrap the unit count
  EXPECT_NE(heap.Alloc(8), nullptr);
  EXPECT_EQ(heap.Alloc(8), nullptr);  // eight cells: no handle left to give
  EXPECT_EQ(freeUnits - 1, heap.FreeUnits());
  EXPECT_TRUE(heap.CheckConsistency());
}

TEST(CompactingHeap, ReusesFreedBlocksMergesAndGivesTheBestFit) {
  LocalHeap local(64 * 1024, -1, false);
  uint32_t* cells[8];
  for (uint32_t*& cell : cells) cell = local.Alloc(8);  // one unit each
  uint8_t* first = local.At(cells[0]);
  local.Free(cells[1]);
  EXPECT_EQ(local.At(cells[1] = local.Alloc(1)), first + 16);  // the freed middle block
  for (int i : {1, 2, 3}) local.Free(cells[i]);  // each joins its free predecessor
  EXPECT_EQ(local.At(local.Alloc(24)), first + 32);
  // Free blocks of 40, 35 and 33 units kept apart by live ones: the smallest
  // that fits wins over the rest of the arena.
  LocalHeap fit(64 * 1024, -1, false);
  uint32_t* big[3];
  const uint32_t units[3] = {40, 35, 33};
  for (int i = 0; i < 3; ++i) big[i] = fit.Alloc(units[i] * 16 - 8), fit.Alloc(8);
  uint8_t* at35 = fit.At(big[1]);
  uint8_t* at33 = fit.At(big[2]);
  for (uint32_t* cell : big) fit.Free(cell);
  EXPECT_EQ(fit.At(fit.Alloc(34 * 16 - 8)), at35);
  EXPECT_EQ(fit.At(fit.Alloc(33 * 16 - 8)), at33);
  EXPECT_TRUE(fit.mHeap.CheckConsistency());
}

TEST(CompactingHeap, CompactionSlidesLiveBlocksRewritesTheirCellsAndMovesAnchors) {
  LocalHeap local(16 * 1024, -1, false);
  local.Checkerboard();
  const size_t count = local.mBlocks.size(), lastLive = (count - 1) & ~size_t(1);
  const void* anchors[1] = {local.At(local.mBlocks[lastLive]) + 5};  // a raw pointer moved along
  uint8_t* data = static_cast<uint8_t*>(local.mHeap.Alloc(60, anchors, 1));
  EXPECT_EQ(local.mBefore[(count + 1) / 2], data);
  EXPECT_TRUE(local.mHeap.CheckConsistency());
  for (size_t i = 0; i < count; i += 2) {
    EXPECT_EQ(local.mBefore[i / 2], local.At(local.mBlocks[i])) << i;
    EXPECT_TRUE(local.Intact(i)) << i;
  }
  EXPECT_EQ(anchors[0], local.At(local.mBlocks[lastLive]) + 5);
}

TEST(CompactingHeap, BlockNamedByAStackWordDoesNotMove) {
  LocalHeap local(32 * 1024, 16, true);
  local.Checkerboard();
  size_t pinned = (local.mBlocks.size() / 2) & ~size_t(1);
  void* data = AllocWhilePinned(local.mHeap, local.mBefore[pinned], 1, 200 * 16 - 8);
  ASSERT_NE(nullptr, data);
  EXPECT_LT(data, local.mBefore[pinned]);
  EXPECT_TRUE(local.mHeap.CheckConsistency());
  EXPECT_EQ(local.At(local.mBlocks[pinned]), local.mBefore[pinned]);
  EXPECT_EQ(local.At(local.mBlocks[2]), local.mBefore[1]);  // those below still slide
  for (size_t i = 0; i < local.mBlocks.size(); i += 2) EXPECT_TRUE(local.Intact(i)) << i;
  // More pinned words than the set holds: the request goes unanswered, nothing moves.
  LocalHeap full(32 * 1024, 16, true);
  full.Checkerboard();
  uint32_t freeUnits = full.mHeap.FreeUnits();
  EXPECT_EQ(AllocWhilePinned(full.mHeap, full.mBefore.back() - 180, 200, 200 * 16 - 8), nullptr);
  EXPECT_EQ(freeUnits, full.mHeap.FreeUnits());
  EXPECT_EQ(full.mBefore[2], full.At(full.mBlocks[2]));
}

TEST(CompactingHeap, RandomWorkloadKeepsHeapAndDataIntact) {
  for (bool pinning : {false, true}) {
    LocalHeap local(48 * 1024, 8, pinning, 8192);
    std::mt19937 random(pinning ? 7 : 11);
    struct Live { uint32_t* cell; uint32_t bytes, seed; };
    std::vector<Live> live;
    for (uint32_t step = 0; step < 20000; ++step) {
      if (live.empty() || random() % 100 < 55) {
        uint32_t bytes = random() % 4 == 0 ? random() % 1200 : random() % 100;
        if (uint32_t* cell = local.Alloc(bytes)) {
          Fill(local.At(cell), bytes, step);
          live.push_back({cell, bytes, step});
        }
      } else {
        size_t i = random() % live.size();
        local.Free(live[i].cell);
        live[i] = live.back();
        live.pop_back();
      }
      if (step % 500 == 0) { ASSERT_TRUE(local.mHeap.CheckConsistency()) << step; }
    }
    for (const Live& l : live) {
      EXPECT_EQ(l.bytes, FxBlockSize(local.At(l.cell)));
      EXPECT_TRUE(Holds(local.At(l.cell), l.bytes, l.seed)) << l.seed;
    }
  }
}

TEST(MemoryManager, AllocatesFromEachHeapAndIgnoresForeignAddresses) {
  cFxMemoryManager& manager = cFxMemoryManager::GetMemoryManager();
  cFxCompactingHeap& blocks = manager.BlockHeap();
  cFxCompactingHeap& strings = manager.StringHeap();
  const uint32_t blockFree = blocks.FreeUnits(), stringFree = strings.FreeUnits();
  void* block = manager.AllocBlock(300);
  void* text = manager.AllocString(5);
  EXPECT_EQ(blockFree - 20, blocks.FreeUnits());
  EXPECT_EQ(stringFree - 1, strings.FreeUnits());
  // The handle cell holds the data's offset from the region's base.
  EXPECT_EQ(*manager.HandleOf(block), static_cast<uint32_t>(static_cast<uint8_t*>(block) - FxArenaBase()));
  int local = 0;  // null and addresses outside both heaps are ignored
  for (void* data : {block, text, static_cast<void*>(nullptr), static_cast<void*>(&local)}) manager.Free(data);
  EXPECT_EQ(FxHandleAddress(manager.HandleOf(nullptr)), nullptr);
  EXPECT_EQ(manager.AllocBlock(0xFFFFFFFFu), nullptr);
  EXPECT_EQ(blockFree, blocks.FreeUnits());
  EXPECT_EQ(stringFree, strings.FreeUnits());
  EXPECT_TRUE(blocks.CheckConsistency());
  EXPECT_TRUE(strings.CheckConsistency());
}
