// The compacting heap over small local arenas: unit sizes, reuse, the
// merging rules, best fit, compaction with and without pinning.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "Core/cFxCompactingHeap.h"

namespace {

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

  std::vector<uint8_t> mArena;
  std::vector<uint32_t> mCells;
  cFxCellPool mPool;
  sFxPinnedSet mPinned{};
  cFxCompactingHeap mHeap;
};

void Fill(uint8_t* data, uint32_t bytes, uint32_t seed) {
  for (uint32_t i = 0; i < bytes; ++i) data[i] = static_cast<uint8_t>(seed * 31 + i);
}

bool Holds(const uint8_t* data, uint32_t bytes, uint32_t seed) {
  for (uint32_t i = 0; i < bytes; ++i)
    if (data[i] != static_cast<uint8_t>(seed * 31 + i)) return false;
  return true;
}

}  // namespace

TEST(CompactingHeap, RequestsOccupyWholeUnitsAndRecordTheirSize) {
  LocalHeap local(64 * 1024, -1, false);
  cFxCompactingHeap& heap = local.mHeap;
  const uint32_t total = heap.TotalUnits();
  EXPECT_EQ(heap.FreeUnits(), total);
  EXPECT_EQ(heap.ReservedUnits(), 0u);

  struct Case {
    uint32_t bytes;
    uint32_t units;
  } cases[] = {{0, 1}, {1, 1}, {8, 1}, {9, 2}, {24, 2}, {25, 3}, {4096, 257}};
  uint8_t* previous = nullptr;
  uint32_t previousUnits = 0;
  uint32_t used = 0;
  for (const Case& c : cases) {
    uint8_t* data = static_cast<uint8_t*>(heap.Alloc(c.bytes));
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(data) % 16, 0u) << c.bytes;
    EXPECT_EQ(cFxCompactingHeap::SizeOf(data), c.bytes);
    EXPECT_EQ(heap.AddressOf(heap.HandleOf(data)), data);
    if (previous) {
      EXPECT_EQ(static_cast<uint32_t>(data - previous), previousUnits * 16) << c.bytes;
    }
    used += c.units;
    EXPECT_EQ(heap.FreeUnits(), total - used) << c.bytes;
    previous = data;
    previousUnits = c.units;
  }
  EXPECT_TRUE(heap.CheckConsistency());
}

TEST(CompactingHeap, ReservesRoomForPinnedBlocksOnlyWhenPinning) {
  LocalHeap pinning(256 * 1024, 256, true);
  EXPECT_EQ(pinning.mHeap.ReservedUnits(), 2064u);
  EXPECT_EQ(pinning.mHeap.FreeUnits(), pinning.mHeap.TotalUnits() - 2064u);
  LocalHeap plain(256 * 1024, -1, false);
  EXPECT_EQ(plain.mHeap.ReservedUnits(), 0u);
  // The withheld units really are withheld.
  EXPECT_EQ(pinning.mHeap.Alloc(pinning.mHeap.FreeUnits() * 16), nullptr);
  EXPECT_NE(pinning.mHeap.Alloc(pinning.mHeap.FreeUnits() * 16 - 8), nullptr);
}

TEST(CompactingHeap, RefusesWhatItCannotSupplyWithoutChangingAnything) {
  LocalHeap local(4096, -1, false, 2);
  cFxCompactingHeap& heap = local.mHeap;
  uint32_t freeUnits = heap.FreeUnits();
  EXPECT_EQ(heap.Alloc(freeUnits * 16), nullptr);  // one unit more than is free
  EXPECT_EQ(heap.Alloc(0xFFFFFFF0u), nullptr);    // would wrap the unit count
  EXPECT_EQ(heap.FreeUnits(), freeUnits);
  // Two cells: the third allocation has no handle to give.
  EXPECT_NE(heap.Alloc(8), nullptr);
  EXPECT_NE(heap.Alloc(8), nullptr);
  EXPECT_EQ(heap.Alloc(8), nullptr);
  EXPECT_EQ(heap.FreeUnits(), freeUnits - 2);
  heap.Free(nullptr);
  EXPECT_EQ(heap.FreeUnits(), freeUnits - 2);
  EXPECT_TRUE(heap.CheckConsistency());
}

TEST(CompactingHeap, FreedMiddleBlockIsReusedByTheSameUnitSize) {
  LocalHeap local(64 * 1024, -1, false);
  uint32_t* a = local.Alloc(40);
  uint32_t* b = local.Alloc(40);
  uint32_t* c = local.Alloc(40);
  uint8_t* middle = local.At(b);
  uint32_t freeUnits = local.mHeap.FreeUnits();
  local.Free(b);
  EXPECT_EQ(local.mHeap.FreeUnits(), freeUnits + 3);
  EXPECT_EQ(local.mHeap.BucketCount(3), 1u);
  uint32_t* d = local.Alloc(33);  // 3 units as well
  EXPECT_EQ(local.At(d), middle);
  EXPECT_EQ(local.mHeap.BucketCount(3), 0u);
  EXPECT_NE(local.At(a), local.At(c));
  EXPECT_TRUE(local.mHeap.CheckConsistency());
}

