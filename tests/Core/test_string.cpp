// Core strings: the empty string as null handle, buffer layout and lengths,
// sharing and release, interning, conversion between widths, the builder.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "API/core/cFxString.h"
#include "Core/FxStringBuffer.h"

namespace {

std::u16string Text(const cFxWString& s) { return std::u16string(s.c_str(), s.Length()); }
std::string Text(const cFxString& s) { return std::string(s.c_str(), s.Length()); }

cFxMemoryManager& Manager() { return cFxMemoryManager::GetMemoryManager(); }

}  // namespace

TEST(String, EveryEmptyStringIsTheNullHandle) {
  const char* noText = nullptr;
  const wchar16* noWide = nullptr;
  cFxString narrow[] = {cFxString(),
                        cFxString(""),
                        cFxString(noText),
                        cFxString("abc", 0),
                        cFxString(u""),
                        cFxString("abc").Substring(1, 1),
                        cFxString("abc").Substring(3),
                        cFxString::Allocate(0),
                        cFxString::Concat("", nullptr),
                        cFxString::Format("%s", ""),
                        cFxString::FormatW(u""),
                        cFxString().DeepCopy(),
                        cFxString() + cFxString()};
  for (const cFxString& s : narrow) {
    EXPECT_EQ(s.GetHandle(), nullptr);
    EXPECT_TRUE(s.IsEmpty());
    EXPECT_EQ(s.Length(), 0u);
    ASSERT_NE(s.c_str(), nullptr);
    EXPECT_EQ(s.c_str()[0], 0);
  }
  cFxWString wide[] = {cFxWString(),
                       cFxWString(u""),
                       cFxWString(noWide),
                       cFxWString(""),
                       cFxWString(cFxString()),
                       cFxWString(u"abc").Substring(2, 2),
                       cFxWString::Allocate(0),
                       cFxWString::Concat(u"", u""),
                       cFxWString::FormatW(u"%s", u""),
                       cFxWString::Format("%s", ""),
                       cFxWString(u"abc").Replace(cFxWString(u"abc"), cFxWString()),
                       cFxWString().ToLower()};
  for (const cFxWString& s : wide) {
    EXPECT_EQ(s.GetHandle(), nullptr);
    EXPECT_EQ(s.Length(), 0u);
    ASSERT_NE(s.c_str(), nullptr);
    EXPECT_EQ(s.c_str()[0], 0);
  }
}

TEST(String, BufferIsSizedExactlyForItsText) {
  cFxString narrow("hello");
  const uint8_t* buffer = FxStringBuffer(narrow.GetHandle());
  EXPECT_EQ(cFxMemoryManager::SizeOf(buffer), 16u + 5);
  EXPECT_EQ(narrow.Length(), 5u);
  EXPECT_EQ(narrow.GetRefCount(), 1);
  // Own handle number as link while not interned, reserved word -1.
  EXPECT_EQ(FxStringLink(narrow.GetHandle()), FxHandleNumber(narrow.GetHandle()));
  EXPECT_EQ(reinterpret_cast<const int32_t*>(buffer)[2], -1);
  EXPECT_EQ(narrow.c_str()[5], 0);

  cFxWString wide(u"hello!");
  EXPECT_EQ(cFxMemoryManager::SizeOf(FxStringBuffer(wide.GetHandle())), 16u + 12);
  EXPECT_EQ(wide.Length(), 6u);
  EXPECT_EQ(wide.c_str()[6], 0);
  EXPECT_TRUE(Manager().StringHeap().Contains(FxStringBuffer(wide.GetHandle())));

  // Allocate-by-length gives a terminated buffer the caller fills.
  cFxWString filled = cFxWString::Allocate(3);
  filled.Data()[0] = u'x';
  filled.Data()[1] = u'y';
  filled.Data()[2] = u'z';
  EXPECT_EQ(Text(filled), u"xyz");
  EXPECT_EQ(filled.c_str()[3], 0);
}

TEST(String, CopiesShareAndTheLastHolderFreesBufferAndCell) {
  uint32_t freeUnits = Manager().StringHeap().FreeUnits();
  sFxHandleCell* handle;
  {
    cFxWString* first = new cFxWString(u"shared text");
    handle = first->GetHandle();
    cFxWString copy(*first);
    EXPECT_EQ(copy.GetHandle(), handle);
    EXPECT_EQ(copy.GetRefCount(), 2);
    delete first;
    EXPECT_EQ(copy.GetRefCount(), 1);
    EXPECT_EQ(Text(copy), u"shared text");

    cFxWString assigned;
    assigned = copy;
    cFxWString& alias = assigned;
    assigned = alias;  // self-assignment keeps the buffer alive
    EXPECT_EQ(assigned.GetRefCount(), 2);
    cFxWString moved(static_cast<cFxWString&&>(assigned));
    EXPECT_EQ(moved.GetRefCount(), 2);
    EXPECT_TRUE(assigned.IsEmpty());
  }
  EXPECT_EQ(Manager().StringHeap().FreeUnits(), freeUnits);
  // The freed cell is at the front of the pool again.
  sFxHandleCell* next = Manager().TakeCell();
  EXPECT_EQ(next, handle);
  Manager().ReturnCell(next);
}

