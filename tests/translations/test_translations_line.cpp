// One text column of a translations line replaced while every other unit
// stays. (How the line is laid out into key parts and texts is pinned by
// the table's reading of every kind of line.)
#include <gtest/gtest.h>

#include <string>

#include "support/Documents.h"
#include "translations/TranslationsLine.h"

namespace {

// "%" stands for the columns between the key and the texts.
std::u16string Line(const std::u16string& text) { return test::TranslationsText(text); }

TEST(TranslationsLine, SetTextColumnChangesOnlyThatColumn) {
  const struct { std::u16string line; size_t index; std::u16string text, expected; } cases[] = {
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

// Each of the three units looked for, alone or after another, at every
// place in and around the groups of units looked at together; the range's
// limits hold.
TEST(TranslationsLine, FindAnyUnitFindsTheFirstOfThreeUnits) {
  for (size_t length = 0; length < 20; ++length) {
    for (size_t at = 0; at < length; ++at) {
      for (char16_t unit : {u'\t', u'\n', u'"'}) {
        std::u16string units(length, u'x');
        units[at] = unit;
        if (at + 1 < length) units[at + 1] = u'\t';
        SCOPED_TRACE("unit " + std::to_string(unit) + " at " + std::to_string(at) + " of " + std::to_string(length));
        EXPECT_EQ(FindAnyUnit(units.data(), 0, length, u'\t', u'\n', u'"'), at);
        EXPECT_EQ(FindAnyUnit(units.data(), 0, length, u'\n', unit, u'\n'), at);
        const size_t next = unit == u'\t' && at + 1 < length ? at + 1 : length;
        EXPECT_EQ(FindAnyUnit(units.data(), at + 1, length, u'y', u'y', unit), next);
        EXPECT_EQ(FindAnyUnit(units.data(), 0, at, unit, unit, unit), at);
      }
    }
  }
}

}  // namespace
