// Every way a document is rejected, with the line reported: that on which
// the node in progress began. The table runs at every buffer size through
// an exception hook that unwinds instead of ending the process; one death
// test shows the real end: the fatal exit status and the message on
// standard error.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "API/core/FxError.h"
#include "XmlTestSupport.h"
#include "support/TestSupport.h"

namespace {

struct sRejection {
  std::string mInput;
  int mLine;
  size_t mReadErrorAt = std::string::npos;
};

// ` a0='u' a1='u'...` for `name` "a"; declarations for "xmlns:a".
std::string Attributes(const std::string& name, int count) {
  std::string out;
  for (int i = 0; i < count; ++i) out += " " + name + std::to_string(i) + "='u'";
  return out;
}

std::vector<sRejection> Rejections() {
  return {
      // Constructs outside the subset, and anything but a tag where a node
      // begins.
      {"<!DOCTYPE r><r/>", 1}, {"<r>\r\n<a>\r\n<![CDATA[x]]></a></r>", 3}, {"<r><!-x--></r>", 1},
      {"\xEF\xBB\xBF<r/>", 1}, {"<!-- before the root --><r/>", 1}, {"abc<r/>", 1},
      {"\r\nabc<r/>", 2}, {"\n\nabc<r/>", 3},
      // Declarations.
      {"<?xm version=\"1.0\"?><r/>", 1}, {"<?XML version=\"1.0\"?><r/>", 1}, {"<? xml?><r/>", 1},
      {"<?xml version=\"1.0\"", 1}, {"<?xml version=\"1.0\"?", 1}, {"<?xml version=\"1.0\" ?x><r/>", 1},
      {"<r>\n<?pi a=\"1\" a=\"2\"?></r>", 2},
      // Tags and attributes.
      {"<r a=1/>", 1}, {"<r a/>", 1}, {"<r a=\"1\" =\"2\"/>", 1}, {"< r/>", 1}, {"<r>x</r", 1},
      {"<r></>", 1}, {"<r>a < b</r>", 1}, {"<r>\r\n</r>\r\n<", 3}, {"<r>\r\n<a x=\"1\" x=\"2\"/></r>", 2},
      {"<r x=\"1\" x='1'/>", 1}, {"<r" + Attributes("a", 65) + "/>", 1},
      // The end of input inside a value or an entity reference.
      {"<r a=\"abc", 1}, {"<r a=\"1'/>", 1}, {"<r>\r\n<a b=\"x\r\ny", 2}, {"<r>&amp", 1},
      {"<r a=\"&lt\"/>", 1}, {"<r>\n<a>\n&lt", 3},
      // Comments whose first "--" is not followed by '>'.
      {"<r>\r\n<a>x<!-- a -- b --></a></r>", 2}, {"<r><!-- a ---></r>", 1}, {"<r><!-- a --", 1},
      // Namespaces: a prefix declared twice at one depth, unknown or out of
      // scope prefixes, more than 32 declarations in scope.
      {"<r xmlns:p=\"u\" xmlns:p=\"v\"/>", 1}, {"<r xmlns=\"u\" xmlns:=\"v\"/>", 1}, {"<r>\n\n<p:a/></r>", 3},
      {"<r p:x=\"1\"/>", 1}, {"<r></p:r>", 1}, {"<r><a xmlns:p=\"u\"></a><p:b/></r>", 1},
      {"<r><a xmlns:p=\"u\"/><p:b/></r>", 1}, {"<r xml:lang=\"en\"/>", 1},
      {"<r" + Attributes("xmlns:p", 33) + "/>", 1},
      {"<r" + Attributes("xmlns:p", 17) + ">\r\n<a" + Attributes("xmlns:q", 16) + "/></r>", 2},
      // Line counting: CR LF and LF CR are one break, LF LF and CR CR two; a
      // blank line in a CR LF file pairs LF with the following CR; breaks
      // inside comments and values count too.
      {"<r>\r\n<p:a/>", 2}, {"<r>\n\r<p:a/>", 2}, {"<r>\n\n<p:a/>", 3}, {"<r>\r\r<p:a/>", 3},
      {"<r>\r\n\r\n<p:a/>", 2}, {"<r>\r\n \r\n<p:a/>", 3}, {"<r><!--\n\n--><a/>\n<p:a/>", 4},
      {"<r a=\"\n\n\"/>\n<p:a/>", 4},
  };
}

// Malformed UTF-8 ends the input, which is then rejected wherever it ends.
std::vector<sRejection> MalformedUtf8() {
  return {
      {"<r>a\xFF" "b</r>", 1}, {"<r>\xF0\x9F\x98\x80</r>", 1}, {"<r>\xC3", 1}, {"<r>\xE2\x82</r>", 1},
      {"<r\xC3>", 1}, {"<r a=\"\xE2\x82\"/>", 1}, {"<r/>\r\n\xFF", 2}, {"\n\n\xFF", 3},
      {"<r><!-- \xFF -->", 1}, {"<r>&l\xFFt;</r>", 1}, {"<?xml version=\"1.0\xFF\"?>", 1},
  };
}

struct sRejected {};
bool ThrowingHook(const char*) { throw sRejected(); }

class XmlParserRejects : public ::testing::TestWithParam<int> {
 protected:
  void SetUp() override { FxSetExceptionHook(ThrowingHook); }
  void TearDown() override { FxSetExceptionHook(nullptr); }

