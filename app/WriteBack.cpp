#include "app/WriteBack.h"

#include <cstdio>
#include <string>

#include "Core/platform/FxPlatform.h"
#include "app/DataFiles.h"
#include "app/RunSupport.h"
#include "localisation/cRewritingVisitor.h"

void ReportFileFailure(const char* what, const cFxWString& path, const cFxString& reason) {
  const std::string line = FileFailureLine(what, path, reason.c_str());
  // The progress line of this file stands before the complaint about it.
  std::fflush(stdout);
  FxPlatformWriteStdErr(line.c_str());
}

std::string FileFailureLine(const char* what, const cFxWString& path, const char* reason) {
  return std::string("glossmill: ") + what + " '" + PrintedPath(path) + "': " +
         (reason[0] == '\0' ? kWriteBack::cNotWritten : reason) + "\n";
}

void RewriteDataFile(const cFxWString& path, cRewritingVisitor& visitor) {
  if (WalkDataFile(path, visitor)) FinishRewrite(visitor, path);
}

void FinishRewrite(const cRewritingVisitor& visitor, const cFxWString& dataPath) {
  const std::u16string copyUnits = StableUnits(visitor.GetOutputFilePath());
  std::string reason;
  if (!visitor.IsOutputComplete()) {
    // Never empty: an incomplete copy is said to be one.
    const cFxString& failure = visitor.GetOutputFailure();
    reason = failure.IsEmpty() ? kWriteBack::cNotWritten : std::string(failure.c_str(), failure.Length());
  } else {
    reason = FxPlatformSyncFile(copyUnits.c_str()).Text();
  }
  const eSettled outcome = SettleCopy(copyUnits, TempFileCommitOf(dataPath), reason);
  ReportSettled(outcome, dataPath, reason);
}

eSettled SettleCopy(const std::u16string& copyUnits, const sTempFileCommit& commit, std::string& reason) {
  if (reason.empty()) return CommitTempFile(commit, reason) ? eSettledReplaced : eSettledNotReplaced;
  // A cut-short copy must never replace the data file, nor be mistaken
  // for one later.
  FxPlatformDeleteFile(copyUnits.c_str());
  return eSettledNotWritten;
}

void ReportSettled(eSettled outcome, const cFxWString& dataPath, const std::string& reason) {
  if (outcome == eSettledReplaced) return;
  ReportFileFailure(outcome == eSettledNotWritten ? "could not write" : "could not replace", dataPath,
                    cFxString(reason.c_str()));
}
