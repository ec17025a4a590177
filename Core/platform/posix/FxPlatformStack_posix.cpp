// Stack bounds of the calling thread, for the conservative stack scan of the
// block heap's compaction.
#include <pthread.h>

#include "Core/platform/FxPlatform.h"

bool FxPlatformGetStackBounds(uintptr_t* low, uintptr_t* high) {
  // For the main thread the C library reads the process maps to answer, so
  // each thread asks once.
  static thread_local uintptr_t tLow = 0;
  static thread_local uintptr_t tHigh = 0;
  if (tHigh == 0) {
    pthread_attr_t attr;
    if (pthread_getattr_np(pthread_self(), &attr) != 0) return false;
    void* address = nullptr;
    size_t size = 0;
    int rc = pthread_attr_getstack(&attr, &address, &size);
    pthread_attr_destroy(&attr);
    if (rc != 0 || address == nullptr || size == 0) return false;
    tLow = reinterpret_cast<uintptr_t>(address);
    tHigh = tLow + size;
  }
  *low = tLow;
  *high = tHigh;
  return true;
}
