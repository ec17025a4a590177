#include "app/WriteBack.h"

#include <cstdio>
#include <string>

#include "API/core/FxError.h"
#include "Core/platform/FxPlatform.h"
#include "app/BinaryConversion.h"
#include "app/DataFiles.h"
#include "app/RunSupport.h"
#include "localisation/cRewritingVisitor.h"

void ReportFileFailure(const char* what, const cFxWString& path, const cFxString& reason) {
  const cFxString narrow = NarrowPath(path);
  std::string line = "glossmill: ";
  line += what;
  line += " '";
  line.append(narrow.c_str(), narrow.Length());
  line += "': ";
  line += reason.IsEmpty() ? "the file was not written" : reason.c_str();
  line += "\n";
  // The progress line of this file stands before the complaint about it.
  std::fflush(stdout);
  FxPlatformWriteStdErr(line.c_str());
}

void RewriteDataFile(const cFxWString& path, cRewritingVisitor& visitor) {
  if (WalkDataFile(path, visitor)) FinishRewrite(visitor, path);
}

void FinishRewrite(const cRewritingVisitor& visitor, const cFxWString& dataPath) {
  const cFxWString tempPath = visitor.GetOutputFilePath();
  if (!visitor.IsOutputComplete()) {
    // Never empty: an incomplete copy is said to be one.
    const cFxString& failure = visitor.GetOutputFailure();
    SettleRewrite(tempPath, dataPath, failure.IsEmpty() ? cFxString("the file was not written") : failure);
    return;
  }
  std::string reason;
  const bool onDisk = FxPlatformSyncFile(StableUnits(tempPath).c_str(), reason);
  SettleRewrite(tempPath, dataPath, onDisk ? cFxString() : cFxString(reason.c_str()));
}

void SettleRewrite(const cFxWString& tempPath, const cFxWString& dataPath, const cFxString& failure) {
  if (failure.IsEmpty()) {
    if (!CommitTempFile(dataPath))
      ReportFileFailure("could not replace", dataPath, cFxString(FxGetErrorMessage()));
    return;
  }
  // A cut-short copy must never take the data file's place, nor be mistaken
  // for one later.
  FxPlatformDeleteFile(StableUnits(tempPath).c_str());
  ReportFileFailure("could not write", dataPath, failure);
}