TEST(String, AssigningTextBuildsANewBufferAndReleasesTheOld) {
  cFxString s("first");
  cFxString keep(s);
  s = "second";
  EXPECT_NE(s.GetHandle(), keep.GetHandle());
  EXPECT_EQ(keep.GetRefCount(), 1);
  EXPECT_EQ(Text(s), "second");
  s = s.c_str() + 3;  // from its own characters
  EXPECT_EQ(Text(s), "ond");

  cFxString deep = keep.DeepCopy();
  EXPECT_NE(deep.GetHandle(), keep.GetHandle());
  EXPECT_TRUE(deep == keep);
  EXPECT_EQ(deep.GetRefCount(), 1);
}

TEST(String, InterningSharesIdenticalTextOnly) {
  cFxWString a = cFxWString::Intern(u"interned-name", 13);
  cFxWString b = cFxWString::Intern(u"interned-name", 13);
  EXPECT_EQ(a.GetHandle(), b.GetHandle());
  EXPECT_EQ(a.GetRefCount(), 2);
  cFxWString prefix = cFxWString::Intern(u"interned-name", 8);
  EXPECT_NE(prefix.GetHandle(), a.GetHandle());
  EXPECT_EQ(Text(prefix), u"interned");
  cFxString narrow = cFxString::Intern("interned-name", 13);
  EXPECT_EQ(cFxString::Intern("interned-name", 13).GetHandle(), narrow.GetHandle());
  // The empty text is interned like any other.
  cFxString empty = cFxString::Intern("", 0);
  EXPECT_NE(empty.GetHandle(), nullptr);
  EXPECT_EQ(empty.Length(), 0u);
  EXPECT_EQ(cFxString::Intern(nullptr, 0).GetHandle(), empty.GetHandle());
}

namespace {

// Three texts of the given width whose hashes share one bucket.
template <typename tChar, typename tBucket>
std::basic_string<tChar> FindColliding(tBucket bucketOf, std::basic_string<tChar> (&out)[3]) {
  for (tChar x = 'A'; x <= 'Z'; ++x) {
    std::basic_string<tChar> first{x, 'q', 'z'};
    uint32_t bucket = bucketOf(first.data(), 3);
    int found = 0;
    out[found++] = first;
    for (tChar c1 = 'a'; c1 <= 'z' && found < 3; ++c1)
      for (tChar c2 = 'a'; c2 <= 'z' && found < 3; ++c2)
        for (tChar c3 = '0'; c3 <= '9' && found < 3; ++c3) {
          std::basic_string<tChar> t{c1, c2, c3};
          if (bucketOf(t.data(), 3) == bucket) out[found++] = t;
        }
    if (found == 3) return first;
  }
  return {};
}

}  // namespace

TEST(String, ReleasingAnInternedBufferUnlinksItAnywhereInItsChain) {
  std::string texts[3];
  ASSERT_FALSE(FindColliding<char>(FxStringInternBucket, texts).empty());
  uint32_t bucket = FxStringInternBucket(texts[0].data(), 3);
  uint32_t base = FxStringInternChainLength(bucket);

  // Each order of release takes the middle, the head or the end first.
  const int orders[3][3] = {{1, 2, 0}, {2, 0, 1}, {0, 1, 2}};
  for (const auto& order : orders) {
    cFxString held[3];
    for (int i = 0; i < 3; ++i) held[i] = cFxString::Intern(texts[i].data(), 3);  // texts[2] heads
    ASSERT_EQ(FxStringInternChainLength(bucket), base + 3);
    for (int step = 0; step < 3; ++step) {
      int gone = order[step];
      held[gone] = cFxString();
      EXPECT_EQ(FxStringInternChainLength(bucket), base + 2 - step);
      for (int i = 0; i < 3; ++i) {
        cFxString again = cFxString::Intern(texts[i].data(), 3);
        bool released = held[i].IsEmpty();
        EXPECT_EQ(again.GetRefCount(), released ? 1 : 2) << texts[i];
        if (!released) {
          EXPECT_EQ(again.GetHandle(), held[i].GetHandle());
        }
      }
      EXPECT_EQ(FxStringInternChainLength(bucket), base + 2 - step);
    }
  }

  std::u16string wide[3];
  ASSERT_FALSE(FindColliding<char16_t>(FxWStringInternBucket, wide).empty());
  uint32_t wideBucket = FxWStringInternBucket(wide[0].data(), 3);
  uint32_t wideBase = FxWStringInternChainLength(wideBucket);
  cFxWString w0 = cFxWString::Intern(wide[0].data(), 3);
  cFxWString w1 = cFxWString::Intern(wide[1].data(), 3);
  cFxWString w2 = cFxWString::Intern(wide[2].data(), 3);
  w1 = cFxWString();
  EXPECT_EQ(FxWStringInternChainLength(wideBucket), wideBase + 2);
  EXPECT_EQ(cFxWString::Intern(wide[0].data(), 3).GetHandle(), w0.GetHandle());
  EXPECT_EQ(cFxWString::Intern(wide[2].data(), 3).GetHandle(), w2.GetHandle());
}

