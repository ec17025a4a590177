// Stack bounds of the calling thread, for the conservative stack scan of the
// block heap's compaction.
#include <windows.h>

#include "Core/platform/FxPlatform.h"

bool FxPlatformGetStackBounds(uintptr_t* low, uintptr_t* high) {
  ULONG_PTR lowLimit = 0;
  ULONG_PTR highLimit = 0;
  GetCurrentThreadStackLimits(&lowLimit, &highLimit);
  if (highLimit == 0 || lowLimit >= highLimit) return false;
  *low = static_cast<uintptr_t>(lowLimit);
  *high = static_cast<uintptr_t>(highLimit);
  return true;
}
