// The data files of a run: the walk over the tree below a directory, the
// process-wide set it fills, the twin rules between a ".bin" file and its
// XML form, and the progress line every run driver prints per file.
//
// Paths are wide native paths (the platform's separator), joined as
// directory + separator + name. A directory that already ends with the
// separator (a root) gets none added, so no path holds two in a row.
#pragma once

#include <string>
#include <vector>

#include "API/core/cFxString.h"
#include "app/DataFileList.h"

// Every data file found by the walk, by full path. Ordered by UTF-16 code
// units, a proper prefix first (cFxWString::operator<): no case folding, so
// "A" sorts before "a" and "x.xml" before "x/a.xml". The drivers visit files
// in this order. Constructed empty before the entry point runs.
extern cDataFileList gDataFiles;

// The extensions of data files and the suffix of a temporary file, in the
// exact case used by the twin rules.
extern const cFxWString gBinExtension;   // ".bin"
extern const cFxWString gXmlExtension;   // ".xml"
extern const cFxWString gTempExtension;  // ".temp"

// Walks the tree below `directory` depth-first and fills gDataFiles afresh
// with every data file in it (see DataFileNamesAmong). A directory that
// cannot be enumerated prints "Error: failed to find first file\n", one
// whose enumeration breaks off prints "Error: failed to find next file\n"
// once its entries seen so far are walked (both on standard output); the
// walk goes on with the rest of the tree. Directory links are followed,
// except into a directory that is already open on the current walk's path,
// so a link back into the tree cannot make it loop.
//
// Each directory is read in full before the walk descends, and its entries
// are taken in the order of the paths they lead to, so the files come out
// in gDataFiles' order and are appended to it without a search.
void WalkDataTree(const cFxWString& directory);

// The number of data files the same walk finds, without keeping their
// paths: all the source update needs of the tree.
size_t CountDataFiles(const cFxWString& directory);

// Which of the names of the files in one directory are data files, in the
// order of gDataFiles. The extension test is made on a lower-cased copy
// ('A'..'Z' only): names ending in ".bin" or ".xml" in any case count,
// others are ignored. An ".xml" name is left out when its ".bin" twin (see
// BinTwinOf) is among the names: a name.bin beside a name.xml leaves
// name.bin alone. Twins differ only in their last extension, so they
// always lie in the same directory.
std::vector<cFxWString> DataFileNamesAmong(std::vector<cFxWString> names);

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
// A path as a line of output shows it: its 8-bit form up to its first NUL,
// as a C string takes it to the system, so a NUL in a key cuts the path
// short and never the line.
std::string PrintedPath(const cFxWString& path);

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
