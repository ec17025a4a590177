// The heap interface of the stack-discipline heaps.
//
// A heap starts uninitialised: every allocation answers null and a dump
// prints "Heap not initialized\n". The program's own heaps stay that way;
// Init of a concrete heap lays it over caller-supplied memory.
//
// Failures are not thrown: the heap records file, line, code and message in
// the error record, reports it on channel 0 and answers null (allocation) or
// does nothing (free). Pointers in messages and dumps are printed in the
// Windows C library's "%p" form (upper-case hex, the pointer's full width),
// so a text reads the same on every platform.
//
// Single-threaded: no locks.
#pragma once

#include "API/core/FxTypes.h"

namespace kFxMemoryHeap {
constexpr uint32_t cNameSize = 64;  // characters, terminator included
// Kinds of heap, as GetInfo reports them.
constexpr uint32_t cKindStack = 2;
constexpr uint32_t cKindOutBandStack = 3;
// Words and bytes that fill padding and released tails.
constexpr uint32_t cFillerWord = 0xA1A1A1A1u;
constexpr uint8_t cFillerByte = 0xA1;
}  // namespace kFxMemoryHeap

// What GetInfo copies out.
struct sFxHeapInfo {
  char mName[kFxMemoryHeap::cNameSize];
  uint32_t mBytesInUse;
  uint32_t mBytesFree;
  uint32_t mKind;
  uint32_t mPeakBytesInUse;  // the most ever in use at once
};

// Called when a request cannot be met, before the heap answers null.
typedef void (*tFxOutOfMemoryHandler)(class cFxMemoryHeap* heap, int32_t size);
// Called by WalkBlocks for each allocated block.
typedef void (*tFxHeapBlockCallback)(void* data, uint32_t size, void* context);

class cFxMemoryHeap {
 public:
  virtual void* Alloc(int32_t size) = 0;
  virtual void Free(void* ptr, int32_t size) = 0;
  // A new size of 0 frees the block and answers null; null `ptr` allocates.
  virtual void* Realloc(void* ptr, int32_t oldSize, int32_t newSize) = 0;
  // `alignment` is a power of two.
  virtual void* AllocAligned(int32_t size, int32_t alignment) = 0;
  virtual void FreeAligned(void* ptr, int32_t size) = 0;
  virtual void* ReallocAligned(void* ptr, int32_t oldSize, int32_t newSize, int32_t alignment) = 0;
  virtual bool IsValid() = 0;
  virtual void GetInfo(sFxHeapInfo& out);
  // Asks the heap to give back slack at its ends. Stack heaps keep none, so
  // it does nothing; the argument is a hint for heaps that do.
  virtual void Trim(uint32_t hint);
  // Prints every allocated block and a total on output channel `channel`.
  virtual void Dump(int32_t channel);
  virtual void WalkBlocks(tFxHeapBlockCallback callback, void* context) = 0;
  // Whether [ptr, ptr + size) is memory the heap handed out.
  virtual bool Owns(const void* ptr, int32_t size) = 0;
  virtual void SetOutOfMemoryHandler(tFxOutOfMemoryHandler handler);
  virtual void* AllocFrom(int32_t size, bool fromTop) = 0;
  virtual void FreeFrom(void* ptr, int32_t size, bool fromTop) = 0;

  bool IsInitialised() const { return mInitialised != 0; }
  const char* GetName() const { return mName; }
  int32_t GetLastDumpChannel() const { return mDumpChannel; }

 protected:
  // `name` is cut to 63 characters.
  cFxMemoryHeap(const char* name, uint32_t kind);
  // Plain destruction: heaps live in static storage or as members and own
  // no memory.
  ~cFxMemoryHeap() = default;

  // Sets name, statistics and the initialised flag for `bytes` of arena.
  void Start(uint32_t bytes);
  void CountAlloc(uint32_t bytes);
  void CountFree(uint32_t bytes);
  // Records and reports an error against `file` and `line`.
  static void Report(const char* file, int32_t line, uint32_t code, const char* format, ...)
#if defined(__GNUC__)
      __attribute__((format(printf, 4, 5)))
#endif
      ;
  void RunOutOfMemoryHandler(int32_t size);

  uint8_t mInitialised;
  char mName[kFxMemoryHeap::cNameSize];
  uint32_t mBytesInUse;
  uint32_t mBytesFree;
  uint32_t mKind;
  uint32_t mPeakBytesInUse;
  int32_t mDumpChannel;
  tFxOutOfMemoryHandler mOutOfMemoryHandler;
};

// Text of a pointer as the Windows C library's "%p" prints it: upper-case
// hex digits, zero-padded to the pointer's width. `out` holds 17 characters.
void FxPointerText(const void* ptr, char* out);
