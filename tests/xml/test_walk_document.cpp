// The document walk: the calls a visitor receives, the texts it does not,
// element lifetime, and a pass-through copy of whole documents from real
// files back to real files.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "XmlTestSupport.h"
#include "localisation/cElementVisitor.h"
#include "support/TestSupport.h"
#include "xml/WalkDocument.h"
#include "xml/cXmlElement.h"
#include "xml/cXmlWriter.h"

namespace {

// Records every call as a line: [ and ] for the document, <name a=v> for a
// start, "text", </name> for an end.
class cRecordingVisitor : public cElementVisitor {
 public:
  void StartDocument() override { mCalls.push_back("["); }
  void StartElement(cXmlElement& element) override {
    std::string call = "<" + xmltest::Show(element.GetName());
    for (uint32_t i = 0; i < element.GetAttributeCount(); ++i) {
      const cFxWString* ns = element.GetAttributeNamespace(element.GetAttributeName(i).c_str());
      call += " " + xmltest::ShowName(ns ? *ns : cFxWString(), element.GetAttributeName(i)) + "=" +
              xmltest::Show(element.GetAttributeValue(i));
    }
    mCalls.push_back(call + ">");
  }
  void EndElement(const cFxWString& name) override { mCalls.push_back("</" + xmltest::Show(name) + ">"); }
  void Text(const cFxWString& text) override { mCalls.push_back("\"" + xmltest::Show(text) + "\""); }
  void EndDocument() override { mCalls.push_back("]"); }

  std::vector<std::string> mCalls;
};

std::vector<std::string> Walk(const std::string& document, bool* result = nullptr) {
  cFxFile file;
  file.Attach(new xmltest::cMemorySourceFile(document), 0, 3, 0);
  cXmlParser parser;
  parser.Open(file);
  cRecordingVisitor visitor;
  const bool walked = WalkDocument(parser, visitor);
  if (result) *result = walked;
  return visitor.mCalls;
}

using tCalls = std::vector<std::string>;

TEST(WalkDocument, CallSequence) {
  bool result = false;
  EXPECT_EQ(Walk("<?xml version=\"1.0\"?><r a=\"1\"><e/><t>x</t></r>", &result),
            (tCalls{"[", "\"\"", "<r a=1>", "\"\"", "<e>", "\"\"", "</e>", "\"\"", "<t>", "\"x\"",
                    "</t>", "\"\"", "</r>", "\"\"", "]"}));
  EXPECT_TRUE(result);
  EXPECT_EQ(Walk("", &result), (tCalls{"[", "]"}));
  EXPECT_TRUE(result);
}

TEST(WalkDocument, NamespacesReachTheElement) {
  EXPECT_EQ(Walk("<d:r xmlns:d=\"u\" d:version=\"1\" id=\"2\"/>"),
            (tCalls{"[", "<r {u}version=1 id=2>", "\"\"", "</r>", "\"\"", "]"}));
}

// Texts that begin with CR are the layout of a CR LF file and are dropped;
// the same layout with LF line ends is delivered.
TEST(WalkDocument, LayoutTexts) {
  EXPECT_EQ(Walk("<r>\r\n\t<a>x</a>\r\n</r>\r\n"),
            (tCalls{"[", "<r>", "<a>", "\"x\"", "</a>", "</r>", "]"}));
  EXPECT_EQ(Walk("<r>\n\t<a>x</a>\n</r>\n"),
            (tCalls{"[", "<r>", "\"\\n\\t\"", "<a>", "\"x\"", "</a>", "\"\\n\"", "</r>", "\"\\n\"", "]"}));
  // Only the first unit counts.
  EXPECT_EQ(Walk("<r>x\r\n</r>"), (tCalls{"[", "<r>", "\"x\\r\\n\"", "</r>", "\"\"", "]"}));
}

TEST(WalkDocument, NeverOpenedParser) {
  cXmlParser parser;
  cRecordingVisitor visitor;
  EXPECT_FALSE(WalkDocument(parser, visitor));
  EXPECT_EQ(visitor.mCalls, (tCalls{"[", "]"}));
}

// A visitor that keeps every element, as the rewriting visitors keep their
// stack of open elements.
class cKeepingVisitor : public cElementVisitor {
 public:
  void StartDocument() override {}
  void StartElement(cXmlElement& element) override {
    element.AddRef();
    mKept.push_back(&element);
  }
  void EndElement(const cFxWString&) override {}
  void Text(const cFxWString&) override {}
  void EndDocument() override {}

