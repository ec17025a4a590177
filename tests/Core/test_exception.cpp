// Raising exceptions: the report on channel 0, the fatal exit, the hook.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "API/core/FxError.h"
#include "API/core/cFxException.h"
#include "support/TestSupport.h"

namespace {

using ::testing::ExitedWithCode;

// The box text names the place where exceptions are raised, not their origin.
std::string BoxText(const std::string& message) {
  return "^ERROR: " + message + "\nFILE: API/core/cFxException\nLINE:113\n$";
}

bool RefusingHook(const char*) { return false; }

TEST(ExceptionDeathTest, RaiseShowsTheTextAndExitsWithMinusOne) {
  EXPECT_EXIT(cXmlParseException("Badly formed XML document.", 3).Raise(), ExitedWithCode(test::kFatalExitStatus),
              BoxText("Line 3: Badly formed XML document\\."));
  // Percent signs survive; a hook that declines does not stop the exit.
  EXPECT_EXIT(
      {
        FxSetExceptionHook(RefusingHook);
        cFxException("100%s %d%% of %n").Raise();
      },
      ExitedWithCode(test::kFatalExitStatus), BoxText("100%s %d%% of %n"));
}

char gChannelZero[512];
void ShowChannelZero() { fputs(gChannelZero, stderr); }

TEST(ExceptionDeathTest, RaiseReportsOnChannelZeroBeforeTheBox) {
  // The pre-exit hook runs before the box text: it shows channel 0's report.
  EXPECT_EXIT(
      {
        FxSetChannel(0, true, 500, gChannelZero, "main", 0);
        FxSetPreExitHook(ShowChannelZero);
        cFxException("gone 5%").Raise();
      },
      ExitedWithCode(test::kFatalExitStatus),
      "^ERROR: gone 5% \\(API/core/cFxException,113,main\\)\n"
      "ERROR: gone 5%\nFILE: API/core/cFxException\nLINE:113\n$");
}

int gHookCalls;
bool HandlingHook(const char*) { return ++gHookCalls, true; }

TEST(Exception, HookAnsweringTrueMakesRaiseReturn) {
  char out[512] = "untouched";
  FxSetChannel(0, true, 500, out, "main", 0);
  FxSetExceptionHook(HandlingHook);
  gHookCalls = 0;
  cXmlParseException("Badly formed XML document.", 9).Raise();
  FxSetExceptionHook(nullptr);
  FxSetChannel(0, false, 0, nullptr, "", 0);
  EXPECT_EQ(1, gHookCalls);
  EXPECT_STREQ("untouched", out);  // handled: nothing reported
}

}  // namespace
