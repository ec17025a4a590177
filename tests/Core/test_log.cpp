// The log: filters, number formats, prompt collection, the viewer protocol
// and the assertion and verification macros.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "API/core/FxAssert.h"
#include "API/core/cLog.h"

namespace {

// A stand-in viewer: the window lookup answers gViewer; every message is
// recorded as the viewer would receive it ("(null)" for no data).
struct sMessage { uint32_t mKind; std::string mBytes; };  // terminator included
bool operator==(const sMessage& a, const sMessage& b) { return a.mKind == b.mKind && a.mBytes == b.mBytes; }
std::vector<sMessage> gMessages;
std::vector<std::string> gSearchedTitles;
void* gViewer;
int gViewerHandle;

void* FakeFind(const char* title) {
  gSearchedTitles.push_back(title);
  return gViewer;
}

void FakeSend(void* window, uint32_t kind, const void* data, uint32_t size) {
  EXPECT_EQ(gViewer, window);
  gMessages.push_back({kind, data ? std::string(static_cast<const char*>(data), size) : "(null)"});
}

// The texts sent with data word 0, joined.
std::string SentText() {
  std::string text;
  for (const sMessage& m : gMessages) {
    if (m.mKind == kLog::cSendText) text += m.mBytes.substr(0, m.mBytes.size() - 1);
  }
  return text;
}

std::u16string Prompt(const cLog& log) { return log.GetPromptText(); }
std::u16string Wide(const std::string& text) { return std::u16string(text.begin(), text.end()); }

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
  void ConnectViewer(cLog& log) {
    gViewer = &gViewerHandle;
    log.findTicksee();
    gMessages.clear();
  }
};

