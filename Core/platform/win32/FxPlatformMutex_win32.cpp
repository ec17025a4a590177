// The process-local mutex on Windows.
#include "Core/platform/win32/FxWin32.h"

void* FxPlatformMutexCreate() { return CreateMutexA(nullptr, FALSE, nullptr); }

bool FxPlatformMutexLock(void* mutex, uint32_t timeoutMs) {
  if (mutex == nullptr) return false;
  // An abandoned mutex is still owned by the caller afterwards.
  DWORD result = WaitForSingleObject(static_cast<HANDLE>(mutex), timeoutMs);
  return result == WAIT_OBJECT_0 || result == WAIT_ABANDONED;
}

void FxPlatformMutexUnlock(void* mutex) {
  if (mutex != nullptr) ReleaseMutex(static_cast<HANDLE>(mutex));
}

void FxPlatformMutexClose(void* mutex) {
  if (mutex != nullptr) CloseHandle(static_cast<HANDLE>(mutex));
}