  // The line of the rejection and the error code left behind, or what was
  // parsed when the document was accepted.
  void ExpectRejected(const std::vector<sRejection>& cases, uint32_t errorCode) {
    for (const sRejection& c : cases) {
      SCOPED_TRACE("input: " + c.mInput);
      cFxFile file;
      file.Attach(new xmltest::cMemoryFile(c.mInput, c.mReadErrorAt), 0, GetParam(), 0);
      cXmlParser parser(static_cast<uint32_t>(GetParam()));
      FxSetErrorCode(0);
      try {
        parser.Open(file);
        do parser.Read();
        while (parser.GetNodeType() != eDocumentEnd);
        ADD_FAILURE() << "accepted";
      } catch (const sRejected&) {
        EXPECT_EQ(parser.GetNodeLine(), c.mLine);
        EXPECT_EQ(FxGetErrorCode(), errorCode);
      }
    }
  }
};

TEST_P(XmlParserRejects, SyntaxErrors) { ExpectRejected(Rejections(), 0); }

TEST_P(XmlParserRejects, MalformedUtf8) { ExpectRejected(MalformedUtf8(), kFxError::cBadUtf8); }

// A read error ends the input the same way: neither an empty document nor
// one cut short passes for a whole one.
TEST_P(XmlParserRejects, ReadErrors) { ExpectRejected({{"<r>t</r>", 1, 0}, {"<r>t</r>", 1, 4}}, 0); }

// The limits themselves are accepted: 64 attributes on a tag, 32
// declarations in scope.
TEST_P(XmlParserRejects, LimitsThemselvesAreAccepted) {
  const std::string declarations = "<r" + Attributes("xmlns:p", 16) + "><a" + Attributes("xmlns:q", 16) + ">";
  EXPECT_NE(xmltest::Render("<r" + Attributes("a", 64) + "/>", GetParam()).find(" a63=u> "), std::string::npos);
  EXPECT_EQ(xmltest::Render(declarations + "<q15:b/></a></r>", GetParam()),
            R"(<r> "" <a> "" <{u}b> "" </{u}b> "" </a> "" </r> "" $)");
}

INSTANTIATE_TEST_SUITE_P(BufferSizes, XmlParserRejects, xmltest::BufferSizes());

// What a parser reading `bufferSize` bytes at a time makes of `bytes`: the
// nodes with their lines, or the line and error code of the rejection.
std::string Outcome(const std::string& bytes, int bufferSize) {
  FxSetExceptionHook(ThrowingHook);
  cFxFile file;
  file.Attach(new xmltest::cMemoryFile(bytes), 0, bufferSize, 0);
  cXmlParser parser(static_cast<uint32_t>(bufferSize));
  FxSetErrorCode(0);
  std::string out;
  try {
    parser.Open(file);
    do {
      parser.Read();
      out += xmltest::RenderNode(parser, true) + " ";
    } while (parser.GetNodeType() != eDocumentEnd);
  } catch (const sRejected&) {
    out = "rejected@" + std::to_string(parser.GetNodeLine()) + " code " + std::to_string(FxGetErrorCode());
  }
  FxSetExceptionHook(nullptr);
  return out;
}

// Every byte value, inside and right after a tag or attribute name, in
// attribute values and amid long runs of text, is read the same in whole runs (a large buffer) as one byte at a
// time, whether the document is accepted or rejected.
TEST(XmlParserRuns, EveryByteReadsAsOneByteAtATime) {
  const std::string name = "aZ09.-_AbcdefghijklmnopqrstuvwxyzZ";
  const std::string text = "0123456789 plain\ttext 0123456789";
  for (int value = 0; value < 256; ++value) {
    const std::string b(1, static_cast<char>(value));
    for (const std::string& document :
         {"<r>\r\n\t<" + name + b + name + "/>\r\n</r>", "<r>\r\n\t<" + name + b + ">t</" + name + b + ">\r\n</r>",
          "<r>" + text + b + text + "\r\n" + text + "</r>", "<r a='" + text + b + text + "'/>",
          "<r " + name + b + "='v' x=\"" + b + "\"/>",
          "<r xmlns:p='u'>\r\n\t<e p:" + name + b + "x='v' " + name + "='w" + b + "'/>\r\n</r>"}) {
      SCOPED_TRACE("byte " + std::to_string(value) + " in " + document);
      EXPECT_EQ(Outcome(document, 65536), Outcome(document, 1));
    }
  }
}

TEST(XmlParserDeathTest, RejectionEndsTheProcessWithTheLine) {
  EXPECT_EXIT(xmltest::Render("<r>\r\n<a>\r\n<![CDATA[x]]></a></r>", 128), ::testing::ExitedWithCode(test::kFatalExitStatus),
              "Line 3: Badly formed XML document\\.");
}

}  // namespace
