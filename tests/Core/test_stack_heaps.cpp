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
  uint32_t Word(uint32_t offset) const { return mArena[offset / 4]; }
  uint8_t* At(uint32_t offset) { return reinterpret_cast<uint8_t*>(mArena) + offset; }
  sFxHeapInfo Info(cFxMemoryHeap& heap) {
    sFxHeapInfo info;
    heap.GetInfo(info);
    return info;
  }

  alignas(64) uint32_t mArena[64];  // 256 bytes
  char mReport[416];
  cFxMemoryHeapStack mStack{"test"};
};

TEST_F(HeapTest, NeverInitialisedHeapsAnswerNullAndSaySo) {
  cFxMemoryHeapStack stack("idle");
  cFxMemoryHeapOutBandStack outBand("idle band");
  cFxMemoryHeap* heaps[] = {&gFxStackHeap, &stack, &outBand};
  for (cFxMemoryHeap* heap : heaps) {
    EXPECT_FALSE(heap->IsInitialised());
    EXPECT_EQ(nullptr, heap->AllocFrom(16, false));
    EXPECT_EQ(nullptr, heap->AllocFrom(16, true));
    EXPECT_EQ(nullptr, heap->Alloc(1));
    EXPECT_EQ(nullptr, heap->AllocAligned(8, 16));
    EXPECT_EQ(nullptr, heap->Realloc(nullptr, 0, 8));
    EXPECT_FALSE(heap->IsValid());
    EXPECT_FALSE(heap->Owns(mArena, 4));
    heap->Free(mArena, 4);  // ignored, nothing reported
    heap->FreeFrom(mArena, 4, true);
    EXPECT_EQ("Heap not initialized\n", Dumped(*heap));
    EXPECT_EQ(cDumpChannel, heap->GetLastDumpChannel());
  }
  EXPECT_EQ("00000000||", Error());
  EXPECT_EQ(kFxMemoryHeap::cKindStack, Info(stack).mKind);
  EXPECT_EQ(kFxMemoryHeap::cKindOutBandStack, Info(outBand).mKind);
  EXPECT_STREQ("idle band", Info(outBand).mName);
}

TEST_F(HeapTest, BlocksComeFromBothEndsBetweenTheirHeaderAndTrailerWords) {
  uint8_t* low = static_cast<uint8_t*>(mStack.Alloc(5));
  uint8_t* top = static_cast<uint8_t*>(mStack.AllocFrom(10, true));
  uint8_t* low2 = static_cast<uint8_t*>(mStack.AllocFrom(4, false));
  EXPECT_EQ(At(4), low);     // [0 header][4 data: 8][12 trailer]
  EXPECT_EQ(At(20), low2);
  EXPECT_EQ(At(240), top);  // [236 header][240 data: 12][252 trailer]
  EXPECT_EQ(256u - 28 - 20, mStack.GetFreeSpace());
  const sFxHeapInfo info = Info(mStack);
  EXPECT_EQ(24u, info.mBytesInUse);
  EXPECT_EQ(256u - 24, info.mBytesFree);
  EXPECT_TRUE(mStack.IsValid());
  EXPECT_TRUE(mStack.Owns(low, 8) && mStack.Owns(low2, 8));  // the trailer is in the region
  EXPECT_FALSE(mStack.Owns(low2, 9) || mStack.Owns(top, 1));
  // Sizes below 1 allocate nothing.
  EXPECT_EQ(nullptr, mStack.Alloc(0));
  EXPECT_EQ(nullptr, mStack.AllocFrom(-4, true));
}

TEST_F(HeapTest, FreeingPopsFreeBlocksAndFillerAtThatEnd) {
  void* a = mStack.Alloc(8);                // [0, 16)
  void* b = mStack.AllocAligned(8, 64);     // filler [16, 60), block [60, 76)
  void* c = mStack.Alloc(4);                // [76, 88)
  void* t1 = mStack.AllocFrom(4, true);     // [244, 256)
  void* t2 = mStack.AllocFrom(4, true);     // [232, 244)
  ASSERT_EQ(At(64), b);
  const struct { void* mPtr; bool mTop; uint32_t mFreeSpace; uint32_t mInUse; } steps[] = {
      {b, false, 232 - 88, 20},  // below the last block: marked free only
      {b, false, 232 - 88, 20},  // already free: ignored
      {c, false, 232 - 16, 16},  // c, b and the filler before b pop
      {t1, true, 232 - 16, 12},  // below the newest top block
      {t2, true, 256 - 16, 8},   // t2 and then t1 pop
      {a, false, 256, 0},
      {a, false, 256, 0},        // above the bottom now: ignored
  };
  for (const auto& s : steps) {
    mStack.FreeFrom(s.mPtr, 0, s.mTop);
    EXPECT_EQ(s.mFreeSpace, mStack.GetFreeSpace()) << s.mInUse;
    EXPECT_EQ(s.mInUse, Info(mStack).mBytesInUse);
    EXPECT_TRUE(mStack.IsValid());
  }
  EXPECT_EQ("00000000||", Error());
  EXPECT_EQ(28u, Info(mStack).mPeakBytesInUse);
}

