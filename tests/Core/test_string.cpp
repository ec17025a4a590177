// Core strings: the empty string as null handle, sharing and release,
// interning, conversion between widths, the operations on strings and raw
// arrays, narrow formatting, and the compact bytes of names.
#include <gtest/gtest.h>

#include <cstdint>
#include <iterator>
#include <limits>
#include <string>

#include "API/core/FxUtf8.h"
#include "API/core/cFxString.h"
#include "Core/FxStringBuffer.h"
#include "Core/cFxMemoryManager.h"
#include "support/TestSupport.h"

namespace {

std::u16string Text(const cFxWString& s) { return std::u16string(s.c_str(), s.Length()); }
std::string Text(const cFxString& s) { return std::string(s.c_str(), s.Length()); }

cFxMemoryManager& Manager() { return cFxMemoryManager::GetMemoryManager(); }

template <typename tString>
void ExpectNullHandles(const tString* strings, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    const tString& s = strings[i];
    EXPECT_EQ(nullptr, s.GetHandle()) << i;
    EXPECT_EQ(0u, s.Length()) << i;
    ASSERT_NE(nullptr, s.c_str()) << i;
    EXPECT_EQ(0, s.c_str()[0]) << i;
  }
}

}  // namespace

TEST(String, EveryEmptyStringIsTheNullHandle) {
  const char* noText = nullptr;
  const cFxString narrow[] = {cFxString(noText), cFxString("abc", 0), cFxString(u""), cFxString("abc").Substring(1, 1),
                              cFxString::Allocate(0), cFxString::Concat("", nullptr), cFxString::Format("%s", ""),
                              cFxString().DeepCopy()};
  ExpectNullHandles(narrow, std::size(narrow));
  const cFxWString wide[] = {cFxWString(u""), cFxWString(""), cFxWString(cFxString()), cFxWString(u"abc").Substring(3),
                             cFxWString::Allocate(0), cFxWString::Concat(u"", u""), cFxWString::Format("%s", ""),
                             cFxWString(u"abc").Replace(cFxWString(u"abc"), cFxWString())};
  ExpectNullHandles(wide, std::size(wide));
}

TEST(String, CopiesShareAssignmentsReleaseAndTheLastHolderFreesBufferAndCell) {
  uint32_t freeUnits = Manager().StringHeap().FreeUnits();
  sFxHandleCell* handle;
  {
    auto* first = new cFxWString(u"shared text");
    handle = first->GetHandle();
    cFxWString copy(*first);
    EXPECT_EQ(handle, copy.GetHandle());
    EXPECT_EQ(2, copy.GetRefCount());
    delete first;
    EXPECT_EQ(1, copy.GetRefCount());
    EXPECT_EQ(u"shared text", Text(copy));
    cFxWString assigned;
    assigned = copy;
    cFxWString& alias = assigned;
    assigned = alias;  // self-assignment keeps the buffer alive
    EXPECT_EQ(assigned.GetRefCount(), 2);
  }
  EXPECT_EQ(Manager().StringHeap().FreeUnits(), freeUnits);
  sFxHandleCell* next = Manager().TakeCell();  // the freed cell is first in the pool again
  EXPECT_EQ(next, handle);
  Manager().ReturnCell(next);
  cFxString s("first");
  cFxString keep(s);
  s = "second";
  EXPECT_EQ(1, keep.GetRefCount());
  EXPECT_EQ("first", Text(keep));
  s = s.c_str() + 3;  // from its own characters
  EXPECT_EQ(Text(s), "ond");
}

TEST(String, InterningSharesIdenticalTextAndReleaseUnlinksAnywhereInTheChain) {
  cFxWString a = cFxWString::Intern(u"interned-name", 13);
  const cFxWString b = cFxWString::Intern(u"interned-name", 13);
  EXPECT_EQ(a.GetHandle(), b.GetHandle());
  EXPECT_EQ(2, a.GetRefCount());
  cFxWString prefix = cFxWString::Intern(u"interned-name", 8);
  EXPECT_NE(a.GetHandle(), prefix.GetHandle());
  EXPECT_EQ(u"interned", Text(prefix));
  // Only interned construction marks a buffer as interned.
  EXPECT_TRUE(prefix.IsInterned());
  EXPECT_FALSE(cFxWString(u"interned-name").IsInterned());
  EXPECT_FALSE(cFxWString().IsInterned());
  // Three narrow texts in one bucket (c1 * 37 + c2 = 2564), released in
  // every order that takes the chain's middle, head or end first; the
  // others must still be found after each release.
  const char* const texts[3] = {"Bz", "CU", "D0"};
  const uint32_t base = FxStringInternChainLength(2564);
  const int orders[3][3] = {{1, 2, 0}, {2, 0, 1}, {0, 1, 2}};  // texts[2] heads the chain
  for (const auto& order : orders) {
    cFxString held[3];
    for (int i = 0; i < 3; ++i) held[i] = cFxString::Intern(texts[i], 2);
    ASSERT_EQ(FxStringInternChainLength(2564), base + 3);
    for (int step = 0; step < 3; ++step) {
      held[order[step]] = cFxString();
      EXPECT_EQ(FxStringInternChainLength(2564), base + 2 - step);
      for (int i = 0; i < 3; ++i)
        EXPECT_EQ(cFxString::Intern(texts[i], 2).GetRefCount(), held[i].IsEmpty() ? 1 : 2) << i;
    }
  }
}

