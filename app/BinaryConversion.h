// Everything the program does around the external serializer "brux.exe",
// which turns a game-flavour ".bin" data file into its XML form and back,
// and the write-back that puts a visitor's temporary file in place of the
// data file it was made from.
//
// How the serializer is found and started, and what is said when it cannot
// be, is SerializerStart's; its exit status is not looked at. Paths reach
// its command line in 8-bit form.
#pragma once

#include <string>

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
// writable and the temporary file takes the target's place in one step;
// when that fails the target keeps its contents and the temporary file
// stays beside it. Answers whether the temporary file took the target's
// place; when not, `reason` says why in the system's words. Touches neither
// the string heap nor the error record, so a thread of its own may call it.
bool CommitTempFile(const sTempFileCommit& commit, std::string& reason);
