// The four formatting variants. Output goes first into one scratch buffer per
// width (taken from the string heap on first use and kept), then into a
// result buffer sized exactly for it; output beyond 4096 characters is cut.
//
// The scratch buffers are reached through their handles: allocating the
// result may compact the string heap and move them. Format arguments that
// point into the string heap are read before that allocation. Only the very
// first format call of each width allocates before formatting; the heap is
// then nowhere near full, so that allocation does not compact.
#include <cstdio>
#include <cstring>

#include "API/core/cFxString.h"
#include "Core/FxStringBuffer.h"
#include "Core/cFxMemoryManager.h"

namespace {

constexpr uint32_t cScratchChars = 4096;

// The narrow scratch is requested with 4096 bytes; its block's extent holds
// at least one byte more, where the C formatter puts its terminator after
// 4096 characters. That gives the full 4096 characters of a cut output.
static_assert(FxUnitsFor(cScratchChars) * 16 - 8 >= cScratchChars + 1, "room for the terminator");

sFxHandleCell* gNarrowScratch = nullptr;
sFxHandleCell* gWideScratch = nullptr;

sFxHandleCell* Scratch(sFxHandleCell*& handle, uint32_t bytes) {
  if (!handle) {
    handle = FxAllocStringHandle(bytes);
    if (!handle) FxStringOutOfMemory(bytes);
  }
  return handle;
}

// Formats into the narrow scratch; answers the number of characters kept.
uint32_t FormatNarrow(const char* format, va_list args) {
  sFxHandleCell* scratch = Scratch(gNarrowScratch, cScratchChars);
  char* out = reinterpret_cast<char*>(FxHandleAddress(scratch));
  int count = std::vsnprintf(out, cScratchChars + 1, format ? format : "", args);
  if (count <= 0) return 0;
  return static_cast<uint32_t>(count) < cScratchChars ? static_cast<uint32_t>(count) : cScratchChars;
}

// Formats into the wide scratch; answers the number of units kept.
uint32_t FormatWide(const wchar16* format, va_list args) {
  sFxHandleCell* scratch = Scratch(gWideScratch, cScratchChars * sizeof(wchar16));
  wchar16* out = reinterpret_cast<wchar16*>(FxHandleAddress(scratch));
  int32_t count = FxWFormatV(out, cScratchChars, format, args);
  return count < 0 ? cScratchChars : static_cast<uint32_t>(count);
}

const char* NarrowScratch() { return reinterpret_cast<const char*>(FxHandleAddress(gNarrowScratch)); }
const wchar16* WideScratch() { return reinterpret_cast<const wchar16*>(FxHandleAddress(gWideScratch)); }

}  // namespace

cFxString cFxString::FormatV(const char* format, va_list args) {
  uint32_t count = FormatNarrow(format, args);
  // FxStringNewCopy anchors the scratch pointer across its allocation.
  return cFxString(FxStringNewCopy(NarrowScratch(), count));
}

cFxString cFxString::Format(const char* format, ...) {
  va_list args;
  va_start(args, format);
  cFxString result = FormatV(format, args);
  va_end(args);
  return result;
}

cFxString cFxString::FormatWV(const wchar16* format, va_list args) {
  uint32_t count = FormatWide(format, args);
  return cFxString(FxStringNewNarrowed(WideScratch(), count));
}

cFxString cFxString::FormatW(const wchar16* format, ...) {
  va_list args;
  va_start(args, format);
  cFxString result = FormatWV(format, args);
  va_end(args);
  return result;
}

cFxWString cFxWString::FormatV(const char* format, va_list args) {
  uint32_t count = FormatNarrow(format, args);
  return cFxWString(FxStringNewWidened(NarrowScratch(), count));
}

cFxWString cFxWString::Format(const char* format, ...) {
  va_list args;
  va_start(args, format);
  cFxWString result = FormatV(format, args);
  va_end(args);
  return result;
}

cFxWString cFxWString::FormatWV(const wchar16* format, va_list args) {
  uint32_t count = FormatWide(format, args);
  return cFxWString(FxStringNewCopy(WideScratch(), count));
}

cFxWString cFxWString::FormatW(const wchar16* format, ...) {
  va_list args;
  va_start(args, format);
  cFxWString result = FormatWV(format, args);
  va_end(args);
  return result;
}
