// libFuzzer target for a whole document through both extraction visitors.
//
// Each input is walked as a data file by the game and by the source
// extraction visitor, each writing its translations file into memory, once
// through a parser reading 1 byte at a time and once 4 KiB at a time. A
// badly formed input must be rejected both times; a well-formed one must
// give the same translations file both times, starting with the byte-order
// mark when it holds anything, in whole 16-bit units.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "fuzz/FuzzSupport.h"
#include "localisation/cGameExtractVisitor.h"
#include "localisation/cSourceExtractVisitor.h"
#include "xml/WalkDocument.h"
#include "xml/cFxFile.h"
#include "xml/cXmlParser.h"

namespace {

void Check(bool holds) {
  if (!holds) abort();
}

fuzz::cOneFileSystem& Output() {
  static fuzz::cOneFileSystem* fileSystem = [] {
    fuzz::cOneFileSystem* made = new fuzz::cOneFileSystem;
    Check(FxMount(*made, cFxString("mem"), 0, cFxString("@mem:"), 0));
    return made;
  }();
  return *fileSystem;
}

// The translations file the visitor writes for the document, or
// "rejected" when the parser refused it.
template <class tVisitor>
std::string Extract(const uint8_t* data, size_t size, int readBufferSize) {
  fuzz::cOneFileSystem& output = Output();
  output.Remove();
  try {
    cFxFile input;
    Check(input.Attach(new fuzz::cMemoryFile(data, size), 0, readBufferSize, 0));
    cXmlParser parser(static_cast<uint32_t>(readBufferSize));
    parser.Open(input);
    tVisitor visitor;
    visitor.SetFilePath(cFxWString(u"/tree/d/a.xml"));
    visitor.SetOutputPath(cFxWString(u"@mem:/out.txt"));
    visitor.SetStartDirectory(cFxWString(u"/tree"));
    WalkDocument(parser, visitor);
  } catch (const fuzz::sRejected&) {
    return "rejected";
  }
  const std::string& bytes = output.mBytes;
  Check(bytes.size() % 2 == 0);
  // A line stays open when its string's end tag never comes (the parser
  // does not match end tags to start tags), so only the start is certain.
  if (!bytes.empty()) Check(bytes.compare(0, 2, "\xFF\xFE") == 0);
  return bytes;
}

template <class tVisitor>
void ExtractBothWays(const uint8_t* data, size_t size) {
  Check(Extract<tVisitor>(data, size, 1) == Extract<tVisitor>(data, size, 4096));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::RejectByThrowing();
  ExtractBothWays<cGameExtractVisitor>(data, size);
  ExtractBothWays<cSourceExtractVisitor>(data, size);
  return 0;
}
