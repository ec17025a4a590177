#include "app/RunSupport.h"

#include <cstdio>
#include <vector>

#include "API/core/FxError.h"
#include "Core/platform/FxPlatform.h"
#include "app/DataFiles.h"
#include "app/ReadAhead.h"
#include "xml/WalkDocument.h"
#include "xml/cElementVisitor.h"
#include "xml/cFxFile.h"
#include "xml/cFxPath.h"
#include "xml/cXmlParser.h"

namespace {

// While one lives, a fatal error names the data file being read.
class cFileBeingRead {
 public:
  explicit cFileBeingRead(const cFxWString& path) {
    FxSetFatalNote(("While reading data file " + PrintedPath(path)).c_str());
  }
  ~cFileBeingRead() { FxSetFatalNote(nullptr); }
  cFileBeingRead(const cFileBeingRead&) = delete;
  cFileBeingRead& operator=(const cFileBeingRead&) = delete;
};

}  // namespace

bool ReadStartDirectory(cFxWString& startDirectory) {
  std::vector<wchar16> buffer(kRun::cStartDirectoryCapacity);
  const uint32_t length =
      FxPlatformGetCurrentDirectory(buffer.data(), kRun::cStartDirectoryCapacity);
  if (length == 0) {
    std::printf("Error: cannot read the current directory\n");
    return false;
  }
  startDirectory = cFxWString(buffer.data(), length);
  return true;
}

cFxWString KeyBaseOf(const cFxWString& startDirectory) {
  const uint32_t length = startDirectory.Length();
  if (length != 0 && startDirectory.c_str()[length - 1] == cFxNativeSeparator)
    return startDirectory.Substring(0, static_cast<int32_t>(length) - 1);
  return startDirectory;
}

bool WalkDataFile(const cFxWString& path, cElementVisitor& visitor, cReadAhead* readAhead) {
  cFxFile stream;
  if (!OpenDataFile(path, stream, readAhead)) return false;
  WalkOpenDataFile(path, stream, visitor);
  return true;
}

bool OpenDataFile(const cFxWString& path, cFxFile& stream, cReadAhead* readAhead) {
  return readAhead != nullptr ? readAhead->OpenNext(path, stream)
                              : stream.Open(cFxPath(path), kFxFileMode::cModeRead, 0, 0, kRun::cDataFileBufferSize,
                                            kRun::cDataFileBufferSize);
}

void WalkOpenDataFile(const cFxWString& path, cFxFile& stream, cElementVisitor& visitor) {
  const cFileBeingRead beingRead(path);
  cXmlParser parser;
  parser.Open(stream);
  WalkDocument(parser, visitor);
  stream.Close();
}
