// Type descriptors and their names, the metadata registry with its
// built-ins and class records, and typed values turned into text.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "API/core/DeltaBuiltInTypes.h"
#include "API/core/cDeltaMetaDataRegistry.h"
#include "API/core/cDeltaValue.h"
#include "API/core/cGUID.h"
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

TEST(DeltaTypes, DescriptorsAreNamedByKindAndSize) {
  const sDeltaNamedType devString = {"DevString"};
  sDeltaTypeDescriptor xPointerPointer = FxDeltaPointerType(XPointer);
  const struct { sDeltaTypeDescriptor mType; const char* mName; } cases[] = {
      {FxDeltaType(kDeltaKind::SignedInt, 4), "sInt32"}, {FxDeltaType(kDeltaKind::UnsignedInt, 8), "sUInt64"},
      {FxDeltaType(kDeltaKind::Float, 4), "sFloat32"}, {FxDeltaType(kDeltaKind::SignedInt, 1), "sInt8"},
      {FxDeltaType(kDeltaKind::Float, 8), "sFloat64"}, {FxDeltaType(kDeltaKind::Void), "void"},
      {FxDeltaType(kDeltaKind::Bool), "bool"}, {FxDeltaType(kDeltaKind::String), "cDeltaString"},
      {FxDeltaType(kDeltaKind::Char8), "sChar8"}, {gXType, "X"}, {gXPointer, "X*"}, {xPointerPointer, "X**"},
      {FxDeltaEnumType(Colours), "eColour"}, {FxDeltaNamedType(&devString), "DevString"},
      {FxDeltaClassType(nullptr), ""}, {FxDeltaPointerType(nullptr), ""},  // no record, no element
      {FxDeltaType(static_cast<kDeltaKind::eKind>(11)), ""},
  };
  for (const auto& c : cases) {
    EXPECT_STREQ(c.mName, FxDeltaTypeName(&c.mType).c_str()) << c.mName;
  }
  EXPECT_TRUE(FxDeltaTypeName(nullptr).IsEmpty());
  EXPECT_EQ(0, gXPointer.mFlags);  // naming resolves nothing

  // Names longer than the buffer are cut but measured in full.
  char small[4];
  EXPECT_EQ(7u, FxDeltaTypeName(&cases[1].mType, small, sizeof small));
  EXPECT_STREQ("sUI", small);
}

