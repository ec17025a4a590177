// The stack-discipline heaps over test arenas: both ends, popping with
// filler words, reallocation, the error reports, dumps, and the answers of
// heaps that were never given memory.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "API/core/FxError.h"
#include "Core/cFxMemoryHeapOutBandStack.h"
#include "Core/cFxMemoryHeapStack.h"

namespace {

constexpr int32_t cDumpChannel = 7;

std::string Hex(const void* ptr) {
  char text[2 * sizeof(uintptr_t) + 1];
  FxPointerText(ptr, text);
  return text;
}

std::vector<int> gOutOfMemory;
void CountOutOfMemory(cFxMemoryHeap*, int32_t size) { gOutOfMemory.push_back(size); }

// Error reports reach channel 0's buffer; dumps are echoed to standard
// output on their own channel. Everything is off again afterwards.
class HeapTest : public ::testing::Test {
 protected:
  void SetUp() override {
    memset(mArena, 0, sizeof mArena);
    mReport[0] = '\0';
    FxSetChannel(0, true, 400, mReport, "main", 0);
    FxSetChannel(cDumpChannel, true, 400, nullptr, "dump", -1);
    FxSetErrorCode(0);
    FxSetErrorFile("");
    FxSetErrorMessage("%s", "");
    gOutOfMemory.clear();
    mStack.Init(mArena, sizeof mArena);
    mStack.SetOutOfMemoryHandler(CountOutOfMemory);
  }
  void TearDown() override {
    FxSetChannel(0, false, 0, nullptr, "", 0);
    FxSetChannel(cDumpChannel, false, 0, nullptr, "", 0);
  }
  // The recorded error as "code|file|message".
  std::string Error() const {
    char code[16];
    snprintf(code, sizeof code, "%08X", FxGetErrorCode());
    return std::string(code) + "|" + FxGetErrorFile() + "|" + FxGetErrorMessage();
  }
  std::string Dumped(cFxMemoryHeap& heap) {
    testing::internal::CaptureStdout();
    heap.Dump(cDumpChannel);
    return testing::internal::GetCapturedStdout();
  }
  uint8_t* At(uint32_t offset) { return reinterpret_cast<uint8_t*>(mArena) + offset; }
  uint32_t InUse(cFxMemoryHeap& heap) {
    sFxHeapInfo info;
    heap.GetInfo(info);
    return info.mBytesInUse;
  }