TEST(String, WidthsConvertBySignExtensionAndLowByte) {
  EXPECT_EQ(Text(cFxWString("caf\xE9")), u"caf\xFFE9");
  EXPECT_EQ(Text(cFxString(u"\u0141x")), std::string("\x41x"));
  std::string all;
  for (int b = 1; b < 256; ++b) all.push_back(static_cast<char>(b));
  EXPECT_EQ(Text(cFxString(cFxWString(all.c_str()))), all);
}

TEST(String, GrowKeepsTheTextAndTerminator) {
  cFxWString s(u"abc");
  cFxWString other(s);
  s.Grow(10);
  EXPECT_EQ(10u, s.Length());
  EXPECT_EQ(u"abc", std::u16string(s.c_str()));
  EXPECT_EQ(Text(other), u"abc");  // the shared buffer is untouched
  // An empty string grows into a buffer that reads as empty, even where a
  // freed buffer of the same size left its characters behind.
  { cFxWString junk(u"junkjunkjunk"); }
  cFxWString grown;
  grown.Grow(12);
  EXPECT_EQ(grown.c_str()[0], 0);
}

TEST(StringDeathTest, ExhaustedStringHeapIsAFatalError) {
  // The report names its source file from the repository's root, not by
  // the build machine's absolute path.
  EXPECT_EXIT(cFxString::Allocate(0x10000000), ::testing::ExitedWithCode(test::kFatalExitStatus),
              "^ERROR: Out of string memory: .*\nFILE: Core/FxStringBuffer\\.cpp\n");
}

TEST(StringOps, FindHonoursStartAndEndAndCompareAnswersTheCallersValues) {
  EXPECT_EQ(FxStrFind("abcabc", "bc", 2, -1), 4);
  EXPECT_EQ(FxStrFind("abcabc", "bc", 3, 3), -1);  // start >= end
  EXPECT_EQ(FxStrFind("abcabc", "bca", 0, 2), 1);  // the match may run past end
  EXPECT_EQ(FxStrFind("abcabc", "", 0, -1), -1);   // empty pattern never matches
  EXPECT_EQ(FxStrFind("abc", "bcd", 0, 100), -1);  // no read past the terminator
  EXPECT_EQ(FxStrFind(nullptr, "a", 0, -1), -1);
  EXPECT_EQ(FxStrFindChar("a.b.c", '.', 2, 3), -1);
  EXPECT_EQ(FxWStrFindChar(u"abc", u'c', 10, 50), -1);
  EXPECT_EQ(cFxWString(u"dir/sub/file.xml").FindChar(u'/', 4), 7);
  EXPECT_FALSE(cFxWString(u"a.xml").EndsWith(u".XML"));
  EXPECT_FALSE(cFxWString(u"ml").EndsWith(u".xml"));
  EXPECT_EQ(FxStrCompare("abc", "abd", -1, 1, 0, -1, -1), -1);
  EXPECT_EQ(FxStrCompare("ab", "abc", -1, 1, 0, -1, -1), -1);  // a proper prefix is less
  EXPECT_EQ(FxStrCompare("abc", "ab", -1, 1, 0, -1, -1), 1);
  EXPECT_EQ(FxStrCompare("abc", "abc", -1, 1, 7, -1, -1), 7);
  EXPECT_EQ(FxStrCompare("abX", "abY", -1, 1, 0, 2, 2), 0);        // explicit lengths
  EXPECT_EQ(FxStrCompare("\x80", "a", -1, 1, 0, -1, -1), -1);      // narrow is signed
  EXPECT_EQ(FxWStrCompare(u"\u0080", u"a", -1, 1, 0, -1, -1), 1);  // wide is unsigned
  EXPECT_EQ(FxStrCompare(nullptr, "", -1, 1, 0, 5, -1), 0);
  EXPECT_TRUE(cFxString("ab") < cFxString("ab\0", 3));  // embedded zeros count
  EXPECT_FALSE(cFxString("abc") < cFxString("abc"));
  for (const char16_t* other : {u"Names", u"Nam", u""}) EXPECT_FALSE(cFxWString(u"Name") == other) << std::char_traits<char16_t>::length(other);
  EXPECT_FALSE(cFxWString(u"a\0b", 3) == u"a");
  EXPECT_TRUE(cFxWString(u"Name") == u"Name");
  EXPECT_TRUE(cFxWString() == u"");
  EXPECT_TRUE(cFxWString() == nullptr);
}

