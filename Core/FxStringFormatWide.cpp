// The wide-format variants of the core strings' formatting (16-bit formats,
// see FxWFormatV) and the conversions built on them. Part of the core's
// contract that neither program calls. Output goes first into the wide
// scratch buffer (4096 units), then into a result buffer sized exactly for
// it; output beyond 4096 units is cut. The scratch is reached through its
// handle, as the narrow one is (FxStringFormat.cpp).
#include "API/core/cFxString.h"
#include "Core/FxStringBuffer.h"

namespace {

using kFxFormat::cScratchChars;

sFxHandleCell* gWideScratch = nullptr;

// Formats into the wide scratch; answers the number of units kept.
uint32_t FormatWide(const wchar16* format, va_list args) {
  sFxHandleCell* scratch = FxStringScratch(gWideScratch, cScratchChars * sizeof(wchar16));
  wchar16* out = reinterpret_cast<wchar16*>(FxHandleAddress(scratch));
  int32_t count = FxWFormatV(out, cScratchChars, format, args);
  return count < 0 ? cScratchChars : static_cast<uint32_t>(count);
}

const wchar16* WideScratch() { return reinterpret_cast<const wchar16*>(FxHandleAddress(gWideScratch)); }

}  // namespace

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

cFxWString cFxWString::FromDouble(double value) { return FormatW(u"%g", value); }

cFxWString cFxWString::FromChar(wchar16 c) { return FormatW(u"%c", static_cast<int>(c)); }
