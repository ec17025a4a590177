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
std::vector<std::string> gSearchedTitles;
void* gViewer;
int gViewerHandle;
void* FakeFind(const char* title) { return gSearchedTitles.push_back(title), gViewer; }
void FakeSend(void* window, uint32_t kind, const void* data, uint32_t size) {
  EXPECT_EQ(gViewer, window);
  gMessages.push_back(std::to_string(kind) + ":" +
                      (data ? std::string(static_cast<const char*>(data), size) : "(null)"));
}
std::string Message(uint32_t kind, const std::string& bytes) { return std::to_string(kind) + ":" + bytes; }

std::u16string Wide(const std::string& text) { return std::u16string(text.begin(), text.end()); }
template <typename T>
std::u16string Written(cLog& log, T value) {
  log << &cLog::start_prompt << value;
  return log.GetPromptText();
}
std::vector<unsigned int> EnabledFilters() {
  std::vector<unsigned int> on;
  for (unsigned int i = 0; i < kLog::cFilterCount; ++i) {
    if (cLog::IsFilterEnabled(i)) on.push_back(i);
  }
  return on;
}

class Log : public ::testing::Test {
 protected:
  void SetUp() override {
    gMessages.clear();
    gSearchedTitles.clear();
    gViewer = nullptr;
    cLog::SetViewerPort(FakeFind, FakeSend);
  }
  void TearDown() override {
    cLog::SetViewerPort(nullptr, nullptr);
    gViewer = nullptr;
    // The process-wide log forgets any stand-in viewer and filters.
    cLog::GetLog().findTicksee();
    cLog::GetLog().setFilters("", true);
  }
};

TEST_F(Log, SetFiltersSetsTheNamedOnesAndTheRestOpposite) {
  cLog log;
  EXPECT_EQ((std::vector<unsigned int>{25, 30}), EnabledFilters());
  std::vector<unsigned int> all, allButSoundAndCamera;
  for (unsigned int i = 0; i < kLog::cFilterCount; ++i) {
    all.push_back(i);
    if (i != kLog::Camera && i != kLog::Sound) allButSoundAndCamera.push_back(i);
  }
  const struct { const char* mList; bool mEnable; std::vector<unsigned int> mEnabled; } cases[] = {
      {"Core,Sound", true, {0, 16, 25, 30}},
      {"rail VEHICLE manager,,nonsense,GhostAI", true, {9, 25, 28, 30}},
      {nullptr, true, {25, 30}},
      {"", false, all},  // 25 and 30 stay on
      {"Sound,Camera", false, allButSoundAndCamera},
      {"all", false, {}},  // even 25 and 30
      {"Core,ALL,Sound", true, all},
  };
  for (const auto& c : cases) {
    log.setFilters(c.mList, c.mEnable);
    EXPECT_EQ(c.mEnabled, EnabledFilters()) << (c.mList ? c.mList : "(null)") << " " << c.mEnable;
  }
  const char list[] = "Update,Core";
  log.setFilters(list, true);
  EXPECT_STREQ("Update,Core", list);  // the caller's text is not split in place
}

TEST_F(Log, NumbersInDecimalAndHexAndPromptsCollectBelow1023Characters) {
  cLog log;
  EXPECT_EQ(u"-7|4000000000|65535|'A'|'B'",
            Written(log, -7) + u"|" + Written(log, 4000000000u) + u"|" + Written(log, uint16_t{65535}) + u"|" +
                Written(log, static_cast<signed char>(65)) + u"|" + Written(log, static_cast<unsigned char>(66)));
  log.hex();
  EXPECT_EQ(u"000000ff|ffffffff|001f|ff|1.500000",  // floats ignore hex mode
            Written(log, 255) + u"|" + Written(log, -1) + u"|" + Written(log, int16_t{0x1f}) + u"|" +
                Written(log, static_cast<unsigned char>(255)) + u"|" + Written(log, 1.5f));
  log << &cLog::dec;
  EXPECT_EQ(u"255", Written(log, 255));

  cLog fresh;
  fresh << "before" << &cLog::endl;
  EXPECT_EQ(u"", std::u16string(fresh.GetPromptText()));
  log << &cLog::start_prompt << "a" << &cLog::endl << u"b\u00e9" << "\xE9";
  EXPECT_EQ(u"a\r\nb\u00e9\uFFE9", std::u16string(log.GetPromptText()));  // narrow bytes sign-extended
  log << &cLog::start_prompt << std::string(1000, 'x').c_str() << "0123456789012345678901" << "y" << u"z";
  EXPECT_EQ(1022u, std::u16string(log.GetPromptText()).size());  // "y" would reach 1023: dropped
  log << &cLog::start_prompt << std::string(1023, 'q').c_str() << "fits";
  EXPECT_EQ(u"fits", std::u16string(log.GetPromptText()));  // a text is appended whole or not at all
}