TEST_F(HeapTest, BadPointersAndExhaustionAreReportedWithTheirCodes) {
  mStack.SetOutOfMemoryHandler(CountOutOfMemory);
  uint8_t* a = static_cast<uint8_t*>(mStack.Alloc(16));  // [0, 24)
  memset(a, 0x55, 16);  // data that reads as no header
  uint8_t* b = static_cast<uint8_t*>(mStack.Alloc(4));   // [24, 36)
  const std::string stackFile = "|Core/cFxMemoryHeapStack|";
  const struct { uint8_t* mPtr; const char* mCall; } bad[] = {
      {a + 4, "free()"},  // inside a block: no header there
      {a + 2, "free()"},  // not even word aligned
      {a - 64, "free()"},  // before the arena
      {a + 4, "realloc()"},
  };
  for (const auto& c : bad) {
    if (std::string(c.mCall) == "free()") {
      mStack.Free(c.mPtr, 4);
    } else {
      EXPECT_EQ(nullptr, mStack.Realloc(c.mPtr, 4, 8));
    }
    const std::string message =
        "Stack heap 'test' detected invalid pointer 0x" + Hex(c.mPtr) + " passed to " + c.mCall;
    EXPECT_EQ("E0020003" + stackFile + message, Error());
    EXPECT_EQ("ERROR: " + message + " (Core/FxError,87,main)\n", mReport);
  }
  // A damaged trailer makes the block's pointer invalid too.
  mArena[32 / 4] ^= 0x10;
  mStack.Free(b, 4);
  EXPECT_EQ("ERROR: Stack heap 'test' detected invalid pointer 0x" + Hex(b) +
                " passed to free() (Core/FxError,87,main)\n",
            mReport);
  mArena[32 / 4] ^= 0x10;

  EXPECT_EQ(nullptr, mStack.Alloc(300));
  EXPECT_EQ(nullptr, mStack.AllocFrom(213, true));  // 216 + 8 > 256 - 36
  EXPECT_EQ("E0020002" + stackFile + "Stack heap 'test' out of memory : cannot allocate 213 bytes",
            Error());
  EXPECT_NE(nullptr, mStack.AllocFrom(212, true));  // exactly fills the rest
  EXPECT_EQ(0u, mStack.GetFreeSpace());
  EXPECT_EQ(nullptr, mStack.AllocAligned(1, 64));
  EXPECT_EQ((std::vector<int>{300, 213, 1}), gOutOfMemory);
}

TEST_F(HeapTest, ReallocShrinksInPlaceGrowsTheLastBlockAndOtherwiseMoves) {
  mStack.SetOutOfMemoryHandler(CountOutOfMemory);
  uint8_t* a = static_cast<uint8_t*>(mStack.Alloc(16));  // [0, 24)
  for (int i = 0; i < 16; ++i) a[i] = static_cast<uint8_t>(i + 1);
  uint8_t* b = static_cast<uint8_t*>(mStack.Alloc(8));   // [24, 40)

  // Shrinking a block below the last leaves filler in its released tail.
  EXPECT_EQ(a, mStack.Realloc(a, 16, 6));
  EXPECT_TRUE(mStack.IsValid());
  EXPECT_EQ(256u - 40, mStack.GetFreeSpace());

  // The last block grows and shrinks in place, moving the bottom.
  EXPECT_EQ(b, mStack.Realloc(b, 8, 40));
  EXPECT_EQ(256u - 72, mStack.GetFreeSpace());
  EXPECT_EQ(b, mStack.Realloc(b, 40, 4));
  EXPECT_EQ(256u - 36, mStack.GetFreeSpace());
  EXPECT_TRUE(gOutOfMemory.empty());

  // A block below the last moves to the low end with its contents; the
  // handler hears of it first.
  uint8_t* moved = static_cast<uint8_t*>(mStack.Realloc(a, 8, 20));
  EXPECT_EQ(At(40), moved);
  for (int i = 0; i < 8; ++i) EXPECT_EQ(i + 1, moved[i]);
  EXPECT_EQ((std::vector<int>{20}), gOutOfMemory);
  EXPECT_EQ(0u, Word(0) & 1);  // the old block is free

  // Alignment that the block lacks moves it too.
  uint8_t* aligned = static_cast<uint8_t*>(mStack.ReallocAligned(moved, 20, 8, 64));
  EXPECT_EQ(0u, reinterpret_cast<uintptr_t>(aligned) % 64);
  EXPECT_EQ(1, aligned[0]);

  // Size 0 frees; null allocates.
  EXPECT_EQ(nullptr, mStack.Realloc(aligned, 8, 0));
  EXPECT_EQ(nullptr, mStack.Realloc(b, 4, 0));
  EXPECT_EQ(256u, mStack.GetFreeSpace());
  EXPECT_EQ(At(4), mStack.Realloc(nullptr, 0, 4));
  EXPECT_EQ("00000000||", Error());
  EXPECT_TRUE(mStack.IsValid());
}

