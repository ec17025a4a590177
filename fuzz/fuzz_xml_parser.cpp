// libFuzzer target for the XML parser, the document walk and the writer.
//
// Each input is parsed from memory twice, with a stream and a parser reading
// 1 byte and 4 KiB at a time, and the two node sequences must agree; a
// third pass copies it as the rewriting runs do, in both flavours.
// A badly formed input is not a finding (see FuzzSupport.h).
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "fuzz/FuzzSupport.h"
#include "tests/support/CopyVisitor.h"
#include "xml/WalkDocument.h"
#include "xml/cFxFile.h"
#include "xml/cXmlParser.h"

namespace {

using fuzz::cMemoryFile;
using fuzz::sRejected;

void Append(std::u16string& digest, const cFxWString& text) {
  digest.append(text.c_str(), text.Length());
  digest.push_back(u'\x1F');
}

// Every node with all its fields, as one string.
std::u16string Digest(const uint8_t* data, size_t size, int readBufferSize) {
  cFxFile file;
  if (!file.Attach(new cMemoryFile(data, size), 0, readBufferSize, 0)) abort();
  cXmlParser parser(static_cast<uint32_t>(readBufferSize));
  parser.Open(file);
  std::u16string digest;
  do {
    parser.Read();
    digest.push_back(static_cast<char16_t>(u'0' + parser.GetNodeType()));
    Append(digest, parser.GetName());
    Append(digest, parser.GetNamespace());
    for (uint32_t i = 0; i < parser.GetAttributeCount(); ++i) {
      Append(digest, parser.GetAttributeName(i));
      Append(digest, parser.GetAttributeNamespace(i));
      Append(digest, parser.GetAttributeValue(i));
    }
    Append(digest, parser.GetText());
    digest += std::u16string(u"@") + static_cast<char16_t>(parser.GetNodeLine() & 0xFFFF);
  } while (parser.GetNodeType() != eDocumentEnd);
  return digest;
}

// The copy a rewriting run makes, kept in memory.
class cMemoryOutput : public iRewriteOutput {
 public:
  explicit cMemoryOutput(std::string& bytes) : mBytes(bytes) {}
  cFxOsFile* OpenOutput(const cFxWString&, cFxString&) override { return new cMemoryFile(mBytes, false, true); }

 private:
  std::string& mBytes;
};

// Copies the document as the rewriting runs of `flavour` pass its nodes on;
// the copy must be complete.
void Rewrite(const uint8_t* data, size_t size, eFlavour flavour) {
  std::string written;  // outlives the stream that writes it
  cFxFile input;
  if (!input.Attach(new cMemoryFile(data, size), 0, 64, 0)) abort();
  cXmlParser parser;
  parser.Open(input);
  cMemoryOutput output(written);
  test::cCopyVisitor visitor(flavour, flavour == eFlavour::Game, "copy.xml");
  visitor.SetOutput(&output);
  if (!WalkDocument(parser, visitor) || !visitor.IsOutputComplete()) abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::RejectByThrowing();
  std::u16string small;
  try {
    small = Digest(data, size, 1);
  } catch (const sRejected&) {
    // A rejection must not depend on how the input was buffered either.
    try {
      Digest(data, size, 4096);
    } catch (const sRejected&) {
      return 0;
    }
    abort();
  }
  if (Digest(data, size, 4096) != small) abort();
  Rewrite(data, size, eFlavour::Game);
  Rewrite(data, size, eFlavour::Source);
  return 0;
}
