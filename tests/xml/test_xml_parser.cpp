// The parser's node sequences, entities, namespaces and line numbers, run at
// buffer sizes 1 to 5 and 128 so that every token, multi-byte sequence and
// entity is split at every possible place.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "XmlTestSupport.h"

namespace {

using xmltest::Render;

struct sRenderCase {
  std::string mInput;
  std::string mExpected;
};

std::vector<sRenderCase> Documents() {
  const std::string x300(300, 'x');
  return {
      // After every tag exactly one text node, empty when a tag follows.
      {"", "$"},
      {"<r/>", R"(<r> "" </r> "" $)"},
      {"<r></r>", R"(<r> "" </r> "" $)"},
      {"<r>t</r>tail", R"(<r> "t" </r> "tail" $)"},
      {"<r><a/><b>x</b></r>", R"(<r> "" <a> "" </a> "" <b> "x" </b> "" </r> "" $)"},
      // Unclosed elements and mismatched end tags are not checked.
      {"<r><a>t", R"(<r> "" <a> "t" $)"},
      {"<r></x>", R"(<r> "" </x> "" $)"},
      {"</a></b>", R"(</a> "" </b> "" $)"},
      // Only '<' and '&' end plain character data; line breaks stay.
      {"<r>a>b\"c'</r>", R"(<r> "a>b"c'" </r> "" $)"},
      {"<r>a\r\nb\n\rc\td</r>", R"(<r> "a\r\nb\n\rc\td" </r> "" $)"},
      {"<r a=\"" + x300 + "\">" + x300 + "\xC3\xA9" + x300 + "</r>",
       "<r a=" + x300 + "> \"" + x300 + "\\u00E9" + x300 + "\" </r> \"\" $"},

      // Open consumes the leading declaration; later processing
      // instructions, another xml one included, are nodes whose attribute
      // names keep their prefix.
      {"<?xml version=\"1.0\"?>", R"("" $)"},
      {"<?xml?><r/>", R"("" <r> "" </r> "" $)"},
      {"<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<r>\r\n\t<a x=\"1\">t</a>\r\n</r>\r\n",
       R"("\r\n" <r> "\r\n\t" <a x=1> "t" </a> "\r\n" </r> "\r\n" $)"},
      {"\r\n <r/>", R"(<r> "" </r> "" $)"},
      {"<r><?pi a=\"1\"?>t</r>", R"(<r> "" ?pi a=1 "t" </r> "" $)"},
      {"<?xml?><?xml version=\"1.0\"?><r/>", R"("" ?xml version=1.0 "" <r> "" </r> "" $)"},
      {"<r><?pi p:a=\"1\" ?></r>", R"(<r> "" ?pi p:a=1 "" </r> "" $)"},

      // Attributes: layout around '=', either quote, values keeping
      // everything but their own quote, no normalisation.
      {"<r  a = \"1\"  b='2' ></r >", R"(<r a=1 b=2> "" </r> "" $)"},
      {"<r a=\"1\"b=\"2\"/>", R"(<r a=1 b=2> "" </r> "" $)"},
      {"<r\r\n\tx='1'\r\n/>", R"(<r x=1> "" </r> "" $)"},
      {"<r a=\"\"/>", R"(<r a=> "" </r> "" $)"},
      {"<r a=\"x'y\" b='x\"y' c=\"a<b>c\" d=\" s\tp \" e=\"1\r\n2\"/>",
       R"(<r a=x'y b=x"y c=a<b>c d= s\tp  e=1\r\n2> "" </r> "" $)"},
      {"<a.b-c_d9 _x=\":y\"/>", R"(<a.b-c_d9 _x=:y> "" </a.b-c_d9> "" $)"},

      // Comments inside character data vanish; one never closed ends it.
      {"<r>a<!-- - x -<& -->b<!----><!--y-->c</r>", R"(<r> "abc" </r> "" $)"},
      {"<?xml version=\"1.0\"?><!-- c --><r/>", R"("" <r> "" </r> "" $)"},
      {"<r>a<!-- never closed", R"(<r> "a" $)"},

      // UTF-8 of one to three bytes, each half of a surrogate pair on its
      // own; lead bytes 0x80..0xBF count as two-byte leads.
      {"<r>\xC3\xA9\xE2\x82\xAC</r>", R"(<r> "\u00E9\u20AC" </r> "" $)"},
      {"<\xC3\xA9 \xD0\xB6=\"\xEF\xBF\xBF\"/>", R"(<\u00E9 \u0436=\uFFFF> "" </\u00E9> "" $)"},
      {"<r>\xED\xA0\xBD\xED\xB8\x80</r>", R"(<r> "\uD83D\uDE00" </r> "" $)"},
      {"<r>\x81\x81</r>", R"(<r> "A" </r> "" $)"},

      // Entities: the five names; any other name is an integer (0x, 0b,
      // leading-0 octal, decimal, digits up to the first non-digit) whose
      // low 16 bits are the unit. There is no '#' form.
      {"<r>&lt;&gt;&amp;&apos;&quot;</r>", R"(<r> "<>&'"" </r> "" $)"},
      {"<r>&65;&0x41;&0X41;&0b1000001;&0101;&65601;&65abc;</r>", R"(<r> "AAAAAAA" </r> "" $)"},
      {"<r>&-1;&#65;&;&LT;& lt ;</r>", R"(<r> "\uFFFF\u0000\u0000\u0000\u0000" </r> "" $)"},
      // Texts of equal hash but different length stay apart.
      {"<r>&0;&0;<a/>&0;</r>", R"(<r> "\u0000\u0000" <a> "" </a> "\u0000" </r> "" $)"},
      {"<r a=\"&lt;&quot;&apos;\" b='&0x41;&0101;&65601;' c=\"&-1;&#65;\"/>",
       R"(<r a=<"' b=AAA c=\uFFFF\u0000> "" </r> "" $)"},

      // Namespaces: prefixes resolve to the innermost declaration; the
      // default namespace applies to unprefixed attributes too.
      {"<b:a xmlns:b=\"u\"/>", R"(<{u}a> "" </{u}a> "" $)"},
      {"<p:r xmlns:p=\"u\"><p:a>t</p:a></p:r>", R"(<{u}r> "" <{u}a> "t" </{u}a> "" </{u}r> "" $)"},
      {"<r xmlns:a=\"u\"b=\"1\"a:c='2'/>", R"(<r b=1 {u}c=2> "" </r> "" $)"},
      {"<r xmlns=\"u\" x=\"1\"/>", R"(<{u}r {u}x=1> "" </{u}r> "" $)"},
      {"<r xmlns=\"u\"><a xmlns=\"\"/><b/></r>",
       R"(<{u}r> "" <a> "" </a> "" <{u}b> "" </{u}b> "" </{u}r> "" $)"},
      // x and y:x, or x and :x, are different attributes that both come
      // back as x. The declaration "xmlns:" is the default namespace.
      {"<r xmlns:y=\"v\" x=\"1\" y:x=\"2\"/>", R"(<r x=1 {v}x=2> "" </r> "" $)"},
      {"<r x=\"1\" :x=\"2\"/>", R"(<r x=1 x=2> "" </r> "" $)"},
      {"<r xmlns:=\"u\"/>", R"(<{u}r> "" </{u}r> "" $)"},
      {"<a:b:c xmlns:a=\"u\"/>", R"(<{u}b:c> "" </{u}b:c> "" $)"},
      // Declarations of an element, empty or not, end with it.
      {"<r xmlns:p=\"v\"><a xmlns:p=\"u\"><p:c/></a><p:b/></r>",
       R"(<r> "" <a> "" <{u}c> "" </{u}c> "" </a> "" <{v}b> "" </{v}b> "" </r> "" $)"},
      {"<r xmlns:p=\"v\"><a xmlns:p=\"u\"/><p:b/></r>",
       R"(<r> "" <a> "" </a> "" <{v}b> "" </{v}b> "" </r> "" $)"},
  };
}

class XmlParser : public ::testing::TestWithParam<int> {};

TEST_P(XmlParser, Documents) {
  for (const sRenderCase& c : Documents()) {
    SCOPED_TRACE("input: " + c.mInput);
    EXPECT_EQ(Render(c.mInput, GetParam()), c.mExpected);
  }
}

// Every node reports the line it began on; a line break counts from the
// moment it is read, so a text that starts with one begins on the next line.
TEST_P(XmlParser, NodeLines) {
  EXPECT_EQ(Render("<r>\r\n<a\r\nx=\"1\">\r\n</a>\n\n<b/></r>", GetParam(), true),
            R"(<r>@1 "\r\n"@2 <a x=1>@2 "\r\n"@4 </a>@4 "\n\n"@5 <b>@6 ""@6 </b>@6 ""@6 </r>@6 ""@6 $@6)");
}

// Long texts, indentation runs, line breaks of every kind and multi-byte
// characters at every offset of the buffers parse the same, node lines
// included, at every buffer size as with a large one (whose buffers hold
// whole names and long runs of plain bytes at once).
TEST_P(XmlParser, LargeDocumentIndependentOfBufferSize) {
  const char* const breaks[] = {"\r\n", "\n", "\n\n", "\n\r", "\r\r\n", "\r"};
  std::string document = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<d:root xmlns:d=\"u\">\r\n";
  for (int i = 0; i < 200; ++i) {
    const std::string text = std::string(static_cast<size_t>(i % 37), 'x') + "\xC3\xA9&amp;\xE2\x82\xAC&0x42;";
    const std::string lineBreak = breaks[i % 6];
    const std::string indent(static_cast<size_t>(i % 23), '\t');
    const std::string name = i % 3 == 0 ? "item" : i % 3 == 1 ? "d:item" : "it\xC3\xA9m" + std::string(static_cast<size_t>(i % 19), 'm');
    document += indent + "<" + name + " d:id=\"" + std::to_string(i) + "\" name='n\xD0\xB6" + std::to_string(i) + "'>" +
                text + lineBreak + indent + "<!-- c" + std::to_string(i) + " -->" + text + "</" + name + ">" + lineBreak;
    if (i % 10 == 0) document += indent + "<empty a=\"&lt;\"/>" + lineBreak + std::string(static_cast<size_t>(i % 17), ' ') + "\n";
  }
  document += "</d:root>\r\n";
  const std::string expected = Render(document, 65536, true);
  ASSERT_EQ(expected.find("(no document end)"), std::string::npos);
  EXPECT_EQ(Render(document, GetParam(), true), expected);
}

INSTANTIATE_TEST_SUITE_P(BufferSizes, XmlParser, xmltest::BufferSizes());

// Names and URIs are interned (equal text, one handle, whichever parser
// read them); empty texts and values are the null handle, which is what
// the visitors test for.
TEST(XmlParserStrings, NamesShareHandlesAndEmptyTextIsNull) {
  cFxFile first, second;
  first.Attach(new xmltest::cMemoryFile("<p:a xmlns:p=\"u\" x=\"\"></p:a>"), 0, 7, 0);
  second.Attach(new xmltest::cMemoryFile("<a xmlns=\"u\" x=\"2\"/>"), 0, 7, 0);
  cXmlParser one, two;
  one.Open(first);
  two.Open(second);
  one.Read();
  two.Read();
  EXPECT_EQ(two.GetName().GetHandle(), one.GetName().GetHandle());
  EXPECT_EQ(two.GetNamespace().GetHandle(), one.GetNamespace().GetHandle());
  EXPECT_EQ(two.GetAttributeName(0).GetHandle(), one.GetAttributeName(0).GetHandle());
  EXPECT_EQ(one.GetAttributeValue(0).GetHandle(), nullptr);
  one.Read();
  EXPECT_EQ(one.GetText().GetHandle(), nullptr);
}

// A parser opened again on another stream carries nothing over: open
// elements, namespaces, a pending empty element, line numbers.
TEST(XmlParserStrings, ReopenStartsAfresh) {
  cFxFile first, second;
  first.Attach(new xmltest::cMemoryFile("<p:a xmlns:p=\"u\">\n<b/>"), 0, 128, 0);
  second.Attach(new xmltest::cMemoryFile("<c/>"), 0, 128, 0);
  cXmlParser parser;
  parser.Open(first);
  for (int i = 0; i < 3; ++i) parser.Read();
  ASSERT_EQ(parser.GetName(), u"b");
  parser.Open(second);
  std::string nodes;
  for (parser.Read(); parser.GetNodeType() != eDocumentEnd; parser.Read()) {
    nodes += xmltest::RenderNode(parser, true);
  }
  EXPECT_EQ(nodes, R"(<c>@1""@1</c>@1""@1)");
  EXPECT_EQ(parser.GetDepth(), 0);
}

}  // namespace
