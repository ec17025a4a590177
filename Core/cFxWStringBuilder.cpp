#include <cstring>

#include "API/core/cFxString.h"
#include "Core/FxStringBuffer.h"

void cFxWStringBuilder::Append(const wchar16* units, uint32_t count) {
  if (count == 0) return;
  if (mCount + count <= mCapacity) {
    wchar16* data = mBuffer.Data();
    std::memmove(data + mCount, units, count * sizeof(wchar16));
    mCount += count;
    data[mCount] = 0;
    return;
  }
  // Doubling keeps the number of reallocations logarithmic in the text.
  uint32_t capacity = 2 * (mCount + count);
  const void* anchors[1] = {units};
  sFxHandleCell* handle = FxStringNewBuffer(capacity, sizeof(wchar16), anchors, 1);
  wchar16* data = FxStringChars<wchar16>(handle);
  // Both copies happen before the old buffer goes: `units` may lie in it.
  if (mCount) std::memcpy(data, mBuffer.c_str(), mCount * sizeof(wchar16));
  std::memcpy(data + mCount, anchors[0], count * sizeof(wchar16));
  mCount += count;
  data[mCount] = 0;
  mBuffer = cFxWString(handle);
  mCapacity = capacity;
}
