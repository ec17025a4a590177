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

const std::string cDeclaration = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n";

class RewritingVisitor : public ::testing::Test {
 protected:
  // Copies `xml` through a cCopyVisitor into `output` (default out.xml)
  // and answers what was written.
  std::string Copy(const std::string& xml, eXmlFlavour flavour, bool declareNamespace,
                   const std::string& output = "") {
    const std::string input = mDir / "in.xml";
    const std::string outputPath = output.empty() ? mDir / "out.xml" : output;
    test::WriteFile(input, xml);
    cFxFile stream;
    EXPECT_TRUE(stream.Open(cFxPath(input.c_str()), kFxFileMode::cModeRead, 0, 0, 128, 128));
    cXmlParser parser;
    parser.Open(stream);
    cCopyVisitor visitor(flavour, declareNamespace, outputPath);
    EXPECT_TRUE(WalkDocument(parser, visitor));
    return test::ReadFile(outputPath);
  }

  test::TempDir mDir;
};

TEST_F(RewritingVisitor, GameFlavourPrefixesNamespaceElementsAndEveryAttribute) {
  const std::string input = cDeclaration +
                            "<cBlueprintLoader xmlns:d=\"urn:t\" d:version=\"1.0\">\r\n"
                            "\t<Blueprint id=\"7\" d:size=\"2\">\r\n"
                            "\t\t<d:nil/>\r\n"
                            "\t\t<d:blob d:size=\"2\">0a0b</d:blob>\r\n"
                            "\t</Blueprint>\r\n"
                            "</cBlueprintLoader>\r\n";
  // The layout between tags never reaches the visitor; the writer lays the
  // copy out itself, here exactly as the input was.
  const std::string expected = cDeclaration +
                               "<cBlueprintLoader xmlns:d=\"urn:t\" d:version=\"1.0\">\r\n"
                               "\t<Blueprint d:id=\"7\" d:size=\"2\">\r\n"
                               "\t\t<d:nil/>\r\n"
                               "\t\t<d:blob d:size=\"2\">0a0b</d:blob>\r\n"
                               "\t</Blueprint>\r\n"
                               "</cBlueprintLoader>\r\n";
  EXPECT_EQ(Copy(input, eXmlFlavour::Game, true), expected);
}

TEST_F(RewritingVisitor, GameFlavourTextRules) {
  // Typed elements keep start and end tag even when empty, untyped empty
  // ones keep their empty form, "nil" never receives text, and an untyped
  // element with text keeps it.
  const std::string input = cDeclaration +
                            "<r xmlns:d=\"urn:t\" d:version=\"1\">"
                            "<English d:type=\"cDeltaString\">a &amp; b</English>"
                            "<French d:type=\"cDeltaString\"></French>"
                            "<German d:type=\"cDeltaString\"/>"
                            "<Other></Other>"
                            "<Plain>text</Plain>"
                            "<d:nil>ignored</d:nil>"
                            "</r>";
  const std::string expected = cDeclaration +
                               "<r xmlns:d=\"urn:t\" d:version=\"1\">\r\n"
                               "\t<English d:type=\"cDeltaString\">a &amp; b</English>\r\n"
                               "\t<French d:type=\"cDeltaString\"></French>\r\n"
                               "\t<German d:type=\"cDeltaString\"></German>\r\n"
                               "\t<Other/>\r\n"
                               "\t<Plain>text</Plain>\r\n"
                               "\t<d:nil/>\r\n"
                               "</r>\r\n";
  EXPECT_EQ(Copy(input, eXmlFlavour::Game, true), expected);
}

TEST_F(RewritingVisitor, NamespaceIsDeclaredOnlyOnTheFirstStartTag) {
  // The root has no attributes, so nothing is declared on it, and the flag
  // is spent: the child's attributes come without a declaration.
  const std::string input = cDeclaration + "<r xmlns:d=\"urn:t\"><c d:type=\"x\">v</c></r>";
  EXPECT_EQ(Copy(input, eXmlFlavour::Game, true),
            cDeclaration + "<r>\r\n\t<c d:type=\"x\">v</c>\r\n</r>\r\n");
  // Without the flag (source replacement) no declaration is written at all.
  const std::string withAttributes = cDeclaration + "<r xmlns:d=\"urn:t\" d:version=\"1\"/>";
  EXPECT_EQ(Copy(withAttributes, eXmlFlavour::Game, false),
            cDeclaration + "<r d:version=\"1\"/>\r\n");
}

TEST_F(RewritingVisitor, SourceFlavourWritesEveryTextAndNoPrefix) {
  const std::string input = cDeclaration +
                            "<cBlueprintLoader version=\"1.0\">\r\n"
                            "\t<Attribute name=\"Other\">\r\n"
                            "\t\t<Value/>\r\n"
                            "\t\t<Value>x &lt; y</Value>\r\n"
                            "\t\t<Empty></Empty>\r\n"
                            "\t</Attribute>\r\n"
                            "</cBlueprintLoader>\r\n";
  // Every delivered text is written, the empty one too, so an empty-element
  // tag comes back as a start and an end tag.
  const std::string expected = cDeclaration +
                               "<cBlueprintLoader version=\"1.0\">\r\n"
                               "\t<Attribute name=\"Other\">\r\n"
                               "\t\t<Value></Value>\r\n"
                               "\t\t<Value>x &lt; y</Value>\r\n"
                               "\t\t<Empty></Empty>\r\n"
                               "\t</Attribute>\r\n"
                               "</cBlueprintLoader>\r\n";
  EXPECT_EQ(Copy(input, eXmlFlavour::Source, false), expected);
}

TEST_F(RewritingVisitor, SourceFlavourDeclaresTheNamespaceOfTheFirstAttribute) {
  const std::string input = cDeclaration + "<r xmlns:d=\"urn:t\" d:id=\"1\" n=\"2\"><c/></r>";
  EXPECT_EQ(Copy(input, eXmlFlavour::Source, true),
            cDeclaration + "<r xmlns:d=\"urn:t\" id=\"1\" n=\"2\">\r\n\t<c></c>\r\n</r>\r\n");
}

TEST_F(RewritingVisitor, AnExistingOutputIsReplaced) {
  const std::string output = mDir / "out.xml";
  test::WriteFile(output, std::string(500, 'x'));
  EXPECT_EQ(Copy(cDeclaration + "<r/>", eXmlFlavour::Source, false, output),
            cDeclaration + "<r></r>\r\n");
}

TEST_F(RewritingVisitor, AnOutputThatCannotBeOpenedGetsNothing) {
  const std::string unreachable = mDir / "missing/out.xml";
  Copy(cDeclaration + "<r xmlns:d=\"urn:t\" d:v=\"1\"><a>t</a><d:nil/></r>", eXmlFlavour::Game, true,
       unreachable);
  EXPECT_FALSE(test::FileExists(unreachable));
  EXPECT_FALSE(test::FileExists(mDir / "missing"));
}

}  // namespace
