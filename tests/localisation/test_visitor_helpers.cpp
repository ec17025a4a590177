// Name comparison and the pieces of a key the end-to-end runs do not reach.
#include <gtest/gtest.h>

#include "localisation/VisitorHelpers.h"

namespace {

std::u16string Units(const cFxWString& text) { return std::u16string(text.c_str(), text.Length()); }

TEST(VisitorHelpers, TextEqualityIsExactAndWholeAndKeyPiecesFollowTheirRules) {
  const cFxWString name(u"English");
  EXPECT_TRUE(TextEquals(name, u"English"));
  for (const char16_t* other : {u"english", u"Englis", u"English ", u""}) {
    EXPECT_FALSE(TextEquals(name, other));
    EXPECT_FALSE(TextEquals(name, cFxWString(other)));
  }
  EXPECT_TRUE(TextEquals(cFxWString(), static_cast<const wchar16*>(nullptr)));
  // A unit 0 inside a string is a unit like any other, not its end.
  const cFxWString withZero(u"English\0X", 9);
  EXPECT_FALSE(TextEquals(withZero, u"English"));
  EXPECT_FALSE(TextEquals(name, withZero));
  // An interned vocabulary name matches its text whether the name met is
  // interned (by handle) or not, and nothing else.
  const cInternedName english(u"English");
  for (const cFxWString& same : {name, cFxWString::Intern(u"English", 7)}) EXPECT_TRUE(english.Matches(same));
  for (const cFxWString& other : {cFxWString(u"Englis"), cFxWString::Intern(u"English ", 8),
                                  cFxWString::Intern(u"Englis", 6), cFxWString(), withZero})
    EXPECT_FALSE(english.Matches(other));
  // Only the start directory's length counts; its text is not compared.
  EXPECT_EQ(Units(MakeRelativePath(cFxWString(u"/x/yz/a.xml"), cFxWString(u"/home"))), u"/a.xml");
  EXPECT_TRUE(MakeRelativePath(cFxWString(u"/a"), cFxWString(u"/home/u")).IsEmpty());
  // TABs become backslash-t, then spaces "#"; nothing else is escaped.
  EXPECT_EQ(Units(MakeEntryId(cFxWString(u" \t \t"))), u"#\\t#\\t");
  EXPECT_EQ(Units(MakeEntryId(cFxWString(u"\\t\"#@\r\n"))), u"\\t\"#@\r\n");
}

}  // namespace
