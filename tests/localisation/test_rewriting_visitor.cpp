// The pass-through rules of the rewriting visitors, checked with a visitor
// that copies every node unchanged: what comes out is the document as the
// update and replacement visitors copy the parts they do not touch.
#include <gtest/gtest.h>

#include <string>

#include "localisation/cRewritingVisitor.h"
#include "support/TestSupport.h"
#include "xml/WalkDocument.h"
#include "xml/cXmlElement.h"
#include "xml/cXmlParser.h"

namespace {

class cCopyVisitor : public cRewritingVisitor {
 public:
  cCopyVisitor(eXmlFlavour flavour, bool declareNamespace, const std::string& outputPath)
      : cRewritingVisitor(flavour, declareNamespace), mOutputPath(outputPath.c_str()) {}

  void StartElement(cXmlElement& element) override {
    PassStartTag(element);
    mElements.Push(element);
  }
  void EndElement(const cFxWString& name) override {
    mElements.Pop();
    PassEndTag(name);
  }
  void Text(const cFxWString& text) override { PassText(text); }

 protected:
  cFxWString GetOutputFilePath() const override { return mOutputPath; }

 private:
  cFxWString mOutputPath;
};

const std::string kDeclaration = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n";

// Copies `xml` through a cCopyVisitor into `output`.
void Copy(const std::string& xml, eXmlFlavour flavour, bool declareNamespace,
          const std::string& input, const std::string& output) {
  test::WriteFile(input, kDeclaration + xml);
  cFxFile stream;
  ASSERT_TRUE(stream.Open(cFxPath(input.c_str()), kFxFileMode::cModeRead, 0, 0, 128, 128));
  cXmlParser parser;
  parser.Open(stream);
  cCopyVisitor visitor(flavour, declareNamespace, output);
  EXPECT_TRUE(WalkDocument(parser, visitor));
}

struct sCopyCase {
  const char* name;
  eXmlFlavour flavour;
  bool declareNamespace;
  std::string input;
  std::string output;  // after the declaration
};

TEST(RewritingVisitor, PassThroughFollowsTheFlavourRules) {
  const sCopyCase cases[] = {
      // Typed elements keep start and end tag even when empty, untyped empty
      // ones their empty form, "nil" never receives text; "nil" and "blob"
      // and every attribute carry the prefix.
      {"game", eXmlFlavour::Game, true,
       "<r xmlns:d=\"urn:t\" d:version=\"1\">\r\n\t<English d:type=\"cDeltaString\">a &amp; "
       "b</English>"
       "<German d:type=\"cDeltaString\"/><Other></Other><Plain id=\"7\">text</Plain>"
       "<d:nil>ignored</d:nil><d:blob d:size=\"2\">0a0b</d:blob></r>",
       "<r xmlns:d=\"urn:t\" d:version=\"1\">\r\n\t<English d:type=\"cDeltaString\">a &amp; "
       "b</English>\r\n"
       "\t<German d:type=\"cDeltaString\"></German>\r\n\t<Other/>\r\n\t<Plain "
       "d:id=\"7\">text</Plain>\r\n"
       "\t<d:nil/>\r\n\t<d:blob d:size=\"2\">0a0b</d:blob>\r\n</r>\r\n"},
      // A root without attributes declares nothing, and the flag is spent.
      {"game: namespace only on the first start tag", eXmlFlavour::Game, true,
       "<r xmlns:d=\"urn:t\"><c d:type=\"x\">v</c></r>",
       "<r>\r\n\t<c d:type=\"x\">v</c>\r\n</r>\r\n"},
      // The source replacement declares nothing.
      {"source: no declaration without the flag", eXmlFlavour::Source, false,
       "<r xmlns:d=\"urn:t\" d:id=\"1\"/>", "<r id=\"1\"></r>\r\n"},
      // Every delivered text is written, the empty one too, so an
      // empty-element tag comes back as a start and an end tag.
      {"source: every text, no prefix", eXmlFlavour::Source, true,
       "<r xmlns:d=\"urn:t\" d:id=\"1\" n=\"2\">\r\n\t<Value/>\r\n\t<Value>x &lt; "
       "y</Value>\r\n</r>\r\n",
       "<r xmlns:d=\"urn:t\" id=\"1\" n=\"2\">\r\n\t<Value></Value>\r\n\t<Value>x &lt; "
       "y</Value>\r\n</r>\r\n"},
  };
  test::TempDir dir;
  for (const sCopyCase& c : cases) {
    SCOPED_TRACE(c.name);
    // An older, longer output is replaced, not overwritten in place.
    test::WriteFile(dir / "out.xml", std::string(500, 'x'));
    Copy(c.input, c.flavour, c.declareNamespace, dir / "in.xml", dir / "out.xml");
    EXPECT_EQ(test::ReadFile(dir / "out.xml"), kDeclaration + c.output);
  }
}

TEST(RewritingVisitor, AnOutputThatCannotBeOpenedGetsNothing) {
  test::TempDir dir;
  Copy("<r xmlns:d=\"urn:t\" d:v=\"1\"><a>t</a><d:nil/></r>", eXmlFlavour::Game, true,
       dir / "in.xml", dir / "missing/out.xml");
  EXPECT_FALSE(test::FileExists(dir / "missing"));
}

}  // namespace