TEST_F(Log, ViewerIsSearchedOnCalls1_3_7_15ThenGreetedAndSentFilterNamesAndTexts) {
  cLog log;
  std::vector<int> searchedOn;
  for (int call = 1; call <= 20; ++call) {
    const size_t before = gSearchedTitles.size();
    EXPECT_FALSE(log.GetEnabled(kLog::RunTimeError));
    if (gSearchedTitles.size() != before) searchedOn.push_back(call);
  }
  EXPECT_EQ((std::vector<int>{1, 3, 7, 15}), searchedOn);
  EXPECT_EQ("Ticksee", gSearchedTitles.front());
  log.SetFilter(kLog::Content);
  log << "text";
  EXPECT_TRUE(gMessages.empty());

  cLog found;
  gViewer = &gViewerHandle;
  EXPECT_FALSE(found.GetEnabled(kLog::Content));  // the finding call still says no
  EXPECT_TRUE(found.GetEnabled(kLog::Content));
  EXPECT_FALSE(found.GetEnabled(kLog::Core));
  found << "no filter yet";
  EXPECT_TRUE(found.SetFilter(kLog::RunTimeError));
  EXPECT_TRUE(found.SetFilter(kLog::RunTimeError));  // unchanged: not sent again
  found << "abc" << 12 << u"h\u00e9";
  found.SetFilter(kLog::Sound);  // disabled: silent
  found << "dropped" << &cLog::endl;
  found.SetFilter(99);  // no such filter: nothing to send
  found << "dropped too";
  const std::vector<std::string> sent = {
      Message(kLog::cSendGreeting, "(null)"), Message(kLog::cSendFilterName, std::string("RunTimeError", 13)),
      Message(kLog::cSendText, std::string("abc", 4)), Message(kLog::cSendText, std::string("12", 3)),
      Message(kLog::cSendWideText, std::string("h\0\xE9\0\0\0", 6))};
  EXPECT_EQ(sent, gMessages);
}

}  // namespace

namespace logtest {
int gEvaluations;
bool Counted(bool value) { return ++gEvaluations, value; }
int AssertSite(int value) {
  const int line = __LINE__ + 1;
  FX_ASSERT(Counted(value == 3), "Value " << value << " is not three");
  return line;
}
int VerifySite(int* entry) {
  const int line = __LINE__ + 1;
  FX_VERIFY(Counted(entry != 0), "Couldn't create the entry");
  return line;
}
}  // namespace logtest

namespace {

TEST_F(Log, FailedAssertionsWriteTheirReportAsAPromptAndVerificationsOnlyToAListeningViewer) {
  cLog& log = cLog::GetLog();
  logtest::gEvaluations = 0;
  const int assertLine = logtest::AssertSite(4);
  EXPECT_EQ(kLog::RunTimeError, log.GetCurrentFilter());
  EXPECT_EQ(Wide("Value 4 is not three\r\n\r\nASSERT(Counted(value == 3));\r\n\r\nlogtest::AssertSite()\r\n\r\n" __FILE__
                 " : " + std::to_string(assertLine) + "\r\n"),
            std::u16string(log.GetPromptText()));
  log << &cLog::start_prompt;
  logtest::AssertSite(3);
  logtest::VerifySite(nullptr);  // no viewer: GetEnabled says no
  EXPECT_EQ(u"", std::u16string(log.GetPromptText()));

  gViewer = &gViewerHandle;
  log.findTicksee();
  gMessages.clear();
  int entry = 0;
  logtest::VerifySite(&entry);
  EXPECT_TRUE(gMessages.empty());
  const int verifyLine = logtest::VerifySite(nullptr);
  EXPECT_EQ(5, logtest::gEvaluations);  // once per site, failing or not
  const std::string report = "Verify failed: \r\n\r\n" __FILE__ " : " + std::to_string(verifyLine) +
                             "\r\n\r\nExpression: Counted(entry != 0)\r\n\r\nCouldn't create the entry\r\n";
  EXPECT_EQ(Wide(report), std::u16string(log.GetPromptText()));
  std::string sent;  // the texts, without their terminators
  for (const std::string& m : gMessages) {
    if (m.rfind(Message(kLog::cSendText, ""), 0) == 0) sent += m.substr(m.find(':') + 1, m.size() - m.find(':') - 2);
  }
  EXPECT_EQ(report, sent);
}

TEST(QualifiedFunctionName, DropsReturnTypeAndParameters) {
  const struct { const char* mSignature; const char* mName; size_t mRoom; } cases[] = {
      {"void cSingletonManager::Register(const cGUID&, void* (*)(), void*, unsigned int, bool)",
       "cSingletonManager::Register", 256},
      {"static void tSingletonHolder<T, C, L>::DestroySingleton() [with T = cSingletonManager]",
       "tSingletonHolder<T, C, L>::DestroySingleton", 256},
      {"void (anonymous namespace)::Helper(int)", "(anonymous namespace)::Helper", 256},
      {"void cFoo::operator()(int)", "cFoo::operator()", 256},
      {"cFoo::operator bool() const", "cFoo::operator bool", 256},
      {"void cFoo::Bar()", "cFoo", 5},
  };
  for (const auto& c : cases) {
    char out[256];
    FxQualifiedFunctionName(c.mSignature, out, c.mRoom);
    EXPECT_STREQ(c.mName, out) << c.mSignature;
  }
}

}  // namespace
