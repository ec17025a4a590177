// The end of a rewrite: the step after an update or replacement visitor has
// copied a data file into its temporary sibling and the driver has closed
// the data file.
//
// Nothing is ever lost: a data file is replaced only by a complete
// temporary file, in one step. Whatever goes wrong is said in one line on
// standard error, and the run goes on with the next file.
#pragma once

#include "API/core/cFxString.h"

class cRewritingVisitor;

// The whole rewrite of one data file: `path` streamed through the update or
// replacement visitor (WalkDataFile), then FinishRewrite. A file that cannot
// be opened is skipped quietly and nothing is written back.
void RewriteDataFile(const cFxWString& path, cRewritingVisitor& visitor);

// When the visitor's output is complete, it is put on the disk and then
// takes the place of `dataPath` (CommitTempFile); when that fails, the
// temporary file stays beside the unchanged data file and standard error
// gets
//   glossmill: could not replace '<dataPath>': <reason>
// When the output is not complete (not created, a failed write, a full
// disk) or cannot be put on the disk, the temporary file is deleted, the
// data file is left untouched and standard error gets
//   glossmill: could not write '<dataPath>': <reason>
// Paths appear in their 8-bit form.
void FinishRewrite(const cRewritingVisitor& visitor, const cFxWString& dataPath);

// The same end once the copy at `tempPath` is known to be complete and on
// the disk (`failure` empty) or not (`failure` says why), for a caller that
// put it on the disk itself.
void SettleRewrite(const cFxWString& tempPath, const cFxWString& dataPath, const cFxString& failure);

// Writes "glossmill: <what> '<path>': <reason>\n" to standard error, after
// what standard output already holds.
void ReportFileFailure(const char* what, const cFxWString& path, const cFxString& reason);
