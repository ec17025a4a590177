// The common part of the two extraction visitors: their configuration, the
// translations file they append to, and the pieces of a translations line.
//
// StartDocument opens the translations file for appending (OpenOutput),
// creating it when missing; only a file it created gets the byte-order
// mark, so a run that extracts many data files into one file holds one mark
// at its start. When the file cannot be opened the stream stays closed and
// the visitor writes nothing. EndDocument closes the stream.
// GetOutputFailure then says why the translations file could not be opened
// or why a write to it failed.
//
// A run may share one stream among its visitors (ShareOutputStream): the
// first visitor that finds it closed opens it as above, and EndDocument
// only writes out what the visitor wrote, leaving the stream open for the
// next one. The file then holds the same bytes, after each data file as
// much as with a stream of the visitor's own, and the run opens it once
// instead of twice per data file.
//
// A line: key, TAB, "Vektrel", four TABs, "PC", then for each text TAB and
// the text between double quotes, unchanged; LF. The key is the data file's
// path relative to the start directory (with backslashes), "@", the flavour
// label, "@", the id made from the first text.
#pragma once

#include <vector>

#include "API/core/cFxString.h"
#include "localisation/LocalisedStringVocabulary.h"
#include "localisation/cElementStack.h"
#include "xml/cElementVisitor.h"
#include "xml/cFxFile.h"

namespace kExtract {
// Write buffer of the translations file's stream.
constexpr int cStreamBufferSize = 64 * 1024;
}  // namespace kExtract

class cExtractVisitor : public cElementVisitor {
 public:
  // The data file's own path (a ".bin" path in the game flavour); only the
  // key uses it.
  void SetFilePath(const cFxWString& path) { mFilePath = path; }
  // The translations file.
  void SetOutputPath(const cFxWString& path) { mOutputPath = path; }
  // The directory the run started in; removed from the front of the file
  // path to give the key's path.
  void SetStartDirectory(const cFxWString& directory) { mStartDirectory = directory; }
  // The run's translations stream, which outlives the visitor; without one
  // the visitor uses a stream of its own.
  void ShareOutputStream(cFxFile& stream) { mStream = &stream; }

  // Opens the translations file as StartDocument does, unless this visitor
  // has tried already or the shared stream is open; the byte-order mark of
  // a file it creates is written out at once. A run calls it before the
  // data file is parsed, so that a data file that is not well formed, the
  // first of the run too, ends the run with the mark on disk.
  void OpenOutput();
  void StartDocument() override;
  void EndDocument() override;
  // A line is made of element names and texts alone.
  bool WantsAttributes() const override { return false; }

  // After EndDocument: why the translations file could not be opened or
  // written, in the system's words; empty when all went well.
  const cFxString& GetOutputFailure() const { return mOutputFailure; }

 protected:
  explicit cExtractVisitor(eFlavour flavour) : mFlavour(flavour) {}

  // Takes one text of the current string. The first one completes the key
  // and writes the line head, unless it is empty: then the string gets no
  // line and mSkipString is set. Every text of a string with a line becomes
  // a column.
  void ExtractText(const cXmlText& text);
  // At the string's end tag: ends its line, if it has one, and forgets it.
  void EndString();

  cFxWString mFilePath;
  cFxWString mOutputPath;
  cFxWString mStartDirectory;
  cFxFile* mStream = &mOwnStream;
  cElementStack mElements;
  bool mLineStarted = false;
  // The current string's first (English) text was empty: no line for it.
  bool mSkipString = false;

 private:
  void WriteLineHead(const cXmlText& firstText);
  void WriteColumn(const cXmlText& text);
  void WriteUnits(const wchar16* units, uint32_t count);

  cFxFile mOwnStream;
  // What every key of the data file starts with (see above), made when the
  // document starts.
  cFxWString mKeyHead;
  // The id of the current line as it is written; grows to the longest.
  std::vector<wchar16> mIdUnits;
  eFlavour mFlavour;
  bool mOutputTried = false;
  cFxString mOutputFailure;
};
