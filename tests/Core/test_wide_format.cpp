// The core strings' members that only the core's contract holds: the wide
// formatter and the variants built on it, and the wide string builder.
#include <gtest/gtest.h>

#include <cstdarg>
#include <limits>
#include <string>

#include "API/core/cFxString.h"

namespace {

std::u16string Text(const cFxWString& s) { return std::u16string(s.c_str(), s.Length()); }

int32_t WideFormat(wchar16* out, uint32_t capacity, const wchar16* format, ...) {
  va_list args;
  va_start(args, format);
  const int32_t count = FxWFormatV(out, capacity, format, args);
  va_end(args);
  return count;
}

// Every variant formats through the formatter, into a scratch of 4096 units
// of its own where the cut is made.
TEST(WideFormatter, ConversionsFollowPrintfAndOutputIsCutAt4096Units) {
  std::u16string longText(5000, u'x');
  longText[4095] = u'L';  // the last unit kept
  const struct { std::u16string expected; cFxWString actual; } cases[] = {
      {u"   42|-42  |00042", cFxWString::FormatW(u"%5d|%-5i|%05d", 42, -42, 42)},
      {u"-0042|+7 7", cFxWString::FormatW(u"%05d|%+d% d", -42, 7, 7)},
      {u"ff FF 0x00ff 17", cFxWString::FormatW(u"%x %X %#06x %o", 255u, 255u, 255u, 15u)},
      {u"   00042", cFxWString::FormatW(u"%08.5d", 42)},  // precision overrides the 0 flag
      {u"-9223372036854775807|5000000000", cFxWString::FormatW(u"%lld|%I64d", -9223372036854775807LL, 5000000000LL)},
      {u"12 -1", cFxWString::FormatW(u"%zu %hd", size_t(12), 65535)},
      {u"    9|9    |", cFxWString::FormatW(u"%*d|%*d|", 5, 9, -5, 9)},
      {u"[  abc][ab](null)", cFxWString::FormatW(u"[%5s][%.2s]%s", u"abc", u"abcdef", static_cast<wchar16*>(nullptr))},
      {u"narrow \uFFE9|wide", cFxWString::FormatW(u"%hs|%ls", "narrow \xE9", u"wide")},
      {u"\u0100|x|\uFFE9|  z", cFxWString::FormatW(u"%c|%C|%hc|%3c", 0x100, 'x', 0xE9, u'z')},
      {u"2.5 0.333 -001.50 100%", cFxWString::FormatW(u"%g %.3f %07.2f %d%%", 2.5, 1.0 / 3, -1.5, 100)},
      {u"  inf", cFxWString::FormatW(u"%05g", std::numeric_limits<double>::infinity())},
      {u"tail %|%y", cFxWString::FormatW(u"tail %") + u"|" + cFxWString::FormatW(u"%y")},
      {u"w\u00E9|n|N", cFxWString::FormatW(u"%s|%hs|%S", u"w\u00E9", "n", "N")},
      {u"1e+20", cFxWString::FromDouble(1e20)},
      {longText.substr(0, 4096), cFxWString::FormatW(u"%s", longText.c_str())},
  };
  for (const auto& c : cases) EXPECT_EQ(Text(c.actual), c.expected);
  EXPECT_STREQ("caf\xE9-5", cFxString::FormatW(u"%s-%d", u"caf\uFFE9", 5).c_str());  // narrowed
}

TEST(WideFormatter, ReportsCutOutputAndTerminatesWhatFits) {
  wchar16 out[8];
  EXPECT_EQ(3, WideFormat(out, 3, u"%s", u"abc"));  // fits, no terminator
  EXPECT_EQ(u"abc", std::u16string(out, 3));
  EXPECT_EQ(-1, WideFormat(out, 4, u"%d", 123456));
  EXPECT_EQ(u"1234", std::u16string(out, 4));
}

TEST(StringBuilder, GrowsReusesItsBufferAndAppendsItsOwnUnits) {
  cFxWStringBuilder builder;
  builder.Append(u"xy", 2);
  builder.Append(u'z');
  EXPECT_EQ(builder.Intern().GetHandle(), cFxWString::Intern(u"xyz", 3).GetHandle());
  builder.Clear();
  builder.Append(u"0123456789012345678901234567", 28);
  builder.Append(builder.Units(), 28);  // across a reallocation
  EXPECT_EQ(Text(builder.ToString()), u"01234567890123456789012345670123456789012345678901234567");
  cFxWStringBuilder copy(builder);  // its own buffer
  copy.Clear();
  copy.Append(u"!", 1);
  EXPECT_EQ(builder.Units()[0], u'0');
}

}  // namespace
