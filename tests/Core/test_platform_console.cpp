// The console side of the platform layer: GUID text, the debugger stop.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "Core/platform/FxPlatform.h"

namespace {

TEST(PlatformGuid, TextFormRoundTripsThroughTheGuidLayoutAndAnythingElseGivesAllZero) {
  uint8_t guid[16];
  ASSERT_TRUE(FxPlatformGuidFromString("BF37C8DE-E444-4036-9714-6098D5cc72a0", guid));
  // Three integers as the machine holds them, then eight bytes in text order.
  const struct { uint32_t mData1; uint16_t mData2, mData3; uint8_t mTail[8]; } expected = {
      0xBF37C8DE, 0xE444, 0x4036, {0x97, 0x14, 0x60, 0x98, 0xD5, 0xCC, 0x72, 0xA0}};
  static_assert(sizeof expected == 16, "packed like a GUID");
  EXPECT_EQ(0, memcmp(&expected, guid, 16));
  EXPECT_STREQ("bf37c8de-e444-4036-9714-6098d5cc72a0", FxPlatformGuidToString(guid).c_str());
  const uint8_t zero[16] = {};
  for (const char* text : {"{BF37C8DE-E444-4036-9714-6098D5CC72A0}", "BF37C8DE-E444-4036-9714-6098D5CC72A",
                           "BF37C8DE-E444-4036-9714-6098D5CC72A00", "BF37C8DEE-444-4036-9714-6098D5CC72A0",
                           "BF37C8DE-E444-4036-9714-6098D5CC72AG", "", static_cast<const char*>(nullptr)}) {
    memset(guid, 0xAB, sizeof guid);
    EXPECT_FALSE(FxPlatformGuidFromString(text, guid)) << (text ? text : "(null)");
    EXPECT_EQ(0, memcmp(zero, guid, 16)) << (text ? text : "(null)");
  }
}

// A trap without a debugger would end the child by a signal.
TEST(PlatformConsoleDeathTest, DebugBreakWithoutDebuggerLetsTheProgramGoOn) {
  EXPECT_EXIT((FxPlatformDebugBreak(), exit(0)), ::testing::ExitedWithCode(0), "");
}

}  // namespace
