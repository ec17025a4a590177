// The console side of the platform layer: GUID text, the debugger stop.
#include <gtest/gtest.h>

#include <cstring>

#include "Core/platform/FxPlatform.h"

namespace {

TEST(PlatformGuid, TextFormRoundTripsThroughTheGuidLayout) {
  uint8_t guid[16];
  ASSERT_TRUE(FxPlatformGuidFromString("BF37C8DE-E444-4036-9714-6098D5cc72a0", guid));
  // Three integers as the machine holds them, then eight bytes in text order.
  const uint32_t data1 = 0xBF37C8DE;
  const uint16_t data2 = 0xE444;
  const uint16_t data3 = 0x4036;
  const uint8_t tail[8] = {0x97, 0x14, 0x60, 0x98, 0xD5, 0xCC, 0x72, 0xA0};
  EXPECT_EQ(0, memcmp(&data1, guid, 4));
  EXPECT_EQ(0, memcmp(&data2, guid + 4, 2));
  EXPECT_EQ(0, memcmp(&data3, guid + 6, 2));
  EXPECT_EQ(0, memcmp(tail, guid + 8, 8));
  EXPECT_STREQ("bf37c8de-e444-4036-9714-6098d5cc72a0", FxPlatformGuidToString(guid).c_str());
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
  const uint8_t zero[16] = {};
  for (const char* text : bad) {
    uint8_t guid[16];
    memset(guid, 0xAB, sizeof guid);
    EXPECT_FALSE(FxPlatformGuidFromString(text, guid)) << (text ? text : "(null)");
    EXPECT_EQ(0, memcmp(zero, guid, 16)) << (text ? text : "(null)");
  }
}

TEST(PlatformConsole, DebugBreakWithoutDebuggerLetsTheProgramGoOn) {
  FxPlatformDebugBreak();  // a trap without a debugger would end this test
  EXPECT_EQ(nullptr, FxPlatformFindWindow("Ticksee"));  // no log viewer on POSIX
}

}  // namespace
