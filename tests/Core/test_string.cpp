// Core strings: the empty string as null handle, sharing and release,
// interning, conversion between widths, the builder.
#include <gtest/gtest.h>

#include <iterator>
#include <string>

#include "API/core/cFxString.h"
#include "Core/FxStringBuffer.h"
#include "support/TestSupport.h"

namespace {

std::u16string Text(const cFxWString& s) { return std::u16string(s.c_str(), s.Length()); }
std::string Text(const cFxString& s) { return std::string(s.c_str(), s.Length()); }

cFxMemoryManager& Manager() { return cFxMemoryManager::GetMemoryManager(); }

template <typename tString>
void ExpectNullHandles(const tString* strings, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    EXPECT_EQ(strings[i].GetHandle(), nullptr) << i;
    EXPECT_EQ(strings[i].Length(), 0u) << i;
    ASSERT_NE(strings[i].c_str(), nullptr) << i;
    EXPECT_EQ(strings[i].c_str()[0], 0) << i;
  }
}

// Interns three narrow texts that share one bucket and releases them in
// every order that takes the chain's middle, head or end first; the others
// must still be found after each release.
void ReleaseFromEveryPosition(const char* const (&texts)[3], uint32_t bucket) {
  const uint32_t base = FxStringInternChainLength(bucket);
  const int orders[3][3] = {{1, 2, 0}, {2, 0, 1}, {0, 1, 2}};  // texts[2] heads the chain
  for (const auto& order : orders) {
    cFxString held[3];
    for (int i = 0; i < 3; ++i) held[i] = cFxString::Intern(texts[i], 2);
    ASSERT_EQ(FxStringInternChainLength(bucket), base + 3);
    for (int step = 0; step < 3; ++step) {
      held[order[step]] = cFxString();
      EXPECT_EQ(FxStringInternChainLength(bucket), base + 2 - step);
      for (int i = 0; i < 3; ++i)
        EXPECT_EQ(cFxString::Intern(texts[i], 2).GetRefCount(), held[i].IsEmpty() ? 1 : 2) << i;
    }
  }
}

}  // namespace

TEST(String, EveryEmptyStringIsTheNullHandle) {
  const char* noText = nullptr;
  const wchar16* noWide = nullptr;
  const cFxString narrow[] = {cFxString(""),           cFxString(noText),
                              cFxString("abc", 0),      cFxString(u""),
                              cFxString("abc").Substring(1, 1),
                              cFxString::Allocate(0),   cFxString::Concat("", nullptr),
                              cFxString::Format("%s", ""), cFxString::FormatW(u""),
                              cFxString().DeepCopy()};
  ExpectNullHandles(narrow, std::size(narrow));
  const cFxWString wide[] = {cFxWString(u""),        cFxWString(noWide),
                             cFxWString(""),         cFxWString(cFxString()),
                             cFxWString(u"abc").Substring(3),
                             cFxWString::Allocate(0), cFxWString::Concat(u"", u""),
                             cFxWString::FormatW(u"%s", u""), cFxWString::Format("%s", ""),
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
  }
  EXPECT_EQ(Manager().StringHeap().FreeUnits(), freeUnits);
  sFxHandleCell* next = Manager().TakeCell();  // the freed cell is first in the pool again
  EXPECT_EQ(next, handle);
  Manager().ReturnCell(next);

  cFxString s("first");
  cFxString keep(s);
  s = "second";
  EXPECT_EQ(keep.GetRefCount(), 1);
  EXPECT_EQ(Text(keep), "first");
  s = s.c_str() + 3;  // from its own characters
  EXPECT_EQ(Text(s), "ond");
}

TEST(String, InterningSharesIdenticalTextAndReleaseUnlinksAnywhereInTheChain) {
  cFxWString a = cFxWString::Intern(u"interned-name", 13);
  cFxWString b = cFxWString::Intern(u"interned-name", 13);
  EXPECT_EQ(a.GetHandle(), b.GetHandle());
  EXPECT_EQ(a.GetRefCount(), 2);
  cFxWString prefix = cFxWString::Intern(u"interned-name", 8);
  EXPECT_NE(prefix.GetHandle(), a.GetHandle());
  EXPECT_EQ(Text(prefix), u"interned");

  // c1 * 37 + c2 = 2564 for all three.
  const char* const narrow[3] = {"Bz", "CU", "D0"};
  ReleaseFromEveryPosition(narrow, 2564);
}

TEST(String, WidthsConvertBySignExtensionAndLowByte) {
  cFxWString wide("caf\xE9");
  EXPECT_EQ(wide.c_str()[3], 0xFFE9);
  EXPECT_EQ(Text(cFxString(wide)), "caf\xE9");
  EXPECT_EQ(Text(cFxString(u"\u0141x")), std::string("\x41x"));
  std::string all;
  for (int b = 1; b < 256; ++b) all.push_back(static_cast<char>(b));
  EXPECT_EQ(Text(cFxString(cFxWString(all.c_str()))), all);
}

TEST(String, GrowKeepsTheTextAndTerminator) {
  cFxWString s(u"abc");
  cFxWString other(s);
  s.Grow(10);
  EXPECT_EQ(s.Length(), 10u);
  EXPECT_EQ(std::u16string(s.c_str()), u"abc");
  EXPECT_EQ(Text(other), u"abc");  // the shared buffer is untouched
  // An empty string grows into a buffer that reads as empty, even where a
  // freed buffer of the same size left its characters behind.
  { cFxWString junk(u"junkjunkjunk"); }
  cFxWString grown;
  grown.Grow(12);
  EXPECT_EQ(grown.c_str()[0], 0);
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

TEST(StringDeathTest, ExhaustedStringHeapIsAFatalError) {
  // The report names its source file from the repository's root, not by
  // the build machine's absolute path.
  EXPECT_EXIT(cFxString::Allocate(0x10000000), ::testing::ExitedWithCode(test::kFatalExitStatus),
              "^ERROR: Out of string memory: .*\nFILE: Core/FxStringBuffer\\.cpp\n");
}
