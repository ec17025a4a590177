// The steps every run driver takes the same way: reading the directory the
// run started in, the part of a data file path that its key leaves out, and
// reading a data file through a visitor.
#pragma once

#include "API/core/cFxString.h"

class cElementVisitor;
class cFxFile;
class cReadAhead;

namespace kRun {
// Read and write buffer sizes of a data file's stream: a whole typical data
// file in a few reads.
constexpr int cDataFileBufferSize = 64 * 1024;
// Room for the current directory, in UTF-16 code units, terminator included.
constexpr uint32_t cStartDirectoryCapacity = 8191;
}  // namespace kRun

// The directory the run started in; false (after saying so on standard
// output) when it cannot be read or does not fit the buffer, since every
// path of the run and every key would then be wrong.
bool ReadStartDirectory(cFxWString& startDirectory);

// The part of every data file path that the key leaves out: the start
// directory without a trailing separator. A root start directory ends with
// one; leaving it in the file's part keeps every key path beginning with a
// separator, as below any other start directory.
cFxWString KeyBaseOf(const cFxWString& startDirectory);

// Streams `path` (a data file or its XML form) once through `visitor`:
// opens it with the data file buffers, walks the document, closes it. False
// when it cannot be opened: nothing is read, and the caller skips the file
// quietly, its progress line already standing. While it reads, a fatal
// error names the file on standard error after its own text ("While
// reading data file <path>", the path in 8-bit form), so the file at fault
// is found among thousands even when standard output went elsewhere.
// With `readAhead`, the file's bytes come from that reader when it is the
// oldest file queued there (cReadAhead::OpenNext).
bool WalkDataFile(const cFxWString& path, cElementVisitor& visitor, cReadAhead* readAhead = nullptr);
// The two halves of WalkDataFile, for a run with something to do between
// them: opening `path` into `stream` (false, with the stream closed, when
// it cannot be opened), then walking the open stream and closing it.
bool OpenDataFile(const cFxWString& path, cFxFile& stream, cReadAhead* readAhead = nullptr);
void WalkOpenDataFile(const cFxWString& path, cFxFile& stream, cElementVisitor& visitor);
