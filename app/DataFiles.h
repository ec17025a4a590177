// The data files of a run: the walk over the tree below a directory, the
// process-wide set it fills, the twin rules between a ".bin" file and its
// XML form, and the progress line every run driver prints per file.
//
// Paths are wide native paths (the platform's separator), joined as
// directory + separator + name. A directory that already ends with the
// separator (a root) gets none added, so no path holds two in a row.
#pragma once

#include <set>
#include <string>

#include "API/core/cFxString.h"

// Every data file found by the walk, by full path. Ordered by 16-bit code
// units, a proper prefix first (cFxWString::operator<): no case folding, so
// "A" sorts before "a" and "x.xml" before "x/a.xml". The drivers visit files
// in this order. Constructed empty before the entry point runs.
extern std::set<cFxWString> gDataFiles;

// The extensions of data files and the suffix of a temporary file, in the
// exact case used by the twin rules.
extern const cFxWString gBinExtension;   // ".bin"
extern const cFxWString gXmlExtension;   // ".xml"
extern const cFxWString gTempExtension;  // ".temp"

// Walks the tree below `directory` depth-first and files every ".bin" and
// ".xml" file in gDataFiles (see AddDataFile). A directory that cannot be
// enumerated prints "Error: failed to find first file\n", one whose
// enumeration breaks off prints "Error: failed to find next file\n" (both on
// standard output); the walk goes on with the rest of the tree. Directory
// links are followed, except into a directory that is already open on the
// current walk's path, so a link back into the tree cannot make it loop.
void WalkDataTree(const cFxWString& directory);

// Files one entry found in `directory`. The extension test is made on a
// lower-cased copy ('A'..'Z' only): names ending in ".bin" or ".xml" in any
// case count, others are ignored. A ".bin" file drops its XML twin from the
// set and is inserted; an ".xml" file is inserted only when its ".bin" twin
// is not there. So a name.bin beside a name.xml leaves name.bin alone in the
// set, whichever comes first.
void AddDataFile(const cFxWString& directory, const cFxWString& name);

// Empties gDataFiles.
void ClearDataFiles();

// Takes the file `path` names (absolute, or relative to the current
// directory) out of gDataFiles, compared by the internal form both reduce
// to: a translations file written inside the tree is no data file, even
// when its name ends in ".xml".
void LeaveOutOfDataFiles(const cFxWString& path);

// `directory` + separator + `name` (no separator added after a root).
cFxWString JoinPath(const cFxWString& directory, const cFxWString& name);

// The twins: a path ending in ".bin" (exact case) with that extension
// replaced by ".xml", and the reverse. Only the final extension changes, so
// a directory named "my.binaries" or a tree started in "proj.bin" keeps its
// name. A path without that exact extension is its own twin.
cFxWString XmlTwinOf(const cFxWString& path);
cFxWString BinTwinOf(const cFxWString& path);

// The 8-bit form of a path, in which it reaches a file open, a command line
// and the progress line, and the wide form of a name or tag typed on the
// command line: the system's own name bytes (FxPlatformNameBytes), so every
// name that entered as text leaves unchanged.
cFxString NarrowPath(const cFxWString& path);
cFxWString WidePath(const char* name);

// A private copy of a path's units for an OS call. A pointer into a core
// string may move when the string heap compacts, which a call that itself
// makes strings (a file name conversion, an enumeration filling in entry
// names) can trigger; the copy stays put.
std::u16string StableUnits(const cFxWString& path);

// Prints "File <position> / <total> : <path>\n" to standard output with the
// path in 8-bit form, and flushes, so the line stands before anything a
// child program or a fatal error writes afterwards.
void PrintProgressLine(int position, int total, const cFxWString& path);
// The same line as text.
std::string ProgressLine(int position, int total, const cFxWString& path);