TEST(DeltaRegistry, BuiltInsAreRegisteredOnceWithTheirShortcutsAndClasses) {
  cDeltaMetaDataRegistry& registry = cDeltaMetaDataRegistry::Get();
  const char* names[cDeltaBuiltInCount] = {"sUInt32", "sUInt8", "sFloat32", "sInt16", "cDeltaAttribute", "cDeltaString",
                                           "sInt64", "sUInt16", "sFloat64", "cGUID", "sInt32", "sUInt64", "bool",
                                           "sChar8", "cDeltaBlobOwner", "sInt8"};
  sDeltaTypeDescriptor* const* builtIns = FxDeltaBuiltInTypes();
  for (uint32_t i = 0; i < cDeltaBuiltInCount; ++i) {
    EXPECT_STREQ(names[i], FxDeltaTypeName(builtIns[i]).c_str());
    EXPECT_EQ(builtIns[i], registry.FindType(names[i])) << names[i];
    EXPECT_TRUE(builtIns[i]->mFlags & kDeltaFlags::cResolved) << names[i];
  }
  EXPECT_TRUE(registry.FindType("void") == nullptr && registry.FindType("sInt128") == nullptr);
  using namespace kDeltaRegistry;
  const struct { eShortcut mWhich; const sDeltaTypeDescriptor* mType; } shortcuts[] = {
      {Void, nullptr}, {Int8, &gDeltaInt8Type}, {Int16, &gDeltaInt16Type}, {Int32, &gDeltaInt32Type},
      {Int64, &gDeltaInt64Type}, {UInt8, &gDeltaUInt8Type}, {UInt16, &gDeltaUInt16Type},
      {UInt32, &gDeltaUInt32Type}, {UInt64, &gDeltaUInt64Type}, {Float32, &gDeltaFloat32Type},
      {Float64, &gDeltaFloat64Type}, {Bool, &gDeltaBoolType}, {String, &gDeltaStringType},
      {Char8, &gDeltaChar8Type},
  };
  for (const auto& s : shortcuts) EXPECT_EQ(s.mType, registry.GetShortcut(s.mWhich)) << s.mWhich;

  // Class records, in the order their descriptors were registered.
  const struct { const char* mName; uint32_t mFlags, mSize, mMembers; const std::type_info* mType; } classes[] = {
      {"cDeltaAttribute", 0xB000, 4, 0, &typeid(cDeltaAttribute)},
      {"cGUID", 0x8000, 16, 2, &typeid(cGUID)},
      {"cDeltaBlobOwner", 0xB000, 4, 0, &typeid(cDeltaBlobOwner)},
  };
  ASSERT_LE(3u, registry.GetClasses().size());
  for (int i = 0; i < 3; ++i) {
    const sDeltaClassRecord* record = registry.GetClasses()[i];
    EXPECT_EQ(classes[i].mName + std::string(":") + std::to_string(classes[i].mFlags) + ":" +
                  std::to_string(classes[i].mSize) + ":" + std::to_string(classes[i].mMembers),
              record->mName + std::string(":") + std::to_string(record->mFlags) + ":" + std::to_string(record->mSize) +
                  ":" + std::to_string(record->mMemberCount));
    EXPECT_EQ(record, registry.FindClass(classes[i].mType->name()));
  }
  const sDeltaClassRecord* guid = FxDeltaClassOf(&gDeltaGuidType);
  EXPECT_STREQ("DevString", FxDeltaTypeName(guid->mMembers[0].mType).c_str());
  EXPECT_EQ(kDeltaKind::Named, guid->mMembers[0].mType->mKind);

  // Once only: asking again changes nothing.
  const size_t classCount = registry.GetClasses().size();
  registry.RegisterBuiltInTypes();
  EXPECT_EQ(classCount, registry.GetClasses().size());
  EXPECT_EQ(&gDeltaInt32Type, registry.FindType("sInt32"));
}

TEST(DeltaRegistry, RegistrationResolvesLinksAndKeepsTheFirstOfEachName) {
  auto registry = std::make_unique<cDeltaMetaDataRegistry>();
  sDeltaTypeDescriptor first = FxDeltaType(kDeltaKind::SignedInt, 4);
  sDeltaTypeDescriptor second = FxDeltaType(kDeltaKind::SignedInt, 4);
  for (sDeltaTypeDescriptor* again : {&first, &second, &first}) {
    EXPECT_EQ(&first, registry->RegisterType(again));  // same name: the first answers
  }
  EXPECT_TRUE(registry->FindType("sInt32") == &first && registry->GetShortcut(kDeltaRegistry::Int32) == &first);
  EXPECT_EQ(nullptr, second.mNext);

  // Names in one bucket are told apart.
  ASSERT_EQ(FxDeltaNameHash("ab"), FxDeltaNameHash("b="));
  const sDeltaNamedType ab = {"ab"}, bEquals = {"b="};
  sDeltaTypeDescriptor abType = FxDeltaNamedType(&ab), bEqualsType = FxDeltaNamedType(&bEquals);
  registry->RegisterType(&abType);
  registry->RegisterType(&bEqualsType);
  EXPECT_TRUE(registry->FindType("ab") == &abType && registry->FindType("b=") == &bEqualsType);
  EXPECT_EQ(nullptr, registry->FindType("ba"));

  // A pointer resolves its element, which registers the class record.
  sDeltaTypeDescriptor xPointer = FxDeltaPointerType(XType);
  EXPECT_TRUE(registry->RegisterType(&xPointer) == &xPointer && registry->FindType("X*") == &xPointer);
  EXPECT_TRUE(xPointer.mElement == &gXType && (gXType.mFlags & kDeltaFlags::cResolved));
  EXPECT_TRUE(gXType.mClass == ClassX() && registry->FindClass(typeid(X).name()) == ClassX());
  EXPECT_EQ(0x8000u, ClassX()->mFlags);

  // A second record for the same run-time type takes the first one's fields.
  sDeltaClassRecord copy = {"Y", nullptr, &typeid(X), 0, 99, {}, 0, nullptr, nullptr};
  registry->RegisterClass(&copy);
  EXPECT_EQ("X:1", copy.mName + (":" + std::to_string(copy.mSize)));
  EXPECT_EQ(1u, registry->GetClasses().size());
  sDeltaClassRecord registered = {"Z", nullptr, nullptr, 0x8000, 4, {}, 0, nullptr, nullptr};
  registry->RegisterClass(&registered);  // flagged as registered: left alone
  EXPECT_EQ(nullptr, registry->FindClass("Z"));

  // The enumeration record is kept on resolution.
  sDeltaTypeDescriptor colour = FxDeltaEnumType(Colours);
  registry->RegisterType(&colour);
  EXPECT_TRUE(colour.mEnum == &cColourRecord && registry->FindType("eColour") == &colour);
}

