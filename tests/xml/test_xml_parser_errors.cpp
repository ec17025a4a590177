// Every way a document is rejected: the process ends with status 255 and
// "Line N: Badly formed XML document." on standard error, N being the line
// on which the node in progress began. Run at every read buffer size.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "API/core/FxError.h"
#include "XmlTestSupport.h"

namespace {

struct sRejection {
  std::string mInput;
  int mLine;
};

std::string ManyAttributes(int count) {
  std::string tag = "<r";
  for (int i = 0; i < count; ++i) tag += " a" + std::to_string(i) + "='1'";
  return tag + "/>";
}

std::string ManyDeclarations(const char* prefix, int count) {
  std::string declarations;
  for (int i = 0; i < count; ++i) declarations += std::string(" xmlns:") + prefix + std::to_string(i) + "='u'";
  return declarations;
}

class XmlParserDeathTest : public ::testing::TestWithParam<int> {
 protected:
  void CheckRejected(const std::vector<sRejection>& cases) {
    for (const sRejection& c : cases) {
      SCOPED_TRACE("input: " + c.mInput);
      const std::string message = "Line " + std::to_string(c.mLine) + ": Badly formed XML document\\.";
      EXPECT_EXIT(xmltest::Render(c.mInput, GetParam()), ::testing::ExitedWithCode(255), message);
    }
  }
};

TEST_P(XmlParserDeathTest, ConstructsOutsideTheSubset) {
  CheckRejected({
      {"<!DOCTYPE r><r/>", 1},
      {"<r>\r\n<a>\r\n<![CDATA[x]]></a></r>", 3},
      {"<r><!-x--></r>", 1},
      {"\xEF\xBB\xBF<r/>", 1},
      {"<!-- before the root --><r/>", 1},
      {"abc<r/>", 1},
      {"\r\nabc<r/>", 2},
      {"\n\nabc<r/>", 3},
  });
}

TEST_P(XmlParserDeathTest, Declarations) {
  CheckRejected({
      {"<?xm version=\"1.0\"?><r/>", 1},
      {"<?XML version=\"1.0\"?><r/>", 1},
      {"<? xml?><r/>", 1},
      {"<?xml version=\"1.0\"", 1},
      {"<?xml version=\"1.0\"?", 1},
      {"<?xml version=\"1.0\" ?x><r/>", 1},
      {"<r>\n<?pi a=\"1\" a=\"2\"?></r>", 2},
  });
}

TEST_P(XmlParserDeathTest, Tags) {
  CheckRejected({
      {"<r a=1/>", 1},
      {"<r a/>", 1},
      {"<r a=\"1\" =\"2\"/>", 1},
      {"< r/>", 1},
      {"<r>x</r", 1},
      {"<r></>", 1},
      {"<r>a < b</r>", 1},
      {"<r>\r\n</r>\r\n<", 3},
      {"<r>\r\n<a x=\"1\" x=\"2\"/></r>", 2},
      {"<r x=\"1\" x='1'/>", 1},
      {ManyAttributes(65), 1},
  });
}

TEST_P(XmlParserDeathTest, EndOfInputInsideAValueOrEntity) {
  CheckRejected({
      {"<r a=\"abc", 1},
      {"<r a=\"1'/>", 1},
      {"<r>\r\n<a b=\"x\r\ny", 2},
      {"<r>&amp", 1},
      {"<r a=\"&lt\"/>", 1},
      {"<r>\n<a>\n&lt", 3},
  });
}

TEST_P(XmlParserDeathTest, Comments) {
  CheckRejected({
      {"<r>\r\n<a>x<!-- a -- b --></a></r>", 2},
      {"<r><!-- a ---></r>", 1},
      {"<r><!-- a --", 1},
  });
}

TEST_P(XmlParserDeathTest, Namespaces) {
  CheckRejected({
      {"<r xmlns:p=\"u\" xmlns:p=\"v\"/>", 1},
      {"<r xmlns=\"u\" xmlns:=\"v\"/>", 1},
      {"<r>\n\n<p:a/></r>", 3},
      {"<r p:x=\"1\"/>", 1},
      {"<r></p:r>", 1},
      {"<r><a xmlns:p=\"u\"></a><p:b/></r>", 1},
      {"<r><a xmlns:p=\"u\"/><p:b/></r>", 1},
      {"<r xml:lang=\"en\"/>", 1},
      {"<r" + ManyDeclarations("p", 33) + "/>", 1},
      {"<r" + ManyDeclarations("p", 17) + ">\r\n<a" + ManyDeclarations("q", 16) + "/></r>", 2},
  });
}

TEST_P(XmlParserDeathTest, MalformedUtf8) {
  CheckRejected({
      {"<r>a\xFF" "b</r>", 1},
      {"<r>\xF0\x9F\x98\x80</r>", 1},
      {"<r>\xC3", 1},
      {"<r>\xE2\x82</r>", 1},
      {"<r\xC3>", 1},
      {"<r a=\"\xE2\x82\"/>", 1},
      {"<r/>\r\n\xFF", 2},
      {"\n\n\xFF", 3},
      {"<r><!-- \xFF -->", 1},
      {"<r>&l\xFFt;</r>", 1},
      {"<?xml version=\"1.0\xFF\"?>", 1},
  });
}

TEST_P(XmlParserDeathTest, LineCounting) {
  CheckRejected({
      {"<r>\r\n<p:a/>", 2},
      {"<r>\n\r<p:a/>", 2},
      {"<r>\n\n<p:a/>", 3},
      {"<r>\r\r<p:a/>", 3},
      // A blank line in a CR LF file pairs LF with the following CR.
      {"<r>\r\n\r\n<p:a/>", 2},
      {"<r>\r\n \r\n<p:a/>", 3},
      // Breaks inside comments and values count too.
      {"<r><!--\n\n--><a/>\n<p:a/>", 4},
      {"<r a=\"\n\n\"/>\n<p:a/>", 4},
  });
}

INSTANTIATE_TEST_SUITE_P(ReadBufferSizes, XmlParserDeathTest, xmltest::ReadBufferSizes());

// ---- The raise itself --------------------------------------------------------

struct sRejected : std::runtime_error {
  sRejected() : std::runtime_error("rejected") {}
};

bool ThrowingHook(const char*) { throw sRejected(); }

// An exception hook sees every rejection before the process would end;
// malformed UTF-8 also leaves its code in the error record.
TEST(XmlParserRaise, RejectionGoesThroughTheExceptionHook) {
  FxSetExceptionHook(ThrowingHook);
  FxSetErrorCode(0);
  EXPECT_THROW(xmltest::Render("<r>\xC3</r>", 128), sRejected);
  EXPECT_EQ(FxGetErrorCode(), kFxError::cBadUtf8);

  FxSetErrorCode(0);
  EXPECT_THROW(xmltest::Render("<r x='1' x='2'/>", 128), sRejected);
  EXPECT_EQ(FxGetErrorCode(), 0u);

  // The parser is usable again after a rejection was unwound.
  EXPECT_EQ(xmltest::Render("<r>t</r>", 128), R"(<r> "t" </r> "" $)");
  FxSetExceptionHook(nullptr);
}

}  // namespace
