// The log: filters, number formats, prompt collection and the viewer
// protocol.
#include <gtest/gtest.h>

#include <string>
#include <vector>

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
  EXPECT_TRUE(log.GetEnabled(kLog::Content));
  EXPECT_FALSE(log.GetEnabled(kLog::Core));
  log << "no filter yet";
  log.SetFilter(kLog::RunTimeError);
  log.SetFilter(kLog::RunTimeError);  // the second is not sent
  log << "abc" << 12 << u"h\u00e9";
  log.SetFilter(kLog::Sound);  // disabled: silent
  log << "dropped" << &cLog::endl;
  EXPECT_EQ((std::vector<std::string>{"3:(null)", std::string("1:RunTimeError", 15), std::string("0:abc", 6),
                                      std::string("0:12", 5), std::string("4:h\0\xE9\0\0\0", 8)}),
            gMessages);
}

}  // namespace
