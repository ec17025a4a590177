// Formatting into core strings: the four variants, the cut at 4096
// characters, and the 16-bit formatter's conversions.
#include <gtest/gtest.h>

#include <limits>
#include <string>

#include "API/core/cFxString.h"

namespace {

std::u16string Text(const cFxWString& s) { return std::u16string(s.c_str(), s.Length()); }
std::string Text(const cFxString& s) { return std::string(s.c_str(), s.Length()); }

std::u16string Wide(const std::string& ascii) { return std::u16string(ascii.begin(), ascii.end()); }

}  // namespace

TEST(StringFormat, FourVariantsConvertBetweenWidths) {
  EXPECT_EQ(Text(cFxString::Format("File %d / %d : %s\n", 3, 12, "a.xml")), "File 3 / 12 : a.xml\n");
  EXPECT_EQ(Text(cFxWString::Format("%s=%d", "caf\xE9", -7)), u"caf\uFFE9=-7");
  EXPECT_EQ(Text(cFxWString::FormatW(u"%s|%hs|%S", u"w\u00E9", "n", "N")), u"w\u00E9|n|N");
  EXPECT_EQ(Text(cFxString::FormatW(u"%s-%d", u"caf\uFFE9", 5)), "caf\xE9-5");
}

TEST(StringFormat, OutputIsCutToExactly4096Characters) {
  std::string longText(5000, 'x');
  longText[4095] = 'L';  // the last character kept
  longText[4096] = 'C';  // the first one cut
  cFxString narrow = cFxString::Format("%s", longText.c_str());
  ASSERT_EQ(narrow.Length(), 4096u);
  EXPECT_EQ(Text(narrow), longText.substr(0, 4096));
  EXPECT_EQ(narrow.c_str()[4096], 0);

  cFxWString widened = cFxWString::Format("%s", longText.c_str());
  EXPECT_EQ(Text(widened), Wide(longText.substr(0, 4096)));

  std::u16string wideText = Wide(longText);
  cFxWString wide = cFxWString::FormatW(u"%s", wideText.c_str());
  ASSERT_EQ(wide.Length(), 4096u);
  EXPECT_EQ(Text(wide), wideText.substr(0, 4096));
  cFxString narrowed = cFxString::FormatW(u"%s", wideText.c_str());
  EXPECT_EQ(Text(narrowed), longText.substr(0, 4096));

  // Exactly 4096 and 4095 characters fit whole.
  EXPECT_EQ(cFxString::Format("%s", longText.substr(0, 4096).c_str()).Length(), 4096u);
  EXPECT_EQ(cFxWString::FormatW(u"%s", wideText.substr(0, 4095).c_str()).Length(), 4095u);
  EXPECT_EQ(cFxWString::FormatW(u"%5000d", 1).Length(), 4096u);
}

TEST(WideFormatter, ConversionsFollowPrintf) {
  struct Case {
    std::u16string expected;
    cFxWString actual;
  } cases[] = {
      {u"   42|-42  |00042", cFxWString::FormatW(u"%5d|%-5i|%05d", 42, -42, 42)},
      {u"-0042", cFxWString::FormatW(u"%05d", -42)},
      {u"+7 7", cFxWString::FormatW(u"%+d% d", 7, 7)},
      {u"4294967295", cFxWString::FormatW(u"%u", 0xFFFFFFFFu)},
      {u"ff FF 0xff 17", cFxWString::FormatW(u"%x %X %#x %o", 255u, 255u, 255u, 15u)},
      {u"0x00ff", cFxWString::FormatW(u"%#06x", 255u)},
      {u"   00042", cFxWString::FormatW(u"%08.5d", 42)},  // precision overrides the 0 flag
      {u"-9223372036854775807", cFxWString::FormatW(u"%lld", -9223372036854775807LL)},
      {u"18446744073709551615", cFxWString::FormatW(u"%llu", 18446744073709551615ULL)},
      {u"5000000000", cFxWString::FormatW(u"%I64d", 5000000000LL)},
      {u"12 -1", cFxWString::FormatW(u"%zu %hd", size_t(12), 65535)},
      {u"    9|9    |", cFxWString::FormatW(u"%*d|%*d|", 5, 9, -5, 9)},
      {u"[  abc][abc  ][ab]",
       cFxWString::FormatW(u"[%5s][%-5s][%.2s]", u"abc", u"abc", u"abcdef")},
      {u"(null)", cFxWString::FormatW(u"%s", static_cast<const wchar16*>(nullptr))},
      {u"narrow \uFFE9|wide", cFxWString::FormatW(u"%hs|%ls", "narrow \xE9", u"wide")},
      {u"\u0100|x|\uFFE9|  z", cFxWString::FormatW(u"%c|%C|%hc|%3c", 0x100, 'x', 0xE9, u'z')},
      {u"100%", cFxWString::FormatW(u"%d%%", 100)},
      {u"2.5 0.333 1e+20", cFxWString::FormatW(u"%g %.3f %g", 2.5, 1.0 / 3, 1e20)},
      {u"-001.50|1.000000e+00", cFxWString::FormatW(u"%07.2f|%e", -1.5, 1.0)},
      {u"  inf", cFxWString::FormatW(u"%05g", std::numeric_limits<double>::infinity())},
      {u"3.5", cFxWString::FormatW(u"%Lg", 3.5L)},
      {u"tail %|%y", cFxWString::FormatW(u"tail %") + u"|" + cFxWString::FormatW(u"%y")},
  };
  for (const Case& c : cases) EXPECT_EQ(Text(c.actual), c.expected);
}

TEST(WideFormatter, ReportsCutOutputAndTerminatesWhatFits) {
  wchar16 out[8];
  EXPECT_EQ(FxWFormat(out, 8, u"%s", u"abc"), 3);
  EXPECT_EQ(std::u16string(out), u"abc");
  EXPECT_EQ(FxWFormat(out, 3, u"%s", u"abc"), 3);  // fits exactly, no terminator
  EXPECT_EQ(std::u16string(out, 3), u"abc");
  EXPECT_EQ(FxWFormat(out, 4, u"%d", 123456), -1);
  EXPECT_EQ(std::u16string(out, 4), u"1234");
}
