// The log: filters, number formats, prompt collection, the viewer protocol
// and the assertion and verification macros.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "API/core/FxAssert.h"
#include "API/core/cLog.h"

namespace {

// A stand-in viewer: the window lookup answers gViewer; every message is
// recorded as "kind:bytes" ("(null)" for no data, terminator included).
std::vector<std::string> gMessages;
int gSearches;
void* gViewer;
void* FakeFind(const char* title) { return ++gSearches, std::string(title) == "Ticksee" ? gViewer : nullptr; }
void FakeSend(void*, uint32_t kind, const void* data, uint32_t size) {
  const char* bytes = static_cast<const char*>(data);
  gMessages.push_back(std::to_string(kind) + ":" + (bytes ? std::string(bytes, size) : "(null)"));
}
std::u16string Wide(const std::string& text) { return std::u16string(text.begin(), text.end()); }

class Log : public ::testing::Test {
 protected:
  void SetUp() override { cLog::SetViewerPort(FakeFind, FakeSend); }
  void TearDown() override {
    cLog::SetViewerPort(nullptr, nullptr);
    gViewer = nullptr;
    // The process-wide log forgets any stand-in viewer and filters.
    cLog::GetLog().findTicksee();
    cLog::GetLog().setFilters("", true);
  }
};

TEST_F(Log, FiltersAreSetByNameNumbersWrittenInDecimalOrHexAndPromptsCollectBelow1023Characters) {
  cLog log;
  const struct { const char* mList; bool mEnable; const char* mEnabled; } cases[] = {
      {nullptr, true, "0000000000000000000000000100001"},  // Content and RunTimeError stay on
      {"rail VEHICLE manager,,nonsense,GhostAI", true, "0000000001000000000000000100101"},
      {"Sound,Camera", false, "1111111111111111011110111111111"},  // the rest the opposite way
      {"Core,ALL,Sound", false, "0000000000000000000000000000000"},  // even the two always on
  };
  for (const auto& c : cases) {
    log.setFilters(c.mList, c.mEnable);
    std::string enabled;
    for (unsigned int i = 0; i < kLog::cFilterCount; ++i) enabled += cLog::IsFilterEnabled(i) ? '1' : '0';
    EXPECT_EQ(c.mEnabled, enabled) << (c.mList ? c.mList : "(null)");
  }
  log << &cLog::start_prompt << -7 << "|" << 4000000000u << "|" << static_cast<signed char>(65) << &cLog::hex << "|"
      << 255 << "|" << int16_t{0x1f} << "|" << 1.5f << &cLog::dec << "|" << 255 << &cLog::endl << "\xE9";
  // Hex pads to the type's width and leaves floats alone; narrow bytes are sign-extended.
  EXPECT_EQ(u"-7|4000000000|'A'|000000ff|001f|1.500000|255\r\n\uFFE9", std::u16string(log.GetPromptText()));
  log << &cLog::start_prompt << std::string(1000, 'x').c_str() << "0123456789012345678901" << "y" << u"z";
  EXPECT_EQ(1022u, std::u16string(log.GetPromptText()).size());  // "y" would reach 1023: dropped whole
}

TEST_F(Log, ViewerIsSearchedWithBackOffThenGreetedAndSentFilterNamesAndTexts) {
  cLog log;
  std::vector<int> searchedOn;
  for (int call = 1; call <= 15; ++call) {
    const int before = gSearches;
    EXPECT_FALSE(log.GetEnabled(kLog::RunTimeError));
    if (gSearches != before) searchedOn.push_back(call);
  }
  EXPECT_EQ((std::vector<int>{1, 3, 7, 15}), searchedOn);
  gViewer = &gSearches;
  gMessages.clear();
  log.findTicksee();
  EXPECT_TRUE(log.GetEnabled(kLog::Content) && !log.GetEnabled(kLog::Core));
  log << "no filter yet";
  EXPECT_TRUE(log.SetFilter(kLog::RunTimeError) && log.SetFilter(kLog::RunTimeError));  // the second is not sent
  log << "abc" << 12 << u"h\u00e9";
  log.SetFilter(kLog::Sound);  // disabled: silent
  log << "dropped" << &cLog::endl;
  EXPECT_EQ((std::vector<std::string>{"3:(null)", std::string("1:RunTimeError", 15), std::string("0:abc", 6),
                                      std::string("0:12", 5), std::string("4:h\0\xE9\0\0\0", 8)}),
            gMessages);
}

}  // namespace

// Named, so the report's function name is the same with every compiler.
namespace logtest {
int AssertSite(int value) {
  FX_ASSERT(value == 3, "Value " << value << " is not three");
  return __LINE__ - 1;
}
int gEvaluations;
int VerifySite(int* entry) {
  FX_VERIFY((++gEvaluations, entry != 0), "Couldn't create the entry");
  return __LINE__ - 1;
}
}  // namespace logtest

namespace {
using namespace logtest;

TEST_F(Log, FailedAssertionsWriteTheirReportAsAPromptAndVerificationsOnlyToAListeningViewer) {
  cLog& log = cLog::GetLog();
  const std::string line = std::to_string(AssertSite(4));
  EXPECT_EQ(Wide("Value 4 is not three\r\n\r\nASSERT(value == 3);\r\n\r\nlogtest::AssertSite()\r\n\r\n" __FILE__
                 " : " + line + "\r\n"), std::u16string(log.GetPromptText()));
  log << &cLog::start_prompt;
  VerifySite(nullptr);  // no viewer: GetEnabled says no
  EXPECT_EQ(u"", std::u16string(log.GetPromptText()));
  gViewer = &gSearches;
  log.findTicksee();
  int entry = 0;
  VerifySite(&entry);
  const std::string verifyLine = std::to_string(VerifySite(nullptr));
  EXPECT_EQ(Wide("Verify failed: \r\n\r\n" __FILE__ " : " + verifyLine +
                 "\r\n\r\nExpression: (++gEvaluations, entry != 0)\r\n\r\nCouldn't create the entry\r\n"),
            std::u16string(log.GetPromptText()));
  EXPECT_EQ(3, gEvaluations);  // once per call, failing or not
  // The function's name without return type and parameters, cut to its room.
  const struct { const char* mSignature; const char* mName; size_t mRoom; } names[] = {
      {"static void tHolder<T, C>::Destroy() [with T = cManager]", "tHolder<T, C>::Destroy", 256},
      {"void cFoo::operator()(int)", "cFoo::operator()", 256},
      {"cFoo::operator bool() const", "cFoo::operator bool", 256},
      {"void cFoo::Bar()", "cFoo", 5},
  };
  char out[256];
  for (const auto& n : names) EXPECT_STREQ(n.mName, (FxQualifiedFunctionName(n.mSignature, out, n.mRoom), out));
}

}  // namespace
