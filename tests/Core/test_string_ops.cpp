// Operations on core strings and raw arrays: find, compare, replace, case,
// substrings, concatenation and the integer conversions.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "API/core/cFxString.h"

namespace {

std::u16string Text(const cFxWString& s) { return std::u16string(s.c_str(), s.Length()); }
std::string Text(const cFxString& s) { return std::string(s.c_str(), s.Length()); }

}  // namespace

TEST(StringFind, HonoursStartAndEnd) {
  EXPECT_EQ(FxStrFind("abcabc", "bc", 2, -1), 4);
  EXPECT_EQ(FxStrFind("abcabc", "bc", 3, 3), -1);   // start >= end
  EXPECT_EQ(FxStrFind("abcabc", "bca", 0, 2), 1);   // the match may run past end
  EXPECT_EQ(FxStrFind("abcabc", "", 0, -1), -1);    // empty pattern never matches
  EXPECT_EQ(FxStrFind("abc", "bcd", 0, 100), -1);   // no read past the terminator
  EXPECT_EQ(FxStrFind("abc", "c", 10, 100), -1);
  EXPECT_EQ(FxStrFind(nullptr, "a", 0, -1), -1);
  EXPECT_EQ(FxStrFindChar("a.b.c", '.', 2, 3), -1);
  EXPECT_EQ(FxWStrFindChar(u"abc", u'c', 10, 50), -1);
  EXPECT_EQ(cFxWString(u"dir/sub/file.xml").FindChar(u'/', 4), 7);
  EXPECT_FALSE(cFxWString(u"a.xml").EndsWith(u".XML"));
  EXPECT_FALSE(cFxWString(u"ml").EndsWith(u".xml"));
}

TEST(StringCompare, AnswersTheCallersValues) {
  EXPECT_EQ(FxStrCompare("abc", "abd", -1, 1, 0, -1, -1), -1);
  EXPECT_EQ(FxStrCompare("ab", "abc", -1, 1, 0, -1, -1), -1);  // a proper prefix is less
  EXPECT_EQ(FxStrCompare("abc", "ab", -1, 1, 0, -1, -1), 1);
  EXPECT_EQ(FxStrCompare("abc", "abc", -1, 1, 7, -1, -1), 7);
  EXPECT_EQ(FxStrCompare("abX", "abY", -1, 1, 0, 2, 2), 0);   // explicit lengths
  EXPECT_EQ(FxStrCompare("\x80", "a", -1, 1, 0, -1, -1), -1);  // narrow is signed
  EXPECT_EQ(FxWStrCompare(u"\u0080", u"a", -1, 1, 0, -1, -1), 1);  // wide is unsigned
  EXPECT_EQ(FxStrCompare(nullptr, "", -1, 1, 0, 5, -1), 0);
  // Embedded zeros count.
  EXPECT_TRUE(cFxString("ab") < cFxString("ab\0", 3));
  EXPECT_FALSE(cFxString("abc") < cFxString("abc"));
  EXPECT_FALSE(cFxWString(u"Name") == u"Names");
}

TEST(StringReplace, ReplacesFromStartUpToTheCount) {
  cFxWString text(u"aXa");
  cFxWString a(u"a");
  cFxWString bb(u"bb");
  EXPECT_EQ(Text(text.Replace(a, bb, 0, 0xFFFFFFFFu)), u"bbXbb");
  EXPECT_EQ(Text(text.Replace(a, bb, 0, 1)), u"bbXa");
  EXPECT_EQ(Text(text.Replace(a, bb, 0, 0)), u"aXa");
  EXPECT_EQ(Text(text.Replace(a, bb, 1)), u"Xbb");  // text before start is dropped
  EXPECT_EQ(Text(text.Replace(cFxWString(), bb)), u"aXa");
  EXPECT_EQ(Text(text.Replace(a, cFxWString())), u"X");
  EXPECT_EQ(Text(cFxWString(u"aaaa").Replace(cFxWString(u"aa"), cFxWString(u"b"))), u"bb");
  EXPECT_TRUE(text.Replace(a, bb, 3).IsEmpty());
}

TEST(StringBuild, CaseSubstringsAndConcatenation) {
  EXPECT_EQ(Text(cFxString("MiXeD 123 @[`{\xC9").ToLower()), "mixed 123 @[`{\xC9");
  EXPECT_EQ(Text(cFxWString(u"\u00C0B-z@[\u00DE").ToLower()), u"\u00C0b-z@[\u00DE");
  EXPECT_EQ(Text(cFxWString(u"0123").Substring(-3, 2)), u"01");
  EXPECT_EQ(Text(cFxWString(u"0123").Substring(2, 99)), u"23");
  EXPECT_EQ(Text(cFxWString::Concat(u"ab", u"cdef", -1, 2)), u"abcd");
  cFxWString self(u"self");
  EXPECT_EQ(Text(cFxWString::Concat(self.c_str(), self.c_str())), u"selfself");
}

TEST(StringNumbers, IntegersToTextAndBack) {
  EXPECT_EQ(Text(cFxWString::FromInt(INT64_MIN)), u"-9223372036854775808");
  EXPECT_EQ(Text(cFxWString::FromUInt(UINT64_MAX)), u"18446744073709551615");
  EXPECT_EQ(Text(cFxWString::FromDouble(1e20)), u"1e+20");
  struct Case {
    const char16_t* text;
    int32_t base;
    uint64_t value;
    uint32_t count;
  } cases[] = {
      {u"0x1F;", -1, 31, 4}, {u"0b101", -1, 5, 5}, {u"0B12", -1, 1, 3},  {u"017", -1, 15, 3},
      {u"019", -1, 1, 2},    {u"x", -1, 0, 0},     {u"0x1F", 16, 0, 1},  {u"zz", 36, 1295, 2},
      {u"18446744073709551615", 10, UINT64_MAX, 20}, {u"7!", 100, 7, 1},
  };
  for (const Case& c : cases) {
    uint32_t count = 99;
    EXPECT_EQ(cFxWString::ToUInt(c.text, &count, c.base), c.value) << &c - cases;
    EXPECT_EQ(count, c.count) << &c - cases;
  }
  uint32_t count = 0;
  EXPECT_EQ(cFxWString::ToInt(u"-42", &count), -42);
  EXPECT_EQ(count, 3u);
  EXPECT_EQ(cFxWString::ToInt(u"-0x10", nullptr), -16);
}