  std::vector<cXmlElement*> mKept;
};

TEST(WalkDocument, KeptElementsOutliveTheWalk) {
  cFxFile file;
  file.Attach(new xmltest::cMemorySourceFile("<r a=\"1\"><b x=\"y\" z=\"w\"/><c/></r>"), 0, 128, 0);
  cXmlParser parser;
  parser.Open(file);
  cKeepingVisitor visitor;
  ASSERT_TRUE(WalkDocument(parser, visitor));
  ASSERT_EQ(visitor.mKept.size(), 3u);
  // Only the visitor's reference is left, and the records are intact after
  // the walk built and released later ones.
  for (cXmlElement* element : visitor.mKept) EXPECT_EQ(element->GetRefCount(), 1);
  EXPECT_EQ(visitor.mKept[0]->GetName(), u"r");
  EXPECT_EQ(*visitor.mKept[0]->GetAttribute(u"a"), u"1");
  EXPECT_EQ(visitor.mKept[1]->GetName(), u"b");
  EXPECT_EQ(*visitor.mKept[1]->GetAttribute(u"z"), u"w");
  EXPECT_EQ(visitor.mKept[2]->GetName(), u"c");
  EXPECT_EQ(visitor.mKept[2]->GetAttributeCount(), 0u);
  for (cXmlElement* element : visitor.mKept) element->Release();
}

// Copies a document through the writer the way the rewriting visitors
// pass nodes through, keeping the open elements on a stack. Source flavour:
// every text is written, so an empty-element tag gets an end tag. Game
// flavour: attributes get the prefix "d", the first start tag declares it,
// "nil" and "blob" are prefixed, and an empty text is written only into an
// element with a type (never into "nil").
class cPassThroughVisitor : public cElementVisitor {
 public:
  cPassThroughVisitor(cFxFile& output, bool gameFlavour) : mOutput(output), mGame(gameFlavour) {}
  ~cPassThroughVisitor() override {
    for (cXmlElement* element : mOpen) element->Release();
  }
  void StartDocument() override { mWriter.Begin(mOutput); }
  void StartElement(cXmlElement& element) override {
    mWriter.StartElement(element.GetName().c_str(), Prefix(element.GetName()));
    element.WriteAttributes(mWriter, mGame && mFirst, mGame);
    mFirst = false;
    element.AddRef();
    mOpen.push_back(&element);
  }
  void EndElement(const cFxWString& name) override {
    if (!mOpen.empty()) {
      mOpen.back()->Release();
      mOpen.pop_back();
    }
    mWriter.EndElement(name.c_str(), Prefix(name));
  }
  void Text(const cFxWString& text) override {
    if (mGame && !mOpen.empty()) {
      const cXmlElement& container = *mOpen.back();
      const cFxWString* type = container.GetAttribute(u"type");
      const bool typed = type && !type->IsEmpty();
      if ((!typed && text.IsEmpty()) || container.GetName() == u"nil") return;
    }
    mWriter.Text(text.c_str(), text.Length());
  }
  void EndDocument() override { mOutput.Close(); }

 private:
  const wchar16* Prefix(const cFxWString& name) const {
    return mGame && (name == u"nil" || name == u"blob") ? u"d" : u"";
  }
  cFxFile& mOutput;
  cXmlWriter mWriter;
  bool mGame;
  bool mFirst = true;
  std::vector<cXmlElement*> mOpen;
};

class WalkDocumentFiles : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { xmltest::StartFileSystems(); }