TEST_F(HeapTest, DumpListsAllocatedBlocksOrCallsTheHeapInvalid) {
  void* a = mStack.Alloc(6);
  void* b = mStack.Alloc(4);
  void* t = mStack.AllocFrom(12, true);
  mStack.Free(a, 6);
  EXPECT_EQ("test: Block: 4 bytes at address 0x" + Hex(b) + "\n" +
                "test: Block: 12 bytes at address 0x" + Hex(t) + "\n" +
                "test: Total: 2 blocks, 16 bytes\n",
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
  EXPECT_TRUE(heap.IsValid());
  uint8_t* a = static_cast<uint8_t*>(heap.Alloc(5));
  uint8_t* b = static_cast<uint8_t*>(heap.Alloc(8));
  uint8_t* t = static_cast<uint8_t*>(heap.AllocFrom(16, true));
  EXPECT_EQ(At(0), a);
  EXPECT_EQ(At(8), b);
  EXPECT_EQ(At(48), t);
  EXPECT_EQ(0u, Word(0) | Word(8) | Word(48));  // nothing written into the arena

  EXPECT_EQ("band: Block: 8 bytes at address 0x" + Hex(a) + "\n" +
                "band: Block: 8 bytes at address 0x" + Hex(b) + "\n" +
                "band: Block: 16 bytes at address 0x" + Hex(t) + "\n" +
                "band: Total: 3 blocks, 32 bytes\n",
            Dumped(heap));

  // Exhaustion: of the arena, then of the table.
  EXPECT_EQ(nullptr, heap.Alloc(33));
  EXPECT_EQ("E0020002|Core/cFxMemoryHeapOutBandStack|Stack heap 'band' out of memory : cannot allocate 33 bytes",
            Error());
  void* t4 = heap.AllocFrom(4, true);
  EXPECT_EQ(At(44), t4);
  EXPECT_EQ(4u, heap.GetEntryCount());
  EXPECT_EQ(nullptr, heap.Alloc(4));
  EXPECT_EQ((std::vector<int>{33, 4}), gOutOfMemory);

  // An address with no entry at that end is invalid.
  heap.FreeFrom(a, 8, true);
  EXPECT_EQ("E0020003|Core/cFxMemoryHeapOutBandStack|Stack heap 'band' detected invalid pointer 0x" +
                Hex(a) + " passed to free()",
            Error());

  // Popping: a free entry stays until every newer one at its end is free.
  const struct { void* mPtr; bool mTop; uint32_t mFreeSpace, mEntries; } steps[] = {
      {a, false, 28, 4}, {b, false, 44, 2}, {t, true, 44, 2}, {t4, true, 64, 0}};
  for (const auto& s : steps) {
    heap.FreeFrom(s.mPtr, 0, s.mTop);
    EXPECT_EQ(s.mFreeSpace, heap.GetFreeSpace()) << s.mEntries;
    EXPECT_EQ(s.mEntries, heap.GetEntryCount());
  }
  EXPECT_EQ(0u, Info(heap).mBytesInUse);
}

TEST_F(HeapTest, OutBandAlignmentMovesTheBottomOrFailsWithItsOwnMessage) {
  sFxOutBandEntry table[8];
  cFxMemoryHeapOutBandStack heap("band");
  heap.Init(mArena, 128, table, 8);
  heap.Alloc(4);
  uint8_t* aligned = static_cast<uint8_t*>(heap.AllocAligned(4, 32));
  EXPECT_EQ(At(32), aligned);
  heap.Free(aligned, 4);
  EXPECT_EQ(124u, heap.GetFreeSpace());  // the padding comes back too
  heap.AllocFrom(100, true);             // top now at 28
  EXPECT_EQ(nullptr, heap.AllocAligned(4, 64));
  EXPECT_EQ("E0020002|Core/cFxMemoryHeapOutBandStack|Failed to align to 64 bytes in heap 'band' "
            "whilst creating housekeeping for out band stack 'band'",
            Error());
  EXPECT_EQ(24u, heap.GetFreeSpace());  // a failed request leaves the bottom alone
}

TEST(PointerText, IsUpperCaseHexOfThePointersFullWidth) {
  char text[2 * sizeof(uintptr_t) + 1];
  FxPointerText(reinterpret_cast<void*>(uintptr_t{0xBEEF12}), text);
  EXPECT_EQ(std::string(2 * sizeof(uintptr_t) - 6, '0') + "BEEF12", text);
}

}  // namespace
