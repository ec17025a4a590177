// The writer's exact output: layout, escapes, UTF-8, empty forms. Output
// goes to real files in a temporary directory through cFxFile.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "XmlTestSupport.h"
#include "support/TestSupport.h"
#include "xml/cXmlWriter.h"

namespace {

const std::string kDeclaration = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n";

class XmlWriter : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { xmltest::StartFileSystems(); }

  // Runs `calls` on a writer begun on a fresh file and answers the bytes.
  std::string Write(const std::function<void(cXmlWriter&)>& calls) {
    const std::string path = mDirectory / ("out" + std::to_string(mCount++) + ".xml");
    cFxFile file;
    EXPECT_TRUE(file.Open(cFxPath(path.c_str()), kFxFileMode::cModeReplace, 0, 0, 128, 128));
    cXmlWriter writer;
    writer.Begin(file);
    calls(writer);
    file.Close();
    return test::ReadFile(path);
  }

  test::TempDir mDirectory;
  int mCount = 0;
};

TEST_F(XmlWriter, LayoutOfNestedElements) {
  const std::string out = Write([](cXmlWriter& w) {
    w.StartElement(u"r", u"");
    w.StartElement(u"c", u"");
    w.Text(u"t");
    w.EndElement(u"c", u"");
    w.StartElement(u"e", u"");
    w.EndElement(u"e", u"");
    w.EndElement(u"r", u"");
  });
  EXPECT_EQ(out, kDeclaration +
                     "<r>\r\n"
                     "\t<c>t</c>\r\n"
                     "\t<e/>\r\n"
                     "</r>\r\n");
}

TEST_F(XmlWriter, EmptyFormsAndEndTags) {
  // No text and no children: the empty form. An empty text: start and end
  // tag on one line.
  EXPECT_EQ(Write([](cXmlWriter& w) {
              w.StartElement(u"e", u"");
              w.EndElement(u"e", u"");
            }),
            kDeclaration + "<e/>\r\n");
  EXPECT_EQ(Write([](cXmlWriter& w) {
              w.StartElement(u"e", u"");
              w.Text(u"");
              w.EndElement(u"e", u"");
            }),
            kDeclaration + "<e></e>\r\n");
  EXPECT_EQ(Write([](cXmlWriter& w) {
              w.StartElement(u"r", u"");
              w.StartElement(u"a", u"");
              w.Attribute(u"x", u"1", u"");
              w.EndElement(u"a", u"");
              w.StartElement(u"b", u"");
              w.Text(u"");
              w.EndElement(u"b", u"");
              w.EndElement(u"r", u"");
            }),
            kDeclaration + "<r>\r\n\t<a x=\"1\"/>\r\n\t<b></b>\r\n</r>\r\n");
}

TEST_F(XmlWriter, DeepIndentation) {
  const std::string out = Write([](cXmlWriter& w) {
    const char16_t* names[] = {u"a", u"b", u"c", u"d"};
    for (const char16_t* name : names) w.StartElement(name, u"");
    w.Text(u"x");
    for (int i = 3; i >= 0; --i) w.EndElement(names[i], u"");
  });
  EXPECT_EQ(out, kDeclaration + "<a>\r\n\t<b>\r\n\t\t<c>\r\n\t\t\t<d>x</d>\r\n\t\t</c>\r\n\t</b>\r\n</a>\r\n");
}

TEST_F(XmlWriter, PrefixesAttributesAndNamespaceDeclarations) {
  const std::string out = Write([](cXmlWriter& w) {
    w.StartElement(u"r", u"d");
    w.NamespaceDeclaration(u"d", u"http://x/?a&b");
    w.Attribute(u"version", u"1.0", u"d");
    w.Attribute(u"name", u"", u"");
    w.StartElement(u"nil", u"d");
    w.EndElement(u"nil", u"d");
    w.EndElement(u"r", u"d");
  });
  EXPECT_EQ(out, kDeclaration +
                     "<d:r xmlns:d=\"http://x/?a&amp;b\" d:version=\"1.0\" name=\"\">\r\n"
                     "\t<d:nil/>\r\n"
                     "</d:r>\r\n");
}

TEST_F(XmlWriter, EscapesInTextAndValues) {
  const std::string out = Write([](cXmlWriter& w) {
    w.StartElement(u"r", u"");
    w.Attribute(u"a", u"a&b<c>d\"e'f\tg", u"");
    w.Text(u"a&b<c>d\"e'f\tg");
    w.EndElement(u"r", u"");
  });
  EXPECT_EQ(out, kDeclaration +
                     "<r a=\"a&amp;b&lt;c&gt;d&quot;e&apos;f\tg\">"
                     "a&amp;b&lt;c&gt;d&quot;e&apos;f\tg</r>\r\n");
}

