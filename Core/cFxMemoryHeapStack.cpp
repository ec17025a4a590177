// The two-ended stack heap with header and trailer words in the arena.
#include "Core/cFxMemoryHeapStack.h"

#include <cstring>

cFxMemoryHeapStack gFxStackHeap("Global stack heap");

namespace {

const char cSourceFile[] = "Core/cFxMemoryHeapStack";
constexpr uint32_t cUsedBit = 1;
constexpr uint32_t cBadBit = 2;  // never set in a header: a word with it is no header
constexpr uint32_t cSizeMask = ~3u;
// Arenas stay below the size a filler word would claim as a header, so the
// two cannot be confused while walking.
constexpr uint32_t cMaxArena = 0x7FFFFFF0u;

uint32_t Rounded(int32_t size) { return (static_cast<uint32_t>(size) + 3) & cSizeMask; }

}  // namespace

cFxMemoryHeapStack::cFxMemoryHeapStack(const char* name)
    : cFxMemoryHeap(name, kFxMemoryHeap::cKindStack), mArena(nullptr), mSize(0), mBottom(0), mTop(0) {}

void cFxMemoryHeapStack::Init(void* arena, uint32_t bytes) {
  if (bytes > cMaxArena) bytes = cMaxArena;
  mArena = static_cast<uint8_t*>(arena);
  mSize = bytes & cSizeMask;
  mBottom = 0;
  mTop = mSize;
  Start(mSize);
}

void* cFxMemoryHeapStack::AllocFrom(int32_t size, bool fromTop) {
  if (!mInitialised || size < 1) return nullptr;
  const uint32_t rounded = Rounded(size);
  if (static_cast<uint64_t>(rounded) + 8 > mTop - mBottom) {
    Report(cSourceFile, __LINE__, kFxError::cStackHeapAlloc,
           "Stack heap '%s' out of memory : cannot allocate %d bytes", mName, size);
    RunOutOfMemoryHandler(size);
    return nullptr;
  }
  uint32_t header;
  if (fromTop) {
    header = mTop - 8 - rounded;
    mTop = header;
  } else {
    header = mBottom;
    mBottom = header + 8 + rounded;
  }
  Word(header) = rounded | cUsedBit;
  Word(header + 4 + rounded) = rounded;
  CountAlloc(rounded);
  return mArena + header + 4;
}

bool cFxMemoryHeapStack::InLowRegion(const void* ptr) const {
  const uintptr_t p = reinterpret_cast<uintptr_t>(ptr);
  const uintptr_t base = reinterpret_cast<uintptr_t>(mArena);
  return p >= base && p < base + mBottom;
}

int64_t cFxMemoryHeapStack::CheckedHeader(const void* ptr) const {
  const uintptr_t p = reinterpret_cast<uintptr_t>(ptr);
  const uintptr_t base = reinterpret_cast<uintptr_t>(mArena);
  if (p < base + 4 || p >= base + mSize || (p - base) % 4 != 0) return -1;
  const uint32_t data = static_cast<uint32_t>(p - base);
  // The block must lie wholly inside the region its data starts in.
  uint32_t regionEnd;
  if (data < mBottom) {
    regionEnd = mBottom;
  } else if (data >= mTop + 4) {
    regionEnd = mSize;
  } else {
    return -1;
  }
  const uint32_t header = data - 4;
  const uint32_t word = Word(header);
  if (word & cBadBit) return -1;
  const uint32_t size = word & cSizeMask;
  if (size > regionEnd - data - 4 || Word(data + size) != size) return -1;
  return header;
}

void cFxMemoryHeapStack::PopLow() {
  while (mBottom >= 8) {
    const uint32_t size = Word(mBottom - 4);
    const uint32_t header = mBottom - 8 - size;
    if (Word(header) & cUsedBit) break;
    mBottom = header;
    while (mBottom >= 4 && Word(mBottom - 4) == kFxMemoryHeap::cFillerWord) mBottom -= 4;
  }
}

void cFxMemoryHeapStack::PopTop() {
  while (mTop < mSize) {
    const uint32_t word = Word(mTop);
    if (word & cUsedBit) break;
    mTop += 8 + word;
    // Filler after a block is the released tail of a block shrunk in place.
    while (mTop < mSize && Word(mTop) == kFxMemoryHeap::cFillerWord) mTop += 4;
  }
}

void cFxMemoryHeapStack::FreeFrom(void* ptr, int32_t, bool fromTop) {
  if (!mInitialised || ptr == nullptr) return;
  const uintptr_t p = reinterpret_cast<uintptr_t>(ptr);
  const uintptr_t base = reinterpret_cast<uintptr_t>(mArena);
  // Memory already given back at the end being freed.
  if (!fromTop && p >= base + mBottom) return;
  if (fromTop && p >= base && p < base + mTop) return;
  const int64_t header = CheckedHeader(ptr);
  if (header < 0) {
    char address[2 * sizeof(uintptr_t) + 1];
    FxPointerText(ptr, address);
    Report(cSourceFile, __LINE__, kFxError::cStackHeapPointer,
           "Stack heap '%s' detected invalid pointer 0x%s passed to free()", mName, address);
    return;
  }
  uint32_t& word = Word(static_cast<uint32_t>(header));
  if (!(word & cUsedBit)) return;
  word &= ~cUsedBit;
  CountFree(word);
  if (fromTop) {
    PopTop();
  } else {
    PopLow();
  }
}

