// Everything the program does around the external serializer "brux.exe",
// which turns a game-flavour ".bin" data file into its XML form and back.
//
// Every conversion is a run of a cSerializerJobs: it waits until the jobs
// have room for it and no other run touches its XML form, and, with more
// than one job, returns without waiting for the serializer to end (with
// one, the serializer has ended by then). How the serializer is found and
// started, and what is said when it cannot be, is SerializerStart's; its
// exit status is not looked at. Paths reach its command line in 8-bit form.
#pragma once

#include "API/core/cFxString.h"

class cSerializerJobs;

// Makes the XML twin of a ".bin" data file (its extension replaced by
// ".xml"): a file already standing under the twin's name is made writable
// if need be and deleted just before the serializer starts, so a failed
// conversion leaves no XML form rather than a stale one. Runs
//   brux.exe <path> <twin> -floathex
// A path that does not end in ".bin" exactly (".BIN" included) is left alone.
void StartBinToXml(cSerializerJobs& jobs, const cFxWString& path);

// Rebuilds the ".bin" beside an XML file from it: runs brux.exe <xmlPath>.
// Nothing is deleted; the XML form stays on disk.
void StartXmlToBin(cSerializerJobs& jobs, const cFxWString& xmlPath);

// StartBinToXml on every element of gDataFiles, in the set's order, with
// GLOSSMILL_JOBS serializers at once, all of them finished on return,
// before any file is read.
void ConvertAllBinToXml();

// StartXmlToBin on the XML twin of every element of gDataFiles that ends in
// ".bin" exactly, in the set's order, all finished on return: every binary
// file of the set rebuilt after its XML form has been changed.
void ConvertAllXmlToBin();