TEST(String, InternBucketFollowsTheTextHash) {
  // h = h * 37 + c, narrow characters signed, wide units unsigned.
  EXPECT_EQ(FxStringInternBucket("a", 1), 97u);
  EXPECT_EQ(FxStringInternBucket("ab", 2), (97u * 37 + 98) & 0xFFF);
  // A byte of 0xE9 counts as -23: the sum turns negative and is negated.
  EXPECT_EQ(FxStringInternBucket("\xE9", 1), 23u);
  const wchar16 high[] = {0xFFE9};
  EXPECT_EQ(FxWStringInternBucket(high, 1), 0xFFE9u & 0xFFF);
}

TEST(String, WidthsConvertBySignExtensionAndLowByte) {
  cFxWString wide("caf\xE9");
  ASSERT_EQ(wide.Length(), 4u);
  EXPECT_EQ(wide.c_str()[3], 0xFFE9);
  cFxString back(wide);
  EXPECT_EQ(Text(back), "caf\xE9");
  EXPECT_EQ(Text(cFxString(u"\u0141x")), std::string("\x41x"));  // low byte only
  std::string all;
  for (int b = 1; b < 256; ++b) all.push_back(static_cast<char>(b));
  EXPECT_EQ(Text(cFxString(cFxWString(all.c_str()))), all);
  EXPECT_EQ(Text(cFxWString("ab\x80", 3)), std::u16string({u'a', u'b', 0xFF80}));
}

TEST(String, CopyOutStopsAtTerminatorOrCapacity) {
  cFxString s("abcdef");
  char out[10];
  std::memset(out, '#', sizeof out);
  s.CopyOut(out, 10);
  EXPECT_STREQ(out, "abcdef");
  EXPECT_EQ(out[7], '#');
  std::memset(out, '#', sizeof out);
  s.CopyOut(out, 3);
  EXPECT_EQ(std::string(out, 4), "abc#");
}

TEST(String, GrowKeepsTheTextAndTerminator) {
  cFxWString s(u"abc");
  cFxWString other(s);
  s.Grow(10);
  EXPECT_EQ(s.Length(), 10u);
  EXPECT_EQ(std::u16string(s.c_str()), u"abc");
  EXPECT_EQ(Text(other), u"abc");  // the shared buffer is untouched
  EXPECT_EQ(other.GetRefCount(), 1);
}

TEST(StringBuilder, DoublesToTwiceTheNeedAndReusesItsBuffer) {
  cFxWStringBuilder builder;
  EXPECT_EQ(builder.Count(), 0u);
  EXPECT_EQ(builder.Units()[0], 0);
  builder.Append(u"abc", 3);
  EXPECT_EQ(builder.Capacity(), 6u);
  builder.Append(u"defg", 4);  // 7 > 6: 2 * 7
  EXPECT_EQ(builder.Capacity(), 14u);
  for (char16_t c = u'h'; c <= u'n'; ++c) builder.Append(c);
  EXPECT_EQ(builder.Capacity(), 14u);
  builder.Append(u'o');
  EXPECT_EQ(builder.Capacity(), 30u);
  EXPECT_EQ(std::u16string(builder.Units()), u"abcdefghijklmno");
  EXPECT_EQ(Text(builder.ToString()), u"abcdefghijklmno");

  builder.Clear();
  EXPECT_EQ(builder.Units()[0], 0);
  builder.Append(u"xy", 2);
  EXPECT_EQ(builder.Capacity(), 30u);
  EXPECT_EQ(Text(builder.ToString()), u"xy");
  EXPECT_EQ(builder.Intern().GetHandle(), cFxWString::Intern(u"xy", 2).GetHandle());

  // Appending its own units across a reallocation.
  builder.Clear();
  builder.Append(u"0123456789012345678901234567", 28);
  builder.Append(builder.Units(), 28);
  EXPECT_EQ(builder.Count(), 56u);
  EXPECT_EQ(Text(builder.ToString()).substr(28), u"0123456789012345678901234567");

  cFxWStringBuilder copy(builder);
  copy.Clear();
  copy.Append(u"!", 1);
  EXPECT_EQ(builder.Count(), 56u);
  EXPECT_EQ(builder.Units()[0], u'0');
}

TEST(StringDeathTest, ExhaustedStringHeapIsAFatalError) {
  // More than the whole string heap: the heap answers null and the string
  // has no way to go on.
  EXPECT_EXIT(cFxString::Allocate(0x10000000), ::testing::ExitedWithCode(255), "Out of string memory");
}
