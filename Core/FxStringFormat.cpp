// The narrow-format variants of the core strings' formatting. Output goes
// first into the narrow scratch buffer, then into a result buffer sized
// exactly for it; output beyond 4096 characters is cut. (The wide-format
// variants are part of the core's contract that the programs do not call:
// FxStringFormatWide.cpp.)
//
// The scratch buffer is reached through its handle: allocating the result
// may compact the string heap and move it. Format arguments that point into
// the string heap are read before that allocation. Only the very first
// format call allocates before formatting; the heap is then nowhere near
// full, so that allocation does not compact.
#include <cstdio>
#include <cstring>

#include "API/core/cFxString.h"
#include "Core/FxStringBuffer.h"
#include "Core/cFxMemoryManager.h"

namespace {

using kFxFormat::cScratchChars;

// The narrow scratch is requested with 4096 bytes; its block's extent holds
// at least one byte more, where the C formatter puts its terminator after
// 4096 characters. That gives the full 4096 characters of a cut output.
static_assert(FxUnitsFor(cScratchChars) * 16 - 8 >= cScratchChars + 1, "room for the terminator");

sFxHandleCell* gNarrowScratch = nullptr;

// Formats into the narrow scratch; answers the number of characters kept.
uint32_t FormatNarrow(const char* format, va_list args) {
  sFxHandleCell* scratch = FxStringScratch(gNarrowScratch, cScratchChars);
  char* out = reinterpret_cast<char*>(FxHandleAddress(scratch));
  int count = std::vsnprintf(out, cScratchChars + 1, format ? format : "", args);
  if (count <= 0) return 0;
  return static_cast<uint32_t>(count) < cScratchChars ? static_cast<uint32_t>(count) : cScratchChars;
}

const char* NarrowScratch() { return reinterpret_cast<const char*>(FxHandleAddress(gNarrowScratch)); }

}  // namespace

sFxHandleCell* FxStringScratch(sFxHandleCell*& handle, uint32_t bytes) {
  if (!handle) {
    handle = FxAllocStringHandle(bytes);
    if (!handle) FxStringOutOfMemory(bytes);
  }
  return handle;
}

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
