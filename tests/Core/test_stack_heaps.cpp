// The two-ended stack heaps over a test arena: where blocks go, how freeing
// pops them, and how misuse and exhaustion are reported.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "API/core/FxError.h"
#include "Core/cFxMemoryHeapOutBandStack.h"
#include "Core/cFxMemoryHeapStack.h"

namespace {

// The recorded error's code and the file that recorded it, cleared for the
// next. The messages are the product's format strings filled in; the sizes
// they name reach the out-of-memory handler too.
std::string Error() {
  char code[16];
  snprintf(code, sizeof code, "%08X|", FxGetErrorCode());
  const std::string error = code + std::string(FxGetErrorFile());
  FxSetErrorCode(0);
  FxSetErrorFile("");
  return error;
}
std::vector<int> gOutOfMemory;
void CountOutOfMemory(cFxMemoryHeap*, int32_t size) { gOutOfMemory.push_back(size); }

TEST(StackHeap, BlocksComeFromBothEndsPopInStackOrderAndMisuseIsReported) {
  alignas(64) uint32_t arena[64] = {};  // 256 bytes
  auto at = [&](uint32_t offset) { return reinterpret_cast<uint8_t*>(arena) + offset; };
  cFxMemoryHeapStack heap("test");
  heap.Init(arena, sizeof arena);
  heap.SetOutOfMemoryHandler(CountOutOfMemory);
  void* a = heap.Alloc(5);              // [0 header][4 data: 8][12 trailer]
  void* b = heap.AllocAligned(8, 64);   // filler [16, 60), block [60, 76)
  void* c = heap.Alloc(4);              // [76, 88)
  void* t1 = heap.AllocFrom(10, true);  // [236, 256)
  void* t2 = heap.AllocFrom(4, true);   // [224, 236)
  EXPECT_EQ((std::vector<void*>{at(4), at(64), at(80), at(240), at(228)}), (std::vector<void*>{a, b, c, t1, t2}));
  EXPECT_EQ(c, heap.Realloc(c, 4, 12));  // the last low block grows in place: [76, 96)
  memcpy(b, "contents", 8);
  void* moved = heap.Realloc(b, 8, 12);  // any other moves up, the handler hearing of it first
  EXPECT_EQ(at(100), moved);
  EXPECT_EQ("contents", std::string(static_cast<char*>(moved), 8));
  arena[92 / 4] ^= 0x10;  // c's trailer damaged: c, like an unaligned pointer, is refused
  for (void* bad : {static_cast<void*>(at(82)), c}) {
    heap.Free(bad, 4);
    EXPECT_EQ("E0020003|Core/cFxMemoryHeapStack", Error());
  }
  EXPECT_FALSE(heap.IsValid());
  arena[92 / 4] ^= 0x10;
  const struct { void* mPtr; bool mTop; uint32_t mFreeSpace; } steps[] = {
      {moved, false, 224 - 96},  // c is in use: the pop stops there
      {c, false, 224 - 16},      // c, the free b and the filler before it pop
      {t1, true, 224 - 16},      // below the newest top block: marked free only
      {t2, true, 256 - 16},      // t2 and then t1 pop
      {a, false, 256}, {a, false, 256},  // above the bottom now: ignored
  };
  for (const auto& s : steps) {
    heap.FreeFrom(s.mPtr, 0, s.mTop);
    EXPECT_EQ(s.mFreeSpace, heap.GetFreeSpace()) << &s - steps;
    EXPECT_TRUE(heap.IsValid()) << &s - steps;
  }
  EXPECT_EQ(nullptr, heap.AllocFrom(249, true));  // one byte past an exact fit
  EXPECT_EQ("E0020002|Core/cFxMemoryHeapStack", Error());
  EXPECT_EQ(at(4), heap.AllocFrom(248, true));
  EXPECT_EQ((std::vector<int>{12, 249}), gOutOfMemory);
  EXPECT_EQ(nullptr, gFxStackHeap.Alloc(4));  // never given memory
  EXPECT_FALSE(gFxStackHeap.IsValid());
  char text[2 * sizeof(uintptr_t) + 1];  // pointers print as upper-case hex of full width
  FxPointerText(reinterpret_cast<void*>(uintptr_t{0xBEEF12}), text);
  EXPECT_EQ(std::string(2 * sizeof(uintptr_t) - 6, '0') + "BEEF12", text);
}

TEST(StackHeap, OutBandStackKeepsItsBookkeepingOutsideTheArena) {
  alignas(64) uint32_t arena[16] = {};  // 64 bytes
  auto at = [&](uint32_t offset) { return reinterpret_cast<uint8_t*>(arena) + offset; };
  sFxOutBandEntry table[4] = {};
  cFxMemoryHeapOutBandStack heap("band");
  heap.Init(arena, 64, table, 4);
  heap.SetOutOfMemoryHandler(CountOutOfMemory);
  gOutOfMemory.clear();
  void* a = heap.Alloc(5);
  void* b = heap.AllocAligned(8, 16);  // the bottom moves up to 16
  void* t = heap.AllocFrom(16, true);
  EXPECT_EQ((std::vector<void*>{at(0), at(16), at(48)}), (std::vector<void*>{a, b, t}));
  EXPECT_EQ(0u, arena[0] | arena[4] | arena[12]);  // nothing written into the arena
  EXPECT_EQ(nullptr, heap.AllocAligned(4, 64));    // the top is below 64
  EXPECT_EQ("E0020002|Core/cFxMemoryHeapOutBandStack", Error());
  void* t4 = heap.AllocFrom(4, true);
  EXPECT_EQ(at(44), t4);
  EXPECT_EQ(nullptr, heap.Alloc(20));  // room in the arena, none in the table
  EXPECT_EQ("E0020002|Core/cFxMemoryHeapOutBandStack", Error());
  heap.FreeFrom(a, 8, true);  // no entry for it at that end
  EXPECT_EQ("E0020003|Core/cFxMemoryHeapOutBandStack", Error());
  // Popping: a free entry stays until every newer one at its end is free;
  // the alignment padding comes back with the block above it.
  const struct { void* mPtr; bool mTop; uint32_t mFreeSpace, mEntries; } steps[] = {
      {a, false, 20, 4}, {b, false, 44, 2}, {t, true, 44, 2}, {t4, true, 64, 0}};
  for (const auto& s : steps) {
    heap.FreeFrom(s.mPtr, 0, s.mTop);
    EXPECT_EQ(s.mFreeSpace, heap.GetFreeSpace()) << &s - steps;
    EXPECT_EQ(s.mEntries, heap.GetEntryCount()) << &s - steps;
  }
  EXPECT_NE(nullptr, heap.Alloc(64));  // the arena exactly, then no more
  EXPECT_EQ(nullptr, heap.Alloc(1));
  EXPECT_EQ((std::vector<int>{20, 1}), gOutOfMemory);
}

}  // namespace
