// The shared line layout: which units each program takes as key parts and
// texts, and how one text column is replaced while every other unit stays.
#include <gtest/gtest.h>

#include <string>

#include "support/Documents.h"
#include "translations/TranslationsLine.h"

namespace {

// "%" stands for the columns between the key and the texts.
std::u16string Line(const std::u16string& text) { return test::TranslationsText(text); }

std::u16string Part(const std::u16string& line, sUnitSpan span) {
  return line.substr(span.mStart, span.mStop - span.mStart);
}

TEST(TranslationsLine, LayoutSplitsKeyAndReadsTextsAsTheUpdateDoes) {
  struct {
    std::u16string line;
    bool ok;
    const char16_t* path;
    const char16_t* flavour;
    const char16_t* id;
    size_t readTexts;
    std::u16string texts;  // texts 0..2 joined by '|'
  } cases[] = {
      {Line(u"\\a.xml@Game@Hi#you%\t\"Hi you\"\t\"Salut\"\n"), true, u"\\a.xml", u"Game",
       u"Hi#you", 6, u"Hi you|Salut|"},
      // Quoted key, "@" inside the id, quotes and CR stripped from texts.
      {Line(u"\"\\b.xml@Source@a@b\"%\t\"x\"y\"\t\"z\"\r\n"), true, u"\\b.xml", u"Source", u"a@b",
       6, u"xy|z|"},
      // No "@": all three parts are the whole key; few TABs pad to 11.
      {u"key\tx\n", true, u"key", u"key", u"key", 10, u"||"},
      {u"\tkey\n", false, u"", u"", u"", 0, u""},
      {u"no tab\n", false, u"", u"", u"", 0, u""},
  };
  for (const auto& c : cases) {
    sTranslationsLineLayout layout;
    const bool ok =
        LayOutTranslationsLine(c.line.data(), static_cast<int32_t>(c.line.size()), layout);
    ASSERT_EQ(c.ok, ok);
    if (!ok) continue;
    EXPECT_EQ(c.path, Part(c.line, layout.mPath));
    EXPECT_EQ(c.flavour, Part(c.line, layout.mFlavour));
    EXPECT_EQ(c.id, Part(c.line, layout.mId));
    EXPECT_EQ(c.readTexts, CountReadTexts(layout));
    std::u16string texts;
    for (size_t i = 0; i < 3; ++i)
      texts += GetReadText(c.line.data(), layout, i, static_cast<int32_t>(c.line.size())) +
               (i < 2 ? u"|" : u"");
    EXPECT_EQ(c.texts, texts);
  }
}

TEST(TranslationsLine, SetTextColumnChangesOnlyThatColumn) {
  struct {
    std::u16string line;
    size_t index;
    std::u16string text;
    std::u16string expected;
  } cases[] = {
      {Line(u"k%\t\"a\"\t\"b\"\t\"c\"\n"), 1, u"B B", Line(u"k%\t\"a\"\t\"B B\"\t\"c\"\n")},
      // The last column of a CRLF line keeps the CR.
      {Line(u"k%\t\"a\"\t\"b\"\r\n"), 1, u"x", Line(u"k%\t\"a\"\t\"x\"\r\n")},
      // A short line grows by empty columns up to the new one.
      {Line(u"k%\t\"a\"\n"), 3, u"x", Line(u"k%\t\"a\"\t\"\"\t\"\"\t\"x\"\n")},
      {Line(u"k%\t\"a\"\r\n"), 1, u"", Line(u"k%\t\"a\"\t\"\"\r\n")},
      // A line cut before its texts gets its missing head columns empty.
      {u"k\tVektrel\n", 0, u"x", u"k\tVektrel\t\t\t\t\t\"x\"\n"},
      // An unquoted column is quoted once replaced.
      {Line(u"k%\ta\tb\n"), 0, u"c", Line(u"k%\t\"c\"\tb\n")},
  };
  for (const auto& c : cases) {
    std::u16string line = c.line;
    sTranslationsLineLayout layout;
    ASSERT_TRUE(LayOutTranslationsLine(line.data(), static_cast<int32_t>(line.size()), layout));
    SetTextColumn(line, layout, c.index, c.text);
    EXPECT_EQ(c.expected, line);
    ASSERT_TRUE(LayOutTranslationsLine(line.data(), static_cast<int32_t>(line.size()), layout));
    EXPECT_EQ(c.text, GetReadText(line.data(), layout, c.index, static_cast<int32_t>(line.size())));
  }
}

}  // namespace
