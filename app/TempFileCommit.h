// The last step of a data file's rewrite, once its temporary file is
// complete and flushed to disk (WriteBack.h): the temporary file replaces
// the data file atomically (rename on POSIX, a replacing move on Windows),
// so that no crash leaves the data file missing or cut short.
#pragma once

#include <string>

#include "API/core/cFxString.h"

// The two files the write-back of the data file `path` works on: the target
// is `path`, or, for a path ending in ".bin", its XML twin; the temporary
// file is the target followed by ".temp". Computed where the string heap
// may be used, for CommitTempFile on any thread.
struct sTempFileCommit {
  std::u16string mTemp;
  std::u16string mTarget;
};
sTempFileCommit TempFileCommitOf(const cFxWString& path);

// Replaces a data file by its temporary sibling. Without a temporary file
// or without a target nothing happens. Otherwise a read-only target is made
// writable and the temporary file replaces it atomically; when that fails
// the target keeps its contents and the temporary file stays beside it.
// Answers whether the target was replaced; when not, `reason` says why in
// the system's words. Touches neither the string heap nor the error record,
// so a thread of its own may call it.
bool CommitTempFile(const sTempFileCommit& commit, std::string& reason);
