// The process-local mutex on POSIX.
#include <pthread.h>
#include <time.h>

#include "Core/platform/FxPlatform.h"

void* FxPlatformMutexCreate() {
  pthread_mutex_t* mutex = new pthread_mutex_t;
  if (pthread_mutex_init(mutex, nullptr) != 0) {
    delete mutex;
    return nullptr;
  }
  return mutex;
}

bool FxPlatformMutexLock(void* mutex, uint32_t timeoutMs) {
  if (mutex == nullptr) return false;
  struct timespec deadline;
  clock_gettime(CLOCK_REALTIME, &deadline);
  deadline.tv_sec += timeoutMs / 1000;
  deadline.tv_nsec += static_cast<long>(timeoutMs % 1000) * 1000000L;
  if (deadline.tv_nsec >= 1000000000L) {
    deadline.tv_sec += 1;
    deadline.tv_nsec -= 1000000000L;
  }
  return pthread_mutex_timedlock(static_cast<pthread_mutex_t*>(mutex), &deadline) == 0;
}

void FxPlatformMutexUnlock(void* mutex) {
  if (mutex != nullptr) pthread_mutex_unlock(static_cast<pthread_mutex_t*>(mutex));
}

void FxPlatformMutexClose(void* mutex) {
  if (mutex == nullptr) return;
  pthread_mutex_destroy(static_cast<pthread_mutex_t*>(mutex));
  delete static_cast<pthread_mutex_t*>(mutex);
}