  alignas(64) uint32_t mArena[64];  // 256 bytes
  char mReport[416];
  cFxMemoryHeapStack mStack{"test"};
};

TEST_F(HeapTest, NeverInitialisedHeapsAnswerNullAndSaySo) {
  cFxMemoryHeapStack stack("idle");
  cFxMemoryHeapOutBandStack outBand("idle band");
  for (cFxMemoryHeap* heap : {static_cast<cFxMemoryHeap*>(&gFxStackHeap), static_cast<cFxMemoryHeap*>(&stack),
                              static_cast<cFxMemoryHeap*>(&outBand)}) {
    EXPECT_FALSE(heap->IsInitialised() || heap->IsValid() || heap->Owns(mArena, 4));
    EXPECT_EQ(nullptr, heap->AllocFrom(16, true));
    EXPECT_EQ(nullptr, heap->AllocAligned(8, 16));
    EXPECT_EQ(nullptr, heap->Realloc(nullptr, 0, 8));
    heap->FreeFrom(mArena, 4, true);  // ignored, nothing reported
    EXPECT_EQ("Heap not initialized\n", Dumped(*heap));
  }
  EXPECT_EQ("00000000||", Error());
}

TEST_F(HeapTest, BlocksComeFromBothEndsAndFreeingPopsFreeBlocksAndFiller) {
  void* a = mStack.Alloc(5);                // [0 header][4 data: 8][12 trailer]
  void* b = mStack.AllocAligned(8, 64);     // filler [16, 60), block [60, 76)
  void* c = mStack.Alloc(4);                // [76, 88)
  void* t1 = mStack.AllocFrom(10, true);    // [236, 256)
  void* t2 = mStack.AllocFrom(4, true);     // [224, 236)
  EXPECT_EQ((std::vector<void*>{At(4), At(64), At(80), At(240), At(228)}), (std::vector<void*>{a, b, c, t1, t2}));
  EXPECT_TRUE(mStack.Owns(c, 8) && !mStack.Owns(c, 9) && !mStack.Owns(t1, 1));  // up to the bottom, trailer included
  EXPECT_EQ(nullptr, mStack.AllocFrom(0, false));  // sizes below 1 allocate nothing
  const struct { void* mPtr; bool mTop; uint32_t mFreeSpace, mInUse; } steps[] = {
      {nullptr, false, 224 - 88, 36},
      {b, false, 224 - 88, 28},  // below the last block: marked free only
      {b, false, 224 - 88, 28},  // already free: ignored
      {c, false, 224 - 16, 24},  // c, b and the filler before b pop
      {t1, true, 224 - 16, 12},  // below the newest top block
      {t2, true, 256 - 16, 8},   // t2 and then t1 pop
      {a, false, 256, 0},
      {a, false, 256, 0},        // above the bottom now: ignored
  };
  for (const auto& s : steps) {
    if (s.mPtr) mStack.FreeFrom(s.mPtr, 0, s.mTop);
    EXPECT_EQ(s.mFreeSpace, mStack.GetFreeSpace()) << s.mInUse;
    EXPECT_EQ(s.mInUse, InUse(mStack));
    EXPECT_TRUE(mStack.IsValid());
  }
  EXPECT_EQ("00000000||", Error());
}

TEST_F(HeapTest, BadPointersAndExhaustionAreReportedWithTheirCodes) {
  uint8_t* a = static_cast<uint8_t*>(mStack.Alloc(16));  // [0, 24)
  memset(a, 0x55, 16);  // data that reads as no header
  uint8_t* b = static_cast<uint8_t*>(mStack.Alloc(4));   // [24, 36)
  const struct { uint8_t* mPtr; const char* mCall; uint32_t mDamage; } bad[] = {
      {a + 4, "free()", 0},  // inside a block: no header there
      {a + 2, "free()", 0},  // not even word aligned
      {a - 64, "free()", 0},  // before the arena
      {a + 4, "realloc()", 0},
      {b, "free()", 0x10},  // a damaged trailer
  };
  for (const auto& c : bad) {
    mArena[32 / 4] ^= c.mDamage;
    if (c.mCall[0] == 'f') mStack.Free(c.mPtr, 4);
    else EXPECT_EQ(nullptr, mStack.Realloc(c.mPtr, 4, 8));
    mArena[32 / 4] ^= c.mDamage;
    const std::string message =
        "Stack heap 'test' detected invalid pointer 0x" + Hex(c.mPtr) + " passed to " + c.mCall;
    EXPECT_EQ("E0020003|Core/cFxMemoryHeapStack|" + message, Error());
    EXPECT_EQ("ERROR: " + message + " (Core/FxError,87,main)\n", mReport);
  }
  EXPECT_EQ(nullptr, mStack.Alloc(300));
  EXPECT_EQ(nullptr, mStack.AllocFrom(213, true));  // 216 + 8 > 256 - 36
  EXPECT_EQ("E0020002|Core/cFxMemoryHeapStack|Stack heap 'test' out of memory : cannot allocate 213 bytes", Error());
  EXPECT_NE(nullptr, mStack.AllocFrom(212, true));  // exactly fills the rest
  EXPECT_EQ(nullptr, mStack.AllocAligned(1, 64));
  EXPECT_EQ((std::vector<int>{300, 213, 1}), gOutOfMemory);
}

TEST_F(HeapTest, ReallocShrinksInPlaceGrowsTheLastBlockAndOtherwiseMoves) {
  uint8_t* a = static_cast<uint8_t*>(mStack.Alloc(16));  // [0, 24)
  for (int i = 0; i < 16; ++i) a[i] = static_cast<uint8_t>(i + 1);
  uint8_t* b = static_cast<uint8_t*>(mStack.Alloc(8));   // [24, 40)
  // In place: a block below the last shrinks leaving filler; the last one
  // grows and shrinks, moving the bottom.
  const struct { uint8_t* mPtr; uint32_t mOld, mNew, mFreeSpace; } inPlace[] = {
      {a, 16, 6, 256 - 40}, {b, 8, 40, 256 - 72}, {b, 40, 4, 256 - 36}};
  for (const auto& r : inPlace) {
    EXPECT_EQ(r.mPtr, mStack.Realloc(r.mPtr, r.mOld, r.mNew));
    EXPECT_EQ(r.mFreeSpace, mStack.GetFreeSpace());
    EXPECT_TRUE(mStack.IsValid());
  }
  EXPECT_TRUE(gOutOfMemory.empty());
  // A block below the last moves to the low end with its contents, the
  // handler hearing of it first; so does one lacking the alignment.
  uint8_t* moved = static_cast<uint8_t*>(mStack.Realloc(a, 8, 20));
  EXPECT_EQ(At(40), moved);
  EXPECT_EQ(0, memcmp("\1\2\3\4\5\6\7\10", moved, 8));
  EXPECT_EQ((std::vector<int>{20}), gOutOfMemory);
  EXPECT_EQ(0u, mArena[0] & 1);  // the old block is free
  uint8_t* aligned = static_cast<uint8_t*>(mStack.ReallocAligned(moved, 20, 8, 64));
  EXPECT_EQ(0u, reinterpret_cast<uintptr_t>(aligned) % 64);
  EXPECT_EQ(1, aligned[0]);
  // Size 0 frees; null allocates.
  EXPECT_EQ(nullptr, mStack.Realloc(aligned, 8, 0));
  EXPECT_EQ(nullptr, mStack.Realloc(b, 4, 0));
  EXPECT_EQ(256u, mStack.GetFreeSpace());
  EXPECT_EQ(At(4), mStack.Realloc(nullptr, 0, 4));
  EXPECT_EQ("00000000||", Error());
}

TEST_F(HeapTest, DumpListsAllocatedBlocksOrCallsTheHeapInvalid) {
  void* a = mStack.Alloc(6);
  void* b = mStack.Alloc(4);
  void* t = mStack.AllocFrom(12, true);
  mStack.Free(a, 6);
  EXPECT_EQ("test: Block: 4 bytes at address 0x" + Hex(b) + "\ntest: Block: 12 bytes at address 0x" + Hex(t) +
                "\ntest: Total: 2 blocks, 16 bytes\n",
            Dumped(mStack));
  std::vector<uint32_t> sizes;
  mStack.WalkBlocks([](void*, uint32_t size, void* out) { static_cast<std::vector<uint32_t>*>(out)->push_back(size); },
                    &sizes);
  EXPECT_EQ((std::vector<uint32_t>{4, 12}), sizes);
  mArena[(256 - 4) / 4] = 99;  // the top block's trailer
  EXPECT_FALSE(mStack.IsValid());
  EXPECT_EQ("test: Heap invalid\n", Dumped(mStack));
}

TEST_F(HeapTest, OutBandStackKeepsItsBookkeepingOutsideTheArena) {
  sFxOutBandEntry table[4] = {};
  cFxMemoryHeapOutBandStack heap("band");
  heap.Init(mArena, 64, table, 4);
  heap.SetOutOfMemoryHandler(CountOutOfMemory);
  void* a = heap.Alloc(5);
  void* b = heap.Alloc(8);
  void* t = heap.AllocFrom(16, true);
  EXPECT_EQ((std::vector<void*>{At(0), At(8), At(48)}), (std::vector<void*>{a, b, t}));
  EXPECT_EQ(0u, mArena[0] | mArena[2] | mArena[12]);  // nothing written into the arena
  EXPECT_EQ("band: Block: 8 bytes at address 0x" + Hex(a) + "\nband: Block: 8 bytes at address 0x" + Hex(b) +
                "\nband: Block: 16 bytes at address 0x" + Hex(t) + "\nband: Total: 3 blocks, 32 bytes\n",
            Dumped(heap));
  // Exhaustion: of the arena, then of the table.
  EXPECT_EQ(nullptr, heap.Alloc(33));
  EXPECT_EQ("E0020002|Core/cFxMemoryHeapOutBandStack|Stack heap 'band' out of memory : cannot allocate 33 bytes",
            Error());
  void* t4 = heap.AllocFrom(4, true);
  EXPECT_EQ(At(44), t4);
  EXPECT_EQ(nullptr, heap.Alloc(4));
  EXPECT_EQ((std::vector<int>{33, 4}), gOutOfMemory);
  heap.FreeFrom(a, 8, true);  // no entry for it at that end
  EXPECT_EQ("E0020003|Core/cFxMemoryHeapOutBandStack|Stack heap 'band' detected invalid pointer 0x" + Hex(a) +
                " passed to free()",
            Error());
  // Popping: a free entry stays until every newer one at its end is free.
  const struct { void* mPtr; bool mTop; uint32_t mFreeSpace, mEntries; } steps[] = {
      {a, false, 28, 4}, {b, false, 44, 2}, {t, true, 44, 2}, {t4, true, 64, 0}};
  for (const auto& s : steps) {
    heap.FreeFrom(s.mPtr, 0, s.mTop);
    EXPECT_EQ(s.mFreeSpace, heap.GetFreeSpace()) << s.mEntries;
    EXPECT_EQ(s.mEntries, heap.GetEntryCount());
  }
  EXPECT_EQ(0u, InUse(heap));
}

TEST_F(HeapTest, OutBandAlignmentMovesTheBottomOrFailsWithItsOwnMessage) {
  sFxOutBandEntry table[8];
  cFxMemoryHeapOutBandStack heap("band");
  heap.Init(mArena, 128, table, 8);
  heap.Alloc(4);
  void* aligned = heap.AllocAligned(4, 32);
  EXPECT_EQ(At(32), aligned);
  heap.Free(aligned, 4);
  EXPECT_EQ(124u, heap.GetFreeSpace());  // the padding comes back too
  heap.AllocFrom(100, true);             // top now at 28
  EXPECT_EQ(nullptr, heap.AllocAligned(4, 64));
  EXPECT_EQ("E0020002|Core/cFxMemoryHeapOutBandStack|Failed to align to 64 bytes in heap 'band' "
            "whilst creating housekeeping for out band stack 'band'",
            Error());
  EXPECT_EQ(24u, heap.GetFreeSpace());  // a failed request leaves the bottom alone
  char text[2 * sizeof(uintptr_t) + 1];  // pointers print as upper-case hex of full width
  FxPointerText(reinterpret_cast<void*>(uintptr_t{0xBEEF12}), text);
  EXPECT_EQ(std::string(2 * sizeof(uintptr_t) - 6, '0') + "BEEF12", text);
}

}  // namespace
