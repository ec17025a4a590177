// The writer's exact output: layout, escapes, UTF-8, empty forms.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "XmlTestSupport.h"
#include "xml/cXmlWriter.h"

namespace {

using namespace std::string_literals;

const std::string kDeclaration = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n";

// The bytes written after the declaration line, which must come first.
std::string Write(const std::function<void(cXmlWriter&)>& calls) {
  const std::string bytes = xmltest::WriteDocument(calls);
  EXPECT_EQ(bytes.substr(0, kDeclaration.size()), kDeclaration);
  return bytes.substr(kDeclaration.size());
}

// Writes an element whose name is `name` and whose attribute v and text
// both hold `text`; answers its line as it should be written, the name and
// the text standing as `nameBytes` and `textBytes`.
std::string Element(cXmlWriter& w, const std::u16string& name, const std::u16string& text, const std::string& nameBytes,
                    const std::string& textBytes) {
  const cFxWString heldName(name.c_str(), static_cast<uint32_t>(name.size()));
  w.StartElement(heldName, u"");
  w.Attribute(u"v", text.c_str(), static_cast<uint32_t>(text.size()), u"");
  w.Text(text.c_str(), static_cast<uint32_t>(text.size()));
  w.EndElement(heldName, u"");
  return "<" + nameBytes + " v=\"" + textBytes + "\">" + textBytes + "</" + nameBytes + ">\r\n";
}

// One TAB per level; an element without text or children is closed "/>";
// one with a Text call, even an empty one, gets an end tag on its line.
// (Calls share a line when they make one line of output.)
TEST(XmlWriter, Layout) {
  EXPECT_EQ(Write([](cXmlWriter& w) {
              w.StartElement(u"r", u"");
              w.StartElement(u"c", u""); w.Text(u"t"); w.EndElement(u"c", u"");
              w.StartElement(u"e", u""); w.Attribute(u"x", u"1", u""); w.EndElement(u"e", u"");
              w.StartElement(u"b", u"");
              w.StartElement(u"d", u""); w.Text(u""); w.EndElement(u"d", u"");
              w.EndElement(u"b", u"");
              w.EndElement(u"r", u"");
            }), "<r>\r\n\t<c>t</c>\r\n\t<e x=\"1\"/>\r\n\t<b>\r\n\t\t<d></d>\r\n\t</b>\r\n</r>\r\n");
  EXPECT_EQ(Write([](cXmlWriter& w) { w.StartElement(u"e", u""); w.EndElement(u"e", u""); }), "<e/>\r\n");
}

// Text gets no line end or indentation of its own, and only names and
// escapes leave a line end owed: a text between two elements runs into the
// next start tag unless it held an escape; a text ending in a line break
// leaves its end tag unindented.
TEST(XmlWriter, TextKeepsItsOwnLayout) {
  const auto document = [](const char16_t* between) {
    return [between](cXmlWriter& w) {
      w.StartElement(u"r", u"");
      w.StartElement(u"a", u""); w.EndElement(u"a", u"");
      w.Text(between);
      w.StartElement(u"b", u""); w.Text(u"one\r\ntwo\r\n"); w.EndElement(u"b", u"");
      w.EndElement(u"r", u"");
    };
  };
  EXPECT_EQ(Write(document(u"x")), "<r>\r\n\t<a/>\r\nx\t<b>one\r\ntwo\r\n</b>\r\n</r>\r\n");
  EXPECT_EQ(Write(document(u"x&y")), "<r>\r\n\t<a/>\r\nx&amp;y\r\n\t<b>one\r\ntwo\r\n</b>\r\n</r>\r\n");
}

TEST(XmlWriter, PrefixesAndNamespaceDeclarations) {
  EXPECT_EQ(Write([](cXmlWriter& w) {
              w.StartElement(u"r", u"d"); w.NamespaceDeclaration(u"d", u"http://x/?a&b");
              w.Attribute(u"version", u"1.0", u"d"); w.Attribute(u"name", u"", u"");
              w.StartElement(u"nil", u"d"); w.EndElement(u"nil", u"d");
              w.EndElement(u"r", u"d");
            }), "<d:r xmlns:d=\"http://x/?a&amp;b\" d:version=\"1.0\" name=\"\">\r\n\t<d:nil/>\r\n</d:r>\r\n");
}

// The five escapes in values and text; every other unit, NUL included, as
// its UTF-8 of one, two or three bytes, a surrogate on its own.
TEST(XmlWriter, EscapesAndUtf8) {
  const std::u16string text = {u'&', u'<', u'>', u'"', u'\'', u'\t', 0, 0x7F, 0x80, 0xE9, 0x7FF,
                               0x800, 0x20AC, 0xFFFF, 0xD83D, 0xDE00};
  EXPECT_EQ(Write([&](cXmlWriter& w) {
              w.StartElement(u"r", u""); w.Attribute(u"a", u"a&b<c>d\"e'f\tg", u"");
              w.Text(text.c_str(), static_cast<uint32_t>(text.size())); w.EndElement(u"r", u"");
            }), "<r a=\"a&amp;b&lt;c&gt;d&quot;e&apos;f\tg\">&amp;&lt;&gt;&quot;&apos;\t\0\x7F"s +
                "\xC2\x80\xC3\xA9\xDF\xBF\xE0\xA0\x80\xE2\x82\xAC\xEF\xBF\xBF\xED\xA0\xBD\xED\xB8\x80</r>\r\n");
}

// Stray end tags (the parser lets them through) close at the outermost
// level instead of wrapping the depth; attributes written through a copy of
// the writer land in the same stream.
TEST(XmlWriter, StrayEndTagsAndCopies) {
  EXPECT_EQ(Write([](cXmlWriter& w) {
              w.EndElement(u"x", u"");
              w.StartElement(u"r", u"");
              cXmlWriter copy = w;
              copy.Attribute(u"a", u"1", u""); w.EndElement(u"r", u"");
              w.EndElement(u"y", u"");
              w.StartElement(u"s", u""); w.EndElement(u"s", u"");
            }), "</x>\r\n<r a=\"1\"/>\r\n</y>\r\n<s/>\r\n");
}

// Every kind of unit at every offset of a text, a value and a name of any
// length, in and around the groups of units written at a time: the runs
// around it come out unchanged. Names are written as they stand.
TEST(XmlWriter, EveryKindOfUnitAtEveryOffset) {
  const struct { char16_t mUnit; std::string mEscaped, mRaw; } units[] = {
      {u'&', "&amp;", "&"}, {u'<', "&lt;", "<"}, {u'>', "&gt;", ">"}, {u'"', "&quot;", "\""}, {u'\'', "&apos;", "'"},
      {0, "\0"s, ""}, {0x7F, "\x7F", "\x7F"}, {0x80, "\xC2\x80", "\xC2\x80"}, {0x7FF, "\xDF\xBF", "\xDF\xBF"},
      {0x800, "\xE0\xA0\x80", "\xE0\xA0\x80"}, {0xFFFF, "\xEF\xBF\xBF", "\xEF\xBF\xBF"}};
  for (const auto& u : units) {
    for (size_t offset = 0; offset < 18; ++offset) {
      for (size_t after = 0; after < 10; ++after) {
        const std::u16string text = std::u16string(offset, u'a') + u.mUnit + std::u16string(after, u'b');
        const std::string written = std::string(offset, 'a') + u.mEscaped + std::string(after, 'b');
        // A name holds no NUL.
        const std::u16string unit = u.mUnit ? std::u16string(1, u.mUnit) : u"";
        const std::u16string name = std::u16string(offset, u'n') + unit + std::u16string(after, u'm');
        const std::string nameBytes = std::string(offset, 'n') + u.mRaw + std::string(after, 'm');
        if (name.empty()) continue;
        std::string expected;
        const std::string bytes = Write([&](cXmlWriter& w) { expected = Element(w, name, text, nameBytes, written); });
        EXPECT_EQ(bytes, expected) << "unit " << static_cast<int>(u.mUnit) << " at " << offset << " of "
                                   << offset + 1 + after;
      }
    }
  }
}

// Names, values and texts of every size around the most the writer fills
// at once and far longer (a text, a value and a name longer than it takes
// at a time), more levels of indentation than it writes at a time, at every
// fill of the stream's buffer and with buffers of any size: the bytes are
// exact, and a buffer that holds the most the writer fills at once is never
// overrun (no write reaches the file larger than it).
TEST(XmlWriter, CallsOfEverySizeThroughBuffersOfEverySize) {
  std::u16string text, name;
  std::string textBytes, nameBytes;
  for (int i = 0; i < 3000; ++i) {
    text += i % 3 ? (i % 7 ? u'a' : u'&') : u'\u20AC';
    textBytes += i % 3 ? (i % 7 ? "a" : "&amp;") : "\xE2\x82\xAC";
    if (i < 700) {
      name += i % 5 ? u'n' : u'\u00E9';
      nameBytes += i % 5 ? "n" : "\xC3\xA9";
    }
  }
  constexpr size_t cLevels = 1100;
  const std::string indent(cLevels, '\t');
  for (int bufferSize : {0, 1, 7, 1100, 2048}) {
    xmltest::sMemoryFile out;
    cFxFile file;
    file.Attach(new xmltest::cMemoryFile(out), 0, 0, bufferSize);
    cXmlWriter w;
    w.Begin(file);
    std::string expected = kDeclaration;
    for (size_t level = 0; level < cLevels; ++level) {
      w.StartElement(u"e", u"");
      expected += std::string(level, '\t') + "<e>\r\n";
    }
    for (uint32_t n = 150; n < 420; n += 3) {
      std::string euros, quotes;
      for (uint32_t i = 0; i < n; ++i) euros += "\xE2\x82\xAC";
      for (uint32_t i = 0; i < n / 2; ++i) quotes += "&quot;";
      expected += indent + Element(w, std::u16string(n, u'\u20AC'), std::u16string(n / 2, u'"'), euros, quotes);
    }
    expected += indent + Element(w, name, text, nameBytes, textBytes);
    file.Close();
    EXPECT_EQ(out.mData, expected) << "buffer size " << bufferSize;
    if (bufferSize >= 1100) {
      for (int written : out.mWrites) EXPECT_LE(written, bufferSize) << "buffer size " << bufferSize;
    }
  }
}

}  // namespace
