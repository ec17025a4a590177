// Everything the program does around the external serializer "brux.exe",
// which turns a game-flavour ".bin" data file into its XML form and back,
// and the write-back that puts a visitor's temporary file in place of the
// data file it was made from.
//
// The serializer is started directly (no shell), looked up in the current
// directory first and then along the search path, and waited for; its exit
// status is not looked at. When it cannot be run at all (not found, not
// executable) "Error: could not run brux.exe\n" goes to standard error and
// the run goes on. Paths reach its command line in 8-bit form.
#pragma once

#include "API/core/cFxString.h"

// Makes the XML twin of a ".bin" data file (every ".bin" of the path
// replaced by ".xml"): a file already standing under the twin's name is
// made writable if need be and deleted first, so a failed conversion leaves
// no XML form rather than a stale one. Runs
//   brux.exe <path> <twin> -floathex
// A path that does not end in ".bin" exactly (".BIN" included) is left alone.
void ConvertBinToXml(const cFxWString& path);

// ConvertBinToXml on every element of gDataFiles, in the set's order, before
// any file is read.
void ConvertAllBinToXml();

// Rebuilds the ".bin" beside an XML file from it: runs brux.exe <xmlPath>.
// Nothing is deleted; the XML form stays on disk.
void ConvertXmlToBin(const cFxWString& xmlPath);

// Replaces a data file by its temporary sibling. The target is `path`, or,
// for a path ending in ".bin", the path with its last four characters
// replaced by ".xml". Without a temporary file (target + ".temp") or
// without a target nothing happens. Otherwise a read-only target is made
// writable and the temporary file takes the target's place in one step;
// when that fails the target keeps its contents and the temporary file
// stays beside it.
void CommitTempFile(const cFxWString& path);
