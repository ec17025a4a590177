// The error record, channel output and the fatal path.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "API/core/FxError.h"
#include "Core/platform/FxPlatform.h"
#include "support/TestSupport.h"

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
  }
  void TearDown() override {
    for (int32_t i = 0; i < kFxChannel::cCount; ++i) FxSetChannel(i, false, 0, nullptr, "", 0);
    FxSetErrorTable(0x123, nullptr);
  }
  char mOut[cMax + 16];
};

TEST_F(ErrorChannel, ReportPrintsTheRecordedError) {
  static char table[3 * 1024] = {};
  strcpy(table + 2 * 1024, "third entry");
  FxSetErrorTable(0x123, table);
  const struct { uint32_t mCode; const char* mMessage; const char* mPrinted; } cases[] = {
      {0, "a message without a code", "No error"},
      {kFxError::cStackHeapAlloc, "heap scratch cannot allocate", "heap scratch cannot allocate"},
      {0xE0990004, "", "No error string available"},
      {0xE1230002, "", "third entry"},  // entry 2 of table 0x123
      {kFxError::cFileNotFound, "100%s %d%% done", "100%s %d%% done"},  // not formatted again
  };
  for (const auto& c : cases) {
    FxSetErrorCode(c.mCode);
    FxSetErrorMessage("%s", c.mMessage);
    FxReportError();
    EXPECT_EQ(std::string("ERROR: ") + c.mPrinted + " (Core/FxError,87,main)\n", mOut) << c.mPrinted;
    EXPECT_EQ(c.mCode, FxGetErrorCode());  // reporting clears nothing
  }
}

TEST_F(ErrorChannel, ErrorLineNamesTheCurrentLocation) {
  FxSetCurrentLocation("xml/cXmlParser", 412, 0);
  FxErrorPrintf("bad token %c", '<');
  EXPECT_STREQ("ERROR: bad token < (xml/cXmlParser,412,main)\n", mOut);
}

TEST_F(ErrorChannel, DestinationIsCutAndSilentChannelsDropEverything) {
  FxSetChannel(0, true, 10, mOut, "main", 0);
  FxChannelPrintf(0, "0123456789abcdef");
  EXPECT_STREQ("0123456789", mOut);
  EXPECT_EQ('#', mOut[11]);  // nothing written past the terminator
  mOut[0] = '\0';
  FxChannelPrintf(1, "channel one is off");
  FxChannelPrintf(kFxChannel::cCount, "past the last");
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
  FxSetErrorMessage("heap %s cannot allocate %u bytes", "scratch", 64u);
  EXPECT_STREQ("heap scratch cannot allocate 64 bytes", FxGetErrorMessage());
  FxSetErrorFile(std::string(300, 'p').c_str());
  EXPECT_EQ(std::string(255, 'p'), FxGetErrorFile());
}

// The fatal path, each case in a child process.

using ::testing::ExitedWithCode;

TEST(FatalErrorDeathTest, WritesTheBoxTextThenTheNoteAndExitsWithMinusOne) {
  EXPECT_EXIT(
      {
        FxSetCurrentLocation("app/main", 12, 0);
        FxSetFatalNote("replaced");
        FxSetFatalNote("While reading 100%s");
        FxFatalError("cannot open %s (%d%%)", "a.xml", 5);
      },
      ExitedWithCode(test::kFatalExitStatus),
      "^ERROR: cannot open a\\.xml \\(5%\\)\nFILE: app/main\nLINE:12\nWhile reading 100%s\n$");
  // A note taken back again adds nothing.
  EXPECT_EXIT(
      {
        FxSetFatalNote("gone");
        FxSetFatalNote(nullptr);
        FxSetCurrentLocation("f", 1, 0);
        FxFatalError("x");
      },
      ExitedWithCode(test::kFatalExitStatus), "^ERROR: x\nFILE: f\nLINE:1\n$");
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
      ExitedWithCode(test::kFatalExitStatus), "^first\nERROR: x\nFILE: f\nLINE:1\nsecond\n$");
}

#ifndef _WIN32
// POSIX only: the child is a shell script.
//
// The fatal path reaps the children it started before the process ends:
// a hook that runs after the error text (set anew by the one before it)
// finds the child's work done.
std::string gChildMark;
void SayWhetherTheChildFinished() {
  fputs(test::FileExists(gChildMark) ? "child finished\n" : "child still running\n", stderr);
}
void ArmTheLateHook() { FxSetPreExitHook(SayWhetherTheChildFinished); }

void FailWithAChildRunning(const std::string& script) {
  const char* args[] = {"-c", script.c_str(), nullptr};
  if (FxPlatformStartProgram("sh", args) == 0) exit(1);
  FxSetPreExitHook(ArmTheLateHook);
  FxSetCurrentLocation("f", 1, 0);
  FxFatalError("x");
}

TEST(FatalErrorDeathTest, WaitsForStartedProgramsBeforeTheProcessEnds) {
  test::TempDir dir;
  gChildMark = dir / "done";
  EXPECT_EXIT(FailWithAChildRunning("exec >/dev/null 2>&1; sleep 0.3; touch '" + gChildMark + "'"),
              ExitedWithCode(test::kFatalExitStatus), "^ERROR: x\nFILE: f\nLINE:1\nchild finished\n$");
}
#endif

}  // namespace
