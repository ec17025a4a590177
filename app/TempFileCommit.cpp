#include "app/TempFileCommit.h"

#include "Core/platform/FxPlatform.h"
#include "app/DataFiles.h"

sTempFileCommit TempFileCommitOf(const cFxWString& path) {
  const cFxWString target = XmlTwinOf(path);
  return {StableUnits(target + gTempExtension), StableUnits(target)};
}

bool CommitTempFile(const sTempFileCommit& commit, std::string& reason) {
  // A file the write-back needs that is not there is said as the system
  // says a missing file.
  const std::string missing = "No such file or directory";
  const auto tempMissing = [&commit] { return FxPlatformAccessReadWrite(commit.mTemp.c_str()).IsMissing(); };
  // The temporary file only ever replaces a data file: with no data file
  // there is nothing to replace, and it stays where it is.
  const cFxOsResult targetAccess = FxPlatformAccessReadWrite(commit.mTarget.c_str());
  // A usual data file is replaced at once, and a missing temporary file
  // found only when that fails; before any other step it is looked for
  // first, so nothing is changed for a replacement that cannot be made.
  if (!targetAccess.IsOk() && tempMissing()) {
    reason = missing;
    return false;
  }
  if (targetAccess.IsMissing()) {
    reason = missing;
    return false;
  }
  if (targetAccess.IsDenied()) FxPlatformMakeReadWrite(commit.mTarget.c_str());
  const cFxOsResult replaced = FxPlatformReplaceFile(commit.mTemp.c_str(), commit.mTarget.c_str());
  if (replaced.IsOk()) return true;
  reason = replaced.Text();
  if (tempMissing()) reason = missing;
  return false;
}
