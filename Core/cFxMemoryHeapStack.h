// A heap used like two stacks: one growing up from the arena's low end, one
// growing down from its top end.
//
// Sizes are rounded up to a multiple of 4. Every block carries two 32-bit
// words in the arena, also on 64-bit builds:
//
//   [header = size | 1 while allocated][data: size bytes][trailer = size]
//
// Freeing a block clears its used bit; the block nearest the end it was
// freed at is popped while it is free, together with any filler words
// (0xA1A1A1A1) in front of it, so memory comes back in stack order. Filler
// words pad the low end for aligned requests and fill the released tail of
// a block shrunk in place.
//
// Alloc, Free and Realloc work at the low end; AllocFrom and FreeFrom name
// the end. A top-end block must be freed at the top end.
#pragma once

#include "API/core/cFxMemoryHeap.h"

class cFxMemoryHeapStack final : public cFxMemoryHeap {
 public:
  explicit cFxMemoryHeapStack(const char* name = "");

  // Lays the heap over [arena, arena + bytes) and starts it empty. The
  // arena must be 4-byte aligned and stay alive while the heap is used; the
  // heap does not own it. Calling Init again forgets every block.
  void Init(void* arena, uint32_t bytes);

  void* Alloc(int32_t size) override { return AllocFrom(size, false); }
  void Free(void* ptr, int32_t size) override { FreeFrom(ptr, size, false); }
  // Shrinks in place, grows the last low-end block in place, or moves the
  // block to the low end (calling the out-of-memory handler first). A
  // pointer whose header or trailer is inconsistent is reported; null then.
  void* Realloc(void* ptr, int32_t oldSize, int32_t newSize) override;
  void* AllocAligned(int32_t size, int32_t alignment) override;
  void FreeAligned(void* ptr, int32_t size) override { FreeFrom(ptr, size, false); }
  void* ReallocAligned(void* ptr, int32_t oldSize, int32_t newSize, int32_t alignment) override;
  // Walks both ends and checks every header against its trailer.
  bool IsValid() override;
  // Low end first (ascending), then the top end (from the top pointer up).
  void WalkBlocks(tFxHeapBlockCallback callback, void* context) override;
  // True when the range ends within the allocated low region.
  bool Owns(const void* ptr, int32_t size) override;
  void* AllocFrom(int32_t size, bool fromTop) override;
  void FreeFrom(void* ptr, int32_t size, bool fromTop) override;

  // Free space between the two ends.
  uint32_t GetFreeSpace() const { return mTop - mBottom; }

 private:
  uint32_t& Word(uint32_t offset) const { return *reinterpret_cast<uint32_t*>(mArena + offset); }
  uint32_t OffsetOf(const void* ptr) const {
    return static_cast<uint32_t>(static_cast<const uint8_t*>(ptr) - mArena);
  }
  // Offset of the header of the block whose data is at `ptr` when the block
  // lies wholly in an allocated region and header and trailer agree;
  // otherwise -1.
  int64_t CheckedHeader(const void* ptr) const;
  bool InLowRegion(const void* ptr) const;
  void PopLow();
  void PopTop();
  void* Resize(void* ptr, int32_t newSize, int32_t alignment);
  // Walks one region, answering false at the first inconsistent block.
  bool WalkRegion(uint32_t from, uint32_t to, tFxHeapBlockCallback callback, void* context) const;

  uint8_t* mArena;
  uint32_t mSize;
  uint32_t mBottom;  // first free byte above the low end
  uint32_t mTop;     // first byte of the top end's lowest block
};

// The global stack heap: created at start-up, never given memory.
extern cFxMemoryHeapStack gFxStackHeap;
