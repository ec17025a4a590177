// The document walk: the calls a visitor receives, the texts it does not,
// element lifetime, and a pass-through copy in the writer's own layout.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "XmlTestSupport.h"
#include "localisation/cElementVisitor.h"
#include "xml/WalkDocument.h"
#include "xml/cXmlElement.h"
#include "xml/cXmlWriter.h"

namespace {

// Records every call, separated by spaces: [ and ] for the document,
// <name {ns}a=v> for a start, "text", </name> for an end. Keeps every
// element when asked to, as the rewriting visitors keep their stack of open
// elements, and copies every node to a writer when given one, as they pass
// nodes through.
class cRecordingVisitor : public cElementVisitor {
 public:
  explicit cRecordingVisitor(bool keep = false, cXmlWriter* writer = nullptr) : mKeep(keep), mWriter(writer) {}
  ~cRecordingVisitor() override {
    for (cXmlElement* element : mKept) element->Release();
  }
  void StartDocument() override { mCalls += "["; }
  void StartElement(cXmlElement& element) override {
    mCalls += " <" + xmltest::Show(element.GetName());
    for (uint32_t i = 0; i < element.GetAttributeCount(); ++i) {
      const cFxWString& name = element.GetAttributeName(i);
      mCalls += " " + xmltest::ShowName(*element.GetAttributeNamespace(name.c_str()), name) + "=" +
                xmltest::Show(element.GetAttributeValue(i));
    }
    mCalls += ">";
    if (mKeep) element.AddRef();
    if (mKeep) mKept.push_back(&element);
    if (!mWriter) return;
    mWriter->StartElement(element.GetName().c_str(), u"");
    element.WriteAttributes(*mWriter, false, false);
  }
  void EndElement(const cFxWString& name) override {
    mCalls += " </" + xmltest::Show(name) + ">";
    if (mWriter) mWriter->EndElement(name.c_str(), u"");
  }
  void Text(const cFxWString& text) override {
    mCalls += " \"" + xmltest::Show(text) + "\"";
    if (mWriter) mWriter->Text(text.c_str(), text.Length());
  }
  void EndDocument() override { mCalls += " ]"; }

  bool mKeep;
  cXmlWriter* mWriter;
  std::string mCalls;
  std::vector<cXmlElement*> mKept;
};

std::string Walk(const std::string& document, cRecordingVisitor& visitor) {
  cFxFile file;
  file.Attach(new xmltest::cMemoryFile(document), 0, 3, 0);
  cXmlParser parser(3);
  parser.Open(file);
  EXPECT_TRUE(WalkDocument(parser, visitor));
  return visitor.mCalls;
}

std::string Walk(const std::string& document) {
  cRecordingVisitor visitor;
  return Walk(document, visitor);
}

// (An element the visitor does not keep serves the next start tag: none of
// its attributes may remain.)
TEST(WalkDocument, CallSequence) {
  EXPECT_EQ(Walk("<?xml?><d:r xmlns:d='u' d:version='1' id='2'><e a='' b='' c='' d='' v='\r'/>"
                 "<f a='' b='' c='' d='' w='x'/><t>x</t></d:r>"),
            R"([ "" <r {u}version=1 id=2> "" <e a= b= c= d= v=\r> "" </e> "" <f a= b= c= d= w=x> "" </f> "" )"
            R"(<t> "x" </t> "" </r> "" ])");
  EXPECT_EQ(Walk(""), "[ ]");
}

// Texts that begin with CR are the layout of a CR LF file and are dropped;
// the same layout with LF line ends is delivered. Only the first unit counts.
TEST(WalkDocument, LayoutTexts) {
  EXPECT_EQ(Walk("<r>\r\n\t<a>x</a>\r\n</r>\r\n"), R"([ <r> <a> "x" </a> </r> ])");
  EXPECT_EQ(Walk("<r>\n\t<a>x\r\n</a>\n</r>\n"), R"([ <r> "\n\t" <a> "x\r\n" </a> "\n" </r> "\n" ])");
}

TEST(WalkDocument, NeverOpenedParser) {
  cXmlParser parser;
  cRecordingVisitor visitor;
  EXPECT_FALSE(WalkDocument(parser, visitor));
  EXPECT_EQ(visitor.mCalls, "[ ]");
}

// The walk releases its own reference after StartElement: a kept element
// has only the visitor's, and stays intact while later ones come and go.
TEST(WalkDocument, KeptElementsOutliveTheWalk) {
  cRecordingVisitor visitor(true);
  Walk("<r a=\"1\"><b x=\"y\" z=\"w\"/><c/></r>", visitor);
  ASSERT_EQ(visitor.mKept.size(), 3u);
  for (cXmlElement* element : visitor.mKept) EXPECT_EQ(element->GetRefCount(), 1);
  EXPECT_EQ(*visitor.mKept[1]->GetAttribute(u"z"), u"w");
  EXPECT_EQ(visitor.mKept[2]->GetName(), u"c");
}

// A document in the writer's layout comes back byte for byte: the dropped
// layout texts are exactly what the writer lays out again.
TEST(WalkDocument, DocumentInTheWritersLayoutRoundTrips) {
  const std::string document =
      "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n"
      "<cDataSet>\r\n"
      "\t<Record>\r\n"
      "\t\t<Localisation-cUserLocalisedString>\r\n"
      "\t\t\t<English>Caf\xC3\xA9 &amp; \xE2\x82\xAC &lt;5&gt; &quot;q&apos;</English>\r\n"
      "\t\t\t<French></French>\r\n"
      "\t\t</Localisation-cUserLocalisedString>\r\n"
      "\t\t<Attribute name=\"Name\" kind=\"a&amp;b\">\r\n"
      "\t\t\t<Value>two\twords  here</Value>\r\n"
      "\t\t</Attribute>\r\n"
      "\t</Record>\r\n"
      "</cDataSet>\r\n";
  EXPECT_EQ(xmltest::WriteDocument([&](cXmlWriter& writer) {
              cRecordingVisitor copying(false, &writer);
              Walk(document, copying);
            }),
            document);
}

}  // namespace
