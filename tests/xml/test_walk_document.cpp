// The document walk: the calls a visitor receives, the texts it does not,
// and the lifetime of the elements it is handed.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "XmlTestSupport.h"
#include "xml/WalkDocument.h"
#include "xml/cElementVisitor.h"
#include "xml/cXmlElement.h"

namespace {

// Records every call, separated by spaces: [ and ] for the document,
// <name {ns}a=v> for a start, "text", </name> for an end. Keeps every
// element when asked to, as the rewriting visitors keep their stack of open
// elements. Given an element name, it wants only the texts right inside
// such elements, as the extraction visitors want only a string's.
class cRecordingVisitor : public cElementVisitor {
 public:
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
    mInTextElement = mTextOnlyIn != nullptr && element.GetName() == mTextOnlyIn;
    if (!mKeep) return;
    element.AddRef();
    mKept.push_back(&element);
  }
  void EndElement(const cFxWString& name) override {
    mCalls += " </" + xmltest::Show(name) + ">";
    mInTextElement = false;
  }
  // The units handed over and the string made of them on demand agree.
  void Text(const cXmlText& text) override {
    const cFxWString units(text.Units(), text.Length());
    mCalls += " \"" + xmltest::Show(units) + "\"";
    EXPECT_TRUE(units == text.String());
  }
  bool WantsText() const override { return mTextOnlyIn == nullptr || mInTextElement; }
  bool WantsAttributes() const override { return mAttributes; }
  void EndDocument() override { mCalls += " ]"; }

  bool mKeep = false;
  bool mAttributes = true;
  const char16_t* mTextOnlyIn = nullptr;
  bool mInTextElement = false;
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

// Texts that begin with CR are the layout of a CR LF file and are dropped;
// the same layout with LF line ends is delivered. Only the first unit
// counts. A text the visitor does not want is neither made nor passed on,
// and the walk asks again for every text. A parser never opened gives the
// document's calls alone.
TEST(WalkDocument, CallSequence) {
  const struct { std::string mInput, mCalls; const char16_t* mTextOnlyIn = nullptr; bool mAttributes = true; } cases[] = {
      // An element the visitor does not keep serves the next start tag:
      // none of its attributes may remain.
      {"<?xml?><d:r xmlns:d='u' d:version='1' id='2'><e a='' b='' c='' d='' v='\r'/><f a='' b='' c='' d='' w='x'/>"
       "<t>x</t></d:r>",
       R"([ "" <r {u}version=1 id=2> "" <e a= b= c= d= v=\r> "" </e> "" <f a= b= c= d= w=x> "" </f> "" )"
       R"(<t> "x" </t> "" </r> "" ])"},
      // Fewer attributes than the element before at the same depth, then
      // more than it had.
      {"<r><a x='1' y='2'><b z='3'/></a><c w='4'/><c u='5' v='6' w='7'/><c/></r>",
       R"([ <r> "" <a x=1 y=2> "" <b z=3> "" </b> "" </a> "" <c w=4> "" </c> "" <c u=5 v=6 w=7> "" </c> "" )"
       R"(<c> "" </c> "" </r> "" ])"},
      {"", "[ ]"}, {"<r>\r\n\t<a>x</a>\r\n</r>\r\n", R"([ <r> <a> "x" </a> </r> ])"},
      {"<r>\n\t<a>x\r\n</a>\n</r>\n", R"([ <r> "\n\t" <a> "x\r\n" </a> "\n" </r> "\n" ])"},
      {"<r>a<v>b</v>c<v/><w>d</w><v>e&amp;</v></r>",
       R"([ <r> <v> "b" </v> <v> "" </v> <w> </w> <v> "e&" </v> </r> ])", u"v"},
      // A visitor that wants no attributes gets elements without any, the
      // element of one with attributes reused included.
      {"<d:r xmlns:d='u' d:id='1'><a x='2' y='3'/><a/><a x='4'>t</a></d:r>",
       R"([ <r> "" <a> "" </a> "" <a> "" </a> "" <a> "t" </a> "" </r> "" ])", nullptr, false},
  };
  for (const auto& c : cases) {
    cRecordingVisitor visitor;
    visitor.mTextOnlyIn = c.mTextOnlyIn;
    visitor.mAttributes = c.mAttributes;
    EXPECT_EQ(Walk(c.mInput, visitor), c.mCalls);
  }
  cXmlParser parser;
  cRecordingVisitor visitor;
  EXPECT_FALSE(WalkDocument(parser, visitor));
  EXPECT_EQ(visitor.mCalls, "[ ]");
}

// The walk releases its own reference after StartElement: a kept element
// has only the visitor's, and stays intact while later ones come and go.
TEST(WalkDocument, KeptElementsOutliveTheWalk) {
  cRecordingVisitor visitor;
  visitor.mKeep = true;
  Walk("<r a=\"1\"><b x=\"y\" z=\"w\"/><c/></r>", visitor);
  ASSERT_EQ(visitor.mKept.size(), 3u);
  for (cXmlElement* element : visitor.mKept) EXPECT_EQ(element->GetRefCount(), 1);
  EXPECT_EQ(*visitor.mKept[1]->GetAttribute(u"z"), u"w");
  EXPECT_EQ(visitor.mKept[2]->GetName(), u"c");
}

}  // namespace
