// Interface identifiers, the singleton manager and holder: ordering,
// creation on first request, shutdown, and misuse reported through the
// assertion and verification macros, whose reports are tested here too.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "API/core/FxAssert.h"
#include "API/core/cLog.h"
#include "publiclibraries/cSingletonManager.h"

// Named, so the report's function name is the same with every compiler.
namespace asserttest {
void AssertSite(int value) { FX_ASSERT(value == 3, "Value " << value << " is not three"); }
int gEvaluations;
void VerifySite(int* entry) { FX_VERIFY((++gEvaluations, entry != 0), "Couldn't create the entry"); }
}  // namespace asserttest

namespace {

const cGUID cIdA("BF37C8DE-E444-4036-9714-6098D5CC72A0");
const cGUID cIdB("00000001-0002-0003-0405-060708090a0b");

// A service that counts its destructions.
int gDestroyed;
struct cService : iInterfaceProvider, iInterface {
  explicit cService(int tag = 7) : mTag(tag) {}
  ~cService() override { ++gDestroyed; }
  int mTag;
};
iInterfaceProvider* Create() { return new cService(); }
int Tag(iInterfaceProvider* service) { return service ? static_cast<cService*>(service)->mTag : -1; }

// Takes the log's prompt, where failed assertions write their report.
std::string Prompt() {
  const std::u16string wide = cLog::GetLog().GetPromptText();
  cLog::GetLog() << &cLog::start_prompt;
  return std::string(wide.begin(), wide.end());
}
// A report with the line number after " : " written "#": it names its file
// and line, whichever line that is.
std::string Placed(std::string report) {
  const size_t at = report.find(" : ");
  if (at != std::string::npos) report.replace(at + 3, report.find('\r', at) - at - 3, "#");
  return report;
}

TEST(Assertion, FailedAssertionsWriteTheirReportAsAPromptAndVerificationsOnlyToAListeningViewer) {
  using namespace asserttest;
  Prompt();
  AssertSite(4);
  EXPECT_EQ("Value 4 is not three\r\n\r\nASSERT(value == 3);\r\n\r\nasserttest::AssertSite()\r\n\r\n" __FILE__
            " : #\r\n", Placed(Prompt()));
  VerifySite(nullptr);  // no viewer: GetEnabled says no
  EXPECT_EQ("", Prompt());
  // A stand-in viewer, which ignores what it is sent.
  cLog::SetViewerPort([](const char*) -> void* { return &gEvaluations; }, [](void*, uint32_t, const void*, uint32_t) {});
  cLog::GetLog().findTicksee();
  int entry = 0;
  VerifySite(&entry);
  VerifySite(nullptr);
  EXPECT_EQ("Verify failed: \r\n\r\n" __FILE__
            " : #\r\n\r\nExpression: (++gEvaluations, entry != 0)\r\n\r\nCouldn't create the entry\r\n",
            Placed(Prompt()));
  cLog::SetViewerPort(nullptr, nullptr);
  cLog::GetLog().findTicksee();  // the process-wide log forgets the stand-in
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

TEST(Guid, ComparesAndWritesItsLogFormWithTheEightLastBytesTogether) {
  cLog log;  // decimal mode is left on
  log << &cLog::start_prompt << cIdB << 10;
  EXPECT_EQ(u"{00000001-0002-0003-0405060708090a0b}10", std::u16string(log.GetPromptText()));
  EXPECT_EQ(cIdA, cGUID("bf37c8de-e444-4036-9714-6098d5cc72a0"));
  EXPECT_NE(cIdA, cIdB);
  EXPECT_TRUE(cGUID("no guid").IsZero());
}

TEST(SingletonManager, OrdersEntriesStablyCreatesOnFirstRequestAndDestroysOwnedInstances) {
  gDestroyed = 0;
  cService services[3] = {cService(0), cService(1), cService(2)};
  {
    cSingletonManager manager;
    const uint32_t orders[] = {2, 0, 2};
    for (int i : {0, 1, 2}) manager.Register(cIdB, nullptr, &services[i], orders[i], false);
    manager.Register(cIdA, Create, nullptr, 1, true);
    std::vector<int> tags;
    for (const sSingletonEntry* entry : manager.GetEntries()) tags.push_back(Tag(entry->mInstance));
    EXPECT_EQ((std::vector<int>{1, -1, 0, 2}), tags);  // equal orders keep their order; nothing created yet
    iInterfaceProvider* created = manager.GetInstance(cIdA);
    EXPECT_EQ(7, Tag(created));
    EXPECT_EQ(created, manager.GetInstance(cIdA));  // on the first request only
    EXPECT_EQ(1, Tag(manager.GetInstance(cIdB)));
    EXPECT_EQ(nullptr, manager.GetInstance(cGUID()));
    sSingletonEntry stray = {cIdA, nullptr, nullptr, 0, 1};
    manager.RemoveEntry(&stray);  // not in the list: left alone
    manager.Register(cGUID(), nullptr, new cService(), 9, true);
    manager.RemoveEntry(manager.GetEntries().back());  // owned: its instance goes with it
    EXPECT_EQ(4u, manager.GetEntries().size());
    EXPECT_EQ(1, gDestroyed);
  }
  EXPECT_EQ(2, gDestroyed);  // the created instance; the others live on
}

// The function a report names, which says which misuse it reports.
std::string Reporter(const std::string& report) {
  const size_t at = report.find(");\r\n\r\n");
  return at == std::string::npos ? report : report.substr(at + 6, report.find("()", at) - at - 6);
}

TEST(SingletonManager, MisuseIsReportedAsAnAssertionAndIgnored) {
  cSingletonManager manager;
  Prompt();
  manager.Register(cIdA, nullptr, nullptr, 0, true);
  EXPECT_EQ("cSingletonManager::Register", Reporter(Prompt()));
  manager.AddEntry(nullptr);
  EXPECT_EQ("cSingletonManager::AddEntry", Reporter(Prompt()));
  manager.RemoveEntry(nullptr);
  EXPECT_EQ("cSingletonManager::RemoveEntry", Reporter(Prompt()));
  // The entry without instance or creator is kept and answers null.
  EXPECT_EQ(1u, manager.GetEntries().size());
  EXPECT_EQ(nullptr, manager.GetInstance(cIdA));
}

int gHeldCreations;
struct cHeld {
  static cHeld* CreateInstance() {
    static cHeld held;
    return ++gHeldCreations, &held;
  }
};
typedef tSingletonHolder<cHeld, CreateUsingStaticMemberFunction, DefaultLifetime> tHeld;

TEST(SingletonHolder, CreatesOnceComesBackAfterDestructionAndReportsDoubleDestruction) {
  Prompt();
  EXPECT_EQ(&tHeld::Instance(), &tHeld::Instance());
  tHeld::DestroySingleton();
  EXPECT_EQ("", Prompt());
  EXPECT_EQ(nullptr, tHeld::StaticData::mInstance);
  tHeld::Instance();
  EXPECT_EQ(2, gHeldCreations);
  EXPECT_FALSE(tHeld::StaticData::mDestroyed);
  tHeld::DestroySingleton();
  tHeld::DestroySingleton();
  EXPECT_NE("", Prompt());
}

}  // namespace
