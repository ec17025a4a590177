// The parser's node sequences, entities, namespaces and line numbers, each
// table run at read buffer sizes 1 to 5 and 128 so that every token,
// multi-byte sequence and entity is split at every possible place.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "XmlTestSupport.h"

namespace {

using xmltest::Render;

struct sRenderCase {
  std::string mInput;
  const char* mExpected;
};

class XmlParser : public ::testing::TestWithParam<int> {
 protected:
  void Check(const std::vector<sRenderCase>& cases) {
    for (const sRenderCase& c : cases) {
      SCOPED_TRACE("input: " + c.mInput);
      EXPECT_EQ(Render(c.mInput, GetParam()), c.mExpected);
    }
  }
};

TEST_P(XmlParser, NodeSequences) {
  Check({
      {"", "$"},
      {"<r/>", R"(<r> "" </r> "" $)"},
      {"<r></r>", R"(<r> "" </r> "" $)"},
      {"<r>t</r>tail", R"(<r> "t" </r> "tail" $)"},
      {"<r><a/><b>x</b></r>", R"(<r> "" <a> "" </a> "" <b> "x" </b> "" </r> "" $)"},
      // Unclosed elements and mismatched end tags are not checked.
      {"<r><a>t", R"(<r> "" <a> "t" $)"},
      {"<r></x>", R"(<r> "" </x> "" $)"},
      {"</a></b>", R"(</a> "" </b> "" $)"},
      // Only '<' and '&' end plain character data.
      {"<r>a>b\"c'</r>", R"(<r> "a>b"c'" </r> "" $)"},
      {"<r>a\r\nb\n\rc\td</r>", R"(<r> "a\r\nb\n\rc\td" </r> "" $)"},
  });
}

TEST_P(XmlParser, Declarations) {
  Check({
      // The leading declaration is consumed by Open; the text after it is
      // the first node.
      {"<?xml version=\"1.0\"?>", R"("" $)"},
      {"<?xml?><r/>", R"("" <r> "" </r> "" $)"},
      {"<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<r>\r\n\t<a x=\"1\">t</a>\r\n</r>\r\n",
       R"("\r\n" <r> "\r\n\t" <a x=1> "t" </a> "\r\n" </r> "\r\n" $)"},
      {"\r\n <r/>", R"(<r> "" </r> "" $)"},
      // Later processing instructions, another xml one included, are nodes.
      {"<r><?pi a=\"1\"?>t</r>", R"(<r> "" ?pi a=1 "t" </r> "" $)"},
      {"<?xml version=\"1.0\"?><?xml version=\"1.0\"?><r/>",
       R"("" ?xml version=1.0 "" <r> "" </r> "" $)"},
      // A declaration's attribute names keep their prefix.
      {"<r><?pi p:a=\"1\" ?></r>", R"(<r> "" ?pi p:a=1 "" </r> "" $)"},
  });
}

TEST_P(XmlParser, Attributes) {
  Check({
      {"<r  a = \"1\"  b='2' ></r >", R"(<r a=1 b=2> "" </r> "" $)"},
      {"<r a=\"1\"b=\"2\"/>", R"(<r a=1 b=2> "" </r> "" $)"},
      {"<r xmlns:a=\"u\"b=\"1\"a:c='2'/>", R"(<r b=1 {u}c=2> "" </r> "" $)"},
      {"<r\r\n\tx='1'\r\n/>", R"(<r x=1> "" </r> "" $)"},
      {"<r a=\"\"/>", R"(<r a=> "" </r> "" $)"},
      // Values keep everything but their own quote: the other quote, tag
      // characters, whitespace and line breaks.
      {"<r a=\"x'y\" b='x\"y' c=\"a<b>c\" d=\" s\tp \" e=\"1\r\n2\"/>",
       R"(<r a=x'y b=x"y c=a<b>c d= s\tp  e=1\r\n2> "" </r> "" $)"},
      {"<a.b-c_d9 _x=\":y\"/>", R"(<a.b-c_d9 _x=:y> "" </a.b-c_d9> "" $)"},
  });
}

TEST_P(XmlParser, Comments) {
  Check({
      {"<r>a<!-- c -->b</r>", R"(<r> "ab" </r> "" $)"},
      {"<r><!----></r>", R"(<r> "" </r> "" $)"},
      {"<r>a<!-- - x -<& -->b</r>", R"(<r> "ab" </r> "" $)"},
      {"<r>a<!--x--><!--y-->b</r>", R"(<r> "ab" </r> "" $)"},
      {"<?xml version=\"1.0\"?><!-- c --><r/>", R"("" <r> "" </r> "" $)"},
      // The end of input inside a comment ends the text.
      {"<r>a<!-- never closed", R"(<r> "a" $)"},
  });
}

TEST_P(XmlParser, Utf8) {
  Check({
      {"<r>\xC3\xA9\xE2\x82\xAC</r>", R"(<r> "\u00E9\u20AC" </r> "" $)"},
      {"<\xC3\xA9 \xD0\xB6=\"\xEF\xBF\xBF\"/>",
       R"(<\u00E9 \u0436=\uFFFF> "" </\u00E9> "" $)"},
      // Each half of a surrogate pair arrives as its own three-byte form.
      {"<r>\xED\xA0\xBD\xED\xB8\x80</r>", R"(<r> "\uD83D\uDE00" </r> "" $)"},
      // Lead bytes 0x80..0xBF count as two-byte leads.
      {"<r>\x81\x81</r>", R"(<r> "A" </r> "" $)"},
  });
}

TEST_P(XmlParser, Namespaces) {
  Check({
      {"<b:a xmlns:b=\"u\"/>", R"(<{u}a> "" </{u}a> "" $)"},
      {"<p:r xmlns:p=\"u\"><p:a>t</p:a></p:r>", R"(<{u}r> "" <{u}a> "t" </{u}a> "" </{u}r> "" $)"},
      // The default namespace applies to unprefixed attributes too.
      {"<r xmlns=\"u\" x=\"1\"/>", R"(<{u}r {u}x=1> "" </{u}r> "" $)"},
      {"<r xmlns=\"u\"><a xmlns=\"\"/><b/></r>",
       R"(<{u}r> "" <a> "" </a> "" <{u}b> "" </{u}b> "" </{u}r> "" $)"},
      // x and y:x are different attributes that both come back as x.
      {"<r xmlns:y=\"v\" x=\"1\" y:x=\"2\"/>", R"(<r x=1 {v}x=2> "" </r> "" $)"},
      // An empty prefix is no prefix; so is the declaration "xmlns:".
      {"<r x=\"1\" :x=\"2\"/>", R"(<r x=1 x=2> "" </r> "" $)"},
      {"<r xmlns:=\"u\"/>", R"(<{u}r> "" </{u}r> "" $)"},
      // Only the first ':' separates the prefix.
      {"<a:b:c xmlns:a=\"u\"/>", R"(<{u}b:c> "" </{u}b:c> "" $)"},
      // The innermost declaration wins; declarations of an empty-element
      // tag are gone for its following siblings.
      {"<r xmlns:p=\"v\"><a xmlns:p=\"u\"><p:c/></a><p:b/></r>",
       R"(<r> "" <a> "" <{u}c> "" </{u}c> "" </a> "" <{v}b> "" </{v}b> "" </r> "" $)"},
      {"<r xmlns:p=\"v\"><a xmlns:p=\"u\"/><p:b/></r>",
       R"(<r> "" <a> "" </a> "" <{v}b> "" </{v}b> "" </r> "" $)"},
      {"<d:r xmlns:d=\"http://x/\" d:version=\"1.0\"><a d:type=\"t\">1</a></d:r>",
       R"(<{http://x/}r {http://x/}version=1.0> "" <a {http://x/}type=t> "1" </a> "" </{http://x/}r> "" $)"},
  });
}

TEST_P(XmlParser, Limits) {
  std::string attributes;
  for (int i = 0; i < 64; ++i) attributes += " a" + std::to_string(i) + "=\"" + std::to_string(i) + "\"";
  std::string expected = "<r";
  for (int i = 0; i < 64; ++i) expected += " a" + std::to_string(i) + "=" + std::to_string(i);
  expected += R"(> "" </r> "" $)";

  // 32 declarations in scope: 16 on the root, 16 on its child.
  std::string outer, inner;
  for (int i = 0; i < 16; ++i) {
    outer += " xmlns:o" + std::to_string(i) + "=\"u\"";
    inner += " xmlns:i" + std::to_string(i) + "=\"v\"";
  }
  Check({
      {"<r" + attributes + "/>", expected.c_str()},
      {"<r" + outer + "><a" + inner + "><i15:b/></a></r>",
       R"(<r> "" <a> "" <{v}b> "" </{v}b> "" </a> "" </r> "" $)"},
  });
}

// Entity references in text and attribute values: the five names, and
// every other name read as an integer whose low 16 bits are the unit.
TEST_P(XmlParser, Entities) {
  struct sEntityCase {
    const char* mReference;
    std::u16string mExpected;
  };
  const std::vector<sEntityCase> cases = {
      {"&lt;", u"<"},
      {"&gt;", u">"},
      {"&amp;", u"&"},
      {"&apos;", u"'"},
      {"&quot;", u"\""},
      {"&65;", u"A"},
      {"&0x41;", u"A"},
      {"&0X41;", u"A"},
      {"&0b1000001;", u"A"},
      {"&0101;", u"A"},            // leading 0: octal
      {"&65601;", u"A"},           // 0x10041: low 16 bits
      {"&-1;", u"\xFFFF"},
      {"&#65;", std::u16string(1, u'\0')},   // no '#' form: no digits read
      {"&;", std::u16string(1, u'\0')},
      {"&LT;", std::u16string(1, u'\0')},    // names are case-sensitive
      {"&65abc;", u"A"},           // digits up to the first non-digit
      {"& lt ;", std::u16string(1, u'\0')},
      {"a&amp;b&lt;&#x41;c", std::u16string(u"a&b<") + u'\0' + u"c"},
  };
  for (const sEntityCase& c : cases) {
    SCOPED_TRACE(c.mReference);
    for (int inAttribute = 0; inAttribute < 2; ++inAttribute) {
      const std::string document = inAttribute ? std::string("<r a=\"") + c.mReference + "\"/>"
                                               : std::string("<r>") + c.mReference + "</r>";
      cFxFile file;
      xmltest::AttachSource(file, document, GetParam());
      cXmlParser parser;
      parser.Open(file);
      parser.Read();
      ASSERT_EQ(parser.GetNodeType(), eElementStart);
      if (inAttribute) {
        ASSERT_EQ(parser.GetAttributeCount(), 1u);
        EXPECT_EQ(xmltest::Wide(parser.GetAttributeValue(0)), c.mExpected);
      } else {
        parser.Read();
        ASSERT_EQ(parser.GetNodeType(), eText);
        EXPECT_EQ(xmltest::Wide(parser.GetText()), c.mExpected);
      }
    }
  }
}

// A document with every construct, long texts and multi-byte characters at
// every offset parses the same at every buffer size as with a large one.
TEST_P(XmlParser, LargeDocumentIndependentOfBufferSize) {
  std::string document = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<d:root xmlns:d=\"u\">\r\n";
  for (int i = 0; i < 200; ++i) {
    std::string text(static_cast<size_t>(i % 37), 'x');
    text += "\xC3\xA9&amp;\xE2\x82\xAC&0x42;";
    document += "\t<item d:id=\"" + std::to_string(i) + "\" name='n\xD0\xB6" + std::to_string(i) +
                "'>" + text + "<!-- c" + std::to_string(i) + " -->" + text + "</item>\r\n";
    if (i % 10 == 0) document += "\t<empty a=\"&lt;\"/>\n\n";
  }
  document += "</d:root>\r\n";
  const std::string expected = Render(document, 65536);
  ASSERT_EQ(expected.find("(no document end)"), std::string::npos);
  EXPECT_EQ(Render(document, GetParam()), expected);
}

// Lines: a CR or LF starts a line unless it completes a CR LF or LF CR
// pair. The node line of a start tag after the given layout:
TEST_P(XmlParser, LineCounting) {
  struct sLineCase {
    const char* mLayout;
    int32_t mLine;
  };
  const std::vector<sLineCase> cases = {
      {"", 1},       {"\n", 2},         {"\r\n", 2},   {"\n\r", 2},       {"\n\n", 3},
      {"\r\r", 3},   {"\n \n", 3},      {" \r\n \r\n", 3},
      // A blank line in a CR LF file pairs LF with the following CR.
      {"\r\n\r\n", 2},
  };
  for (const sLineCase& c : cases) {
    SCOPED_TRACE(xmltest::Show(cFxWString(c.mLayout)));
    cFxFile file;
    xmltest::AttachSource(file, std::string(c.mLayout) + "<r/>", GetParam());
    cXmlParser parser;
    parser.Open(file);
    parser.Read();
    ASSERT_EQ(parser.GetNodeType(), eElementStart);
    EXPECT_EQ(parser.GetNodeLine(), c.mLine);
  }
}

// Every node reports the line it began on; a line break counts from the
// moment it is read, so a text that starts with one begins on the next line.
TEST_P(XmlParser, NodeLines) {
  cFxFile file;
  xmltest::AttachSource(file, "<r>\r\n<a\r\nx=\"1\">\r\n</a>\n\n<b/></r>", GetParam());
  cXmlParser parser;
  parser.Open(file);
  std::vector<std::pair<std::string, int32_t>> nodes;
  do {
    parser.Read();
    nodes.emplace_back(xmltest::RenderNode(parser), parser.GetNodeLine());
  } while (parser.GetNodeType() != eDocumentEnd && nodes.size() < 100);
  const std::vector<std::pair<std::string, int32_t>> expected = {
      {"<r>", 1},   {"\"\\r\\n\"", 2}, {"<a x=1>", 2}, {"\"\\r\\n\"", 4}, {"</a>", 4},
      {"\"\\n\\n\"", 5}, {"<b>", 6}, {"\"\"", 6},     {"</b>", 6},        {"\"\"", 6},
      {"</r>", 6},  {"\"\"", 6},       {"$", 6}};
  EXPECT_EQ(nodes, expected);
}

INSTANTIATE_TEST_SUITE_P(ReadBufferSizes, XmlParser, xmltest::ReadBufferSizes());

// ---- Single-run properties -------------------------------------------------

// Names and URIs are interned: equal text, one handle. Empty texts are the
// null handle.
TEST(XmlParserStrings, NamesShareHandlesAndEmptyTextIsNull) {
  cFxFile file;
  xmltest::AttachSource(file, "<p:a xmlns:p=\"u\" x=\"1\"><b xmlns=\"u\" x=\"2\"/>t</p:a>", 7);
  cXmlParser parser;
  parser.Open(file);
  parser.Read();
  const cFxWString outerName = parser.GetName();
  const cFxWString outerNamespace = parser.GetNamespace();
  const cFxWString outerAttribute = parser.GetAttributeName(0);
  parser.Read();
  EXPECT_EQ(parser.GetNodeType(), eText);
  EXPECT_TRUE(parser.GetText().IsEmpty());
  EXPECT_EQ(parser.GetText().GetHandle(), nullptr);
  parser.Read();
  EXPECT_EQ(parser.GetName(), u"b");
  EXPECT_EQ(parser.GetNamespace().GetHandle(), outerNamespace.GetHandle());
  EXPECT_EQ(parser.GetAttributeName(0).GetHandle(), outerAttribute.GetHandle());
  parser.Read();  // empty text
  parser.Read();  // </b>
  parser.Read();  // "t"
  EXPECT_EQ(xmltest::Wide(parser.GetText()), u"t");
  parser.Read();
  EXPECT_EQ(parser.GetNodeType(), eElementEnd);
  EXPECT_EQ(parser.GetName().GetHandle(), outerName.GetHandle());
}

TEST(XmlParserStrings, NeverOpenedParserHasNoNode) {
  cXmlParser parser;
  EXPECT_EQ(parser.GetNodeType(), eNone);
  EXPECT_EQ(parser.GetAttributeCount(), 0u);
}

// A parser can be opened again on another stream; nothing of the first
// document (open elements, namespaces, pending nodes) carries over.
TEST(XmlParserStrings, ReopenStartsAfresh) {
  cFxFile first;
  xmltest::AttachSource(first, "<p:a xmlns:p=\"u\"><b/>", 128);
  cXmlParser parser;
  parser.Open(first);
  parser.Read();
  parser.Read();
  parser.Read();  // <b>, empty element pending
  EXPECT_EQ(parser.GetNodeType(), eElementStart);
  cFxFile second;
  xmltest::AttachSource(second, "\n<c/>", 128);
  parser.Open(second);
  EXPECT_EQ(parser.GetNodeType(), eDocumentStart);
  EXPECT_EQ(xmltest::RenderDocument(parser), R"(<c> "" </c> "" $)");
  EXPECT_EQ(parser.GetDepth(), 0);
}

}  // namespace
