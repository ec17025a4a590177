#include "app/RewriteLock.h"

#include <vector>

#include "Core/platform/FxPlatform.h"
#include "app/RunSupport.h"
#include "app/WriteBack.h"

cRewriteLock::~cRewriteLock() {
  if (mHeld) FxPlatformUnlockTree(mLock);
}

bool cRewriteLock::Take() {
  std::vector<wchar16> directory(kRun::cStartDirectoryCapacity);
  // A start directory that cannot be read is the driver's to report.
  const uint32_t length = FxPlatformGetCurrentDirectory(directory.data(), kRun::cStartDirectoryCapacity);
  if (length == 0) return true;
  switch (FxPlatformLockTree(directory.data(), mLock)) {
    case eFxTreeLockTaken:
      mHeld = true;
      return true;
    case eFxTreeLockBusy:
      ReportFileFailure("another glossmill run is rewriting the tree", cFxWString(directory.data(), length),
                        cFxString("this run changes nothing"));
      return false;
    case eFxTreeLockNone:
      break;
  }
  return true;
}