TEST(StringOps, ReplaceCaseSubstringsAndConcatenation) {
  const cFxWString text(u"aXa"), a(u"a"), bb(u"bb");
  EXPECT_EQ(Text(text.Replace(a, bb, 0, 0xFFFFFFFFu)), u"bbXbb");
  EXPECT_EQ(Text(text.Replace(a, bb, 0, 1)), u"bbXa");  // up to the count
  EXPECT_EQ(Text(text.Replace(a, bb, 0, 0)), u"aXa");
  EXPECT_EQ(Text(text.Replace(a, bb, 1)), u"Xbb");  // text before start is dropped
  EXPECT_EQ(Text(text.Replace(cFxWString(), bb)), u"aXa");
  EXPECT_EQ(Text(text.Replace(a, cFxWString())), u"X");
  EXPECT_EQ(Text(cFxWString(u"aaaa").Replace(cFxWString(u"aa"), cFxWString(u"b"))), u"bb");
  EXPECT_TRUE(text.Replace(a, bb, 3).IsEmpty());
  EXPECT_EQ(Text(cFxString("MiXeD 123 @[`{\xC9").ToLower()), "mixed 123 @[`{\xC9");
  EXPECT_EQ(Text(cFxWString(u"\u00C0B-z@[\u00DE").ToLower()), u"\u00C0b-z@[\u00DE");
  EXPECT_EQ(Text(cFxWString(u"0123").Substring(-3, 2)), u"01");
  EXPECT_EQ(Text(cFxWString(u"0123").Substring(2, 99)), u"23");
  EXPECT_EQ(Text(cFxWString::Concat(u"ab", u"cdef", -1, 2)), u"abcd");
  const cFxWString self(u"self");
  EXPECT_EQ(Text(cFxWString::Concat(self.c_str(), self.c_str())), u"selfself");
}

TEST(StringOps, IntegersToTextAndBack) {
  EXPECT_EQ(Text(cFxWString::FromInt(INT64_MIN)), u"-9223372036854775808");
  EXPECT_EQ(Text(cFxWString::FromUInt(UINT64_MAX)), u"18446744073709551615");
  const struct { const char16_t* mText; int32_t mBase; uint64_t mValue; uint32_t mCount; } cases[] = {
      {u"0x1F;", -1, 31, 4}, {u"0b101", -1, 5, 5}, {u"0B12", -1, 1, 3}, {u"017", -1, 15, 3},
      {u"019", -1, 1, 2},    {u"x", -1, 0, 0},     {u"0x1F", 16, 0, 1}, {u"zz", 36, 1295, 2},
      {u"18446744073709551615", 10, UINT64_MAX, 20}, {u"7!", 100, 7, 1},
  };
  for (const auto& c : cases) {
    uint32_t count = 99;
    EXPECT_EQ(cFxWString::ToUInt(c.mText, &count, c.mBase), c.mValue) << &c - cases;
    EXPECT_EQ(count, c.mCount) << &c - cases;
  }
  uint32_t count = 0;
  EXPECT_EQ(-42, cFxWString::ToInt(u"-42", &count));
  EXPECT_EQ(3u, count);
  EXPECT_EQ(cFxWString::ToInt(u"-0x10", nullptr), -16);
}

TEST(StringFormat, NarrowFormatsGiveBothWidthsAndAreCutAt4096) {
  EXPECT_EQ(Text(cFxString::Format("File %d / %d : %s\n", 3, 12, "a.xml")), "File 3 / 12 : a.xml\n");
  EXPECT_EQ(Text(cFxWString::Format("%s=%d", "caf\xE9", -7)), u"caf\uFFE9=-7");
  std::string longText(5000, 'x');
  longText[4095] = 'L';  // the last character kept
  EXPECT_EQ(Text(cFxString::Format("%s", longText.c_str())), longText.substr(0, 4096));
}

TEST(CompactNameBytes, UnitsAndCountsComeBackAndBytesKeepTheUnitsOrder) {
  // Units at each encoded length's edges, a surrogate half and the last unit.
  const std::u16string units = {u'A', 0x7F, 0x80, 0x7FF, 0x800, 0xD800, 0xDFFF, 0xFF0E, 0xFFFF};
  std::string bytes;
  FxAppendUnitBytes(units.data(), units.size(), bytes);
  std::u16string back;
  FxAppendUnitsOfBytes(bytes.data(), bytes.size(), back);
  EXPECT_EQ(units, back);
  for (size_t i = 1; i < units.size(); ++i) {
    std::string lower, higher;
    FxAppendUnitBytes(&units[i - 1], 1, lower);
    FxAppendUnitBytes(&units[i], 1, higher);
    EXPECT_LT(lower, higher) << "unit " << i;  // std::string compares as unsigned char
  }

  const size_t counts[] = {0, 1, 127, 128, 16383, 16384, std::numeric_limits<size_t>::max()};
  std::string stored;
  for (size_t count : counts) FxAppendCount(count, stored);
  EXPECT_EQ(stored.size(), 1u + 1 + 1 + 2 + 2 + 3 + 10);
  size_t at = 0;
  for (size_t count : counts) EXPECT_EQ(FxReadCount(stored, at), count);
  EXPECT_EQ(at, stored.size());
}