  // Walks `input` from a file into another file; answers the output bytes.
  std::string Copy(const std::string& input, bool gameFlavour) {
    const std::string in = mDirectory / "in.xml";
    const std::string out = mDirectory / "out.xml";
    test::WriteFile(in, input);
    cFxFile source;
    EXPECT_TRUE(source.Open(cFxPath(in.c_str()), kFxFileMode::cModeRead, 0, 0, 128, 128));
    cFxFile target;
    EXPECT_TRUE(target.Open(cFxPath(out.c_str()), kFxFileMode::cModeReplace, 0, 0, 128, 128));
    cXmlParser parser;
    parser.Open(source);
    cPassThroughVisitor visitor(target, gameFlavour);
    EXPECT_TRUE(WalkDocument(parser, visitor));
    return test::ReadFile(out);
  }

  test::TempDir mDirectory;
};

TEST_F(WalkDocumentFiles, SourceDocumentInTheWritersLayoutRoundTrips) {
  const std::string document =
      "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n"
      "<cDataSet>\r\n"
      "\t<Record>\r\n"
      "\t\t<Localisation-cUserLocalisedString>\r\n"
      "\t\t\t<English>Caf\xC3\xA9 &amp; \xE2\x82\xAC &lt;5&gt; &quot;q&apos;</English>\r\n"
      "\t\t\t<French></French>\r\n"
      "\t\t\t<Other></Other>\r\n"
      "\t\t</Localisation-cUserLocalisedString>\r\n"
      "\t\t<Attribute name=\"Name\" kind=\"a&amp;b\">\r\n"
      "\t\t\t<Value>two\twords  here</Value>\r\n"
      "\t\t</Attribute>\r\n"
      "\t</Record>\r\n"
      "</cDataSet>\r\n";
  EXPECT_EQ(Copy(document, false), document);
}

TEST_F(WalkDocumentFiles, GameDocumentRoundTrips) {
  const std::string document =
      "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n"
      "<cDataSet xmlns:d=\"http://www.example.com/delta\" d:version=\"1.0\" d:id=\"7\">\r\n"
      "\t<Record>\r\n"
      "\t\t<Name d:type=\"cDeltaString\">Platform 2</Name>\r\n"
      "\t\t<Empty d:type=\"cDeltaString\"></Empty>\r\n"
      "\t\t<Ref>\r\n"
      "\t\t\t<d:nil/>\r\n"
      "\t\t</Ref>\r\n"
      "\t\t<Other/>\r\n"
      "\t</Record>\r\n"
      "</cDataSet>\r\n";
  EXPECT_EQ(Copy(document, true), document);
}

// With LF line ends the layout texts are delivered and copied, so the
// bytes differ; elements, attributes and texts survive.
TEST_F(WalkDocumentFiles, LfDocumentKeepsElementsAttributesAndTexts) {
  const std::string document =
      "<r a=\"1\">\n  <s b='&lt;2'>text one</s>\n  <t/>\n  <u>line\r\nbreak</u>\n</r>\n";
  const std::string copy = Copy(document, false);
  // Drops texts of nothing but layout (shown as \r, \n, \t and spaces).
  const auto withoutLayout = [](const tCalls& calls) {
    tCalls kept;
    for (const std::string& call : calls) {
      std::string rest = call;
      if (rest.front() == '"') {
        rest = rest.substr(1, rest.size() - 2);
        for (const char* layout : {"\\r", "\\n", "\\t", " "}) {
          for (size_t at; (at = rest.find(layout)) != std::string::npos;) rest.erase(at, strlen(layout));
        }
      }
      if (!rest.empty()) kept.push_back(call);
    }
    return kept;
  };
  const tCalls original = withoutLayout(Walk(document));
  EXPECT_EQ(original, (tCalls{"[", "<r a=1>", "<s b=<2>", "\"text one\"", "</s>", "<t>", "</t>",
                              "<u>", "\"line\\r\\nbreak\"", "</u>", "</r>", "]"}));
  EXPECT_EQ(withoutLayout(Walk(copy)), original);
}

}  // namespace
