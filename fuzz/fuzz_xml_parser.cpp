// libFuzzer target for the XML parser, the document walk and the writer.
//
// Each input is parsed from memory twice, with a stream and a parser reading
// 1 byte and 4 KiB at a time, and the two node sequences must agree; a
// third pass walks it through a visitor that rewrites it with the writer.
// A badly formed input is not a finding (see FuzzSupport.h).
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz/FuzzSupport.h"
#include "xml/WalkDocument.h"
#include "xml/cElementVisitor.h"
#include "xml/cFxFile.h"
#include "xml/cXmlElement.h"
#include "xml/cXmlParser.h"
#include "xml/cXmlWriter.h"

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

class cRewritingVisitor : public cElementVisitor {
 public:
  explicit cRewritingVisitor(cFxFile& output) : mOutput(output) {}
  ~cRewritingVisitor() override {
    for (cXmlElement* element : mOpen) element->Release();
  }
  void StartDocument() override { mWriter.Begin(mOutput); }
  void StartElement(cXmlElement& element) override {
    mWriter.StartElement(element.GetName().c_str(), u"");
    element.WriteAttributes(mWriter, mOpen.empty(), !mOpen.empty());
    element.GetAttribute(u"type");
    element.AddRef();
    mOpen.push_back(&element);
  }
  void EndElement(const cFxWString& name) override {
    if (!mOpen.empty()) {
      mOpen.back()->Release();
      mOpen.pop_back();
    }
    mWriter.EndElement(name.c_str(), u"d");
  }
  void Text(const cXmlText& text) override { mWriter.Text(text.Units(), text.Length()); }
  void EndDocument() override { mOutput.Close(); }

 private:
  cFxFile& mOutput;
  cXmlWriter mWriter;
  std::vector<cXmlElement*> mOpen;
};

void Rewrite(const uint8_t* data, size_t size) {
  std::string written;  // outlives the stream that writes it
  cFxFile input;
  cFxFile output;
  if (!input.Attach(new cMemoryFile(data, size), 0, 64, 0)) abort();
  if (!output.Attach(new fuzz::cMemoryFile(written, false, true), 0, 0, 7)) abort();
  cXmlParser parser;
  parser.Open(input);
  cRewritingVisitor visitor(output);
  if (!WalkDocument(parser, visitor)) abort();
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
  Rewrite(data, size);
  return 0;
}
