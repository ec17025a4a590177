// The two update runs (-gu, -su): the translations of a translations file
// go back into the data files its keys name. Each data file is copied into
// its temporary sibling with the translations in place, and only a complete
// copy then takes the data file's place, in one step: no data file is ever
// left half written, and one that cannot be written keeps its contents and
// is named on standard error.
#include "app/BinaryConversion.h"
#include "app/DataFiles.h"
#include "app/RunDrivers.h"
#include "app/RunSupport.h"
#include "app/WriteBack.h"
#include "localisation/cGameUpdateVisitor.h"
#include "localisation/cSourceUpdateVisitor.h"
#include "translations/cTranslationTable.h"
#include "xml/WalkDocument.h"
#include "xml/cFxFile.h"
#include "xml/cXmlParser.h"

namespace {

// Translation tables keep lines of one flavour only.
constexpr int32_t cGameLines = 1;
constexpr int32_t cSourceLines = 0;

// Whether a key names a ".bin" data file, in any case: such a file is read
// and rebuilt through its XML form.
bool NamesBinFile(const cFxWString& keyPath) {
  return keyPath.ToLower().EndsWith(gBinExtension.c_str());
}

// The XML form of a ".bin" data file as the update names it: only the last
// four characters change, whatever their case.
cFxWString XmlFormOf(const cFxWString& binPath) {
  return binPath.Substring(0, static_cast<int32_t>(binPath.Length()) - 4) + gXmlExtension;
}

void UpdateGameFile(const cFxWString& readPath, const cFxWString& startDirectory,
                    const cTranslationTable::tRecords& records) {
  const cFileBeingRead beingRead(readPath);
  cFxFile stream;
  if (!OpenDataFile(stream, readPath)) return;
  cXmlParser parser;
  parser.Open(stream);
  cGameUpdateVisitor visitor;
  // The visitor writes to the path it is given followed by ".temp".
  visitor.SetFilePath(readPath);
  visitor.SetOutputPath(startDirectory);
  visitor.SetRecords(records);
  WalkDocument(parser, visitor);
  stream.Close();
  FinishRewrite(visitor, readPath);
}

void UpdateSourceFile(const cFxWString& dataPath, const cFxWString& startDirectory,
                      const cTranslationTable::tRecords& records) {
  const cFileBeingRead beingRead(dataPath);
  cFxFile stream;
  if (!OpenDataFile(stream, dataPath)) return;
  cXmlParser parser;
  parser.Open(stream);
  cSourceUpdateVisitor visitor;
  // The source visitor writes to exactly the path it is given.
  visitor.SetFilePath(dataPath + gTempExtension);
  visitor.SetRecords(records);
  visitor.SetOutputPath(startDirectory);
  WalkDocument(parser, visitor);
  stream.Close();
  FinishRewrite(visitor, dataPath);
}

}  // namespace

void RunGameUpdate(cFxFile& translations) {
  cFxWString startDirectory;
  if (!ReadStartDirectory(startDirectory)) return;

  cTranslationTable table;
  table.SetFlavour(cGameLines);
  // A malformed file or one of the other flavour changes nothing.
  if (!table.Read(translations)) return;
  table.RewindFiles();
  const int total = static_cast<int>(table.GetFileCount());

  const cFxWString keyBase = KeyBaseOf(startDirectory);
  int position = 1;
  cFxWString keyPath;
  while (table.GetNextFile(keyPath)) {
    const cFxWString dataPath = keyBase + NativeKeyPath(keyPath);
    // Only an exact ".bin" is converted; a ".BIN" key is still read and
    // rebuilt through its XML form, whatever stands there.
    ConvertBinToXml(dataPath);
    const bool binFile = NamesBinFile(keyPath);
    const cFxWString readPath = binFile ? XmlFormOf(dataPath) : dataPath;

    PrintProgressLine(position, total, readPath);
    ++position;

    UpdateGameFile(readPath, startDirectory, table.GetRecords(keyPath));
    // Also when the XML form could not be opened: the serializer then finds
    // no fresh XML and the ".bin" stays as it was.
    if (binFile) ConvertXmlToBin(readPath);
  }
}

void RunSourceUpdate(cFxFile& translations) {
  cFxWString startDirectory;
  if (!ReadStartDirectory(startDirectory)) return;
  // The walk only counts the data files below the start directory: the
  // progress lines show how many of them the translations file touches.
  WalkDataTree(startDirectory);

  cTranslationTable table;
  table.SetFlavour(cSourceLines);
  if (!table.Read(translations)) return;
  table.RewindFiles();
  const int total = static_cast<int>(gDataFiles.size());

  const cFxWString keyBase = KeyBaseOf(startDirectory);
  int position = 1;
  cFxWString keyPath;
  while (table.GetNextFile(keyPath)) {
    const cFxWString dataPath = keyBase + NativeKeyPath(keyPath);
    PrintProgressLine(position, total, dataPath);
    ++position;
    UpdateSourceFile(dataPath, startDirectory, table.GetRecords(keyPath));
  }
}
