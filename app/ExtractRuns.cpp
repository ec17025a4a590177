// The extraction runs (-gx, -sx): every localised string of every data
// file below the current directory becomes one line of the translations
// file. The runs change no data file; the game run leaves the XML forms it
// had the serializer make beside their ".bin" files.
//
// How the two flavours differ, step by step:
//   step                   game (-gx)                        source (-sx)
//   before the first file  every ".bin" converted to XML     nothing
//   file read and printed  the XML form of a ".bin"          the data file, a ".bin" too
//   visitor                cGameExtractVisitor: "Game" keys  cSourceExtractVisitor: "Source" keys
#include "Core/platform/FxPlatform.h"
#include "app/BinaryConversion.h"
#include "app/DataFiles.h"
#include "app/ReadAhead.h"
#include "app/RunDrivers.h"
#include "app/RunSupport.h"
#include "app/WriteBack.h"
#include "localisation/cGameExtractVisitor.h"
#include "localisation/cSourceExtractVisitor.h"
#include "translations/TranslationsColumns.h"
#include "xml/cFxFile.h"

namespace {

// Answers why the translations file could not be written, or nothing.
template <class tVisitor>
cFxString ExtractFile(const cFxWString& dataFile, const cFxWString& readPath,
                      const cFxWString& outputName, cFxFile& output, const cFxWString& keyBase,
                      cReadAhead& readAhead) {
  tVisitor visitor;
  visitor.SetFilePath(dataFile);
  visitor.SetOutputPath(outputName);
  visitor.ShareOutputStream(output);
  visitor.SetStartDirectory(keyBase);
  // A file that cannot be opened (no XML form after a failed conversion, a
  // locked file, a name whose 8-bit form names nothing) is skipped quietly.
  cFxFile stream;
  if (!OpenDataFile(readPath, stream, &readAhead)) return cFxString();
  // The first file that opens makes the translations file, before a byte of
  // it is parsed: a badly formed one still leaves the file's byte-order mark.
  visitor.OpenOutput();
  WalkOpenDataFile(readPath, stream, visitor);
  return visitor.GetOutputFailure();
}

}  // namespace

void RunExtract(eFlavour flavour, const char* outputName) {
  ClearDataFiles();

  cFxWString startDirectory;
  if (!ReadStartDirectory(startDirectory)) return;
  WalkDataTree(startDirectory);
  // A relative output name refers to the current directory, which is also
  // where the visitors open it. A rerun with the output inside the tree
  // must not read the last run's output as data.
  const cFxWString output = WidePath(outputName);
  LeaveOutOfDataFiles(output);

  if (flavour == eFlavour::Game) ConvertAllBinToXml();

  // The first visitor creates the output afresh with its byte-order mark,
  // so a rerun does not append to an old file. The name is resolved as the
  // visitors resolve it when they open the file.
  FxDeleteFile(cFxPath(output));

  const cFxWString keyBase = KeyBaseOf(startDirectory);
  const int total = static_cast<int>(gDataFiles.size());
  int position = 1;
  // The translations file stays open from the first data file to the last.
  cFxFile translations;
  // Every later file meets the same trouble: it is said once.
  bool failureReported = false;
  // The game run reads a ".bin" file through the XML form the serializer
  // made; the key keeps the ".bin" name, by which the update finds it.
  auto readPathOf = [flavour](const cFxWString& dataFile) {
    return flavour == eFlavour::Game ? XmlTwinOf(dataFile) : dataFile;
  };
  // The next files are opened and read while this one is parsed. No data
  // file changes during the loop: every XML form is made before it.
  cReadAhead readAhead;
  cDataFileList::cIterator toQueue = gDataFiles.begin();
  for (const cFxWString& dataFile : gDataFiles) {
    for (; toQueue != gDataFiles.end() && readAhead.HasRoom(); ++toQueue) readAhead.Queue(readPathOf(*toQueue));
    const cFxWString readPath = readPathOf(dataFile);

    PrintProgressLine(position, total, readPath);
    ++position;

    const cFxString failure =
        flavour == eFlavour::Game
            ? ExtractFile<cGameExtractVisitor>(dataFile, readPath, output, translations, keyBase, readAhead)
            : ExtractFile<cSourceExtractVisitor>(dataFile, readPath, output, translations, keyBase, readAhead);
    if (!failure.IsEmpty() && !failureReported) {
      ReportFileFailure("could not write", output, failure);
      failureReported = true;
    }
  }
  if (translations.IsOpen() && !translations.Close() && !failureReported)
    ReportFileFailure("could not write", output, translations.GetFailure());
}
