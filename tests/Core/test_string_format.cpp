// Formatting into core strings: the four variants, the cut at 4096
// characters, and the 16-bit formatter's conversions.
#include <gtest/gtest.h>

#include <cstdarg>
#include <limits>
#include <string>

#include "API/core/cFxString.h"

namespace {

std::u16string Text(const cFxWString& s) { return std::u16string(s.c_str(), s.Length()); }
std::string Text(const cFxString& s) { return std::string(s.c_str(), s.Length()); }

std::u16string Wide(const std::string& ascii) { return std::u16string(ascii.begin(), ascii.end()); }

}  // namespace

TEST(StringFormat, FourVariantsConvertBetweenWidthsAndCutAt4096) {
  EXPECT_EQ(Text(cFxString::Format("File %d / %d : %s\n", 3, 12, "a.xml")), "File 3 / 12 : a.xml\n");
  EXPECT_EQ(Text(cFxWString::Format("%s=%d", "caf\xE9", -7)), u"caf\uFFE9=-7");
  EXPECT_EQ(Text(cFxWString::FormatW(u"%s|%hs|%S", u"w\u00E9", "n", "N")), u"w\u00E9|n|N");
  EXPECT_EQ(Text(cFxString::FormatW(u"%s-%d", u"caf\uFFE9", 5)), "caf\xE9-5");

  std::string longText(5000, 'x');
  longText[4095] = 'L';  // the last character kept
  longText[4096] = 'C';  // the first one cut
  const std::string kept = longText.substr(0, 4096);
  const std::u16string wideText = Wide(longText);
  // Narrow and wide formats each have their own scratch, where the cut is made.
  EXPECT_EQ(Text(cFxString::Format("%s", longText.c_str())), kept);
  EXPECT_EQ(Text(cFxWString::FormatW(u"%s", wideText.c_str())), Wide(kept));
  EXPECT_EQ(cFxString::Format("%s", kept.c_str()).Length(), 4096u);
  EXPECT_EQ(cFxWString::FormatW(u"%5000d", 1).Length(), 4096u);
}

TEST(WideFormatter, ConversionsFollowPrintf) {
  struct Case {
    std::u16string expected;
    cFxWString actual;
  } cases[] = {
      {u"   42|-42  |00042", cFxWString::FormatW(u"%5d|%-5i|%05d", 42, -42, 42)},
      {u"-0042|+7 7", cFxWString::FormatW(u"%05d|%+d% d", -42, 7, 7)},
      {u"ff FF 0x00ff 17", cFxWString::FormatW(u"%x %X %#06x %o", 255u, 255u, 255u, 15u)},
      {u"   00042", cFxWString::FormatW(u"%08.5d", 42)},  // precision overrides the 0 flag
      {u"-9223372036854775807", cFxWString::FormatW(u"%lld", -9223372036854775807LL)},
      {u"5000000000", cFxWString::FormatW(u"%I64d", 5000000000LL)},
      {u"12 -1", cFxWString::FormatW(u"%zu %hd", size_t(12), 65535)},
      {u"    9|9    |", cFxWString::FormatW(u"%*d|%*d|", 5, 9, -5, 9)},
      {u"[  abc][ab]", cFxWString::FormatW(u"[%5s][%.2s]", u"abc", u"abcdef")},
      {u"(null)", cFxWString::FormatW(u"%s", static_cast<const wchar16*>(nullptr))},
      {u"narrow \uFFE9|wide", cFxWString::FormatW(u"%hs|%ls", "narrow \xE9", u"wide")},
      {u"\u0100|x|\uFFE9|  z", cFxWString::FormatW(u"%c|%C|%hc|%3c", 0x100, 'x', 0xE9, u'z')},
      {u"100%", cFxWString::FormatW(u"%d%%", 100)},
      {u"2.5 0.333 -001.50", cFxWString::FormatW(u"%g %.3f %07.2f", 2.5, 1.0 / 3, -1.5)},
      {u"  inf", cFxWString::FormatW(u"%05g", std::numeric_limits<double>::infinity())},
      {u"tail %|%y", cFxWString::FormatW(u"tail %") + u"|" + cFxWString::FormatW(u"%y")},
  };
  for (const Case& c : cases) EXPECT_EQ(Text(c.actual), c.expected);
}

int32_t WideFormat(wchar16* out, uint32_t capacity, const wchar16* format, ...) {
  va_list args;
  va_start(args, format);
  const int32_t count = FxWFormatV(out, capacity, format, args);
  va_end(args);
  return count;
}

TEST(WideFormatter, ReportsCutOutputAndTerminatesWhatFits) {
  wchar16 out[8];
  EXPECT_EQ(WideFormat(out, 3, u"%s", u"abc"), 3);  // fits exactly, no terminator
  EXPECT_EQ(std::u16string(out, 3), u"abc");
  EXPECT_EQ(WideFormat(out, 4, u"%d", 123456), -1);
  EXPECT_EQ(std::u16string(out, 4), u"1234");
}