TEST_F(Log, SetFiltersSetsTheNamedOnesAndTheRestOpposite) {
  cLog log;
  EXPECT_EQ((std::vector<unsigned int>{25, 30}), EnabledFilters());
  std::vector<unsigned int> all;
  for (unsigned int i = 0; i < kLog::cFilterCount; ++i) all.push_back(i);
  std::vector<unsigned int> allButSoundAndCamera = all;
  allButSoundAndCamera.erase(allButSoundAndCamera.begin() + kLog::Camera);
  allButSoundAndCamera.erase(allButSoundAndCamera.begin() + kLog::Sound);
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

template <typename T>
std::u16string Written(cLog& log, T value) {
  log << &cLog::start_prompt << value;
  return Prompt(log);
}

TEST_F(Log, NumbersInDecimalAndHex) {
  cLog log;
  EXPECT_EQ(u"-7", Written(log, -7));
  EXPECT_EQ(u"4000000000", Written(log, 4000000000u));
  EXPECT_EQ(u"65535", Written(log, static_cast<unsigned short>(65535)));
  EXPECT_EQ(u"'A'", Written(log, static_cast<signed char>(65)));
  EXPECT_EQ(u"'B'", Written(log, static_cast<unsigned char>(66)));
  log.hex();
  EXPECT_EQ(u"000000ff", Written(log, 255));
  EXPECT_EQ(u"ffffffff", Written(log, -1));
  EXPECT_EQ(u"001f", Written(log, static_cast<short>(0x1f)));
  EXPECT_EQ(u"ff", Written(log, static_cast<unsigned char>(255)));
  EXPECT_EQ(u"1.500000", Written(log, 1.5f));  // floats ignore hex mode
  log << &cLog::dec;
  EXPECT_EQ(u"255", Written(log, 255));
}

TEST_F(Log, PromptCollectsAfterStartPromptBelow1023Characters) {
  cLog log;
  log << "before" << &cLog::endl;
  EXPECT_EQ(u"", Prompt(log));
  log << &cLog::start_prompt << "a" << &cLog::endl << u"b\u00e9" << "\xE9";
  EXPECT_EQ(u"a\r\nb\u00e9\uFFE9", Prompt(log));  // narrow bytes sign-extended

  log << &cLog::start_prompt << std::string(1000, 'x').c_str() << "0123456789012345678901";
  EXPECT_EQ(1022u, Prompt(log).size());
  log << "y" << u"z";  // would reach 1023: dropped
  EXPECT_EQ(1022u, Prompt(log).size());
  log << &cLog::start_prompt << std::string(1023, 'q').c_str() << "fits";
  EXPECT_EQ(u"fits", Prompt(log));  // a text is appended whole or not at all
}

TEST_F(Log, WithoutViewerSearchesOnCalls1_3_7_15AndSendsNothing) {
  cLog log;
  std::vector<int> searchedOn;
  for (int call = 1; call <= 20; ++call) {
    const size_t before = gSearchedTitles.size();
    EXPECT_FALSE(log.GetEnabled(kLog::RunTimeError));
    if (gSearchedTitles.size() != before) searchedOn.push_back(call);
  }
  EXPECT_EQ((std::vector<int>{1, 3, 7, 15}), searchedOn);
  EXPECT_EQ("Ticksee", gSearchedTitles.front());
  EXPECT_TRUE(log.SetFilter(kLog::Content));
  log << "text";
  EXPECT_TRUE(gMessages.empty());
}

TEST_F(Log, ViewerIsGreetedAndReceivesFilterNamesAndTexts) {
  cLog log;
  gViewer = &gViewerHandle;
  EXPECT_FALSE(log.GetEnabled(kLog::Content));  // the finding call still says no
  EXPECT_EQ((std::vector<sMessage>{{kLog::cSendGreeting, "(null)"}}), gMessages);
  EXPECT_TRUE(log.GetEnabled(kLog::Content));
  EXPECT_FALSE(log.GetEnabled(kLog::Core));
  gMessages.clear();
  log << "no filter yet";
  EXPECT_TRUE(log.SetFilter(kLog::RunTimeError));
  EXPECT_TRUE(log.SetFilter(kLog::RunTimeError));  // unchanged: not sent again
  log << "abc" << 12 << u"h\u00e9";
  const std::vector<sMessage> sent = {{kLog::cSendFilterName, std::string("RunTimeError", 13)},
                                      {kLog::cSendText, std::string("abc", 4)},
                                      {kLog::cSendText, std::string("12", 3)},
                                      {kLog::cSendWideText, std::string("h\0\xE9\0\0\0", 6)}};
  EXPECT_EQ(sent, gMessages);
  gMessages.clear();
  EXPECT_TRUE(log.SetFilter(kLog::Sound));  // disabled: silent
  log << "dropped" << &cLog::endl;
  EXPECT_TRUE(log.SetFilter(99));  // no such filter: nothing to send
  log << "dropped too";
  EXPECT_TRUE(gMessages.empty());
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

TEST_F(Log, FailedAssertionWritesItsReportAsAPrompt) {
  cLog& log = cLog::GetLog();
  logtest::gEvaluations = 0;
  const int line = logtest::AssertSite(4);
  EXPECT_EQ(kLog::RunTimeError, log.GetCurrentFilter());
  EXPECT_EQ(Wide("Value 4 is not three\r\n\r\nASSERT(Counted(value == 3));\r\n\r\n"
                 "logtest::AssertSite()\r\n\r\n" __FILE__ " : " +
                 std::to_string(line) + "\r\n"),
            Prompt(log));
  log << &cLog::start_prompt;
  logtest::AssertSite(3);
  EXPECT_EQ(2, logtest::gEvaluations);  // once per site, failing or not
  EXPECT_EQ(u"", Prompt(log));
}

TEST_F(Log, VerificationReportsOnlyToAListeningViewer) {
  cLog& log = cLog::GetLog();
  log << &cLog::start_prompt;
  logtest::gEvaluations = 0;
  logtest::VerifySite(nullptr);  // no viewer: GetEnabled says no
  EXPECT_EQ(u"", Prompt(log));

  ConnectViewer(log);
  int entry = 0;
  logtest::VerifySite(&entry);
  EXPECT_TRUE(gMessages.empty());
  const int line = logtest::VerifySite(nullptr);
  EXPECT_EQ(3, logtest::gEvaluations);
  const std::string report = "Verify failed: \r\n\r\n" __FILE__ " : " + std::to_string(line) +
                             "\r\n\r\nExpression: Counted(entry != 0)\r\n\r\n"
                             "Couldn't create the entry\r\n";
  EXPECT_EQ(Wide(report), Prompt(log));
  EXPECT_EQ(report, SentText());
}

TEST(QualifiedFunctionName, DropsReturnTypeAndParameters) {
  const struct { const char* mSignature; const char* mName; } cases[] = {
      {"void cSingletonManager::Register(const cGUID&, void* (*)(), void*, unsigned int, bool)",
       "cSingletonManager::Register"},
      {"static void tSingletonHolder<T, C, L>::DestroySingleton() [with T = cSingletonManager]",
       "tSingletonHolder<T, C, L>::DestroySingleton"},
      {"void (anonymous namespace)::Helper(int)", "(anonymous namespace)::Helper"},
      {"void cFoo::operator()(int)", "cFoo::operator()"},
      {"cFoo::operator bool() const", "cFoo::operator bool"},
  };
  for (const auto& c : cases) {
    char out[256];
    FxQualifiedFunctionName(c.mSignature, out, sizeof out);
    EXPECT_STREQ(c.mName, out) << c.mSignature;
  }
  char small[5];
  FxQualifiedFunctionName("void cFoo::Bar()", small, sizeof small);
  EXPECT_STREQ("cFoo", small);
}

}  // namespace
