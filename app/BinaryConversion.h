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

class cSerializerJobs;

// Makes the XML twin of a ".bin" data file (its extension replaced by
// ".xml"): a file already standing under the twin's name is
// made writable if need be and deleted first, so a failed conversion leaves
// no XML form rather than a stale one. Runs
//   brux.exe <path> <twin> -floathex
// A path that does not end in ".bin" exactly (".BIN" included) is left alone.
void ConvertBinToXml(const cFxWString& path);

// ConvertBinToXml on every element of gDataFiles, in the set's order, and
// all of them finished on return, before any file is read. With
// GLOSSMILL_JOBS above 1 they run side by side.
void ConvertAllBinToXml();

// Rebuilds the ".bin" beside an XML file from it: runs brux.exe <xmlPath>.
// Nothing is deleted; the XML form stays on disk.
void ConvertXmlToBin(const cFxWString& xmlPath);

// ConvertXmlToBin on the XML twin of every element of gDataFiles that ends
// in ".bin" exactly, in the set's order, all finished on return; side by
// side with GLOSSMILL_JOBS above 1. Rebuilds every binary file of the set
// after its XML form has been changed.
void ConvertAllXmlToBin();

// The same two conversions as runs of `jobs`: each waits until `jobs` has
// room for it and no other run touches its XML form (see cSerializerJobs),
// then returns without waiting for the serializer to end. The stale XML
// form goes just before the serializer starts.
void StartBinToXml(cSerializerJobs& jobs, const cFxWString& path);
void StartXmlToBin(cSerializerJobs& jobs, const cFxWString& xmlPath);

// Replaces a data file by its temporary sibling. The target is `path`, or,
// for a path ending in ".bin", its XML twin. Without a temporary file
// (target + ".temp") or without a target nothing happens. Otherwise a read-only target is made
// writable and the temporary file takes the target's place in one step;
// when that fails the target keeps its contents and the temporary file
// stays beside it. Answers whether the temporary file took the target's
// place; when not, the error record's message says why.
bool CommitTempFile(const cFxWString& path);
