// The error record, channel output and the fatal path.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "API/core/FxError.h"

namespace {

constexpr int32_t cMax = 200;

// Channel 0 writes into a buffer while a test runs; every channel is off
// again afterwards, as the program keeps them.
class ErrorChannel : public ::testing::Test {
 protected:
  void SetUp() override {
    memset(mOut, '#', sizeof mOut);
    mOut[0] = '\0';
    FxSetChannel(0, true, cMax, mOut, "main", 0);
    FxSetErrorCode(0);
    FxSetErrorMessage("%s", "");
  }
  void TearDown() override {
    for (int32_t i = 0; i < kFxChannel::cCount; ++i) FxSetChannel(i, false, 0, nullptr, "", 0);
    FxSetErrorTable(0x123, nullptr);
  }
  char mOut[cMax + 16];
};

TEST_F(ErrorChannel, ReportWithoutErrorPrintsNoError) {
  FxReportError();
  EXPECT_STREQ("ERROR: No error (Core/FxError,87,main)\n", mOut);
}

TEST_F(ErrorChannel, ReportPrefersTheRecordedMessage) {
  FxSetErrorCode(kFxError::cStackHeapAlloc);
  FxSetErrorMessage("heap %s cannot allocate %u bytes", "scratch", 64u);
  FxReportError();
  EXPECT_STREQ("ERROR: heap scratch cannot allocate 64 bytes (Core/FxError,87,main)\n", mOut);
  EXPECT_EQ(kFxError::cStackHeapAlloc, FxGetErrorCode());
}

TEST_F(ErrorChannel, ReportWithoutMessageOrTableSaysSo) {
  FxSetErrorCode(0xE0990004);
  FxReportError();
  EXPECT_STREQ("ERROR: No error string available (Core/FxError,87,main)\n", mOut);
}

TEST_F(ErrorChannel, ReportLooksTheCodeUpInItsTable) {
  static char table[3 * 1024] = {};
  strcpy(table + 2 * 1024, "third entry");
  FxSetErrorTable(0x123, table);
  FxSetErrorCode(0xE1230002);
  FxReportError();
  EXPECT_STREQ("ERROR: third entry (Core/FxError,87,main)\n", mOut);
}

TEST_F(ErrorChannel, PercentSignsAreEmittedUnchanged) {
  FxSetErrorCode(kFxError::cFileNotFound);
  FxSetErrorMessage("%s", "100%s %d%% done");
  FxReportError();
  EXPECT_STREQ("ERROR: 100%s %d%% done (Core/FxError,87,main)\n", mOut);

  FxChannelPrintf(0, "%s", "50% off %n");
  EXPECT_STREQ("50% off %n", mOut);
}

TEST_F(ErrorChannel, ErrorLineNamesTheCurrentLocation) {
  FxSetCurrentLocation("xml/cXmlParser", 412, 0);
  FxErrorPrintf("bad token %c", '<');
  EXPECT_STREQ("ERROR: bad token < (xml/cXmlParser,412,main)\n", mOut);
}

TEST_F(ErrorChannel, DestinationIsCutAtItsMaximumLength) {
  FxSetChannel(0, true, 10, mOut, "main", 0);
  FxChannelPrintf(0, "0123456789abcdef");
  EXPECT_STREQ("0123456789", mOut);
  EXPECT_EQ('#', mOut[11]);  // nothing written past the terminator
}

TEST_F(ErrorChannel, DisabledOrInvalidChannelsStaySilent) {
  FxChannelPrintf(1, "channel one is off");
  FxChannelPrintf(-1, "negative");
  FxChannelPrintf(kFxChannel::cCount, "past the last");
  EXPECT_STREQ("", mOut);
  FxSetChannel(0, false, cMax, mOut, "main", 0);
  FxReportError();
  EXPECT_STREQ("", mOut);
}

TEST_F(ErrorChannel, NegativeEchoAlsoWritesStandardOutput) {
  FxSetChannel(5, true, cMax, nullptr, "echo", -1);
  testing::internal::CaptureStdout();
  FxChannelPrintf(5, "to the console %d%%", 7);
  EXPECT_EQ("to the console 7%", testing::internal::GetCapturedStdout());
}

TEST_F(ErrorChannel, FormattedTextIsCutToItsBuffer) {
  const std::string longText(3000, 'x');
  FxSetErrorMessage("%s", longText.c_str());
  EXPECT_EQ(1023u, strlen(FxGetErrorMessage()));

  static char wide[4100];
  FxSetChannel(0, true, 4000, wide, "main", 0);
  FxChannelPrintf(0, "%s", longText.c_str());
  EXPECT_EQ(1023u, strlen(wide));
}

TEST(ErrorRecord, ErrorFileKeepsAtMost255Characters) {
  const std::string path(300, 'p');
  FxSetErrorFile(path.c_str());
  EXPECT_EQ(std::string(255, 'p'), FxGetErrorFile());
  FxSetErrorFile("Core/cFxMemoryHeapStack");
  EXPECT_STREQ("Core/cFxMemoryHeapStack", FxGetErrorFile());
  FxSetErrorLine(-3);
  EXPECT_EQ(-3, FxGetErrorLine());
}

// ---- The fatal path, each case in a child process ----------------------------

using ::testing::ExitedWithCode;

TEST(FatalErrorDeathTest, WritesTheBoxTextAndExitsWithMinusOne) {
  EXPECT_EXIT(
      {
        FxSetCurrentLocation("app/main", 12, 0);
        FxFatalError("cannot open %s (%d%%)", "a.xml", 5);
      },
      ExitedWithCode(255), "^ERROR: cannot open a\\.xml \\(5%\\)\nFILE: app/main\nLINE:12\n$");
}

void SecondHook() { fputs("second\n", stderr); }
void FirstHook() {
  fputs("first\n", stderr);
  FxSetPreExitHook(SecondHook);
}

TEST(FatalErrorDeathTest, PreExitHookRunsBeforeTheBoxAndAgainIfSetAnew) {
  EXPECT_EXIT(
      {
        FxSetPreExitHook(FirstHook);
        FxSetCurrentLocation("f", 1, 0);
        FxFatalError("x");
      },
      ExitedWithCode(255), "^first\nERROR: x\nFILE: f\nLINE:1\nsecond\n$");
}

}  // namespace
