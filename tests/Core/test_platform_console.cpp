// The console side of the platform layer: GUID text, the debugger stop.
#include <gtest/gtest.h>

#include <cstring>

#include "Core/platform/FxPlatform.h"

namespace {

TEST(PlatformGuid, ParsesTheTextFormIntoTheGuidLayout) {
  uint8_t guid[16];
  ASSERT_TRUE(FxPlatformGuidFromString("BF37C8DE-E444-4036-9714-6098D5CC72A0", guid));
  uint32_t data1;
  uint16_t data2;
  uint16_t data3;
  memcpy(&data1, guid, 4);
  memcpy(&data2, guid + 4, 2);
  memcpy(&data3, guid + 6, 2);
  EXPECT_EQ(0xBF37C8DEu, data1);
  EXPECT_EQ(0xE444u, data2);
  EXPECT_EQ(0x4036u, data3);
  const uint8_t tail[8] = {0x97, 0x14, 0x60, 0x98, 0xD5, 0xCC, 0x72, 0xA0};
  EXPECT_EQ(0, memcmp(tail, guid + 8, 8));
  EXPECT_STREQ("bf37c8de-e444-4036-9714-6098d5cc72a0", FxPlatformGuidToString(guid).c_str());
}

TEST(PlatformGuid, MixedCaseRoundTripsInLowerCase) {
  uint8_t guid[16];
  ASSERT_TRUE(FxPlatformGuidFromString("2B4B0201-0B3E-46b9-A787-1ED25E7E2555", guid));
  EXPECT_STREQ("2b4b0201-0b3e-46b9-a787-1ed25e7e2555", FxPlatformGuidToString(guid).c_str());
}

TEST(PlatformGuid, TextThatIsNoGuidGivesAllZero) {
  const char* bad[] = {
      "{BF37C8DE-E444-4036-9714-6098D5CC72A0}",  // braces
      "BF37C8DE-E444-4036-9714-6098D5CC72A",     // short
      "BF37C8DE-E444-4036-9714-6098D5CC72A00",   // long
      "BF37C8DEE-444-4036-9714-6098D5CC72A0",    // dash misplaced
      "BF37C8DE-E444-4036-9714-6098D5CC72AG",    // not hex
      "BF37C8DE-E444-4036-9714+6098D5CC72A0",    // wrong separator
      "",
      nullptr,
  };
  for (const char* text : bad) {
    uint8_t guid[16];
    memset(guid, 0xAB, sizeof guid);
    EXPECT_FALSE(FxPlatformGuidFromString(text, guid)) << (text ? text : "(null)");
    const uint8_t zero[16] = {};
    EXPECT_EQ(0, memcmp(zero, guid, 16)) << (text ? text : "(null)");
  }
}

TEST(PlatformConsole, DebugBreakWithoutDebuggerLetsTheProgramGoOn) {
  FxPlatformDebugBreak();
  FxPlatformDebugOutput("not shown");
  FxPlatformMessageBox("not shown", "Error");
  EXPECT_EQ(nullptr, FxPlatformFindWindow("Ticksee"));
}

}  // namespace
