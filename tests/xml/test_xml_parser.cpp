// The parser's documents, accepted or rejected, each read through a stream
// and a parser buffering 1 to 5 bytes (so that every token, multi-byte
// sequence and entity is split at every possible place) and 128 bytes. A
// rejection is caught through an exception hook that unwinds instead of
// ending the process (the runs of the built program show the real end).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "API/core/FxError.h"
#include "XmlTestSupport.h"

namespace {

using xmltest::ShowName;

// Whether the parser makes attribute values, and whether they are shown.
enum class eValues { Made, MadeNotShown, NotMade };

// One node: <{ns}name a=v> for a start tag, </name> for an end tag, "text"
// for character data, ?name a=v for a declaration, $ for the end; with
// `line`, followed by @ and the node's line.
std::string RenderNode(cXmlParser& parser, bool line, eValues values = eValues::Made) {
  std::string out;
  const eXmlNodeType type = parser.GetNodeType();
  if (type == eElementStart || type == eDeclaration) {
    out = (type == eDeclaration ? "?" : "<") + ShowName(parser.GetNamespace(), parser.GetName());
    for (uint32_t i = 0; i < parser.GetAttributeCount(); ++i)
      out += " " + ShowName(parser.GetAttributeNamespace(i), parser.GetAttributeName(i)) + "=" +
             (values == eValues::MadeNotShown ? "" : xmltest::Show(parser.GetAttributeValue(i)));
    if (type == eElementStart) out += ">";
  } else if (type == eElementEnd) {
    out = "</" + ShowName(parser.GetNamespace(), parser.GetName()) + ">";
  } else {
    out = type == eText ? "\"" + xmltest::Show(parser.GetText()) + "\"" : type == eDocumentEnd ? "$" : "!";
  }
  return line ? out + "@" + std::to_string(parser.GetNodeLine()) : out;
}

struct sRejected {};
bool ThrowingHook(const char*) { throw sRejected(); }

// What a parser reading `bufferSize` bytes at a time makes of `bytes`: the
// nodes separated by spaces, or "!" and the line of the rejection, then
// " utf8" when it left the malformed-UTF-8 code (any other code is shown).
// A read fails at `readErrorAt`.
std::string Outcome(const std::string& bytes, int bufferSize, bool lines = false,
                    size_t readErrorAt = std::string::npos, eValues values = eValues::Made) {
  FxSetExceptionHook(ThrowingHook);
  cFxFile file;
  file.Attach(new xmltest::cMemoryFile(bytes, readErrorAt), 0, bufferSize, 0);
  cXmlParser parser(static_cast<uint32_t>(bufferSize));
  parser.SetAttributeValuesWanted(values != eValues::NotMade);
  FxSetErrorCode(0);
  std::string out;
  try {
    parser.Open(file);
    for (int guard = 0; guard < 100000 && parser.GetNodeType() != eDocumentEnd; ++guard) {
      parser.Read();
      out += (out.empty() ? "" : " ") + RenderNode(parser, lines, values);
    }
  } catch (const sRejected&) {
    const uint32_t code = FxGetErrorCode();
    out = "!" + std::to_string(parser.GetNodeLine()) +
          (code == 0 ? "" : code == kFxError::cBadUtf8 ? " utf8" : " code " + std::to_string(code));
  }
  FxSetExceptionHook(nullptr);
  return out;
}

// ` a0='u' a1='u'...` for `name` "a"; declarations for "xmlns:a". Without
// `quote`, as rendered.
std::string Attributes(const std::string& name, int count, const std::string& quote = "'") {
  std::string out;
  for (int i = 0; i < count; ++i) out += " " + name + std::to_string(i) + "=" + quote + "u" + quote;
  return out;
}

struct sDocument { std::string mInput, mExpected; bool mLines = false; size_t mReadErrorAt = std::string::npos; };

std::vector<sDocument> Documents() {
  const std::string x300(300, 'x');
  const std::string scoped = "<r" + Attributes("xmlns:p", 16) + "><a" + Attributes("xmlns:q", 16) + ">";
  return {
      // After every tag exactly one text node, empty when a tag follows.
      {"", "$"}, {"<r/>", R"(<r> "" </r> "" $)"}, {"<r></r>", R"(<r> "" </r> "" $)"},
      {"<r>t</r>tail", R"(<r> "t" </r> "tail" $)"},
      {"<r><a/><b>x</b></r>", R"(<r> "" <a> "" </a> "" <b> "x" </b> "" </r> "" $)"},
      // Unclosed elements and mismatched end tags are not checked.
      {"<r><a>t", R"(<r> "" <a> "t" $)"}, {"<r></x>", R"(<r> "" </x> "" $)"}, {"</a></b>", R"(</a> "" </b> "" $)"},
      // Only '<' and '&' end plain character data; line breaks stay.
      {"<r>a>b\"c'</r>", R"(<r> "a>b"c'" </r> "" $)"}, {"<r>a\r\nb\n\rc\td</r>", R"(<r> "a\r\nb\n\rc\td" </r> "" $)"},
      {"<r a=\"" + x300 + "\">" + x300 + "\xC3\xA9" + x300 + "</r>",
       "<r a=" + x300 + "> \"" + x300 + "\\u00E9" + x300 + "\" </r> \"\" $"},
      // Every node reports the line it began on; a line break counts from
      // the moment it is read, so a text that starts with one begins on the
      // next line.
      {"<r>\r\n<a\r\nx=\"1\">\r\n</a>\n\n<b/></r>",
       R"(<r>@1 "\r\n"@2 <a x=1>@2 "\r\n"@4 </a>@4 "\n\n"@5 <b>@6 ""@6 </b>@6 ""@6 </r>@6 ""@6 $@6)", true},

      // Open consumes the leading declaration; later processing
      // instructions, another xml one included, are nodes whose attribute
      // names keep their prefix.
      {"<?xml version=\"1.0\"?>", R"("" $)"}, {"<?xml?><r/>", R"("" <r> "" </r> "" $)"},
      {"<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<r>\r\n\t<a x=\"1\">t</a>\r\n</r>\r\n",
       R"("\r\n" <r> "\r\n\t" <a x=1> "t" </a> "\r\n" </r> "\r\n" $)"},
      {"\r\n <r/>", R"(<r> "" </r> "" $)"}, {"<r><?pi a=\"1\"?>t</r>", R"(<r> "" ?pi a=1 "t" </r> "" $)"},
      {"<?xml?><?xml version=\"1.0\"?><r/>", R"("" ?xml version=1.0 "" <r> "" </r> "" $)"},
      {"<r><?pi p:a=\"1\" ?></r>", R"(<r> "" ?pi p:a=1 "" </r> "" $)"},

      // Attributes: layout around '=', either quote, values keeping
      // everything but their own quote, no normalisation; 64 on a tag.
      {"<r  a = \"1\"  b='2' ></r >", R"(<r a=1 b=2> "" </r> "" $)"},
      {"<r a=\"1\"b=\"2\"/>", R"(<r a=1 b=2> "" </r> "" $)"}, {"<r\r\n\tx='1'\r\n/>", R"(<r x=1> "" </r> "" $)"},
      {"<r a=\"\"/>", R"(<r a=> "" </r> "" $)"},
      {"<r a=\"x'y\" b='x\"y' c=\"a<b>c\" d=\" s\tp \" e=\"1\r\n2\"/>",
       R"(<r a=x'y b=x"y c=a<b>c d= s\tp  e=1\r\n2> "" </r> "" $)"},
      {"<a.b-c_d9 _x=\":y\"/>", R"(<a.b-c_d9 _x=:y> "" </a.b-c_d9> "" $)"},
      {"<r" + Attributes("a", 64) + "/>", "<r" + Attributes("a", 64, "") + "> \"\" </r> \"\" $"},

      // Comments inside character data vanish; one never closed ends it.
      {"<r>a<!-- - x -<& -->b<!----><!--y-->c</r>", R"(<r> "abc" </r> "" $)"},
      {"<?xml version=\"1.0\"?><!-- c --><r/>", R"("" <r> "" </r> "" $)"}, {"<r>a<!-- never closed", R"(<r> "a" $)"},

      // UTF-8 of one to three bytes, each half of a surrogate pair on its
      // own; lead bytes 0x80..0xBF count as two-byte leads.
      {"<r>\xC3\xA9\xE2\x82\xAC</r>", R"(<r> "\u00E9\u20AC" </r> "" $)"},
      {"<\xC3\xA9 \xD0\xB6=\"\xEF\xBF\xBF\"/>", R"(<\u00E9 \u0436=\uFFFF> "" </\u00E9> "" $)"},
      {"<r>\xED\xA0\xBD\xED\xB8\x80</r>", R"(<r> "\uD83D\uDE00" </r> "" $)"},
      {"<r>\x81\x81</r>", R"(<r> "A" </r> "" $)"},
      // A sequence whose bits give an ASCII unit is that unit, also where a
      // tag or attribute name starts.
      {"<\xC1\xA1 \xC1\xA2=\"1\"><\xE0\x81\xA3/></\xC1\xA1>", R"(<a b=1> "" <c> "" </c> "" </a> "" $)"},

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
      {"<r xmlns=\"u\"><a xmlns=\"\"/><b/></r>", R"(<{u}r> "" <a> "" </a> "" <{u}b> "" </{u}b> "" </{u}r> "" $)"},
      // x and y:x, or x and :x, are different attributes that both come
      // back as x. The declaration "xmlns:" is the default namespace.
      {"<r xmlns:y=\"v\" x=\"1\" y:x=\"2\"/>", R"(<r x=1 {v}x=2> "" </r> "" $)"},
      {"<r x=\"1\" :x=\"2\"/>", R"(<r x=1 x=2> "" </r> "" $)"}, {"<r xmlns:=\"u\"/>", R"(<{u}r> "" </{u}r> "" $)"},
      {"<a:b:c xmlns:a=\"u\"/>", R"(<{u}b:c> "" </{u}b:c> "" $)"},
      // Declarations of an element, empty or not, end with it; 32 in scope.
      {"<r xmlns:p=\"v\"><a xmlns:p=\"u\"><p:c/></a><p:b/></r>",
       R"(<r> "" <a> "" <{u}c> "" </{u}c> "" </a> "" <{v}b> "" </{v}b> "" </r> "" $)"},
      {"<r xmlns:p=\"v\"><a xmlns:p=\"u\"/><p:b/></r>", R"(<r> "" <a> "" </a> "" <{v}b> "" </{v}b> "" </r> "" $)"},
      {scoped + "<q15:b/></a></r>", R"(<r> "" <a> "" <{u}b> "" </{u}b> "" </a> "" </r> "" $)"},
      // No attribute keeps the namespace of the one before it in its place.
      {"<r xmlns=\"u\"><a x=\"1\"/><?pi x=\"2\"?></r><b x=\"3\"/>",
       R"(<{u}r> "" <{u}a {u}x=1> "" </{u}a> "" ?pi x=2 "" </{u}r> "" <b x=3> "" </b> "" $)"},

      // Rejected: constructs outside the subset, and anything but a tag
      // where a node begins.
      {"<!DOCTYPE r><r/>", "!1"}, {"<r>\r\n<a>\r\n<![CDATA[x]]></a></r>", "!3"}, {"<r><!-x--></r>", "!1"},
      {"\xEF\xBB\xBF<r/>", "!1"}, {"<!-- before the root --><r/>", "!1"}, {"abc<r/>", "!1"}, {"\r\nabc<r/>", "!2"},
      {"\n\nabc<r/>", "!3"},
      // Declarations.
      {"<?xm version=\"1.0\"?><r/>", "!1"}, {"<?XML version=\"1.0\"?><r/>", "!1"}, {"<? xml?><r/>", "!1"},
      {"<?xml version=\"1.0\"", "!1"}, {"<?xml version=\"1.0\"?", "!1"}, {"<?xml version=\"1.0\" ?x><r/>", "!1"},
      {"<r>\n<?pi a=\"1\" a=\"2\"?></r>", "!2"},
      // Tags and attributes.
      {"<r a=1/>", "!1"}, {"<r a/>", "!1"}, {"<r a=\"1\" =\"2\"/>", "!1"}, {"< r/>", "!1"}, {"<r>x</r", "!1"},
      {"<r></>", "!1"}, {"<r>a < b</r>", "!1"}, {"<r>\r\n</r>\r\n<", "!3"}, {"<r>\r\n<a x=\"1\" x=\"2\"/></r>", "!2"},
      {"<r x=\"1\" x='1'/>", "!1"}, {"<r" + Attributes("a", 65) + "/>", "!1"},
      // The end of input inside a value or an entity reference, or where a
      // read fails: neither an empty document nor one cut short passes.
      {"<r a=\"abc", "!1"}, {"<r a=\"1'/>", "!1"}, {"<r>\r\n<a b=\"x\r\ny", "!2"}, {"<r>&amp", "!1"},
      {"<r a=\"&lt\"/>", "!1"}, {"<r>\n<a>\n&lt", "!3"}, {"<r>t</r>", "!1", false, 0}, {"<r>t</r>", "!1", false, 4},
      // Comments whose first "--" is not followed by '>'.
      {"<r>\r\n<a>x<!-- a -- b --></a></r>", "!2"}, {"<r><!-- a ---></r>", "!1"}, {"<r><!-- a --", "!1"},
      // Namespaces: a prefix declared twice at one depth, unknown or out of
      // scope prefixes, more than 32 declarations in scope.
      {"<r xmlns:p=\"u\" xmlns:p=\"v\"/>", "!1"}, {"<r xmlns=\"u\" xmlns:=\"v\"/>", "!1"}, {"<r>\n\n<p:a/></r>", "!3"},
      {"<r p:x=\"1\"/>", "!1"}, {"<r></p:r>", "!1"}, {"<r><a xmlns:p=\"u\"></a><p:b/></r>", "!1"},
      {"<r><a xmlns:p=\"u\"/><p:b/></r>", "!1"}, {"<r xml:lang=\"en\"/>", "!1"},
      {"<r" + Attributes("xmlns:p", 33) + "/>", "!1"}, {scoped + "\r\n<b xmlns:z=\"u\"/></a></r>", "!2"},
      // Line counting: CR LF and LF CR are one break, LF LF and CR CR two; a
      // blank line in a CR LF file pairs LF with the following CR; breaks
      // inside comments and values count too.
      {"<r>\r\n<p:a/>", "!2"}, {"<r>\n\r<p:a/>", "!2"}, {"<r>\n\n<p:a/>", "!3"}, {"<r>\r\r<p:a/>", "!3"},
      {"<r>\r\n\r\n<p:a/>", "!2"}, {"<r>\r\n \r\n<p:a/>", "!3"}, {"<r><!--\n\n--><a/>\n<p:a/>", "!4"},
      {"<r a=\"\n\n\"/>\n<p:a/>", "!4"},
      // Malformed UTF-8 ends the input, which is then rejected wherever it
      // ends, leaving its own error code.
      {"<r>a\xFF" "b</r>", "!1 utf8"}, {"<r>\xF0\x9F\x98\x80</r>", "!1 utf8"}, {"<r>\xC3", "!1 utf8"},
      {"<r>\xE2\x82</r>", "!1 utf8"}, {"<r\xC3>", "!1 utf8"}, {"<r a=\"\xE2\x82\"/>", "!1 utf8"},
      {"<r/>\r\n\xFF", "!2 utf8"}, {"\n\n\xFF", "!3 utf8"}, {"<r><!-- \xFF -->", "!1 utf8"},
      {"<r>&l\xFFt;</r>", "!1 utf8"}, {"<?xml version=\"1.0\xFF\"?>", "!1 utf8"},
  };
}

class XmlParser : public ::testing::TestWithParam<int> {
 protected:
  // `document` reads at this chunk size as with one that holds whole names
  // and long runs of plain bytes at once, node lines included, accepted or
  // rejected.
  void ExpectAsWithALargeChunk(const std::string& document) {
    EXPECT_EQ(Outcome(document, GetParam(), true), Outcome(document, 65536, true)) << document;
  }
};

// Without attribute values every document reads as with them, accepted or
// rejected on the same line, but for the values, which are all empty. The
// two ways share the parser's caches, so neither may take the other's
// entries.
TEST_P(XmlParser, Documents) {
  for (const sDocument& d : Documents()) {
    SCOPED_TRACE("input: " + d.mInput);
    EXPECT_EQ(Outcome(d.mInput, GetParam(), d.mLines, d.mReadErrorAt), d.mExpected);
    EXPECT_EQ(Outcome(d.mInput, GetParam(), d.mLines, d.mReadErrorAt, eValues::NotMade),
              Outcome(d.mInput, GetParam(), d.mLines, d.mReadErrorAt, eValues::MadeNotShown));
  }
}

// Long texts, indentation runs, line breaks of every kind and multi-byte
// characters at every offset of the chunks.
TEST_P(XmlParser, LargeDocument) {
  const char* const breaks[] = {"\r\n", "\n", "\n\n", "\n\r", "\r\r\n", "\r"};
  std::string document = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<d:root xmlns:d=\"u\">\r\n";
  for (int i = 0; i < 200; ++i) {
    const std::string text = std::string(static_cast<size_t>(i % 37), 'x') + "\xC3\xA9&amp;\xE2\x82\xAC&0x42;";
    const std::string lineBreak = breaks[i % 6], indent(static_cast<size_t>(i % 23), '\t');
    const std::string name = i % 3 == 0 ? "item" : i % 3 == 1 ? "d:item" : "it\xC3\xA9m" + std::string(static_cast<size_t>(i % 19), 'm');
    document += indent + "<" + name + " d:id=\"" + std::to_string(i) + "\" name='n\xD0\xB6" + std::to_string(i) + "'>" +
                text + lineBreak + indent + "<!-- c" + std::to_string(i) + " -->" + text + "</" + name + ">" + lineBreak;
    if (i % 10 == 0) document += indent + "<empty a=\"&lt;\"/>" + lineBreak + std::string(static_cast<size_t>(i % 17), ' ') + "\n";
  }
  document += "</d:root>\r\n";
  ASSERT_NE(Outcome(document, 65536, true).find(" $@"), std::string::npos);
  ExpectAsWithALargeChunk(document);
}

// Every byte value, inside and right after a tag or attribute name, in
// attribute values and amid long runs of text; and line breaks of every
// pairing at every offset of a run of text (so that a pair straddles the
// steps in which a large chunk's runs are scanned): the nodes after them
// say how they counted.
TEST_P(XmlParser, EveryByteAndLineBreakAnywhereInARun) {
  const std::string name = "aZ09.-_AbcdefghijklmnopqrstuvwxyzZ", text = "0123456789 plain\ttext 0123456789";
  for (int value = 0; value < 256; ++value) {
    const std::string b(1, static_cast<char>(value));
    for (const std::string& document :
         {"<r>\r\n\t<" + name + b + name + "/>\r\n</r>", "<r>\r\n\t<" + name + b + ">t</" + name + b + ">\r\n</r>",
          "<r>" + text + b + text + "\r\n" + text + "</r>", "<r a='" + text + b + text + "'/>",
          "<r " + name + b + "='v' x=\"" + b + "\"/>",
          "<r xmlns:p='u'>\r\n\t<e p:" + name + b + "x='v' " + name + "='w" + b + "'/>\r\n</r>"})
      ExpectAsWithALargeChunk(document);
  }
  for (const std::string breaks : {"\r\n", "\n\r", "\r\r", "\n\n", "\r\n\r\n", "\n\r\r\n"})
    for (size_t offset = 0; offset < 40; ++offset)
      ExpectAsWithALargeChunk("<r>" + std::string(offset, '\t') + breaks + "x" + breaks + "</r>\n<a/>");
}

INSTANTIATE_TEST_SUITE_P(BufferSizes, XmlParser, ::testing::Values(1, 2, 3, 4, 5, 128));

// A document cut after every byte reads in chunks of 2 to 40 bytes, values
// made or not, as it does one byte at a time, node lines included: every
// name, '=', quote, space and tag end falls at a chunk's end somewhere. The
// repeated element is as long as one of the chunks, so the bytes beyond the
// end of a short last chunk, left from the chunk before, are those that
// would follow in the input: a fast path that reads past the end takes
// them for input.
TEST(XmlParserRuns, ADocumentCutAnywhereReadsAsOneByteAtATimeInEveryChunkSize) {
  const std::string element = "<e d:type=\"cDeltaString\" d:id='7'/>";
  const std::string document = "<r xmlns:d=\"u\">" + element + element + element +
                               "<e d:type=\"x\" \r\n d:id='8'>t</e>\r\n<f a=\"1\"  b='2' /></r>";
  for (size_t cut = 0; cut <= document.size(); ++cut) {
    const std::string input = document.substr(0, cut);
    for (const eValues values : {eValues::Made, eValues::NotMade}) {
      const std::string expected = Outcome(input, 1, true, std::string::npos, values);
      for (int chunk = 2; chunk <= 40; ++chunk) {
        if (Outcome(input, chunk, true, std::string::npos, values) != expected) {
          ADD_FAILURE() << "chunk " << chunk << ", values " << (values == eValues::Made) << ": " << input;
          return;
        }
      }
    }
  }
}

// Names and URIs are interned (equal text, one handle, whichever parser read
// them); empty texts and values are the null handle, which is what the
// visitors test for. A parser opened again on another stream carries
// nothing over: open elements, the default namespace, a pending empty
// element, the line.
TEST(XmlParserStrings, NamesShareHandlesEmptyTextIsNullAndReopenStartsAfresh) {
  cFxFile first, second, third;
  first.Attach(new xmltest::cMemoryFile("<p:a xmlns:p=\"u\" x=\"\"></p:a>"), 0, 7, 0);
  second.Attach(new xmltest::cMemoryFile("\n<a xmlns=\"u\" x=\"2\"/>"), 0, 7, 0);
  third.Attach(new xmltest::cMemoryFile("<c/>"), 0, 7, 0);
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
  EXPECT_EQ(one.GetName().GetHandle(), nullptr);  // a text has no name
  two.Open(third);
  std::string nodes;
  for (two.Read(); two.GetNodeType() != eDocumentEnd; two.Read()) nodes += RenderNode(two, true);
  EXPECT_EQ(nodes, R"(<c>@1""@1</c>@1""@1)");
  EXPECT_EQ(two.GetDepth(), 0);
}

}  // namespace