TEST_F(XmlWriter, Utf8OfEveryRange) {
  const std::u16string text = {0x41, 0x7F, 0x80, 0xE9, 0x7FF, 0x800, 0x20AC, 0xFFFF, 0xD83D, 0xDE00};
  const std::string out = Write([&](cXmlWriter& w) {
    w.StartElement(u"r", u"");
    w.Text(text.c_str(), static_cast<uint32_t>(text.size()));
    w.EndElement(u"r", u"");
  });
  EXPECT_EQ(out, kDeclaration + "<r>A\x7F\xC2\x80\xC3\xA9\xDF\xBF\xE0\xA0\x80\xE2\x82\xAC\xEF\xBF\xBF"
                                "\xED\xA0\xBD\xED\xB8\x80</r>\r\n");
}

// Text is written as it is: no line end or indentation of its own. A text
// that ends a line leaves the end tag unindented on the next one.
TEST_F(XmlWriter, TextWithLineBreaks) {
  const std::string out = Write([](cXmlWriter& w) {
    w.StartElement(u"r", u"");
    w.StartElement(u"a", u"");
    w.Text(u"one\r\ntwo");
    w.EndElement(u"a", u"");
    w.EndElement(u"r", u"");
  });
  EXPECT_EQ(out, kDeclaration + "<r>\r\n\t<a>one\r\ntwo</a>\r\n</r>\r\n");
}

TEST_F(XmlWriter, TextWithEmbeddedNulWritesAllUnits) {
  const std::u16string text(u"a\0b", 3);
  const std::string out = Write([&](cXmlWriter& w) {
    w.StartElement(u"r", u"");
    w.Text(text.c_str(), 3);
    w.EndElement(u"r", u"");
  });
  EXPECT_EQ(out, kDeclaration + std::string("<r>a\0b</r>\r\n", 12));
}

// Only names and escapes leave a line end owed: a text between two
// elements is followed by the next start tag on the same line, unless it
// held an escaped character.
TEST_F(XmlWriter, PendingLineEndFollowsEscapesOnly) {
  const auto document = [](const char16_t* between) {
    return [between](cXmlWriter& w) {
      w.StartElement(u"r", u"");
      w.StartElement(u"a", u"");
      w.EndElement(u"a", u"");
      w.Text(between);
      w.StartElement(u"b", u"");
      w.EndElement(u"b", u"");
      w.EndElement(u"r", u"");
    };
  };
  EXPECT_EQ(Write(document(u"x")), kDeclaration + "<r>\r\n\t<a/>\r\nx\t<b/>\r\n</r>\r\n");
  EXPECT_EQ(Write(document(u"x&y")), kDeclaration + "<r>\r\n\t<a/>\r\nx&amp;y\r\n\t<b/>\r\n</r>\r\n");
}

// The parser lets stray end tags through; the writer closes them at the
// outermost level instead of wrapping its depth.
TEST_F(XmlWriter, EndTagWithoutStartTag) {
  const std::string out = Write([](cXmlWriter& w) {
    w.EndElement(u"x", u"");
    w.StartElement(u"r", u"");
    w.EndElement(u"r", u"");
    w.EndElement(u"y", u"");
    w.StartElement(u"s", u"");
    w.EndElement(u"s", u"");
  });
  EXPECT_EQ(out, kDeclaration + "</x>\r\n<r/>\r\n</y>\r\n<s/>\r\n");
}

// Attribute writes through a copy of the writer land in the same stream.
TEST_F(XmlWriter, CopiesShareTheStream) {
  const std::string out = Write([](cXmlWriter& w) {
    w.StartElement(u"r", u"");
    cXmlWriter copy = w;
    copy.Attribute(u"a", u"1", u"");
    w.EndElement(u"r", u"");
  });
  EXPECT_EQ(out, kDeclaration + "<r a=\"1\"/>\r\n");
}

// Long runs go out whole whatever the stream's buffer size.
TEST(XmlWriterStream, LongTextThroughSmallWriteBuffers) {
  std::u16string text;
  for (int i = 0; i < 3000; ++i) text += static_cast<char16_t>(i % 3 == 0 ? u'\u00E9' : u'a' + i % 26);
  const std::string expected = kDeclaration + "<r>" + xmltest::Utf8(text) + "</r>\r\n";
  for (int bufferSize : {0, 1, 7, 128, 4096}) {
    SCOPED_TRACE(bufferSize);
    std::string out;
    {
      cFxFile file;
      xmltest::AttachSink(file, out, bufferSize);
      cXmlWriter writer;
      writer.Begin(file);
      writer.StartElement(u"r", u"");
      writer.Text(text.c_str(), static_cast<uint32_t>(text.size()));
      writer.EndElement(u"r", u"");
    }
    EXPECT_EQ(out, expected);
  }
}

}  // namespace
