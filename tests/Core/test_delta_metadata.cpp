// Type descriptors and their names, the metadata registry with its
// built-ins and class records, and typed values turned into text.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "API/core/DeltaBuiltInTypes.h"
#include "API/core/cDeltaMetaDataRegistry.h"
#include "API/core/cDeltaValue.h"
#include "publiclibraries/cSingletonManager.h"
#include "support/TestSupport.h"

namespace {

// A class X, an enumeration and pointers to them, for names and resolution.
class X {};
sDeltaClassRecord* ClassX() {
  static sDeltaClassRecord record = {"X", nullptr, &typeid(X), 0, 1, {}, 0, nullptr, nullptr};
  return &record;
}
sDeltaTypeDescriptor gXType = FxDeltaClassType(ClassX);
sDeltaTypeDescriptor* XType() { return &gXType; }
sDeltaTypeDescriptor gXPointer = FxDeltaPointerType(XType);
sDeltaTypeDescriptor* XPointer() { return &gXPointer; }
const sDeltaEnumEntry cColours[] = {{"Red", 0}, {"Green", 2}, {"Blue", -1}};
const sDeltaEnumRecord cColourRecord = {"eColour", 3, cColours};
const sDeltaEnumRecord* Colours() { return &cColourRecord; }

TEST(DeltaRegistry, IsAnOwnedServiceWithItsBuiltInsAndShortcutsRegisteredOnce) {
  cDeltaMetaDataRegistry& registry = cDeltaMetaDataRegistry::Get();
  EXPECT_EQ(static_cast<iInterfaceProvider*>(&registry),
            tSingletonManager::Instance().GetInstance(gDeltaMetaDataRegistryId));
  EXPECT_EQ(static_cast<void*>(&registry), registry.QueryInterface(gDeltaMetaDataRegistryId));
  const char* names[] = {"void", "sInt8", "sInt16", "sInt32", "sInt64", "sUInt8", "sUInt16", "sUInt32",
                         "sUInt64", "sFloat32", "sFloat64", "bool", "cDeltaString", "sChar8"};
  for (int i = 0; i < kDeltaRegistry::ShortcutCount; ++i) {
    const sDeltaTypeDescriptor* found = registry.FindType(names[i]);
    EXPECT_EQ(found, registry.GetShortcut(static_cast<kDeltaRegistry::eShortcut>(i))) << names[i];
    if (i > 0) { EXPECT_EQ(kDeltaFlags::cResolved, found ? found->mFlags & kDeltaFlags::cResolved : 0) << names[i]; }
  }
  const sDeltaClassRecord* guid = registry.FindClass(typeid(cGUID).name());
  ASSERT_NE(nullptr, guid);
  EXPECT_EQ(&gDeltaGuidType, registry.FindType("cGUID"));
  EXPECT_EQ("cGUID:16:2", guid->mName + (":" + std::to_string(guid->mSize)) + ":" + std::to_string(guid->mMemberCount));
  const size_t classCount = registry.GetClasses().size();
  registry.RegisterBuiltInTypes();  // once only: asking again changes nothing
  EXPECT_EQ(classCount, registry.GetClasses().size());
}

TEST(DeltaRegistry, RegistrationNamesResolvesAndKeepsTheFirstOfEachName) {
  auto registry = std::make_unique<cDeltaMetaDataRegistry>();
  sDeltaTypeDescriptor first = FxDeltaType(kDeltaKind::SignedInt, 4), second = FxDeltaType(kDeltaKind::SignedInt, 4);
  for (sDeltaTypeDescriptor* again : {&first, &second, &first})
    EXPECT_EQ(&first, registry->RegisterType(again));  // same name: the first answers
  // Names in one bucket are told apart by every character, not the first only.
  ASSERT_EQ(FxDeltaNameHash("ab"), FxDeltaNameHash("b="));
  ASSERT_EQ(FxDeltaNameHash("ab"), FxDeltaNameHash("a4*"));
  const sDeltaNamedType ab = {"ab"}, bEquals = {"b="};
  sDeltaTypeDescriptor abType = FxDeltaNamedType(&ab), bEqualsType = FxDeltaNamedType(&bEquals);
  sDeltaTypeDescriptor xPointer = FxDeltaPointerType(XPointer), colour = FxDeltaEnumType(Colours);
  EXPECT_EQ(0, xPointer.mFlags | gXPointer.mFlags);  // naming resolves nothing; registering does
  const struct { sDeltaTypeDescriptor* mType; const char* mName; } named[] = {
      {&abType, "ab"}, {&bEqualsType, "b="}, {&xPointer, "X**"}, {&colour, "eColour"}};
  for (const auto& n : named) EXPECT_STREQ(n.mName, FxDeltaTypeName(n.mType).c_str());
  for (const auto& n : named) EXPECT_EQ(n.mType, registry->RegisterType(n.mType));
  for (const auto& n : named) EXPECT_EQ(n.mType, registry->FindType(n.mName)) << n.mName;
  for (const char* unknown : {"a4*", "ba"}) EXPECT_EQ(nullptr, registry->FindType(unknown)) << unknown;
  // Pointers resolve their elements, which register the class record; the
  // enumeration record is kept.
  EXPECT_EQ(&gXPointer, xPointer.mElement);
  EXPECT_EQ(&gXType, gXPointer.mElement);
  EXPECT_EQ(ClassX(), gXType.mClass);
  EXPECT_EQ(ClassX(), registry->FindClass(typeid(X).name()));
  EXPECT_EQ(&cColourRecord, colour.mEnum);
  // A second record for the same run-time type takes the first one's fields.
  sDeltaClassRecord copy = {"Y", nullptr, &typeid(X), 0, 99, {}, 0, nullptr, nullptr};
  registry->RegisterClass(&copy);
  EXPECT_STREQ("X", copy.mName);
  EXPECT_EQ(1u, copy.mSize);
  EXPECT_EQ(1u, registry->GetClasses().size());
  char small[4];  // names longer than the buffer are cut but measured in full
  EXPECT_EQ(7u, FxDeltaTypeName(&gDeltaUInt64Type, small, sizeof small));
  EXPECT_STREQ("sUI", small);
}

TEST(DeltaValuesDeathTest, ConvertToTextByKindOrEndTheProcess) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  const int64_t int64 = INT64_MIN;
  const int32_t green = 2, unnamed = 9;
  const char accented = '\xE9';
  sDeltaTypeDescriptor colour = FxDeltaEnumType(Colours);
  const struct { const sDeltaTypeDescriptor* mType; const void* mValue; std::u16string mText; } cases[] = {
      {&gDeltaInt64Type, &int64, u"-9223372036854775808"}, {&gDeltaUInt8Type, &accented, u"233"},
      {&gDeltaChar8Type, &accented, u"\uFFE9"},  // widened as narrow text is
      {&colour, &green, u"Green"}, {&colour, &unnamed, u"9"},
  };
  cDeltaMetaDataRegistry::Get();  // fills in sChar8
  for (const auto& c : cases) EXPECT_EQ(c.mText, std::u16string(cDeltaValue(c.mType, c.mValue).ToText().c_str()));
  const cFxWString text(u"Zug");  // a string converts to itself, sharing its buffer
  EXPECT_EQ(text.GetHandle(), FxDeltaValueToText(&gDeltaStringType, &text).GetHandle());
  EXPECT_EXIT(cDeltaValue(&gDeltaGuidType, &text).ToText(), ::testing::ExitedWithCode(test::kFatalExitStatus),
              "^ERROR: Conversion from cGUID to failed\\.\nFILE: API/core/cFxException\nLINE:");
}

}  // namespace