TEST(CompactingHeap, MergesOnlyAgainstBucketsHoldingTwoBlocks) {
  LocalHeap local(64 * 1024, -1, false);
  uint32_t* cells[8];
  for (uint32_t*& cell : cells) cell = local.Alloc(8);  // one unit each
  cFxCompactingHeap& heap = local.mHeap;

  local.Free(cells[1]);  // bucket 1 empty: no merging
  EXPECT_EQ(heap.BucketCount(1), 1u);
  local.Free(cells[2]);  // bucket 1 holds one block: still no merging
  EXPECT_EQ(heap.BucketCount(1), 2u);
  EXPECT_EQ(heap.BucketCount(2), 0u);
  // Bucket 1 now holds two: the freed block joins its free predecessor.
  local.Free(cells[3]);
  EXPECT_EQ(heap.BucketCount(1), 1u);
  EXPECT_EQ(heap.BucketCount(2), 1u);
  EXPECT_TRUE(heap.CheckConsistency());

  // A 2-unit request takes exactly the merged block (blocks 2 and 3).
  uint8_t* merged = local.At(cells[0]) + 32;
  uint32_t* two = local.Alloc(24);
  EXPECT_EQ(local.At(two), merged);
  EXPECT_TRUE(heap.CheckConsistency());
}

TEST(CompactingHeap, BucketOfLargeBlocksGivesTheBestFit) {
  LocalHeap local(64 * 1024, -1, false);
  // Free blocks of 40, 35 and 33 units, kept apart by live blocks.
  uint32_t* big40 = local.Alloc(40 * 16 - 8);
  uint32_t* sep1 = local.Alloc(8);
  uint32_t* big35 = local.Alloc(35 * 16 - 8);
  uint32_t* sep2 = local.Alloc(8);
  uint32_t* big33 = local.Alloc(33 * 16 - 8);
  uint32_t* sep3 = local.Alloc(8);
  uint8_t* at35 = local.At(big35);
  uint8_t* at33 = local.At(big33);
  local.Free(big40);
  local.Free(big35);
  local.Free(big33);
  // Bucket 31 also holds the rest of the arena; the smallest fitting block wins.
  EXPECT_EQ(local.mHeap.BucketCount(31), 4u);
  EXPECT_EQ(local.At(local.Alloc(34 * 16 - 8)), at35);
  EXPECT_EQ(local.At(local.Alloc(33 * 16 - 8)), at33);
  (void)sep1, (void)sep2, (void)sep3;
  EXPECT_TRUE(local.mHeap.CheckConsistency());
}

TEST(CompactingHeap, CompactionSlidesLiveBlocksAndRewritesTheirCells) {
  LocalHeap local(16 * 1024, -1, false);
  cFxCompactingHeap& heap = local.mHeap;
  // Fill the arena with 2-unit blocks, then free every other one: plenty of
  // free units, but no free block of 4 units.
  std::vector<uint32_t*> cells;
  while (heap.FreeUnits() >= 2) {
    cells.push_back(local.Alloc(20));
    Fill(local.At(cells.back()), 20, static_cast<uint32_t>(cells.size()));
  }
  std::vector<uint8_t*> before;
  for (uint32_t* cell : cells) before.push_back(local.At(cell));
  for (size_t i = 1; i < cells.size(); i += 2) local.Free(cells[i]);
  ASSERT_TRUE(heap.CheckConsistency());

  // A raw pointer into the last live block, handed in as an anchor.
  size_t lastLive = (cells.size() - 1) & ~size_t(1);
  const void* anchors[1] = {local.At(cells[lastLive]) + 5};

  uint8_t* data = static_cast<uint8_t*>(heap.Alloc(60, anchors, 1));
  ASSERT_NE(data, nullptr);
  EXPECT_TRUE(heap.CheckConsistency());
  for (size_t i = 0; i < cells.size(); i += 2) {
    // Live block i slides down to the slot of block i / 2.
    EXPECT_EQ(local.At(cells[i]), before[i / 2]) << i;
    EXPECT_TRUE(Holds(local.At(cells[i]), 20, static_cast<uint32_t>(i + 1))) << i;
  }
  EXPECT_EQ(anchors[0], local.At(cells[lastLive]) + 5);
  // The new block sits right after the slid blocks.
  EXPECT_EQ(data, before[(cells.size() + 1) / 2]);
}

#if defined(_MSC_VER) && !defined(__clang__)
#define TEST_NOINLINE __declspec(noinline)
#else
#define TEST_NOINLINE __attribute__((noinline))
#endif

