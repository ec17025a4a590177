// Everything the program does around the external serializer "brux.exe",
// which turns a game-flavour ".bin" data file into its XML form and back.
//
// How the serializer is found and started, and what is said when it cannot
// be, is SerializerStart's; its exit status is not looked at. Paths reach
// its command line in 8-bit form.
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