TEST(DeltaValues, ConvertToTextByKind) {
  const int8_t int8 = -5;
  const int16_t int16 = -300;
  const int32_t int32 = INT32_MIN, green = 2, unnamed = 9, blue = -1;
  const int64_t int64 = INT64_MIN;
  const uint8_t uint8 = 255;
  const uint16_t uint16 = 65535;
  const uint32_t uint32 = 4000000000u;
  const uint64_t uint64 = UINT64_MAX;
  const float float32 = 0.25f;
  const double half = 0.5, large = 1e20;
  const bool yes = true, no = false;
  const char letter = 'A', accented = '\xE9';
  sDeltaTypeDescriptor colour = FxDeltaEnumType(Colours);
  const struct { const sDeltaTypeDescriptor* mType; const void* mValue; std::u16string mText; } cases[] = {
      {&gDeltaInt8Type, &int8, u"-5"}, {&gDeltaInt16Type, &int16, u"-300"},
      {&gDeltaInt32Type, &int32, u"-2147483648"}, {&gDeltaInt64Type, &int64, u"-9223372036854775808"},
      {&gDeltaUInt8Type, &uint8, u"255"}, {&gDeltaUInt16Type, &uint16, u"65535"},
      {&gDeltaUInt32Type, &uint32, u"4000000000"}, {&gDeltaUInt64Type, &uint64, u"18446744073709551615"},
      {&gDeltaFloat32Type, &float32, u"0.25"}, {&gDeltaFloat64Type, &half, u"0.5"},
      {&gDeltaFloat64Type, &large, u"1e+20"}, {&gDeltaBoolType, &yes, u"1"}, {&gDeltaBoolType, &no, u"0"},
      {&gDeltaChar8Type, &letter, u"A"}, {&gDeltaChar8Type, &accented, u"\uFFE9"},  // widened as narrow text is
      {&colour, &green, u"Green"}, {&colour, &blue, u"Blue"}, {&colour, &unnamed, u"9"},
  };
  cDeltaMetaDataRegistry::Get();  // fills in sChar8
  for (const auto& c : cases) {
    EXPECT_EQ(c.mText, std::u16string(cDeltaValue(c.mType, c.mValue).ToText().c_str()))
        << FxDeltaTypeName(c.mType).c_str();
  }
  // A string converts to itself, sharing its buffer.
  const cFxWString text(u"Zug");
  const cFxWString converted = FxDeltaValueToText(&gDeltaStringType, &text);
  EXPECT_EQ(text.GetHandle(), converted.GetHandle());
}

// A failed conversion ends the process through the fatal path; the child
// is a fresh run of this executable.
TEST(DeltaValuesDeathTest, FailedConversionEndsTheProcessWithItsMessage) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  const cGUID guid("BF37C8DE-E444-4036-9714-6098D5CC72A0");
  const struct { const sDeltaTypeDescriptor* mType; const char* mName; } failing[] = {
      {&gDeltaGuidType, "cGUID"}, {&gXPointer, "X\\*"}, {nullptr, ""}};
  for (const auto& f : failing) {
    EXPECT_EXIT(cDeltaValue(f.mType, &guid).ToText(), ::testing::ExitedWithCode(test::kFatalExitStatus),
                std::string("^ERROR: Conversion from ") + f.mName +
                    " to failed\\.\nFILE: API/core/cFxException\nLINE:113\n$");
  }
}

}  // namespace