namespace {

// Keeps a pointer to the pinned block in this frame while the heap compacts.
TEST_NOINLINE void* AllocWhilePinned(cFxCompactingHeap& heap, uint8_t* pinned, uint32_t bytes) {
  uint8_t* volatile keep = pinned;
  void* data = heap.Alloc(bytes);
  EXPECT_EQ(keep, pinned);
  return data;
}

TEST_NOINLINE void* AllocWithManyPins(cFxCompactingHeap& heap, uint8_t* from, uint32_t bytes) {
  // 200 distinct words pointing into the heap: more than the pinned set holds.
  uint8_t* volatile pins[200];
  for (int i = 0; i < 200; ++i) pins[i] = from + i;
  void* data = heap.Alloc(bytes);
  EXPECT_EQ(pins[199], from + 199);
  return data;
}

}  // namespace

TEST(CompactingHeap, BlockNamedByAStackWordDoesNotMove) {
  LocalHeap local(32 * 1024, 16, true);
  cFxCompactingHeap& heap = local.mHeap;
  std::vector<uint32_t*> cells;
  while (heap.FreeUnits() >= 2) {
    cells.push_back(local.Alloc(20));
    Fill(local.At(cells.back()), 20, static_cast<uint32_t>(cells.size()));
  }
  std::vector<uint8_t*> before;
  for (uint32_t* cell : cells) before.push_back(local.At(cell));
  for (size_t i = 1; i < cells.size(); i += 2) local.Free(cells[i]);

  // Larger than the free tail the reserve keeps, so only compaction helps.
  const uint32_t request = 200 * 16 - 8;
  size_t pinned = (cells.size() / 2) & ~size_t(1);
  uint8_t* data = static_cast<uint8_t*>(AllocWhilePinned(heap, local.At(cells[pinned]), request));
  ASSERT_NE(data, nullptr);
  EXPECT_TRUE(heap.CheckConsistency());
  EXPECT_EQ(local.At(cells[pinned]), before[pinned]);
  EXPECT_TRUE(Holds(local.At(cells[pinned]), 20, static_cast<uint32_t>(pinned + 1)));
  // Blocks below the pinned one slid down; the new block lies below it too.
  EXPECT_EQ(local.At(cells[2]), before[1]);
  EXPECT_LT(data, before[pinned]);
  for (size_t i = 0; i < cells.size(); i += 2)
    EXPECT_TRUE(Holds(local.At(cells[i]), 20, static_cast<uint32_t>(i + 1))) << i;
}

TEST(CompactingHeap, TooManyPinnedWordsLeaveTheRequestUnanswered) {
  LocalHeap local(32 * 1024, 16, true);
  cFxCompactingHeap& heap = local.mHeap;
  std::vector<uint32_t*> cells;
  while (heap.FreeUnits() >= 2) cells.push_back(local.Alloc(20));
  for (size_t i = 1; i < cells.size(); i += 2) local.Free(cells[i]);
  std::vector<uint8_t*> before;
  for (uint32_t* cell : cells) before.push_back(local.At(cell));
  uint32_t freeUnits = heap.FreeUnits();

  EXPECT_EQ(AllocWithManyPins(heap, local.At(cells.back()) - 180, 200 * 16 - 8), nullptr);
  EXPECT_EQ(heap.FreeUnits(), freeUnits);
  for (size_t i = 0; i < cells.size(); i += 2) EXPECT_EQ(local.At(cells[i]), before[i]);
  EXPECT_TRUE(heap.CheckConsistency());
}

TEST(CompactingHeap, RandomWorkloadKeepsHeapAndDataIntact) {
  for (bool pinning : {false, true}) {
    LocalHeap local(48 * 1024, 8, pinning, 8192);
    std::mt19937 random(pinning ? 7 : 11);
    struct Live {
      uint32_t* cell;
      uint32_t bytes;
      uint32_t seed;
    };
    std::vector<Live> live;
    uint32_t seed = 0;
    for (int step = 0; step < 20000; ++step) {
      if (live.empty() || random() % 100 < 55) {
        uint32_t bytes = random() % 4 == 0 ? random() % 1200 : random() % 100;
        uint32_t* cell = local.Alloc(bytes);
        if (!cell) continue;
        Fill(local.At(cell), bytes, ++seed);
        live.push_back({cell, bytes, seed});
      } else {
        size_t i = random() % live.size();
        local.Free(live[i].cell);
        live[i] = live.back();
        live.pop_back();
      }
      if (step % 500 == 0) {
        ASSERT_TRUE(local.mHeap.CheckConsistency()) << step;
      }
    }
    ASSERT_TRUE(local.mHeap.CheckConsistency());
    for (const Live& l : live) {
      EXPECT_EQ(cFxCompactingHeap::SizeOf(local.At(l.cell)), l.bytes);
      EXPECT_TRUE(Holds(local.At(l.cell), l.bytes, l.seed));
    }
  }
}
