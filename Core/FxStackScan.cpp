// The conservative stack scan behind pinned compaction.
#include <algorithm>
#include <csetjmp>

#include "Core/cFxCompactingHeap.h"
#include "Core/platform/FxPlatform.h"

#if defined(_MSC_VER) && !defined(__clang__)
#include <intrin.h>
#define FX_NOINLINE __declspec(noinline)
#define FX_NO_ASAN __declspec(no_sanitize_address)
#define FX_FRAME_ADDRESS() _AddressOfReturnAddress()
#else
#define FX_NOINLINE __attribute__((noinline))
#define FX_NO_ASAN __attribute__((no_sanitize("address")))
#define FX_FRAME_ADDRESS() __builtin_frame_address(0)
#endif

namespace {

// Sorts the set and drops duplicates: the same block is often named by
// several stack words.
void Tidy(sFxPinnedSet& set) {
  std::sort(set.mOffsets, set.mOffsets + set.mCount);
  set.mCount = static_cast<uint32_t>(std::unique(set.mOffsets, set.mOffsets + set.mCount) - set.mOffsets);
}

// Reads whole stack frames, including the redzones a sanitizer keeps
// between locals, so it must not be instrumented.
FX_NOINLINE FX_NO_ASAN bool ScanWords(uintptr_t from, uintptr_t to, uintptr_t low, uintptr_t high,
                                      const uint8_t* base, sFxPinnedSet& set) {
  const uintptr_t step = sizeof(uintptr_t);
  for (uintptr_t p = (from + step - 1) & ~(step - 1); p + step <= to; p += step) {
    uintptr_t value = *reinterpret_cast<const volatile uintptr_t*>(p);
    if (value < low || value > high) continue;
    if (set.mCount == kFxHeap::cMaxPinned) {
      Tidy(set);
      if (set.mCount == kFxHeap::cMaxPinned) return false;
    }
    set.mOffsets[set.mCount++] = static_cast<uint32_t>(value - reinterpret_cast<uintptr_t>(base));
  }
  return true;
}

}  // namespace

FX_NOINLINE bool FxCollectStackPins(uintptr_t low, uintptr_t high, const uint8_t* base,
                                    sFxPinnedSet& set) {
  set.mCount = 0;
  uintptr_t stackLow = 0;
  uintptr_t stackHigh = 0;
  if (!FxPlatformGetStackBounds(&stackLow, &stackHigh)) return false;

  // Values the callers keep in callee-saved registers are not on the stack
  // yet; setjmp stores them in a buffer inside this frame.
  std::jmp_buf registers;
  setjmp(registers);
  uintptr_t from = reinterpret_cast<uintptr_t>(FX_FRAME_ADDRESS());
  uintptr_t buffer = reinterpret_cast<uintptr_t>(&registers);
  if (buffer >= stackLow && buffer < from) from = buffer;
  if (from < stackLow || from >= stackHigh) return false;

  if (!ScanWords(from, stackHigh, low, high, base, set)) return false;
  Tidy(set);
  return true;
}
