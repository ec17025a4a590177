// Raising exceptions: the report on channel 0, the fatal exit, the hook.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "API/core/FxError.h"
#include "API/core/cFxException.h"

namespace {

using ::testing::ExitedWithCode;

TEST(ExceptionDeathTest, RaiseEndsTheProcessNamingTheRaisePoint) {
  EXPECT_EXIT(cDeltaAccessorException("Conversion from sInt32 to failed.").Raise(),
              ExitedWithCode(255),
              "^ERROR: Conversion from sInt32 to failed\\.\nFILE: API/core/cFxException\nLINE:113\n$");
}

TEST(ExceptionDeathTest, XmlParseExceptionShowsItsLine) {
  EXPECT_EXIT(cXmlParseException("Badly formed XML document.", 3).Raise(), ExitedWithCode(255),
              "^ERROR: Line 3: Badly formed XML document\\.\nFILE: API/core/cFxException\nLINE:113\n$");
}

TEST(ExceptionDeathTest, PercentSignsInTheMessageSurvive) {
  EXPECT_EXIT(cFxException("100%s %d%% of %n").Raise(), ExitedWithCode(255),
              "^ERROR: 100%s %d%% of %n\nFILE: API/core/cFxException\nLINE:113\n$");
}

bool RefusingHook(const char*) { return false; }

TEST(ExceptionDeathTest, HookAnsweringFalseDoesNotStopTheExit) {
  EXPECT_EXIT(
      {
        FxSetExceptionHook(RefusingHook);
        cFxException("still fatal").Raise();
      },
      ExitedWithCode(255), "ERROR: still fatal\n");
}

std::string gHookText;
int gHookCalls;
bool HandlingHook(const char* text) {
  gHookText = text;
  ++gHookCalls;
  return true;
}

TEST(Exception, HookAnsweringTrueMakesRaiseReturn) {
  char out[512] = "untouched";
  FxSetChannel(0, true, 500, out, "main", 0);
  FxSetExceptionHook(HandlingHook);
  gHookCalls = 0;
  cXmlParseException("Badly formed XML document.", 9).Raise();
  FxSetExceptionHook(nullptr);
  FxSetChannel(0, false, 0, nullptr, "", 0);
  EXPECT_EQ(1, gHookCalls);
  EXPECT_EQ("0", gHookText);
  EXPECT_STREQ("untouched", out);  // handled: nothing reported
}

char gChannelZero[512];
void ShowChannelZero() { fputs(gChannelZero, stderr); }

TEST(ExceptionDeathTest, RaiseReportsOnChannelZeroBeforeTheBox) {
  // The pre-exit hook runs before the box text is written, so it shows what
  // channel 0 received first.
  EXPECT_EXIT(
      {
        FxSetChannel(0, true, 500, gChannelZero, "main", 0);
        FxSetPreExitHook(ShowChannelZero);
        cFxException("gone 5%").Raise();
      },
      ExitedWithCode(255),
      "^ERROR: gone 5% \\(API/core/cFxException,113,main\\)\n"
      "ERROR: gone 5%\nFILE: API/core/cFxException\nLINE:113\n$");
}

TEST(Exception, MessagesAreTheExceptionsText) {
  EXPECT_STREQ("plain", cFxException("plain").GetMessage().c_str());
  EXPECT_STREQ("Line 42: Badly formed XML document.",
               cXmlParseException("Badly formed XML document.", 42).GetMessage().c_str());
  const cFxException& asBase = cXmlParseException("m", -1);
  EXPECT_STREQ("Line -1: m", asBase.GetMessage().c_str());
}

}  // namespace
