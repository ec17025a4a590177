// The two extraction runs (-gx, -sx): every localised string of every data
// file below the current directory becomes one line of the translations
// file. The runs change no data file; the game run leaves the XML forms it
// had the serializer make beside their ".bin" files.
#include <cstdio>
#include <vector>

#include "Core/platform/FxPlatform.h"
#include "app/BinaryConversion.h"
#include "app/DataFiles.h"
#include "app/RunDrivers.h"
#include "localisation/cGameExtractVisitor.h"
#include "localisation/cSourceExtractVisitor.h"
#include "xml/WalkDocument.h"
#include "xml/cFxFile.h"
#include "xml/cFxPath.h"
#include "xml/cXmlParser.h"

namespace {

// Read and write buffer sizes of a data file's stream: a whole typical data
// file in a few reads.
constexpr int cDataFileBufferSize = 64 * 1024;
// Room for the current directory, in 16-bit units, terminator included.
constexpr uint32_t cStartDirectoryCapacity = 8191;

enum eFlavour { eFlavourGame, eFlavourSource };

// The directory the run started in; false (after saying so) when it cannot
// be read or does not fit the buffer, since every path of the run and every
// key would then be wrong.
bool ReadStartDirectory(cFxWString& startDirectory) {
  std::vector<wchar16> buffer(cStartDirectoryCapacity);
  const uint32_t length = FxPlatformGetCurrentDirectory(buffer.data(), cStartDirectoryCapacity);
  if (length == 0) {
    std::printf("Error: cannot read the current directory\n");
    return false;
  }
  startDirectory = cFxWString(buffer.data(), length);
  return true;
}

// The part of every data file path that the key leaves out. A root start
// directory ends with the separator; leaving that separator in the file's
// part keeps every key path beginning with one, as below any other start
// directory.
cFxWString KeyBaseOf(const cFxWString& startDirectory) {
  const uint32_t length = startDirectory.Length();
  if (length != 0 && startDirectory.c_str()[length - 1] == cFxNativeSeparator)
    return startDirectory.Substring(0, static_cast<int32_t>(length) - 1);
  return startDirectory;
}

template <class tVisitor>
void ExtractFile(const cFxWString& dataFile, const cFxWString& readPath,
                 const cFxWString& outputName, const cFxWString& keyBase) {
  const cFxPath path(NarrowPath(readPath));
  cFxFile stream;
  // A file that cannot be opened (no XML form after a failed conversion, a
  // locked file, a name whose 8-bit form names nothing) is skipped quietly:
  // its progress line already stands.
  if (!stream.Open(path, kFxFileMode::cModeRead, 0, 0, cDataFileBufferSize,
                   cDataFileBufferSize))
    return;
  cXmlParser parser;
  parser.Open(stream);
  tVisitor visitor;
  visitor.SetFilePath(dataFile);
  visitor.SetOutputPath(outputName);
  visitor.SetStartDirectory(keyBase);
  WalkDocument(parser, visitor);
  stream.Close();
}

void RunExtract(const char* outputName, eFlavour flavour) {
  ClearDataFiles();

  cFxWString startDirectory;
  if (!ReadStartDirectory(startDirectory)) return;
  WalkDataTree(startDirectory);

  if (flavour == eFlavourGame) ConvertAllBinToXml();

  // A relative output name refers to the current directory, which is also
  // where the visitors open it. The first visitor creates it afresh with
  // its byte-order mark, so a rerun does not append to an old file.
  const cFxWString output(outputName);
  FxPlatformDeleteFile(StableUnits(output).c_str());

  const cFxWString keyBase = KeyBaseOf(startDirectory);
  const int total = static_cast<int>(gDataFiles.size());
  int position = 1;
  for (const cFxWString& dataFile : gDataFiles) {
    // The game run reads a ".bin" file through the XML form the serializer
    // made; the key keeps the ".bin" name, by which the update finds it.
    cFxWString readPath = dataFile;
    if (flavour == eFlavourGame && dataFile.EndsWith(gBinExtension.c_str()))
      readPath = XmlTwinOf(dataFile);

    PrintProgressLine(position, total, readPath);
    ++position;

    if (flavour == eFlavourGame)
      ExtractFile<cGameExtractVisitor>(dataFile, readPath, output, keyBase);
    else
      ExtractFile<cSourceExtractVisitor>(dataFile, readPath, output, keyBase);
  }
}

}  // namespace

void RunGameExtract(const char* outputName) { RunExtract(outputName, eFlavourGame); }

void RunSourceExtract(const char* outputName) { RunExtract(outputName, eFlavourSource); }