void* cFxMemoryHeapStack::AllocAligned(int32_t size, int32_t alignment) {
  if (!mInitialised || size < 1) return nullptr;
  uint32_t align = 4;
  while (align < static_cast<uint32_t>(alignment) && align < 0x40000000u) align <<= 1;
  const uintptr_t data = reinterpret_cast<uintptr_t>(mArena) + mBottom + 4;
  const uint32_t pad = static_cast<uint32_t>((0 - data) & (align - 1));
  if (static_cast<uint64_t>(pad) + Rounded(size) + 8 > mTop - mBottom) {
    Report(cSourceFile, __LINE__, kFxError::cStackHeapAlloc,
           "Stack heap '%s' out of memory : cannot allocate %d bytes", mName, size);
    RunOutOfMemoryHandler(size);
    return nullptr;
  }
  for (uint32_t i = 0; i < pad; i += 4) Word(mBottom + i) = kFxMemoryHeap::cFillerWord;
  mBottom += pad;
  return AllocFrom(size, false);
}

void* cFxMemoryHeapStack::Realloc(void* ptr, int32_t, int32_t newSize) {
  return Resize(ptr, newSize, 0);
}

void* cFxMemoryHeapStack::ReallocAligned(void* ptr, int32_t, int32_t newSize, int32_t alignment) {
  return Resize(ptr, newSize, alignment);
}

void* cFxMemoryHeapStack::Resize(void* ptr, int32_t newSize, int32_t alignment) {
  if (!mInitialised) return nullptr;
  if (ptr == nullptr) return alignment > 0 ? AllocAligned(newSize, alignment) : Alloc(newSize);
  const int64_t checked = CheckedHeader(ptr);
  if (checked < 0 || !(Word(static_cast<uint32_t>(checked)) & cUsedBit)) {
    char address[2 * sizeof(uintptr_t) + 1];
    FxPointerText(ptr, address);
    Report(cSourceFile, __LINE__, kFxError::cStackHeapPointer,
           "Stack heap '%s' detected invalid pointer 0x%s passed to realloc()", mName, address);
    return nullptr;
  }
  const bool low = InLowRegion(ptr);
  if (newSize < 1) {
    FreeFrom(ptr, 0, !low);
    return nullptr;
  }
  const uint32_t header = static_cast<uint32_t>(checked);
  const uint32_t size = Word(header) & cSizeMask;
  const uint32_t rounded = Rounded(newSize);
  const bool aligned = alignment <= 0 || reinterpret_cast<uintptr_t>(ptr) % static_cast<uint32_t>(alignment) == 0;
  const bool lastLow = low && header + 8 + size == mBottom;

  if (aligned && rounded <= size) {
    if (rounded < size) {
      Word(header) = rounded | cUsedBit;
      Word(header + 4 + rounded) = rounded;
      memset(mArena + header + 8 + rounded, kFxMemoryHeap::cFillerByte, size - rounded);
      CountFree(size - rounded);
      if (lastLow) mBottom = header + 8 + rounded;
    }
    return ptr;
  }
  if (aligned && lastLow && rounded - size <= mTop - mBottom) {
    Word(header) = rounded | cUsedBit;
    Word(header + 4 + rounded) = rounded;
    mBottom = header + 8 + rounded;
    CountAlloc(rounded - size);
    return ptr;
  }
  RunOutOfMemoryHandler(newSize);
  void* moved = alignment > 0 ? AllocAligned(newSize, alignment) : AllocFrom(newSize, false);
  if (moved == nullptr) return nullptr;
  memcpy(moved, ptr, size < rounded ? size : rounded);
  FreeFrom(ptr, 0, !low);
  return moved;
}

bool cFxMemoryHeapStack::WalkRegion(uint32_t from, uint32_t to, tFxHeapBlockCallback callback,
                                    void* context) const {
  uint32_t at = from;
  while (at < to) {
    const uint32_t word = Word(at);
    if (word == kFxMemoryHeap::cFillerWord) {
      at += 4;
      continue;
    }
    const uint32_t size = word & cSizeMask;
    if ((word & cBadBit) || to - at < 8 || size > to - at - 8 || Word(at + 4 + size) != size) {
      return false;
    }
    if ((word & cUsedBit) && callback != nullptr) callback(mArena + at + 4, size, context);
    at += 8 + size;
  }
  return at == to;
}

bool cFxMemoryHeapStack::IsValid() {
  return mInitialised && WalkRegion(0, mBottom, nullptr, nullptr) &&
         WalkRegion(mTop, mSize, nullptr, nullptr);
}

void cFxMemoryHeapStack::WalkBlocks(tFxHeapBlockCallback callback, void* context) {
  if (!mInitialised) return;
  if (WalkRegion(0, mBottom, callback, context)) WalkRegion(mTop, mSize, callback, context);
}

bool cFxMemoryHeapStack::Owns(const void* ptr, int32_t size) {
  if (!mInitialised || ptr == nullptr || size < 0) return false;
  const uintptr_t p = reinterpret_cast<uintptr_t>(ptr);
  const uintptr_t base = reinterpret_cast<uintptr_t>(mArena);
  return p >= base && p + static_cast<uint32_t>(size) <= base + mBottom;
}
