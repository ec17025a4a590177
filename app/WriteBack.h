// The end of a rewrite: the step after an update or replacement visitor has
// copied a data file into its temporary sibling and the driver has closed
// the data file.
//
// Nothing is ever lost: a data file is replaced atomically, and only by a
// complete temporary file flushed to disk. Whatever goes wrong is said in one line on
// standard error, and the run goes on with the next file.
#pragma once

#include <string>

#include "API/core/cFxString.h"
#include "app/TempFileCommit.h"

class cRewritingVisitor;

namespace kWriteBack {
// Why a copy is incomplete when nothing says more.
constexpr const char* cNotWritten = "the file was not written";
}  // namespace kWriteBack

// The whole rewrite of one data file: `path` streamed through the update or
// replacement visitor (WalkDataFile), then FinishRewrite. A file that cannot
// be opened is skipped quietly and nothing is written back.
void RewriteDataFile(const cFxWString& path, cRewritingVisitor& visitor);

// When the visitor's output is complete, it is flushed to disk and then
// replaces `dataPath` (CommitTempFile); when that fails, the
// temporary file stays beside the unchanged data file and standard error
// gets
//   glossmill: could not replace '<dataPath>': <reason>
// When the output is not complete (not created, a failed write, a full
// disk) or cannot be flushed to disk, the temporary file is deleted, the
// data file is left untouched and standard error gets
//   glossmill: could not write '<dataPath>': <reason>
// Paths appear in their 8-bit form.
void FinishRewrite(const cRewritingVisitor& visitor, const cFxWString& dataPath);

// How the end of a rewrite went.
enum eSettled {
  eSettledReplaced,     // the copy replaced the data file
  eSettledNotWritten,   // the copy was incomplete and is deleted
  eSettledNotReplaced   // the copy stays beside the unchanged data file
};

// The file work of FinishRewrite, for a caller that flushed the copy to
// disk itself: `reason` comes in empty when the copy `copyUnits` is
// complete and flushed to disk, else saying why not; it goes out saying why
// the outcome is not eSettledReplaced. Touches neither the string heap nor
// the error record, so a thread of its own may call it.
eSettled SettleCopy(const std::u16string& copyUnits, const sTempFileCommit& commit, std::string& reason);
// FinishRewrite's line on standard error for `outcome`, if any.
void ReportSettled(eSettled outcome, const cFxWString& dataPath, const std::string& reason);

// Writes "glossmill: <what> '<path>': <reason>\n" to standard error, after
// what standard output already holds; the path as PrintedPath shows it. An
// empty reason is said as kWriteBack::cNotWritten.
void ReportFileFailure(const char* what, const cFxWString& path, const cFxString& reason);
// The same line as text.
std::string FileFailureLine(const char* what, const cFxWString& path, const char* reason);
