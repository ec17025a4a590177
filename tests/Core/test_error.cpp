// The error record, channel output, raising exceptions and the fatal path.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "API/core/FxError.h"
#include "API/core/cFxException.h"
#include "support/TestSupport.h"

namespace {

using ::testing::ExitedWithCode;
constexpr int32_t cMax = 200;

// A channel's text with the line number of its place written "#": a report
// names its file and line, whichever line that is.
std::string Placed(const std::string& text) {
  const size_t comma = text.find(',', text.rfind('('));
  const size_t end = comma == std::string::npos ? comma : text.find(',', comma + 1);
  return end == std::string::npos ? text : text.substr(0, comma + 1) + "#" + text.substr(end);
}

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
    FxSetExceptionHook(nullptr);
  }
  char mOut[cMax + 16];
};

TEST_F(ErrorChannel, ReportPrintsTheRecordedErrorWhereItWasMade) {
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
    EXPECT_EQ(std::string("ERROR: ") + c.mPrinted + " (Core/FxError,#,main)\n", Placed(mOut)) << c.mPrinted;
    EXPECT_EQ(c.mCode, FxGetErrorCode());  // reporting clears nothing
  }
  FxSetCurrentLocation("xml/cXmlParser", 412, 0);
  FxErrorPrintf("bad token %c", '<');
  EXPECT_STREQ("ERROR: bad token < (xml/cXmlParser,412,main)\n", mOut);
}

TEST_F(ErrorChannel, TextsAreCutToTheirBuffersAndSilentChannelsAndHandledExceptionsDropEverything) {
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
  FxSetChannel(5, true, cMax, nullptr, "echo", -1);  // a negative echo writes standard output too
  testing::internal::CaptureStdout();
  FxChannelPrintf(5, "to the console %d%%", 7);
  EXPECT_EQ("to the console 7%", testing::internal::GetCapturedStdout());
  FxSetErrorMessage("%s", std::string(3000, 'x').c_str());
  EXPECT_EQ(1023u, strlen(FxGetErrorMessage()));
  FxSetErrorFile(std::string(300, 'p').c_str());
  EXPECT_EQ(std::string(255, 'p'), FxGetErrorFile());
  mOut[0] = '\0';
  FxSetChannel(0, true, cMax, mOut, "main", 0);
  FxSetExceptionHook([](const char*) { return true; });  // handled: Raise returns, nothing reported
  cXmlParseException("Badly formed XML document.", 9).Raise();
  EXPECT_STREQ("", mOut);
}

// The fatal path, each case in a child process. The box text names the
// place where exceptions are raised, not their origin.
// A line number, in the regular expressions of the platform's death tests.
#if GTEST_USES_POSIX_RE
const std::string cLine = "[0-9]+";
#else
const std::string cLine = "\\d+";
#endif
const std::string cRaised = "\nFILE: API/core/cFxException\nLINE:" + cLine + "\n$";
char gChannelZero[512];
void ShowChannelZero() { fputs(gChannelZero, stderr); }
void SecondHook() { fputs("second\n", stderr); }
void FirstHook() {
  fputs("first\n", stderr);
  FxSetPreExitHook(SecondHook);
}

TEST(FatalErrorDeathTest, WritesTheBoxTextThenTheNoteAndExitsWithMinusOne) {
  EXPECT_EXIT((FxSetCurrentLocation("app/main", 12, 0), FxSetFatalNote("replaced"), FxSetFatalNote("In 100%s"),
               FxFatalError("cannot open %s (%d%%)", "a.xml", 5)),
              ExitedWithCode(test::kFatalExitStatus),
              "^ERROR: cannot open a\\.xml \\(5%\\)\nFILE: app/main\nLINE:12\nIn 100%s\n$");
  // A note taken back adds nothing; the pre-exit hook runs before the box
  // and again when it sets itself anew.
  EXPECT_EXIT((FxSetFatalNote("gone"), FxSetFatalNote(nullptr), FxSetPreExitHook(FirstHook),
               FxSetCurrentLocation("f", 1, 0), FxFatalError("x")),
              ExitedWithCode(test::kFatalExitStatus), "^first\nERROR: x\nFILE: f\nLINE:1\nsecond\n$");
}

TEST(ExceptionDeathTest, RaiseReportsOnChannelZeroThenShowsTheTextAndExitsWithMinusOne) {
  // Percent signs survive; a hook that declines does not stop the exit.
  EXPECT_EXIT((FxSetExceptionHook([](const char*) { return false; }), cFxException("100%s %d%% of %n").Raise()),
              ExitedWithCode(test::kFatalExitStatus), "^ERROR: 100%s %d%% of %n" + cRaised);
  // A pre-exit hook showing channel 0's report, made before the box text.
  EXPECT_EXIT((FxSetChannel(0, true, 500, gChannelZero, "main", 0), FxSetPreExitHook(ShowChannelZero),
               cXmlParseException("Badly formed XML document.", 3).Raise()),
              ExitedWithCode(test::kFatalExitStatus),
              "^ERROR: Line 3: Badly formed XML document\\. \\(API/core/cFxException," + cLine + ",main\\)\n"
              "ERROR: Line 3: Badly formed XML document\\." + cRaised);
}

}  // namespace
