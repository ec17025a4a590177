#include <gtest/gtest.h>

#include "Core/platform/FxPlatform.h"
#include "localisation/VisitorHelpers.h"
#include "localisation/cElementStack.h"
#include "xml/cXmlElement.h"

namespace {

std::u16string Units(const cFxWString& text) { return std::u16string(text.c_str(), text.Length()); }

TEST(VisitorHelpers, TextEqualityIsExactAndWhole) {
  const cFxWString name(u"English");
  EXPECT_TRUE(TextEquals(name, cFxWString(u"English")));
  EXPECT_TRUE(TextEquals(name, u"English"));
  EXPECT_FALSE(TextEquals(name, u"english"));    // no case folding
  EXPECT_FALSE(TextEquals(name, u"Englis"));     // a prefix is not equal
  EXPECT_FALSE(TextEquals(name, u"English "));   // nor a longer text
  EXPECT_FALSE(TextEquals(name, cFxWString(u"Englisch")));
  EXPECT_FALSE(TextEquals(cFxWString(u"ab"), cFxWString(u"abc")));
  EXPECT_TRUE(TextDiffers(name, u"French"));
  EXPECT_FALSE(TextDiffers(name, u"English"));
  // The empty string equals the empty text and a null text, nothing else.
  EXPECT_TRUE(TextEquals(cFxWString(), u""));
  EXPECT_TRUE(TextEquals(cFxWString(), static_cast<const wchar16*>(nullptr)));
  EXPECT_TRUE(TextEquals(cFxWString(), cFxWString()));
  EXPECT_FALSE(TextEquals(cFxWString(), u"a"));
  EXPECT_FALSE(TextEquals(name, static_cast<const wchar16*>(nullptr)));
  // Units above 0x7FFF compare as they are.
  EXPECT_TRUE(TextEquals(cFxWString(u"\u00e9\uffe9"), u"\u00e9\uffe9"));
  EXPECT_FALSE(TextEquals(cFxWString(u"\u00e9"), u"\u00c9"));
}

TEST(VisitorHelpers, RelativePathDropsTheStartDirectoryLength) {
  EXPECT_EQ(Units(MakeRelativePath(cFxWString(u"/home/u/data/a.xml"), cFxWString(u"/home/u/data"))),
            u"/a.xml");
  // Only the length counts; the text is not compared.
  EXPECT_EQ(Units(MakeRelativePath(cFxWString(u"/x/yz/a.xml"), cFxWString(u"/home"))), u"/a.xml");
  EXPECT_EQ(Units(MakeRelativePath(cFxWString(u"/a.xml"), cFxWString())), u"/a.xml");
  EXPECT_TRUE(MakeRelativePath(cFxWString(u"/home"), cFxWString(u"/home")).IsEmpty());
  EXPECT_TRUE(MakeRelativePath(cFxWString(u"/a"), cFxWString(u"/home/u")).IsEmpty());
}

TEST(VisitorHelpers, KeyPathUsesBackslashes) {
  const std::u16string native =
      std::u16string(1, cFxNativeSeparator) + u"sub" + std::u16string(1, cFxNativeSeparator) + u"a.bin";
  EXPECT_EQ(Units(MakeKeyPath(cFxWString(native.c_str()))), u"\\sub\\a.bin");
  EXPECT_EQ(Units(MakeKeyPath(cFxWString(u"\\already\\a.bin"))), u"\\already\\a.bin");
  EXPECT_TRUE(MakeKeyPath(cFxWString()).IsEmpty());
}

TEST(VisitorHelpers, EntryIdEscapesTabsThenSpaces) {
  EXPECT_EQ(Units(MakeEntryId(cFxWString(u"a b\tc"))), u"a#b\\tc");
  EXPECT_EQ(Units(MakeEntryId(cFxWString(u" \t \t"))), u"#\\t#\\t");
  // Nothing else is escaped: backslashes, quotes, "#", CR and LF stay.
  EXPECT_EQ(Units(MakeEntryId(cFxWString(u"\\t\"#\r\n"))), u"\\t\"#\r\n");
  EXPECT_EQ(Units(MakeEntryId(cFxWString(u"plain"))), u"plain");
  EXPECT_TRUE(MakeEntryId(cFxWString()).IsEmpty());
}

TEST(ElementStack, PushHoldsAReferenceAndPopReleasesIt) {
  cXmlElement* root = new cXmlElement(cFxWString(u"root"));
  cXmlElement* child = new cXmlElement(cFxWString(u"child"));
  cElementStack stack;
  EXPECT_TRUE(stack.IsEmpty());
  EXPECT_EQ(stack.Top(), nullptr);

  stack.Push(*root);
  stack.Push(*child);
  EXPECT_EQ(stack.Size(), 2u);
  EXPECT_EQ(stack.Top(), child);
  EXPECT_EQ(root->GetRefCount(), 2);
  EXPECT_EQ(child->GetRefCount(), 2);

  stack.Pop();
  EXPECT_EQ(child->GetRefCount(), 1);
  EXPECT_EQ(stack.Top(), root);
  stack.Pop();
  EXPECT_EQ(root->GetRefCount(), 1);
  // More end tags than start tags: the stack stays empty.
  stack.Pop();
  EXPECT_TRUE(stack.IsEmpty());
  EXPECT_EQ(stack.Top(), nullptr);

  child->Release();
  root->Release();
}

TEST(ElementStack, KeepsElementsAliveAndReleasesWhatIsLeftOpen) {
  cXmlElement* outer = new cXmlElement(cFxWString(u"outer"));
  outer->AddRef();  // an observer's reference, to watch the count
  {
    cElementStack stack;
    stack.Push(*outer);
    // The creator lets go, as the walk does after StartElement.
    outer->Release();
    EXPECT_EQ(outer->GetRefCount(), 2);
    EXPECT_EQ(stack.Top()->GetName(), cFxWString(u"outer"));
  }
  EXPECT_EQ(outer->GetRefCount(), 1);
  outer->Release();
}

}  // namespace
